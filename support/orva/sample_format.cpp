#include "support/orva/sample_format.h"

#include <cmath>
#include <cstring>

namespace orva {
namespace {

// Significant bits of a right-justified or packed integer type, 0 otherwise.
int IntegerBits(int32_t type) {
  switch (type) {
    case kInt16MSB: case kInt16LSB: case kInt32MSB16: case kInt32LSB16: return 16;
    case kInt32MSB18: case kInt32LSB18: return 18;
    case kInt32MSB20: case kInt32LSB20: return 20;
    case kInt24MSB: case kInt24LSB: case kInt32MSB24: case kInt32LSB24: return 24;
    case kInt32MSB: case kInt32LSB: return 32;
    default: return 0;
  }
}

bool BigEndian(int32_t type) { return type < kInt16LSB; }

void StoreBytes(uint8_t* out, uint64_t value, size_t bytes, bool bigEndian) {
  for (size_t i = 0; i < bytes; ++i) {
    uint8_t byte = static_cast<uint8_t>(value >> (8 * i));
    out[bigEndian ? bytes - 1 - i : i] = byte;
  }
}

}  // namespace

size_t SampleBytes(int32_t type) {
  switch (type) {
    case kInt16MSB: case kInt16LSB: return 2;
    case kInt24MSB: case kInt24LSB: return 3;
    case kFloat64MSB: case kFloat64LSB: return 8;
    case kInt32MSB: case kInt32LSB: case kFloat32MSB: case kFloat32LSB:
    case kInt32MSB16: case kInt32MSB18: case kInt32MSB20: case kInt32MSB24:
    case kInt32LSB16: case kInt32LSB18: case kInt32LSB20: case kInt32LSB24: return 4;
    default: return 0;
  }
}

int32_t QuantizeSample(float x, int bits) {
  if (std::isnan(x)) return 0;
  // A double holds x · 2^31 exactly (24-bit mantissa shifted), so the only
  // rounding is the one done here.
  const double scaled = std::ldexp(static_cast<double>(x), bits - 1);
  const double top = std::ldexp(1.0, bits - 1) - 1.0;
  const double bottom = -std::ldexp(1.0, bits - 1);
  if (scaled >= top) return static_cast<int32_t>(top);
  if (scaled <= bottom) return static_cast<int32_t>(bottom);
  double rounded = std::floor(scaled + 0.5);
  if (rounded - scaled == 0.5 && std::fmod(rounded, 2.0) != 0.0) rounded -= 1.0;
  return static_cast<int32_t>(rounded);
}

bool ConvertSamples(const float* source, size_t stride, float gain, void* destination,
                    int32_t type, size_t frames) {
  const size_t bytes = SampleBytes(type);
  if (bytes == 0) return false;
  uint8_t* out = static_cast<uint8_t*>(destination);
  const bool scale = gain != 1.0f;
  const bool big = BigEndian(type);
  const int bits = IntegerBits(type);
  for (size_t i = 0; i < frames; ++i, out += bytes) {
    float x = source[i * stride];
    if (scale) x *= gain;
    if (type == kFloat32LSB || type == kFloat32MSB) {
      uint32_t word;
      std::memcpy(&word, &x, 4);
      StoreBytes(out, word, 4, big);
    } else if (type == kFloat64LSB || type == kFloat64MSB) {
      const double wide = x;
      uint64_t word;
      std::memcpy(&word, &wide, 8);
      StoreBytes(out, word, 8, big);
    } else {
      const uint32_t value = static_cast<uint32_t>(QuantizeSample(x, bits));
      StoreBytes(out, value, bytes, big);
    }
  }
  return true;
}

}  // namespace orva
