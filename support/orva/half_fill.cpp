#include "support/orva/half_fill.h"

#include <cstring>

#include "support/orva/sample_format.h"

namespace orva {

uint32_t FillStreamHalf(OrvaProc proc, uint32_t channel, void* user, bool paused, float* scratch,
                        uint32_t frames, const HalfOutput* outputs, uint32_t count) {
  const uint32_t length = frames * count * 4;
  uint32_t supplied = 0;
  if (!paused && proc != nullptr) {
    supplied = proc(0, channel, scratch, length, user);
    if (supplied > length) supplied = length;
  }
  // Whole samples only: a partial float at the end is silence too.
  const uint32_t kept = supplied / 4 * 4;
  std::memset(reinterpret_cast<uint8_t*>(scratch) + kept, 0, length - kept);
  for (uint32_t k = 0; k < count; ++k) {
    if (!ConvertSamples(scratch + k, count, outputs[k].gain, outputs[k].destination, outputs[k].type,
                        frames)) {
      SilenceHalf(outputs[k].destination, outputs[k].type, frames);
    }
  }
  return supplied;
}

void SilenceHalf(void* destination, int32_t type, uint32_t frames) {
  // Zero bytes are silence in every type, integer or float.
  // A type we cannot write has an unknown size: such channels get no buffers.
  const size_t bytes = SampleBytes(type);
  if (bytes != 0) std::memset(destination, 0, bytes * frames);
}

}  // namespace orva
