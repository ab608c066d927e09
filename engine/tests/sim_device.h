// A simulated ASIO output reached through support::Orva: once started, its
// thread calls the enabled callback every period (period length and timing
// jitter configurable) and hands what it receives to a sink. It runs as fast
// as the optional gate lets it: tests wait on conditions, never on times.
#pragma once
#include <cstdint>
#include <functional>
#include <vector>

namespace simdevice {

struct Config {
  uint32_t periodBytes = 512;
  uint32_t jitterMicros = 0;   // a random pause of up to this long after each period
  bool failInit = false;
  uint64_t seed = 1;
  // Called on the device thread before each period; the period waits while it
  // is false.
  std::function<bool()> gate;
  // Called by Start on the caller's thread before the device thread runs.
  std::function<void()> onStart;
  // Called on the device thread with each period's supplied bytes.
  std::function<void(const uint8_t* data, uint32_t supplied, uint32_t asked)> sink;
};

void Install(const Config& config);
int64_t Calls();
bool Started();
// Gains sent through ChannelSetVolume, in order.
std::vector<float> Gains();
void ClearGains();
int Inits();
int Pauses();

}  // namespace simdevice
