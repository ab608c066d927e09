// Sample types of ASIO drivers and the exact conversion of the host's float
// samples into them. Portable: no Windows headers, so it is tested natively.
#pragma once
#include <cstddef>
#include <cstdint>

namespace orva {

// The driver interface's numbering of sample types.
enum SampleType : int32_t {
  kInt16MSB = 0,
  kInt24MSB = 1,
  kInt32MSB = 2,
  kFloat32MSB = 3,
  kFloat64MSB = 4,
  kInt32MSB16 = 8,
  kInt32MSB18 = 9,
  kInt32MSB20 = 10,
  kInt32MSB24 = 11,
  kInt16LSB = 16,
  kInt24LSB = 17,
  kInt32LSB = 18,
  kFloat32LSB = 19,
  kFloat64LSB = 20,
  kInt32LSB16 = 24,
  kInt32LSB18 = 25,
  kInt32LSB20 = 26,
  kInt32LSB24 = 27,
};

// Bytes per sample of a type; 0 for a type we cannot write.
size_t SampleBytes(int32_t type);

// x · 2^(bits−1), rounded to nearest with ties to even, clamped to the signed
// range of that many bits. NaN becomes 0: a broken sample must not become a
// full-scale click.
int32_t QuantizeSample(float x, int bits);

// Converts `frames` samples taken every `stride` floats from `source` into
// `destination` in the given type, scaling by gain unless it is exactly 1.0.
// Returns false (and writes nothing) for a type we cannot write.
bool ConvertSamples(const float* source, size_t stride, float gain, void* destination,
                    int32_t type, size_t frames);

}  // namespace orva
