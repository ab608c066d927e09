// Decoding throughput of the engine beside the reference tools on the same
// files in the same run, the WAV rate in GB/s, and the time to create a
// stream for examination. Prints figures; it is not a test.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "orvo.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int32_t kChunkSize = 81607680;  // one fill of the player
constexpr uint32_t kPlayback = 0x80200110;
constexpr uint32_t kExamine = 0x80220110;
constexpr int kRuns = 3;

using CreateCall = uint32_t (*)(int32_t, const void*, uint64_t, uint64_t, uint32_t);

// Shell quoting (appends, as GCC 12 warns falsely on "'" + string at -O2).
std::string Quote(const std::string& text) {
  std::string quoted(1, '\'');
  quoted += text;
  quoted += '\'';
  return quoted;
}

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

bool Run(const std::string& command) {
  if (std::system(command.c_str()) == 0) return true;
  std::fprintf(stderr, "failed: %s\n", command.c_str());
  return false;
}

// Best of kRuns: the tool's time on a warm cache.
double TimeCommand(const std::string& command) {
  double best = 1e9;
  for (int i = 0; i < kRuns; ++i) {
    auto start = Clock::now();
    if (!Run(command)) return -1;
    best = std::min(best, Seconds(start));
  }
  return best;
}

struct Decoded {
  double seconds = -1;
  uint64_t bytes = 0;
};

// Best of kRuns: create for playback and decode one chunk per call, as a fill does.
Decoded TimeEngine(CreateCall create, const fs::path& file, std::vector<float>& chunk) {
  std::u16string path = file.u16string();
  Decoded best;
  for (int i = 0; i < kRuns; ++i) {
    auto start = Clock::now();
    uint32_t stream = create(0, path.c_str(), 0, 0, kPlayback);
    if (stream == 0) {
      std::fprintf(stderr, "cannot open %s: code %d\n", file.string().c_str(), Orvo_ErrorGetCode());
      return best;
    }
    uint64_t bytes = 0;
    int32_t got;
    while ((got = Orvo_ChannelGetData(stream, chunk.data(), kChunkSize)) > 0) bytes += uint64_t(got);
    Orvo_StreamFree(stream);
    double seconds = Seconds(start);
    if (best.seconds < 0 || seconds < best.seconds) best = {seconds, bytes};
  }
  return best;
}

// Mean time of creating a stream for examination, reading its length and rate, and freeing it.
double TimeExamination(CreateCall create, const fs::path& file) {
  std::u16string path = file.u16string();
  constexpr int kTimes = 200;
  create(0, path.c_str(), 0, 0, kExamine);  // warm the cache
  Orvo_Free();
  auto start = Clock::now();
  for (int i = 0; i < kTimes; ++i) {
    uint32_t stream = create(0, path.c_str(), 0, 0, kExamine);
    float rate;
    Orvo_ChannelGetLength(stream, 0);
    Orvo_ChannelGetAttribute(stream, 1, &rate);
    Orvo_StreamFree(stream);
  }
  return Seconds(start) / kTimes;
}

}  // namespace

int main(int argc, char** argv) {
  fs::path dir = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "engine-bench";
  fs::create_directories(dir);
  struct Source {
    const char* name;
    const char* sox;  // rate, depth and length
  };
  const Source sources[] = {{"a16", "-r 44100 -b 16 -c 2 %s synth 231"}, {"b24", "-r 96000 -b 24 -c 2 %s synth 120"}};

  std::printf("making media in %s\n", dir.string().c_str());
  for (const Source& s : sources) {
    std::string base = (dir / s.name).string();
    if (fs::exists(base + ".m4a")) continue;
    char sox[256];
    std::snprintf(sox, sizeof sox, s.sox, Quote(base + ".wav").c_str());
    // Music-like: tones over soft noise, so the encoders work as on real tracks.
    if (!Run(std::string("sox -D -R -n ") + sox + " sine 110 sine 440 pinknoise remix - gain -6 2>/dev/null") ||
        !Run("flac -s -f -o " + Quote(base + ".flac") + " " + Quote(base + ".wav")) ||
        !Run("ffmpeg -nostdin -v error -y -i " + Quote(base + ".wav") + " -c:a alac " + Quote(base + ".m4a")))
      return 1;
  }

  std::vector<float> chunk(size_t(kChunkSize) / sizeof(float));
  std::printf("\n%-10s %10s %10s %10s %8s  (best of %d, one %d-byte request per call)\n", "file", "engine s",
              "tool s", "MB/s", "ratio", kRuns, kChunkSize);
  for (const Source& s : sources) {
    std::string base = (dir / s.name).string();
    struct Row {
      const char* ext;
      CreateCall create;
      std::string tool;
    };
    const Row rows[] = {
        {".wav", &Orvo_StreamCreateFile, ""},
        {".flac", &Orvo_FLAC_StreamCreateFile, "flac -s -d -c " + Quote(base + ".flac") + " > /dev/null"},
        {".m4a", &Orvo_ALAC_StreamCreateFile, "ffmpeg -nostdin -v error -i " + Quote(base + ".m4a") + " -f f32le - > /dev/null"},
    };
    for (const Row& row : rows) {
      Decoded ours = TimeEngine(row.create, base + row.ext, chunk);
      if (ours.seconds < 0) return 1;
      double mbps = double(ours.bytes) / ours.seconds / 1e6;
      std::string name = std::string(s.name) + row.ext;
      if (row.tool.empty()) {
        std::printf("%-10s %10.3f %10s %10.0f %8s  WAV: %.2f GB/s (target > 1)\n", name.c_str(), ours.seconds, "-",
                    mbps, "-", mbps / 1000);
      } else {
        double tool = TimeCommand(row.tool);
        std::printf("%-10s %10.3f %10.3f %10.0f %8.2f  (time ratio engine/tool, target <= 1.0)\n", name.c_str(),
                    ours.seconds, tool, mbps, ours.seconds / tool);
      }
    }
  }

  std::printf("\nexamination create (mean of 200, warm cache; target < 2 ms per file)\n");
  for (const Source& s : sources) {
    std::string base = (dir / s.name).string();
    const std::pair<const char*, CreateCall> calls[] = {{".wav", &Orvo_StreamCreateFile},
                                                         {".flac", &Orvo_FLAC_StreamCreateFile},
                                                         {".m4a", &Orvo_ALAC_StreamCreateFile}};
    for (const auto& [ext, create] : calls)
      std::printf("%-10s %8.3f ms\n", (std::string(s.name) + ext).c_str(), TimeExamination(create, base + ext) * 1e3);
  }
  Orvo_Free();
  return 0;
}
