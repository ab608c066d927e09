// A stand-in for the audio engine library: streams of files registered by
// path, with a length and a rate, reached through the same bound entries as
// the real library.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace fake_engine {

struct Create {
  char Decoder;  // 'W' plain, 'F' FLAC plug-in, 'A' ALAC plug-in
  std::u16string Path;
  uint32_t Flags;
};

// Points support::Orvo at the fake and forgets every file and stream.
void Install();
void AddFile(const std::u16string& path, int64_t length, float rate);
// Streams created and not yet freed.
int OpenStreams();
const std::vector<Create>& Creates();

}  // namespace fake_engine
