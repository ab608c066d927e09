// The program's start and its one way out.
#pragma once

namespace shell {

// The first code the process runs; never returns.
[[noreturn]] void ProgramEntry();

// Returns only when this is the one copy of the program that runs; otherwise
// the program ends silently.
void CheckSingleInstance();

// The one exit path: releases what the program holds, in a fixed order, and
// ends the process with exit code 0.
[[noreturn]] void ReleaseRuntime();

// Splash, setup windows, main window and event loop; does not return.
void StartUp();

}  // namespace shell
