// The CUE sheet reader: turns a sheet's audio tracks into playlist entries that
// each name a byte range of the album's decoded stream.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace playlist {

// Sheets longer than this are not sheets; they are refused unread.
constexpr size_t kMaxCueSheetBytes = 64u << 20;

struct CueSheetSources {
  // Text of a sheet without a byte-order mark.
  std::u16string (*DecodeAnsi)(std::string_view bytes) = nullptr;
  // Opens the album file for examination; a stream handle or 0.
  uint32_t (*OpenAudio)(std::u16string_view path) = nullptr;
};

// The system's ANSI decoding and OpenProbeStream.
CueSheetSources DefaultCueSheetSources();

// The sheet's text by its byte-order mark: UTF-8 and UTF-16 (LE, BE) by the
// mark, ANSI without one. False for UTF-32, which is not read.
bool DecodeCueSheetText(std::string_view bytes, std::u16string (*decodeAnsi)(std::string_view),
                        std::u16string* text);

// Byte position of an index time mm:ss:ff (75 frames a second) in a decoded
// stream of two 32-bit float channels at rate; non-digits end a field.
int64_t CueTimePosition(std::u16string_view time, int32_t rate);

// Appends the sheet's tracks; sheetPath only places the audio files and the
// cover search. Always false: the caller appends nothing for a sheet.
bool ReadCueSheetBytes(std::u16string_view sheetPath, std::string_view bytes, const CueSheetSources& sources);
// Reads the sheet file, then as above.
bool ReadCueSheet(std::u16string_view sheetPath);

}  // namespace playlist
