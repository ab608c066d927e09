// Native stand-ins for the few platform services that portable code calls.
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "shell/message_box.h"
#include "shell/text.h"
#include "shell/wait.h"

namespace shell {

int ShowPlatformMessage(std::u16string_view title, std::u16string_view text, uint32_t) {
  std::fprintf(stderr, "%s: %s\n", Utf8FromUtf16(title).c_str(), Utf8FromUtf16(text).c_str());
  return 1;
}

void Wait(uint32_t milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

}  // namespace shell
