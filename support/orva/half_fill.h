// Filling one buffer half of a stream: ask the callback, silence what it did
// not supply, apply the gain, convert to each channel's native type. Runs on
// the driver's thread, so it never allocates, locks or waits. Portable.
#pragma once
#include <cstdint>

#include "support/orva/orva.h"

namespace orva {

struct HalfOutput {
  void* destination;  // the driver's buffer half of this channel
  int32_t type;       // the driver's sample type
  float gain;         // read once for this half
};

// A stream is the enabled channel plus those joined to it; the callback gets
// frames × count interleaved floats in `scratch` (8-byte aligned, that size).
// Returns the bytes the callback supplied (0 when paused).
uint32_t FillStreamHalf(OrvaProc proc, uint32_t channel, void* user, bool paused, float* scratch,
                        uint32_t frames, const HalfOutput* outputs, uint32_t count);

void SilenceHalf(void* destination, int32_t type, uint32_t frames);

}  // namespace orva
