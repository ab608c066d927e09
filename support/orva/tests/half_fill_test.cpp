#include "support/orva/half_fill.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "support/orva/sample_format.h"

namespace orva {
namespace {

// A callback that writes frames of (n, -n) / 1024 for a running frame n and
// supplies what the case says, counting its calls.
struct Source {
  uint32_t supply;  // bytes to report; ~0u = all asked for
  uint32_t next = 1;
  int calls = 0;
  uint32_t lastLength = 0;
};

uint32_t Produce(int32_t, uint32_t, void* buffer, uint32_t length, void* user) {
  Source* s = static_cast<Source*>(user);
  ++s->calls;
  s->lastLength = length;
  float* out = static_cast<float*>(buffer);
  for (uint32_t i = 0; i + 1 < length / 4; i += 2, ++s->next) {
    out[i] = static_cast<float>(s->next) / 1024;
    out[i + 1] = -static_cast<float>(s->next) / 1024;
  }
  return s->supply == ~0u ? length : s->supply;
}

struct FillCase {
  const char* what;
  bool paused;
  uint32_t supply;
  float gain;
  uint32_t expectSupplied;
  uint32_t soundingFrames;  // frames that must carry the pattern
  int expectCalls;
};

void PrintTo(const FillCase& c, std::ostream* os) { *os << c.what; }

class FillTest : public ::testing::TestWithParam<FillCase> {};

TEST_P(FillTest, SoundsWhatWasSuppliedAndSilencesTheRest) {
  const FillCase& c = GetParam();
  constexpr uint32_t kFrames = 8;
  alignas(8) float scratch[kFrames * 2];
  std::memset(scratch, 0x55, sizeof scratch);
  // Left as float, right as int16: one stream may mix the driver's types.
  std::vector<float> left(kFrames, 9.0f);
  std::vector<int16_t> right(kFrames, 999);
  HalfOutput outputs[2] = {{left.data(), kFloat32LSB, c.gain}, {right.data(), kInt16LSB, c.gain}};
  Source source{c.supply};
  const uint32_t supplied = FillStreamHalf(Produce, 3, &source, c.paused, scratch, kFrames, outputs, 2);
  EXPECT_EQ(supplied, c.expectSupplied);
  EXPECT_EQ(source.calls, c.expectCalls);
  if (c.expectCalls) {
    EXPECT_EQ(source.lastLength, kFrames * 8);
  }
  for (uint32_t f = 0; f < kFrames; ++f) {
    const float want = f < c.soundingFrames ? static_cast<float>(f + 1) / 1024 * c.gain : 0.0f;
    EXPECT_EQ(left[f], want) << "frame " << f;
    EXPECT_EQ(right[f], static_cast<int16_t>(-want * 32768)) << "frame " << f;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FillTest,
    ::testing::Values(FillCase{"full", false, ~0u, 1.0f, 64, 8, 1},
                      FillCase{"short", false, 24, 1.0f, 24, 3, 1},
                      FillCase{"nothing", false, 0, 1.0f, 0, 0, 1},
                      FillCase{"paused", true, ~0u, 1.0f, 0, 0, 0},
                      FillCase{"more than asked", false, 1000, 1.0f, 64, 8, 1},
                      FillCase{"gain", false, ~0u, 0.25f, 64, 8, 1},
                      FillCase{"gain zero", false, ~0u, 0.0f, 64, 0, 1}),
    [](const ::testing::TestParamInfo<FillCase>& info) {
      std::string name = info.param.what;
      for (char& ch : name) {
        if (ch == ' ') ch = '_';
      }
      return name;
    });

TEST(FillHalfFrame, KeepsTheLeftSampleOfASplitFrame) {
  // 20 bytes: two whole frames and the left sample of the third.
  alignas(8) float scratch[4 * 2];
  std::vector<float> left(4, 9.0f), right(4, 9.0f);
  HalfOutput outputs[2] = {{left.data(), kFloat32LSB, 1.0f}, {right.data(), kFloat32LSB, 1.0f}};
  Source source{20};
  FillStreamHalf(Produce, 0, &source, false, scratch, 4, outputs, 2);
  EXPECT_EQ(left[2], 3.0f / 1024);
  EXPECT_EQ(right[2], 0.0f);
}

TEST(SilenceHalf, ZeroesKnownTypesAndLeavesUnknownAlone) {
  std::vector<uint8_t> out(12, 7);
  SilenceHalf(out.data(), kInt24LSB, 3);
  EXPECT_EQ(out, (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0, 0, 0, 7, 7, 7}));
  SilenceHalf(out.data(), 99, 3);
  EXPECT_EQ(out[9], 7);
}

}  // namespace
}  // namespace orva
