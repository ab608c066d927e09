// The start-up sequence: splash, setup windows, main window, event loop.
#include "shell/program.h"
#include "shell/test_build.h"

namespace shell {

void StartUp() {
  TestBuildTrace(u"startup");
  TestBuildHold();
}

}  // namespace shell
