// cuedump SHEET: reads a CUE sheet through the player's own reader and engine
// and prints, per entry the player would append, one UTF-8 line:
// FilePath, Title, CueStart, CueEnd, DurationText, SampleRate, tab-separated.
// Everything else (usage, failures) goes to standard error.
#include <cstdio>
#include <string>

#include "cuedump.h"
#include "engine_binding.h"
#include "playlist/cue_sheet.h"
#include "playlist/model.h"
#include "shell/message_box.h"
#include "shell/text.h"
#include "support/bound_entries.h"

namespace {
int ToStandardError(std::u16string_view title, std::u16string_view text, uint32_t) {
  std::fprintf(stderr, "%s: %s\n", shell::Utf8FromUtf16(title).c_str(), shell::Utf8FromUtf16(text).c_str());
  return 1;
}

// Tabs and line ends inside a field would break the line format.
std::string Field(std::u16string_view text) {
  std::string out = shell::Utf8FromUtf16(text);
  for (char& c : out) {
    if (c == '\t' || c == '\n' || c == '\r') c = ' ';
  }
  return out;
}
}  // namespace

int main(int argc, char** argv) {
  std::u16string sheet;
  if (!cuedump::SheetArgument(argc, argv, &sheet)) {
    std::fprintf(stderr, "usage: cuedump SHEET\n");
    return 2;
  }
  shell::SetMessageSink(ToStandardError);
  std::string error;
  if (!cuedump::BindEngine(&error)) {
    std::fprintf(stderr, "cuedump: %s\n", error.c_str());
    return 1;
  }
  // Examination needs an initialised engine; device 0 plays nothing.
  if (support::Orvo.SetConfig) support::Orvo.SetConfig(42, 1);
  if (support::Orvo.Init) support::Orvo.Init(0, 44100, 4096, nullptr, nullptr);
  if (support::Orvo.SetConfig) support::Orvo.SetConfig(1, 0);

  playlist::ReadCueSheet(sheet);
  for (const playlist::PlaylistEntry& e : playlist::CopyPlaylist()) {
    cuedump::WriteOut(Field(e.FilePath) + '\t' + Field(e.Title) + '\t' + std::to_string(e.CueStart) + '\t' +
                      std::to_string(e.CueEnd) + '\t' + Field(e.DurationText) + '\t' +
                      std::to_string(e.SampleRate) + '\n');
  }
  if (playlist::PlaylistCount() == playlist::MaxPlaylistEntries) {
    std::fprintf(stderr, "cuedump: the playlist's limit of %d entries was reached\n", playlist::MaxPlaylistEntries);
  }
  if (support::Orvo.Free) support::Orvo.Free();
  return 0;
}
