// Feeds arbitrary bytes to the CUE reader over a fake engine holding three
// album files, and traps on any entry that names bytes its file does not have.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fake_engine.h"
#include "playlist/ansi.h"
#include "playlist/cue_sheet.h"
#include "playlist/model.h"
#include "playlist/probe.h"

namespace {
constexpr int64_t kLengthA = 8LL * 44100 * 600;
constexpr int64_t kLengthC = 8LL * 44100 * 3;

int64_t LengthOf(const std::u16string& path) {
  if (path == u"/s/a.wav") return kLengthA;
  if (path == u"/s/b.flac") return 8000;
  if (path == u"/s/c.m4a") return kLengthC;
  return -1;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  playlist::ResetPlaylistForTesting();
  fake_engine::Install();
  fake_engine::AddFile(u"/s/a.wav", kLengthA, 44100.0f);
  fake_engine::AddFile(u"/s/b.flac", 8000, 48000.0f);
  fake_engine::AddFile(u"/s/c.m4a", kLengthC, 44100.0f);
  playlist::CueSheetSources sources;
  sources.DecodeAnsi = playlist::DecodeWindows1252;
  sources.OpenAudio = playlist::OpenProbeStream;
  playlist::ReadCueSheetBytes(u"/s/x.cue", std::string_view(reinterpret_cast<const char*>(data), size), sources);
  int64_t total = 0;
  for (const playlist::PlaylistEntry& e : playlist::CopyPlaylist()) {
    const int64_t length = LengthOf(e.FilePath);
    if (length < 0 || e.CueStart < 0 || e.CueEnd <= e.CueStart || e.CueEnd > length) __builtin_trap();
    if (e.ByteLength != e.CueEnd - e.CueStart || e.SampleRate != playlist::State.PlaylistRate) __builtin_trap();
    total += e.ByteLength;
  }
  if (total != playlist::State.PlaylistBytes || fake_engine::OpenStreams() != 0) __builtin_trap();
  return 0;
}
