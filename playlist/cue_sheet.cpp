#include "playlist/cue_sheet.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "playlist/ansi.h"
#include "playlist/cover.h"
#include "playlist/files.h"
#include "playlist/model.h"
#include "playlist/names.h"
#include "playlist/probe.h"
#include "playlist/view.h"
#include "shell/text.h"

namespace playlist {

namespace {

enum class Command { None, File, TrackAudio, Performer, Title, Index00, Index01 };

struct CueLine {
  Command command = Command::None;
  std::u16string_view value;   // quoted text, or the index time
  std::u16string_view number;  // a track's number text
};

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

size_t SkipBlanks(std::u16string_view line, size_t at) {
  while (at < line.size() && IsBlank(line[at])) ++at;
  return at;
}

size_t WordEnd(std::u16string_view line, size_t at) {
  while (at < line.size() && !IsBlank(line[at])) ++at;
  return at;
}

std::u16string_view QuotedText(std::u16string_view line) {
  const size_t open = line.find(u'"');
  if (open == std::u16string_view::npos) return {};
  const size_t close = line.find(u'"', open + 1);
  if (close == std::u16string_view::npos) return {};
  return line.substr(open + 1, close - open - 1);
}

// Only the line's first word is its command: a title such as "FILE UNDER X"
// or a performer with "TRACK" in it is a value, not a command.
CueLine ParseCueLine(std::u16string_view line) {
  CueLine out;
  const size_t start = SkipBlanks(line, 0);
  const size_t end = WordEnd(line, start);
  const std::u16string_view word = line.substr(start, end - start);
  const size_t secondStart = SkipBlanks(line, end);
  const size_t secondEnd = WordEnd(line, secondStart);
  const std::u16string_view second = line.substr(secondStart, secondEnd - secondStart);
  if (word == u"FILE") {
    out.command = Command::File;
    out.value = QuotedText(line);
  } else if (word == u"PERFORMER") {
    out.command = Command::Performer;
    out.value = QuotedText(line);
  } else if (word == u"TITLE") {
    out.command = Command::Title;
    out.value = QuotedText(line);
  } else if (word == u"TRACK") {
    const size_t typeStart = SkipBlanks(line, secondEnd);
    if (line.substr(typeStart, WordEnd(line, typeStart) - typeStart) == u"AUDIO") {
      out.command = Command::TrackAudio;
      // The two characters after "TRACK " ("1 " for TRACK 1 AUDIO).
      out.number = line.substr(std::min(end + 1, line.size()), 2);
    }
  } else if (word == u"INDEX" && (second == u"00" || second == u"01")) {
    out.command = second == u"00" ? Command::Index00 : Command::Index01;
    out.value = line.substr(SkipBlanks(line, secondEnd), 8);
  }
  return out;
}

std::vector<std::u16string_view> SplitLines(std::u16string_view text) {
  std::vector<std::u16string_view> lines;
  size_t begin = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == u'\r' || text[i] == u'\n') {
      if (i > begin) lines.push_back(text.substr(begin, i - begin));
      begin = i + 1;
    }
  }
  return lines;
}

std::u16string DecodeUtf16(std::string_view bytes, bool bigEndian) {
  std::u16string out;
  out.reserve(bytes.size() / 2);
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto a = static_cast<uint8_t>(bytes[i]), b = static_cast<uint8_t>(bytes[i + 1]);
    out += static_cast<char16_t>(bigEndian ? (a << 8 | b) : (b << 8 | a));
  }
  return out;
}

// The audio file the tracks being read belong to.
struct AudioFile {
  std::u16string Path;
  ProbeStream Stream;
  int64_t Length = 0;
  int32_t Rate = 0;
};

bool OpenAudioFile(const CueSheetSources& sources, std::u16string_view sheetPath, std::u16string_view name,
                   AudioFile* audio) {
  std::u16string path(FolderOf(sheetPath));
  path += name;
  ProbeStream stream(sources.OpenAudio(path));
  int64_t length = 0;
  int32_t rate = 0;
  if (!stream.Handle() || !stream.Describe(&length, &rate)) return false;
  audio->Path = std::move(path);
  audio->Stream = std::move(stream);
  audio->Length = length;
  audio->Rate = rate;
  return true;
}

}  // namespace

CueSheetSources DefaultCueSheetSources() {
  CueSheetSources sources;
  sources.DecodeAnsi = DecodeAnsiText;
  sources.OpenAudio = OpenProbeStream;
  return sources;
}

bool DecodeCueSheetText(std::string_view bytes, std::u16string (*decodeAnsi)(std::string_view),
                        std::u16string* text) {
  auto startsWith = [&](std::string_view mark) { return bytes.substr(0, mark.size()) == mark; };
  // UTF-32 first: its little-endian mark begins like UTF-16's.
  if (startsWith(std::string_view("\xFF\xFE\0\0", 4)) || startsWith(std::string_view("\0\0\xFE\xFF", 4))) return false;
  if (startsWith("\xEF\xBB\xBF")) *text = shell::Utf16FromUtf8(bytes.substr(3));
  else if (startsWith("\xFF\xFE")) *text = DecodeUtf16(bytes.substr(2), false);
  else if (startsWith("\xFE\xFF")) *text = DecodeUtf16(bytes.substr(2), true);
  else *text = decodeAnsi ? decodeAnsi(bytes) : DecodeWindows1252(bytes);
  return true;
}

