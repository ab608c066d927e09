// Seams that only the program's test build fills in (Veloran-devtest.exe);
// the shipped program links the empty versions. The test build reads its
// instructions from the environment, which the shipped program never does:
//   VELORAN_TEST_TRACE    file that gets one line per step reached and per message
//   VELORAN_TEST_CPU      "systemMask,processMask" (hex) instead of the system's
//   VELORAN_TEST_MEMORY   "total,available" (decimal bytes) instead of the system's
//   VELORAN_TEST_HOLD     start-up waits until this file exists
//   VELORAN_TEST_APPDATA  folder (ending in a backslash) used instead of local application data
#pragma once
#include <string>
#include <string_view>

#include "shell/system_checks.h"

namespace shell {

// Routes messages to the trace instead of showing boxes.
void TestBuildInit();
// The queries the checks use: the system's, or the test's figures.
SystemQueries& TestBuildQueries(SystemQueries& system);
// Notes that a step was reached.
void TestBuildTrace(std::u16string_view step);
// The base folder of the per-user libraries: the system's, or the test's.
std::u16string TestBuildUserDataBase(const std::u16string& system);
// Holds the program up until the test lets it go.
void TestBuildHold();

}  // namespace shell
