// Volume and fades. Thread: the main thread, except FadeOutForStop, which a
// feeder whose main window is gone also runs (it only reads VolumeGain).
//
// Every level is single precision at every step: the gain of position p is
// (float)p / 1.9f stored as float, then / 100.0f stored as float; a fade
// level is g * n stored as float, then / 20.0f (or / 100.0f) stored as float.
// The volatile stores keep the compiler from fusing or widening the steps.
#include "engine/engine.h"
#include "engine/transport_view.h"
#include "support/bound_entries.h"

namespace engine {

VolumeState Volume;

namespace {

float Stored(float value) {
  volatile float v = value;
  return v;
}

float StepLevel(float g, int n, float divisor) { return Stored(Stored(g * float(n)) / divisor); }

float Gain() { return Volume.VolumeGain.load(std::memory_order_relaxed); }

}  // namespace

float GainForPosition(int32_t position) {
  if (position == 190) return 1.0f;
  return Stored(Stored(float(position) / 1.9f) / 100.0f);
}

void SetOutputGain(float gain) {
  if (support::Orva.ChannelSetVolume) support::Orva.ChannelSetVolume(0, -1, gain);
}

void SetVolume(int32_t p) {
  const int32_t v = Volume.VolumePosition;
  const int32_t d = v - p;
  Volume.VolumeGain.store(GainForPosition(p), std::memory_order_relaxed);
  if (d > 8) {
    for (int32_t k = 1; k <= d; k += 6) {
      SetOutputGain(Stored(Stored(float(v - k) / 1.9f) / 100.0f));
      platform::Sleep(20);
    }
  }
  if (d < -8) {
    for (int32_t k = 1; k <= -d; k += 6) {
      SetOutputGain(Stored(Stored(float(v + k) / 1.9f) / 100.0f));
      platform::Sleep(10);
    }
  }
  SetOutputGain(Gain());
  Volume.VolumePosition = p;
  if (View().VolumeControl()) View().DrawVolumeSlider(p);
}

void FadeOutForStop() {
  const float g = Gain();
  for (int n = 20; n >= 2; --n) {
    SetOutputGain(StepLevel(g, n, 20.0f));
    platform::Sleep(30);
  }
  for (int n = 9; n >= 1; --n) {
    SetOutputGain(StepLevel(g, n, 100.0f));
    platform::Sleep(30);
  }
  for (float factor : {0.006f, 0.002f, 0.0002f}) {
    SetOutputGain(Stored(g * factor));
    platform::Sleep(30);
  }
}

void FadeOutForPause() {
  const float g = Gain();
  for (int n = 20; n >= 0; --n) {
    SetOutputGain(StepLevel(g, n, 20.0f));
    platform::Sleep(20);
  }
}

void FadeInForResume() {
  const float g = Gain();
  for (int n = 0; n <= 20; ++n) {
    SetOutputGain(StepLevel(g, n, 20.0f));
    platform::Sleep(20);
  }
}

}  // namespace engine
