#include "support/orva/sample_format.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace orva {
namespace {

struct ConvertCase {
  const char* what;
  int32_t type;
  float input;
  std::vector<uint8_t> bytes;  // as they must land in the driver's buffer
};

void PrintTo(const ConvertCase& c, std::ostream* os) { *os << c.what; }

class ConvertTest : public ::testing::TestWithParam<ConvertCase> {};

TEST_P(ConvertTest, WritesExactBytes) {
  const ConvertCase& c = GetParam();
  std::vector<uint8_t> out(c.bytes.size() + 1, 0xEE);
  ASSERT_TRUE(ConvertSamples(&c.input, 1, 1.0f, out.data(), c.type, 1));
  EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.end() - 1), c.bytes);
  EXPECT_EQ(out.back(), 0xEE) << "wrote past the sample";
}

const float kHalfStep16 = 0.5f / 32768.0f;

INSTANTIATE_TEST_SUITE_P(
    Types, ConvertTest,
    ::testing::Values(
        ConvertCase{"int16 one step", kInt16LSB, 1.0f / 32768, {0x01, 0x00}},
        ConvertCase{"int16 minus one", kInt16LSB, -1.0f, {0x00, 0x80}},
        ConvertCase{"int16 plus one clamps", kInt16LSB, 1.0f, {0xFF, 0x7F}},
        ConvertCase{"int16 far above clamps", kInt16LSB, 7.5f, {0xFF, 0x7F}},
        ConvertCase{"int16 far below clamps", kInt16LSB, -7.5f, {0x00, 0x80}},
        ConvertCase{"int16 tie 0.5 to even 0", kInt16LSB, kHalfStep16, {0x00, 0x00}},
        ConvertCase{"int16 tie 1.5 to even 2", kInt16LSB, 3 * kHalfStep16, {0x02, 0x00}},
        ConvertCase{"int16 tie -2.5 to even -2", kInt16LSB, -5 * kHalfStep16, {0xFE, 0xFF}},
        ConvertCase{"int16 MSB", kInt16MSB, 0x1234 / 32768.0f, {0x12, 0x34}},
        ConvertCase{"int24 LSB", kInt24LSB, -0x123456 / 8388608.0f, {0xAA, 0xCB, 0xED}},
        ConvertCase{"int24 MSB", kInt24MSB, 0x123456 / 8388608.0f, {0x12, 0x34, 0x56}},
        ConvertCase{"int24 clamps", kInt24LSB, 1.0f, {0xFF, 0xFF, 0x7F}},
        ConvertCase{"int32 LSB", kInt32LSB, 0x123456 / 8388608.0f, {0x00, 0x56, 0x34, 0x12}},
        ConvertCase{"int32 MSB", kInt32MSB, -0.5f, {0xC0, 0x00, 0x00, 0x00}},
        ConvertCase{"int32 plus one clamps", kInt32LSB, 1.0f, {0xFF, 0xFF, 0xFF, 0x7F}},
        ConvertCase{"int32 minus one", kInt32LSB, -1.0f, {0x00, 0x00, 0x00, 0x80}},
        ConvertCase{"int32 right-justified 16", kInt32LSB16, -1.0f / 32768, {0xFF, 0xFF, 0xFF, 0xFF}},
        ConvertCase{"int32 right-justified 18", kInt32LSB18, 0.5f, {0x00, 0x00, 0x01, 0x00}},
        ConvertCase{"int32 right-justified 20", kInt32LSB20, 1.0f, {0xFF, 0xFF, 0x07, 0x00}},
        ConvertCase{"int32 right-justified 24", kInt32LSB24, -1.0f, {0x00, 0x00, 0x80, 0xFF}},
        ConvertCase{"int32 MSB right-justified 24", kInt32MSB24, 0x123456 / 8388608.0f, {0x00, 0x12, 0x34, 0x56}},
        ConvertCase{"float32 copied", kFloat32LSB, -0.375f, {0x00, 0x00, 0xC0, 0xBE}},
        ConvertCase{"float32 MSB swapped", kFloat32MSB, -0.375f, {0xBE, 0xC0, 0x00, 0x00}},
        ConvertCase{"float32 keeps out-of-range", kFloat32LSB, 2.0f, {0x00, 0x00, 0x00, 0x40}},
        ConvertCase{"float64 widened", kFloat64LSB, 0.75f, {0, 0, 0, 0, 0, 0, 0xE8, 0x3F}},
        ConvertCase{"float64 MSB widened", kFloat64MSB, 0.75f, {0x3F, 0xE8, 0, 0, 0, 0, 0, 0}},
        ConvertCase{"NaN is silence", kInt16LSB, std::numeric_limits<float>::quiet_NaN(), {0, 0}},
        ConvertCase{"infinity clamps", kInt24LSB, std::numeric_limits<float>::infinity(), {0xFF, 0xFF, 0x7F}}),
    [](const ::testing::TestParamInfo<ConvertCase>& info) {
      std::string name = info.param.what;
      for (char& ch : name) {
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
      }
      return name;
    });

// Every integer of at most 24 significant bits comes back as itself through
// the 24- and 32-bit types, and every 16-bit one through the 16-bit types.
TEST(ConvertRoundTrip, IntegersComeBackExactly) {
  for (int32_t v = -(1 << 23); v < (1 << 23); v += 997) {
    const float x = static_cast<float>(v) / 8388608.0f;
    EXPECT_EQ(QuantizeSample(x, 24), v);
    EXPECT_EQ(QuantizeSample(x, 32), v * 256);
  }
  for (int32_t v = -32768; v < 32768; ++v) {
    ASSERT_EQ(QuantizeSample(static_cast<float>(v) / 32768.0f, 16), v);
  }
  EXPECT_EQ(QuantizeSample(-1.0f, 24), -(1 << 23));
  EXPECT_EQ(QuantizeSample((8388607.0f) / 8388608.0f, 24), 8388607);
}

TEST(ConvertStride, TakesEveryNthSampleAndAppliesGain) {
  const float interleaved[] = {0.5f, -0.25f, 0.25f, 1.0f, -1.0f, 0.125f};
  float left[3];
  ASSERT_TRUE(ConvertSamples(interleaved, 2, 0.5f, left, kFloat32LSB, 3));
  EXPECT_EQ(left[0], 0.25f);
  EXPECT_EQ(left[1], 0.125f);
  EXPECT_EQ(left[2], -0.5f);
  int16_t right[3];
  ASSERT_TRUE(ConvertSamples(interleaved + 1, 2, 0.5f, right, kInt16LSB, 3));
  EXPECT_EQ(right[0], -4096);
  EXPECT_EQ(right[1], 16384);
  EXPECT_EQ(right[2], 2048);
}

TEST(ConvertUnknownType, RefusesAndWritesNothing) {
  const float x = 0.5f;
  uint8_t out[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_FALSE(ConvertSamples(&x, 1, 1.0f, out, 5, 1));
  EXPECT_FALSE(ConvertSamples(&x, 1, 1.0f, out, 99, 1));
  EXPECT_EQ(out[0], 1);
  EXPECT_EQ(SampleBytes(99), 0u);
}

}  // namespace
}  // namespace orva
