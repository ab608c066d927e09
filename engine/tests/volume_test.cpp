// Volume and fades, exact to the bit of single precision.
#include <gtest/gtest.h>

#include <vector>

#include "engine/engine.h"
#include "harness.h"
#include "sim_device.h"

namespace {

TEST(Volume, GainOfPositions) {
  EXPECT_EQ(engine::GainForPosition(190), 1.0f);
  EXPECT_EQ(engine::GainForPosition(186), 0.97894740f);
  EXPECT_EQ(engine::GainForPosition(100), 0.52631581f);
  EXPECT_EQ(engine::GainForPosition(4), 0.021052632f);
  EXPECT_EQ(engine::GainForPosition(0), 0.0f);
}

// Level of position p as the ramps compute it, one float step at a time.
float Level(int p) {
  volatile float a = float(p) / 1.9f;
  volatile float b = a / 100.0f;
  return b;
}

struct RampCase {
  int from, to;
  size_t steps;
  uint32_t wait;
};

class Ramp : public testing::TestWithParam<RampCase> {};

TEST_P(Ramp, StepsThenTheFinalGain) {
  const RampCase c = GetParam();
  enginetest::Engine e;
  engine::Volume.VolumePosition = c.from;
  simdevice::ClearGains();
  enginetest::ClearSleeps();
  engine::SetVolume(c.to);
  const std::vector<float> gains = simdevice::Gains();
  ASSERT_EQ(gains.size(), c.steps + 1);
  const int sign = c.to < c.from ? -1 : 1;
  for (size_t i = 0; i < c.steps; ++i) EXPECT_EQ(gains[i], Level(c.from + sign * int(1 + 6 * i))) << i;
  EXPECT_EQ(gains.back(), engine::GainForPosition(c.to));
  EXPECT_EQ(engine::Volume.VolumeGain.load(), engine::GainForPosition(c.to));
  EXPECT_EQ(engine::Volume.VolumePosition, c.to);
  const std::vector<uint32_t> sleeps = enginetest::Sleeps();
  EXPECT_EQ(sleeps, std::vector<uint32_t>(c.steps, c.wait));
}

INSTANTIATE_TEST_SUITE_P(Engine, Ramp,
                         testing::Values(RampCase{190, 100, 15, 20}, RampCase{100, 190, 15, 10},
                                         RampCase{190, 186, 0, 0}, RampCase{100, 92, 0, 0},
                                         RampCase{100, 91, 2, 20}, RampCase{4, 190, 31, 10}));

TEST(Volume, RampEndsAtExactlyOneAtTheTop) {
  enginetest::Engine e;
  engine::Volume.VolumePosition = 100;
  engine::SetVolume(190);
  EXPECT_EQ(simdevice::Gains().back(), 1.0f);
  EXPECT_EQ(simdevice::Gains()[0], 0.53157896f);  // (100 + 1) / 1.9 / 100
}

std::vector<float> Fade(void (*fade)(), float g) {
  engine::Volume.VolumeGain.store(g);
  simdevice::ClearGains();
  fade();
  return simdevice::Gains();
}

float Scaled(float g, int n, float divisor) {
  volatile float a = g * float(n);
  volatile float b = a / divisor;
  return b;
}

TEST(Volume, FadesAtFullGain) {
  enginetest::Engine e;
  const std::vector<float> stop = Fade(&engine::FadeOutForStop, 1.0f);
  const std::vector<float> expected{1.0f,  0.95f, 0.9f,  0.85f, 0.8f,  0.75f, 0.7f,   0.65f,  0.6f,   0.55f, 0.5f,
                                    0.45f, 0.4f,  0.35f, 0.3f,  0.25f, 0.2f,  0.15f,  0.1f,   0.09f,  0.08f, 0.07f,
                                    0.06f, 0.05f, 0.04f, 0.03f, 0.02f, 0.01f, 0.006f, 0.002f, 0.0002f};
  EXPECT_EQ(stop, expected);
  const std::vector<float> pause = Fade(&engine::FadeOutForPause, 1.0f);
  ASSERT_EQ(pause.size(), 21u);
  EXPECT_EQ(pause.front(), 1.0f);
  EXPECT_EQ(pause[1], 0.95f);
  EXPECT_EQ(pause.back(), 0.0f);
  const std::vector<float> resume = Fade(&engine::FadeInForResume, 1.0f);
  EXPECT_EQ(resume, std::vector<float>(pause.rbegin(), pause.rend()));
}

TEST(Volume, FadesAtPosition100) {
  enginetest::Engine e;
  const float g = 0.52631581f;
  std::vector<float> expected;
  for (int n = 20; n >= 2; --n) expected.push_back(Scaled(g, n, 20.0f));
  for (int n = 9; n >= 1; --n) expected.push_back(Scaled(g, n, 100.0f));
  for (float f : {0.006f, 0.002f, 0.0002f}) {
    volatile float level = g * f;
    expected.push_back(float(level));
  }
  enginetest::ClearSleeps();
  EXPECT_EQ(Fade(&engine::FadeOutForStop, g), expected);
  EXPECT_EQ(enginetest::Sleeps(), std::vector<uint32_t>(31, 30));
  EXPECT_EQ(expected.front(), g);
  std::vector<float> out;
  for (int n = 20; n >= 0; --n) out.push_back(Scaled(g, n, 20.0f));
  EXPECT_EQ(Fade(&engine::FadeOutForPause, g), out);
  EXPECT_EQ(Fade(&engine::FadeInForResume, g), std::vector<float>(out.rbegin(), out.rend()));
}

}  // namespace
