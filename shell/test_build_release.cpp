// The shipped program: no test seams.
#include "shell/test_build.h"

namespace shell {
void TestBuildInit() {}
SystemQueries& TestBuildQueries(SystemQueries& system) { return system; }
void TestBuildTrace(std::u16string_view) {}
std::u16string TestBuildUserDataBase(const std::u16string& system) { return system; }
void TestBuildHold() {}
}  // namespace shell
