// playback_bench: figures of the playback engine, printed beside a reference;
// not a test.
//
//   callback      cost of one AsioProc call per period over a long run
//                 (maximum and 99.9th percentile)
//   first sample  StartPlayback to the first sample the device receives,
//                 with every fixed wait shortened to 50 us, divided by the
//                 time `flac -d` needs to decode the same 231.3 s of audio
//                 (target at most 1.1)
//   working set   resident memory while the first chunks play (limit
//                 3 x ChunkSize + 64 MiB)
//   stop          StopEngine after a full chunk, fixed waits shortened the
//                 same way and no fade (target at most 50 ms)
//
// The real decoders are bound from the built shared objects; the device is
// the simulated one of the tests. Media are made with sox and flac at run
// time in a temporary folder.
#include <dlfcn.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include "engine/engine.h"
#include "harness.h"
#include "playlist/model.h"
#include "shell/text.h"
#include "shell/procedure_table.h"
#include "sim_device.h"
#include "support/bind_by_name.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// The process's resident set, from /proc.
int64_t ResidentBytes() {
  FILE* status = std::fopen("/proc/self/status", "r");
  if (status == nullptr) return 0;
  char line[256];
  long long kib = 0;
  while (std::fgets(line, sizeof line, status) != nullptr) {
    if (std::sscanf(line, "VmRSS: %lld kB", &kib) == 1) break;
  }
  std::fclose(status);
  return int64_t(kib) * 1024;
}

void ShortWait(uint32_t) { std::this_thread::sleep_for(std::chrono::microseconds(50)); }

bool BindRealEngine() {
  void* orvo = dlopen(BENCH_ORVO_LIB, RTLD_NOW);
  void* orvu = dlopen(BENCH_ORVU_LIB, RTLD_NOW);
  void* oraa = dlopen(BENCH_ORAA_LIB, RTLD_NOW);
  if (!orvo || !orvu || !oraa) {
    std::fprintf(stderr, "cannot load the engine: %s\n", dlerror());
    return false;
  }
  struct Lookup {
    void* library;
    void* operator()(const char* name) const { return dlsym(library, name); }
  };
  return support::BindEngineEntries(Lookup{orvo}) && support::BindFlacEntries(Lookup{orvu}) &&
         support::BindAlacEntries(Lookup{oraa});
}

void CallbackCost() {
  enginetest::Engine e(2048, engine::ChunkSize);
  for (int i = 0; i < 4; ++i) e.AddTrack(int64_t(44100) * 8 * 150);  // ten minutes
  std::vector<double> costs;
  costs.reserve(1 << 20);
  simdevice::Config config;
  config.periodBytes = 2048;  // 256 frames
  config.gate = [&e] { return e.NoUnderrunGate(); };
  config.sink = [](const uint8_t*, uint32_t, uint32_t) {};
  e.InstallDevice(config);
  // Timed around the callback itself: the device's own work stays outside.
  static std::vector<double>* sink = nullptr;
  sink = &costs;
  static auto timed = [](int32_t input, uint32_t channel, void* buffer, uint32_t length, void* user) -> uint32_t {
    const auto start = Clock::now();
    const uint32_t got = engine::AsioProc(input, channel, buffer, length, user);
    sink->push_back(Seconds(Clock::now() - start) * 1e6);
    return got;
  };
  shell::ProcedureTable::Add(u"AsioProc()",
                             reinterpret_cast<void*>(+[](int32_t a, uint32_t b, void* c, uint32_t d, void* f) {
                               return timed(a, b, c, d, f);
                             }));
  engine::platform::SetSleepHookForTesting(&ShortWait);
  engine::StartPlayback();
  e.RunToEnd();
  shell::ProcedureTable::Add(u"AsioProc()", reinterpret_cast<void*>(&engine::AsioProc));
  std::sort(costs.begin(), costs.end());
  if (costs.empty()) return;
  const double p999 = costs[std::min(costs.size() - 1, size_t(double(costs.size()) * 0.999))];
  std::printf("callback: %zu periods of 256 frames, max %.2f us, 99.9th percentile %.2f us, median %.2f us\n",
              costs.size(), costs.back(), p999, costs[costs.size() / 2]);
}

bool MakeMedia(const std::filesystem::path& folder) {
  // Exactly one chunk of audio: 10,200,960 frames at 44.1 kHz (231.3 s).
  const std::string wav = (folder / "chunk.wav").string(), flac = (folder / "chunk.flac").string();
  const std::string make = "sox -q -n -r 44100 -c 2 -b 16 '" + wav +
                           "' synth 10200960s pinknoise vol 0.3 && flac -s -f -o '" + flac + "' '" + wav + "'";
  return std::system(make.c_str()) == 0;
}

void FirstSample(const std::filesystem::path& folder) {
  const std::string flac = (folder / "chunk.flac").string();
  const std::string reference = "flac -s -d -f -o '" + (folder / "decoded.wav").string() + "' '" + flac + "'";
  auto start = Clock::now();
  if (std::system(reference.c_str()) != 0) return;
  const double flacSeconds = Seconds(Clock::now() - start);

  enginetest::Engine e(2048, engine::ChunkSize);
  if (!BindRealEngine()) return;
  engine::platform::SetSleepHookForTesting(&ShortWait);
  playlist::PlaylistEntry entry;
  entry.FilePath = shell::Utf16FromUtf8(flac);
  entry.Title = u"chunk";
  entry.Extension = u"flac";
  entry.SampleRate = 44100;
  entry.EntryId = playlist::TakeEntryId();
  playlist::AppendPlaylistEntry(entry);
  playlist::AppendPlaylistEntry(entry);  // a second track keeps the feeder busy decoding

  std::atomic<int64_t> firstNs{0};
  simdevice::Config config;
  config.periodBytes = 2048;
  config.sink = [&](const uint8_t*, uint32_t got, uint32_t) {
    if (got > 0 && firstNs.load() == 0) firstNs.store(Clock::now().time_since_epoch().count());
  };
  e.InstallDevice(config);
  start = Clock::now();
  engine::StartPlayback();
  enginetest::WaitFor([&] { return firstNs.load() != 0; });
  const double toFirst = double(firstNs.load() - start.time_since_epoch().count()) * 1e-9;
  std::printf("first sample: %.3f s after StartPlayback; flac -d of the same 231.3 s: %.3f s; ratio %.2f (target <= 1.1)\n",
              toFirst, flacSeconds, toFirst / flacSeconds);

  std::printf("working set during playback: %.1f MiB (limit 3 x ChunkSize + 64 MiB = %.1f MiB)\n",
              double(ResidentBytes()) / 1048576.0, double(3 * engine::ChunkSize + (64 << 20)) / 1048576.0);

  // The device has started and the feeder decodes the second chunk now; the
  // stop must end that decode through the engine, not wait it out.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  start = Clock::now();
  engine::StopEngine();
  const double stopSeconds = Seconds(Clock::now() - start);
  std::printf("stop: StopEngine after a full chunk %.1f ms (target <= 50 ms), feeder %s\n", stopSeconds * 1e3,
              engine::Transport.FeederAbandoned ? "ABANDONED" : "ended");
  engine::Decoder.PlayState.store(0);
}

}  // namespace

int main() {
  CallbackCost();
  const auto folder = std::filesystem::temp_directory_path() / ("veloran-engine-bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  if (MakeMedia(folder)) {
    FirstSample(folder);
  } else {
    std::fprintf(stderr, "sox or flac failed; no first-sample or stop figures\n");
  }
  std::filesystem::remove_all(folder);
  return 0;
}