int64_t CueTimePosition(std::u16string_view time, int32_t rate) {
  int64_t fields[3] = {0, 0, 0};
  bool ended[3] = {false, false, false};
  size_t k = 0;
  for (char16_t c : time) {
    if (c == u':') {
      if (++k == 3) break;
    } else if (c >= u'0' && c <= u'9' && !ended[k]) {
      fields[k] = fields[k] * 10 + (c - u'0');
    } else {
      ended[k] = true;
    }
  }
  // Eight characters keep each field below 10^8, but a large rate could still
  // carry the product past 64 bits.
  const __int128 r = rate;
  const __int128 position = 8 * (fields[0] * 60 * r + fields[1] * r + fields[2] * (r / 75));
  return position > INT64_MAX ? INT64_MAX : static_cast<int64_t>(position);
}

bool ReadCueSheetBytes(std::u16string_view sheetPath, std::string_view bytes, const CueSheetSources& sources) {
  std::u16string text;
  if (!sources.OpenAudio || !DecodeCueSheetText(bytes, sources.DecodeAnsi, &text)) return false;
  const std::vector<std::u16string_view> lines = SplitLines(text);
  std::vector<CueLine> parsed;
  parsed.reserve(lines.size());
  for (std::u16string_view line : lines) parsed.push_back(ParseCueLine(line));

  AudioFile audio;
  std::optional<std::u16string> coverPath;  // the same for every track of the sheet
  size_t i = 0;
  const size_t n = parsed.size();
  while (i < n) {
    const CueLine& line = parsed[i++];
    if (line.command == Command::File && !line.value.empty()) {
      if (!OpenAudioFile(sources, sheetPath, line.value, &audio)) return false;
      continue;
    }
    if (line.command != Command::TrackAudio) continue;

    const std::u16string_view number = line.number;
    std::u16string_view performer, title, start;
    bool started = false;
    while (i < n && !started) {
      const CueLine& own = parsed[i++];
      if (own.command == Command::Performer && performer.empty()) performer = own.value;
      else if (own.command == Command::Title && title.empty()) title = own.value;
      else if (own.command == Command::Index01) start = own.value, started = true;
      // A FILE line before the track's INDEX 01 ("gaps appended" sheets) holds
      // the track's start: the track plays from that file.
      else if (own.command == Command::File && !own.value.empty() &&
               !OpenAudioFile(sources, sheetPath, own.value, &audio))
        return false;
    }
    if (!started) break;
    // Tracks before any usable FILE line have no audio to name.
    if (!audio.Stream.Handle()) continue;

    // The next INDEX 01 ends the track; its pre-gap (INDEX 00) stays with this
    // track. Without a next INDEX 01 in this file, the track runs to its end.
    std::optional<std::u16string_view> nextStart;
    for (size_t j = i; j < n; ++j) {
      if (parsed[j].command == Command::File && !parsed[j].value.empty()) break;
      if (parsed[j].command == Command::Index01) {
        nextStart = parsed[j].value;
        break;
      }
    }

    PlaylistEntry entry;
    entry.SampleRate = audio.Rate;
    entry.CueStart = CueTimePosition(start, entry.SampleRate);
    entry.CueEnd = nextStart ? CueTimePosition(*nextStart, entry.SampleRate) : audio.Length;
    // Times past the file's end would name bytes the file does not have.
    entry.CueEnd = std::min(entry.CueEnd, audio.Length);
    if (entry.CueStart >= audio.Length || entry.CueEnd <= entry.CueStart) continue;

    if (State.PlaylistRate == 0) {
      State.PlaylistRate = entry.SampleRate;
      View().ShowStatusLabel(RateLabelText(State.PlaylistRate));
    } else if (State.PlaylistRate != entry.SampleRate) {
      return false;
    }

    entry.FilePath = audio.Path;
    entry.Extension = UpperAscii(ExtensionOf(audio.Path));
    entry.Title = std::u16string(number) + u" " + std::u16string(performer) + u" - " + std::u16string(title);
    entry.ByteLength = entry.CueEnd - entry.CueStart;
    entry.IsCueTrack = 1;
    entry.ListTitle = ListTitleOf(entry.Title);
    entry.DurationText = FormatDurationText(entry.ByteLength / 8 / State.PlaylistRate);
    entry.EntryId = TakeEntryId();
    if (View().ViewCover()) {
      if (!coverPath) coverPath = FindCoverArt(sheetPath);
      entry.CoverPath = *coverPath;
    }
    AppendPlaylistEntry(entry);
  }
  return false;
}

bool ReadCueSheet(std::u16string_view sheetPath) {
  std::string bytes;
  if (!ReadFileBytes(std::u16string(sheetPath), kMaxCueSheetBytes, &bytes)) return false;
  return ReadCueSheetBytes(sheetPath, bytes, DefaultCueSheetSources());
}

}  // namespace playlist
