// ANSI text of sheets written without a byte-order mark.
#pragma once
#include <string>
#include <string_view>

namespace playlist {

// The system's ANSI code page on Windows; Windows-1252 elsewhere.
std::u16string DecodeAnsiText(std::string_view bytes);
// Windows-1252, with its five unassigned bytes kept as the C1 controls.
std::u16string DecodeWindows1252(std::string_view bytes);

}  // namespace playlist
