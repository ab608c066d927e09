// Texts the playlist builds from paths and numbers.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace playlist {

// The separator this build joins paths with.
#ifdef _WIN32
constexpr char16_t kPathSeparator = u'\\';
#else
constexpr char16_t kPathSeparator = u'/';
#endif

// Both separators count: Windows accepts '/' as well, and native runs use it.
bool IsPathSeparator(char16_t c);
// Up to and including the last separator; empty when there is none.
std::u16string_view FolderOf(std::u16string_view path);
// Everything after the last separator.
std::u16string_view FileNameOf(std::u16string_view path);
// Text after the last dot of the file name; empty when the name has no dot.
std::u16string_view ExtensionOf(std::u16string_view path);
// File name without the dot and the extension.
std::u16string_view TitleOf(std::u16string_view path);

std::u16string UpperAscii(std::u16string_view text);
std::u16string LowerAscii(std::u16string_view text);

// Title cut to its first 90 characters: the text of the entry's row.
std::u16string ListTitleOf(std::u16string_view title);
// Whole minutes right-aligned in three characters (a longer number keeps its
// first three), ":", seconds as two digits: "  3:07".
std::u16string FormatDurationText(int64_t seconds);
// "44.1 kHz", "192.0 kHz".
std::u16string RateLabelText(int32_t rate);

}  // namespace playlist
