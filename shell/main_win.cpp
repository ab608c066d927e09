// The process's entry; it takes no arguments and reads no environment.
#include <windows.h>

#include "shell/program.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { shell::ProgramEntry(); }
