// Arbitrary bytes as a file of one format, through creation, decoding and
// positioning. Built three times, once per create call.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "orvo.h"

namespace {

#if defined(ENGINE_FUZZ_WAV)
constexpr auto kCreate = &Orvo_StreamCreateFile;
constexpr const char* kExtension = ".wav";
#elif defined(ENGINE_FUZZ_FLAC)
constexpr auto kCreate = &Orvo_FLAC_StreamCreateFile;
constexpr const char* kExtension = ".flac";
#else
constexpr auto kCreate = &Orvo_ALAC_StreamCreateFile;
constexpr const char* kExtension = ".m4a";
#endif

// Enough to run into every kind of frame of a small input, not so much that
// a header claiming hours makes one input take long.
constexpr uint64_t kMostBytes = 32u << 20;

const std::string& FilePath() {
  static const std::string path = "/tmp/engine-fuzz-" + std::to_string(getpid()) + kExtension;
  return path;
}

std::u16string Utf16(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FILE* file = std::fopen(FilePath().c_str(), "wb");
  if (file == nullptr) return 0;
  std::fwrite(data, 1, size, file);
  std::fclose(file);

  static const std::u16string path = Utf16(FilePath());
  static std::vector<float> buffer(1 << 17);
  for (uint32_t flags : {0x80220110u, 0x80200110u}) {
    uint32_t stream = kCreate(0, path.c_str(), 0, 0, flags);
    if (stream == 0) {
      Orvo_ErrorGetCode();
      return 0;
    }
    uint64_t length = Orvo_ChannelGetLength(stream, 0);
    float rate = 0;
    Orvo_ChannelGetAttribute(stream, 1, &rate);
    Orvo_ChannelBytes2Seconds(stream, length);
    if (flags == 0x80200110u) {
      uint64_t total = 0;
      int32_t got;
      while (total < kMostBytes &&
             (got = Orvo_ChannelGetData(stream, buffer.data(), int32_t(buffer.size() * sizeof(float)))) > 0)
        total += uint64_t(got);
      // Positions in front of, inside and beyond what was delivered.
      const uint64_t positions[] = {length / 3 / 8 * 8, total / 2 / 8 * 8, length, length + 8, 0};
      for (uint64_t position : positions) {
        if (Orvo_ChannelSetPosition(stream, position, 0)) Orvo_ChannelGetData(stream, buffer.data(), 4096);
      }
    }
    Orvo_StreamFree(stream);
  }
  return 0;
}
