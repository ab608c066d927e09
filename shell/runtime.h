// What the process holds until its one exit path releases it.
#pragma once
#include <windows.h>

#include <vector>

namespace shell {

struct RuntimeState {
  std::vector<HANDLE> Threads;     // threads the program created; closed, never waited for
  std::vector<HMODULE> Libraries;  // support libraries in load order
  std::vector<HWND> Windows;
  bool OleInitialized = false;
};

inline RuntimeState Runtime;

}  // namespace shell
