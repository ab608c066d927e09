// UTF-16 is the program's text; these convert at the edges (files, consoles).
#pragma once
#include <string>
#include <string_view>

namespace shell {
// Invalid sequences become U+FFFD; never fails.
std::string Utf8FromUtf16(std::u16string_view text);
std::u16string Utf16FromUtf8(std::string_view text);
}  // namespace shell
