// Windows halves of the message-box and wait operations.
#include <windows.h>
#include <timeapi.h>

#include <string>

#include "shell/message_box.h"
#include "shell/wait.h"

namespace shell {

int ShowPlatformMessage(std::u16string_view title, std::u16string_view text, uint32_t style) {
  // A box is parented to the foreground window only when that window is ours,
  // so it never attaches to (and blocks) another program's window.
  HWND parent = GetForegroundWindow();
  DWORD owner = 0;
  if (parent) GetWindowThreadProcessId(parent, &owner);
  if (owner != GetCurrentProcessId()) parent = nullptr;
  const std::wstring t(title.begin(), title.end()), m(text.begin(), text.end());
  return MessageBoxW(parent, m.c_str(), t.c_str(), style);
}

void Wait(uint32_t milliseconds) {
  static const bool raised = (timeBeginPeriod(1), true);
  (void)raised;
  Sleep(milliseconds);
}

}  // namespace shell
