#include "sim_device.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <random>
#include <thread>

#include "support/bound_entries.h"

namespace simdevice {
namespace {

Config Current;
std::mutex GainLock;
std::vector<float> GainList;
std::atomic<int64_t> CallCount{0};
std::atomic<bool> Running{false};
std::atomic<bool> Paused{false};
std::atomic<support::OrvaProc> Proc{nullptr};
std::atomic<int> InitCount{0};
std::atomic<int> PauseCount{0};
std::thread Device;
bool Initialised = false;

void Run() {
  std::mt19937_64 random(Current.seed);
  std::vector<uint8_t> buffer(Current.periodBytes + 8);
  while (Running.load()) {
    if (Paused.load() || (Current.gate && !Current.gate())) {
      // Short sleeps rather than spinning: the feeder needs the processor.
      std::this_thread::sleep_for(std::chrono::microseconds(10));
      continue;
    }
    support::OrvaProc proc = Proc.load();
    if (proc == nullptr) {
      std::this_thread::yield();
      continue;
    }
    const uint32_t got = proc(0, 0, buffer.data(), Current.periodBytes, nullptr);
    CallCount.fetch_add(1);
    if (Current.sink) Current.sink(buffer.data(), got, Current.periodBytes);
    if (Current.jitterMicros != 0) {
      const auto pause = random() % (Current.jitterMicros + 1);
      if (pause < Current.jitterMicros / 4) std::this_thread::yield();
      else std::this_thread::sleep_for(std::chrono::microseconds(pause));
    }
  }
}

int32_t Init(int32_t, uint32_t) {
  ++InitCount;
  if (Current.failInit) return 0;
  Initialised = true;
  return 1;
}
int32_t Stop() {
  if (!Running.exchange(false)) return 0;
  Device.join();
  return 1;
}
int32_t Free() {
  Stop();
  const bool was = Initialised;
  Initialised = false;
  Proc.store(nullptr);
  return was;
}
int32_t Start(uint32_t, uint32_t) {
  if (!Initialised || Running.load()) return 0;
  if (Current.onStart) Current.onStart();
  Paused.store(false);
  Running.store(true);
  Device = std::thread(Run);
  return 1;
}
int32_t IsStarted() { return Running.load() ? 1 : 0; }
int32_t SetRate(double) { return 1; }
int32_t Enable(int32_t, uint32_t, support::OrvaProc proc, void*) {
  Proc.store(proc);
  return 1;
}
int32_t Join(int32_t, uint32_t, int32_t) { return 1; }
int32_t Pause(int32_t, uint32_t) {
  ++PauseCount;
  Paused.store(true);
  return 1;
}
int32_t Reset(int32_t, int32_t, uint32_t flags) {
  if (flags & 4) Paused.store(false);
  if (flags & 1) Proc.store(nullptr);
  return 1;
}
int32_t SetFormat(int32_t, uint32_t, uint32_t) { return 1; }
int32_t SetVolume(int32_t, int32_t, float gain) {
  std::lock_guard<std::mutex> hold(GainLock);
  GainList.push_back(gain);
  return 1;
}

}  // namespace

void Install(const Config& config) {
  Free();
  Current = config;
  CallCount.store(0);
  InitCount.store(0);
  PauseCount.store(0);
  ClearGains();
  support::OutputEntries o{};
  o.Init = &Init;
  o.Free = &Free;
  o.Start = &Start;
  o.Stop = &Stop;
  o.IsStarted = &IsStarted;
  o.SetRate = &SetRate;
  o.ChannelEnable = &Enable;
  o.ChannelJoin = &Join;
  o.ChannelPause = &Pause;
  o.ChannelReset = &Reset;
  o.ChannelSetFormat = &SetFormat;
  o.ChannelSetVolume = &SetVolume;
  support::Orva = o;
}

int64_t Calls() { return CallCount.load(); }
bool Started() { return Running.load(); }
std::vector<float> Gains() {
  std::lock_guard<std::mutex> hold(GainLock);
  return GainList;
}
void ClearGains() {
  std::lock_guard<std::mutex> hold(GainLock);
  GainList.clear();
}
int Inits() { return InitCount.load(); }
int Pauses() { return PauseCount.load(); }

}  // namespace simdevice
