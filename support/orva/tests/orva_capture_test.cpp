// orva.dll against the capture driver, registered per test in the
// configurations each behaviour needs. Buffers are counted, never timed: the
// devices run as fast as the host returns.
#include <windows.h>
#include <objbase.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <set>
#include <string>
#include <thread>

#include "support/orva/tests/capture_device.h"

namespace orvatest {
namespace {

using ::testing::Each;
using ::testing::HasSubstr;

uint32_t Hash(uint64_t i) {
  uint64_t x = i * 0x9E3779B97F4A7C15ull + 0x632BE59BD9B4E019ull;
  x ^= x >> 29;
  x *= 0xBF58476D1CE4E5B9ull;
  x ^= x >> 32;
  return static_cast<uint32_t>(x);
}

// Any finite float, also beyond full scale: a float device gets it unchanged.
float AnyFloat(uint64_t i) {
  uint32_t bits = Hash(i);
  if ((bits & 0x7F800000u) == 0x7F800000u) bits &= ~0x40000000u;
  float x;
  std::memcpy(&x, &bits, 4);
  return x;
}

// A signed integer of `bits` significant bits, never 0, as a float sample.
int32_t IntegerOf(uint64_t i, int bits) {
  const int32_t k = static_cast<int32_t>(Hash(i) >> (32 - bits)) - (1 << (bits - 1));
  return k == 0 ? 1 : k;
}
float IntegerSample(uint64_t i, int bits) {
  return static_cast<float>(IntegerOf(i, bits)) / static_cast<float>(1 << (bits - 1));
}

class OrvaCapture : public ::testing::Test {
 protected:
  void SetUp() override { Orva().SetUnicode(1); }
  void TearDown() override {
    // Whatever a failed test left running must not leak into the next.
    Orva().Free();
  }
  const support::OutputEntries& o = Orva();
};

// Samples of one channel of a recorded pair, as raw bytes per sample.
std::vector<uint8_t> Sample(const Recording& r, size_t bytes, size_t frame, int channel) {
  const size_t at = (frame * 2 + static_cast<size_t>(channel)) * bytes;
  return std::vector<uint8_t>(r.raw.begin() + static_cast<long>(at),
                              r.raw.begin() + static_cast<long>(at + bytes));
}

std::vector<uint8_t> LittleEndian(int64_t value, size_t bytes) {
  std::vector<uint8_t> out(bytes);
  for (size_t b = 0; b < bytes; ++b) out[b] = static_cast<uint8_t>(static_cast<uint64_t>(value) >> (8 * b));
  return out;
}

// ---------------------------------------------------------------------------

struct ExactCase {
  const char* what;
  const wchar_t* type;
  size_t bytes;
  float gain;
  int bits;  // of the integer pattern; 0: any float
  // The bytes that must arrive for pattern sample i.
  std::vector<uint8_t> (*expect)(uint64_t i, float gain, int bits);
};

void PrintTo(const ExactCase& c, std::ostream* os) { *os << c.what; }

std::vector<uint8_t> ExpectFloat(uint64_t i, float gain, int bits) {
  const float x = (bits == 0 ? AnyFloat(i) : IntegerSample(i, bits)) * gain;
  uint32_t word;
  std::memcpy(&word, &x, 4);
  return LittleEndian(word, 4);
}
std::vector<uint8_t> ExpectInt32(uint64_t i, float, int bits) {
  return LittleEndian(static_cast<int64_t>(IntegerOf(i, bits)) << (32 - bits), 4);
}
std::vector<uint8_t> ExpectInt24(uint64_t i, float, int bits) {
  return LittleEndian(static_cast<int64_t>(IntegerOf(i, bits)) << (24 - bits), 3);
}
std::vector<uint8_t> ExpectInt16(uint64_t i, float gain, int bits) {
  // Gain 0.25 divides by 4: rounded to nearest, ties to even.
  return LittleEndian(static_cast<int64_t>(std::nearbyint(IntegerOf(i, bits) * static_cast<double>(gain))), 2);
}

class ExactTest : public OrvaCapture, public ::testing::WithParamInterface<ExactCase> {};

TEST_P(ExactTest, PatternArrivesExactly) {
  const ExactCase& c = GetParam();
  DeviceSettings settings;
  settings.type = c.type;
  CaptureDevice device(std::wstring(L"Orva Exact ") + c.type, settings);
  Player player;
  player.value = [&](uint64_t i) { return c.bits == 0 ? AnyFloat(i) : IntegerSample(i, c.bits); };
  ASSERT_TRUE(StartPair(device.Index(), 0, &player, c.gain, 48000));
  ASSERT_TRUE(WaitUntil([&] { return player.calls >= 24; }));
  ASSERT_TRUE(o.Stop());
  ASSERT_TRUE(o.Free());

  const Recording r = device.Read(0);
  EXPECT_THAT(r.info, HasSubstr("rate=48000"));
  ASSERT_GE(r.marks.size(), 24u);
  ASSERT_EQ(r.raw.size(), r.marks.size() * 64 * 2 * c.bytes);
  EXPECT_EQ(player.lastLength, 64u * 8);
  // The driver announces its unchanged rate at start: no rebuild for that.
  for (const Mark& m : r.marks) {
    ASSERT_EQ(m.run, r.marks[0].run) << "rebuilt without cause at buffer " << m.index;
    ASSERT_EQ(m.flags, 1u) << "no outputReady for buffer " << m.index;
  }
  // Both halves silenced before start, or the first period plays noise.
  ASSERT_EQ(r.start.size(), 2 * 64 * 2 * c.bytes);
  EXPECT_THAT(r.start, Each(0));
  const size_t frames = r.raw.size() / (2 * c.bytes);
  for (size_t f = 0; f < frames; ++f) {
    for (int ch = 0; ch < 2; ++ch) {
      ASSERT_EQ(Sample(r, c.bytes, f, ch), c.expect(f * 2 + static_cast<uint64_t>(ch), c.gain, c.bits))
          << "frame " << f << " channel " << ch;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Types, ExactTest,
    ::testing::Values(ExactCase{"float32_any", L"float32", 4, 1.0f, 0, ExpectFloat},
                      ExactCase{"int32_24bit", L"int32", 4, 1.0f, 24, ExpectInt32},
                      ExactCase{"int24_24bit", L"int24", 3, 1.0f, 24, ExpectInt24},
                      ExactCase{"int16_16bit", L"int16", 2, 1.0f, 16, ExpectInt16},
                      ExactCase{"float32_gain_half", L"float32", 4, 0.5f, 24, ExpectFloat},
                      ExactCase{"int16_gain_quarter", L"int16", 2, 0.25f, 16, ExpectInt16}),
    [](const ::testing::TestParamInfo<ExactCase>& info) { return std::string(info.param.what); });

// A driver that ignores the time-info variant is served by the plain switch.
TEST_F(OrvaCapture, PlainBufferSwitchPlaysToo) {
  DeviceSettings settings;
  settings.plainSwitch = true;
  CaptureDevice device(L"Orva Plain Switch", settings);
  Player player;
  player.value = [](uint64_t i) { return AnyFloat(i); };
  ASSERT_TRUE(StartPair(device.Index(), 0, &player, 1.0f, 44100));
  ASSERT_TRUE(WaitUntil([&] { return player.calls >= 8; }));
  ASSERT_TRUE(o.Stop());
  ASSERT_TRUE(o.Free());
  const Recording r = device.Read(0);
  ASSERT_GE(r.marks.size(), 8u);
  ASSERT_EQ(r.raw.size(), r.marks.size() * 64 * 8);
  for (size_t i = 0; i < r.raw.size() / 4; ++i) {
    const float want = AnyFloat(i);
    ASSERT_EQ(std::memcmp(&r.raw[i * 4], &want, 4), 0) << "sample " << i;
  }
}

// ---------------------------------------------------------------------------

TEST_F(OrvaCapture, EnumeratesDevicesWithTheirNames) {
  CaptureDevice plain(L"Orva Enum Plain", {});
  CaptureDevice greek(L"Orva Enum \u03A9\u00E9", {});
  const int32_t p = plain.Index();
  const int32_t g = greek.Index();
  ASSERT_GE(p, 0);
  ASSERT_GE(g, 0);
  EXPECT_NE(p, g);

  support::OrvaDeviceInfo info{};
  ASSERT_TRUE(o.GetDeviceInfo(static_cast<uint32_t>(g), &info));
  const wchar_t* wideName = static_cast<const wchar_t*>(info.name);
  EXPECT_EQ(std::wstring(wideName), greek.Name());
  EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(info.driver)), greek.Clsid());

  o.SetUnicode(0);
  ASSERT_TRUE(o.GetDeviceInfo(static_cast<uint32_t>(p), &info));
  EXPECT_EQ(std::string(static_cast<const char*>(info.name)),
            "Orva Enum Plain #" + std::to_string(GetCurrentProcessId()));
  o.SetUnicode(1);

  EXPECT_NE(o.GetVersion(), 0u);
  uint32_t count = 0;
  while (o.GetDeviceInfo(count, &info)) ++count;
  EXPECT_FALSE(o.GetDeviceInfo(count, &info));
  EXPECT_FALSE(o.GetDeviceInfo(0xFFFFFFFFu, &info));
  EXPECT_EQ(o.ErrorGetCode(), 23);
  EXPECT_FALSE(o.GetDeviceInfo(0, nullptr));

  // A name handed out stays readable after its device is gone and the list
  // has been read again.
  const wchar_t* goneName = nullptr;
  std::wstring goneText;
  {
    CaptureDevice gone(L"Orva Enum Gone", {});
    const int32_t g2 = gone.Index();
    ASSERT_GE(g2, 0);
    ASSERT_TRUE(o.GetDeviceInfo(static_cast<uint32_t>(g2), &info));
    goneName = static_cast<const wchar_t*>(info.name);
    goneText = gone.Name();
  }
  ASSERT_TRUE(o.GetDeviceInfo(0, &info));
  EXPECT_EQ(std::wstring(goneName), goneText);
  EXPECT_EQ(std::wstring(wideName), greek.Name());
  EXPECT_GE(greek.Index(), 0) << "still listed";
}

TEST_F(OrvaCapture, AnswersRatesTruthfully) {
  DeviceSettings settings;
  settings.rates = L"44100,48000,96000";
  CaptureDevice device(L"Orva Rates", settings);
  EXPECT_FALSE(o.CheckRate(44100)) << "no driver loaded yet";
  ASSERT_TRUE(o.Init(device.Index(), 0));
  const struct {
    double rate;
    bool supported;
  } table[] = {{44100, true}, {88200, false}, {176400, false}, {352800, false}, {705600, false},
               {48000, true}, {96000, true},  {192000, false}, {384000, false}, {768000, false}};
  for (const auto& row : table) EXPECT_EQ(o.CheckRate(row.rate) != 0, row.supported) << row.rate;
  EXPECT_FALSE(o.CheckRate(0.0));
  EXPECT_FALSE(o.CheckRate(std::nan("")));
  EXPECT_FALSE(o.SetRate(88200));
  EXPECT_TRUE(o.SetRate(96000));
  EXPECT_TRUE(o.Free());
}

TEST_F(OrvaCapture, StartsWithTheAskedBufferLength) {
  CaptureDevice device(L"Orva Buffer Length", {});
  Player player;
  player.value = [](uint64_t) { return 0.5f; };
  ASSERT_TRUE(o.Init(device.Index(), 1));
  ASSERT_TRUE(o.ChannelEnable(0, 0, PlayerProc, &player));
  EXPECT_FALSE(o.Start(8, 0)) << "below the driver's minimum";
  EXPECT_EQ(o.ErrorGetCode(), 20);
  EXPECT_FALSE(o.IsStarted());
  ASSERT_TRUE(o.Start(128, 0));
  EXPECT_FALSE(o.Start(128, 0)) << "already started";
  ASSERT_TRUE(WaitUntil([&] { return player.calls >= 2; }));
  EXPECT_EQ(player.lastLength, 128u * 4) << "one channel, not joined";
  ASSERT_TRUE(o.Stop());
  ASSERT_TRUE(o.Free());
  EXPECT_THAT(device.Read(0).info, HasSubstr("buffer=128"));
}

TEST_F(OrvaCapture, ReportsChannelGroupsAndTypes) {
  DeviceSettings flat;
  flat.channels = 4;
  flat.groups = L"0,0,0,0";
  flat.type = L"int24";
  DeviceSettings grouped;
  grouped.channels = 6;
  grouped.groups = L"0,0,1,1,2,2";
  CaptureDevice four(L"Orva Groups Flat", flat);
  CaptureDevice six(L"Orva Groups Pairs", grouped);

  ASSERT_TRUE(o.Init(four.Index(), 0));
  EXPECT_TRUE(o.ControlPanel());
  support::OrvaChannelInfo info{};
  for (uint32_t c = 0; c < 4; ++c) {
    ASSERT_TRUE(o.ChannelGetInfo(0, c, &info)) << c;
    EXPECT_EQ(info.group, 0u);
    EXPECT_EQ(info.format, 17u) << "int24 LSB";
  }
  EXPECT_STREQ(static_cast<const wchar_t*>(info.name), L"Out 4");
  EXPECT_FALSE(o.ChannelGetInfo(0, 4, &info)) << "four outputs, no fifth";
  EXPECT_FALSE(o.ChannelGetInfo(1, 0, &info)) << "no inputs";

  ASSERT_TRUE(o.Init(six.Index(), 0)) << "Init over a loaded driver replaces it";
  const uint32_t groups[] = {0, 0, 1, 1, 2, 2};
  for (uint32_t c = 0; c < 6; ++c) {
    ASSERT_TRUE(o.ChannelGetInfo(0, c, &info));
    EXPECT_EQ(info.group, groups[c]) << c;
    EXPECT_EQ(info.format, 19u) << "float32 LSB";
  }
  EXPECT_FALSE(o.ChannelGetInfo(0, 6, &info));
  EXPECT_TRUE(o.Free());
}

TEST_F(OrvaCapture, PlaysTheChosenPairAndSilencesTheOthers) {
  DeviceSettings settings;
  settings.channels = 4;
  CaptureDevice device(L"Orva Second Pair", settings);
  Player player;
  player.value = [](uint64_t i) { return IntegerSample(i, 24); };
  ASSERT_TRUE(StartPair(device.Index(), 2, &player, 1.0f, 44100));
  ASSERT_TRUE(WaitUntil([&] { return player.calls >= 8; }));
  ASSERT_TRUE(o.Stop());
  ASSERT_TRUE(o.Free());
  EXPECT_EQ(player.lastChannel, 2u);

  const Recording first = device.Read(0);
  const Recording second = device.Read(1);
  ASSERT_GE(second.marks.size(), 8u);
  ASSERT_EQ(first.raw.size(), second.raw.size());
  EXPECT_THAT(first.raw, Each(0));
  for (size_t i = 0; i < second.raw.size() / 4; ++i) {
    float x;
    std::memcpy(&x, &second.raw[i * 4], 4);
    ASSERT_EQ(x, IntegerSample(i, 24)) << i;
  }
}

// Calls supply all, half or nothing in turn; what was not supplied is silence
// and the stream goes on where the callback left off.
TEST_F(OrvaCapture, ShortCallbacksLeaveSilence) {
  CaptureDevice device(L"Orva Short", {});
  Player player;
  player.value = [](uint64_t i) { return static_cast<float>(i % 4000 + 1) / 4096; };
  player.shape = {1.0, 0.5, 1.0, 0.0};
  ASSERT_TRUE(StartPair(device.Index(), 0, &player, 1.0f, 44100));
  ASSERT_TRUE(WaitUntil([&] { return player.calls >= 16; }));
  ASSERT_TRUE(o.Stop());
  ASSERT_TRUE(o.Free());

  const Recording r = device.Read(0);
  ASSERT_GE(r.marks.size(), 16u);
  const float* samples = reinterpret_cast<const float*>(r.raw.data());
  uint64_t next = 0;
  for (size_t b = 0; b < r.marks.size(); ++b) {
    ASSERT_EQ(r.marks[b].frames, 64u);
    const size_t supplied = static_cast<size_t>(128 * player.shape[b % 4]);
    for (size_t s = 0; s < 128; ++s) {
      const float want = s < supplied ? static_cast<float>((next + s) % 4000 + 1) / 4096 : 0.0f;
      ASSERT_EQ(samples[b * 128 + s], want) << "buffer " << b << " sample " << s;
    }
    next += supplied;
  }
}

TEST_F(OrvaCapture, PauseSilencesAndResumeGoesOn) {
  CaptureDevice device(L"Orva Pause", {});
  Player player;
  player.value = [](uint64_t i) { return static_cast<float>(i % 4000 + 1) / 4096; };
  ASSERT_TRUE(StartPair(device.Index(), 0, &player, 1.0f, 44100));
  ASSERT_TRUE(WaitUntil([&] { return player.calls >= 4; }));
  ASSERT_TRUE(o.ChannelPause(0, 1)) << "pausing the joined channel pauses its stream";
  EXPECT_TRUE(o.ChannelPause(0, static_cast<uint32_t>(-1))) << "-1: every channel";
  const size_t pausedAt = device.MarkCount(0);
  ASSERT_TRUE(WaitUntil([&] { return device.MarkCount(0) >= pausedAt + 12; }));
  const uint32_t callsWhilePaused = player.calls;
  ASSERT_TRUE(o.ChannelReset(0, -1, 4));
  ASSERT_TRUE(WaitUntil([&] { return player.calls >= callsWhilePaused + 4; }));
  ASSERT_TRUE(o.Stop());
  ASSERT_TRUE(o.Free());

  const Recording r = device.Read(0);
  const float* samples = reinterpret_cast<const float*>(r.raw.data());
  uint64_t next = 0;
  size_t silent = 0, longestSilence = 0, run = 0;
  for (size_t b = 0; b < r.marks.size(); ++b) {
    if (samples[b * 128] == 0.0f) {
      for (size_t s = 0; s < 128; ++s) ASSERT_EQ(samples[b * 128 + s], 0.0f);
      ++silent;
      longestSilence = std::max(longestSilence, ++run);
      continue;
    }
    run = 0;
    for (size_t s = 0; s < 128; ++s, ++next) {
      ASSERT_EQ(samples[b * 128 + s], static_cast<float>(next % 4000 + 1) / 4096) << "buffer " << b;
    }
  }
  EXPECT_EQ(r.marks.size() - silent, player.calls.load()) << "one callback per sounding buffer";
  EXPECT_GE(longestSilence, 10u);
  EXPECT_GT(next, static_cast<uint64_t>(callsWhilePaused) * 128) << "played on after the pause";
}

TEST_F(OrvaCapture, SurvivesAResetRequestAndKeepsTheGain) {
  DeviceSettings settings;
  settings.resetAfter = 6;
  CaptureDevice device(L"Orva Reset", settings);
  Player player;
  player.value = [](uint64_t i) { return static_cast<float>(i % 4000 + 1) / 4096; };
  ASSERT_TRUE(StartPair(device.Index(), 0, &player, 0.5f, 48000));
  // Until the rebuilt device has played a few buffers of its own.
  bool everStopped = false;
  ASSERT_TRUE(WaitUntil([&] {
    everStopped = everStopped || !o.IsStarted();
    const std::vector<Mark> marks = device.Read(0).marks;
    size_t afterRebuild = 0;
    for (const Mark& m : marks) afterRebuild += m.run != marks.front().run;
    return afterRebuild >= 8;
  }));
  EXPECT_FALSE(everStopped) << "IsStarted stays true while the device is rebuilt";
  ASSERT_TRUE(o.Stop());
  EXPECT_FALSE(o.IsStarted());
  ASSERT_TRUE(o.Free());

  const Recording r = device.Read(0);
  std::set<uint32_t> runs;
  for (const Mark& m : r.marks) runs.insert(m.run);
  EXPECT_EQ(runs.size(), 2u) << "one reset, one rebuild";
  EXPECT_THAT(r.info, HasSubstr("rate=48000")) << "the rate is set again after the rebuild";
  const float* samples = reinterpret_cast<const float*>(r.raw.data());
  for (size_t i = 0; i < r.raw.size() / 4; ++i) {
    ASSERT_EQ(samples[i], static_cast<float>(i % 4000 + 1) / 4096 * 0.5f) << "sample " << i;
  }
  const std::vector<std::string> log = device.DriverLog();
  EXPECT_EQ(log.size(), 2u) << "both driver instances released";
  EXPECT_THAT(log, Each(std::string("foreign_calls=0")));
}

TEST_F(OrvaCapture, CallsWithoutADriverAreHarmless) {
  DeviceSettings refusing;
  refusing.failInit = true;
  CaptureDevice bad(L"Orva Refuses Init", refusing);
  CaptureDevice good(L"Orva Harmless", {});
  auto expectNothingLoaded = [&](const char* when) {
    SCOPED_TRACE(when);
    support::OrvaChannelInfo info{};
    Player player;
    EXPECT_FALSE(o.Free());
    EXPECT_EQ(o.ErrorGetCode(), 8);
    EXPECT_FALSE(o.Stop());
    EXPECT_FALSE(o.IsStarted());
    EXPECT_FALSE(o.ChannelReset(0, -1, 3));
    EXPECT_FALSE(o.ChannelReset(0, -1, 4));
    EXPECT_FALSE(o.Start(0, 0));
    EXPECT_FALSE(o.CheckRate(44100));
    EXPECT_FALSE(o.SetRate(44100));
    EXPECT_FALSE(o.ControlPanel());
    EXPECT_FALSE(o.ChannelSetVolume(0, -1, 1.0f));
    EXPECT_FALSE(o.ChannelEnable(0, 0, PlayerProc, &player));
    EXPECT_FALSE(o.ChannelJoin(0, 1, 0));
    EXPECT_FALSE(o.ChannelPause(0, 0));
    EXPECT_FALSE(o.ChannelSetFormat(0, 0, 19));
    EXPECT_FALSE(o.ChannelGetInfo(0, 0, &info));
  };
  expectNothingLoaded("before any Init");
  EXPECT_FALSE(o.Init(-1, 0));
  EXPECT_FALSE(o.Init(100000, 0));
  EXPECT_EQ(o.ErrorGetCode(), 23);
  expectNothingLoaded("after Init of a device that does not exist");
  EXPECT_FALSE(o.Init(bad.Index(), 1));
  expectNothingLoaded("after a failed Init");

  ASSERT_TRUE(o.Init(good.Index(), 1));
  EXPECT_FALSE(o.Stop()) << "not started";
  EXPECT_FALSE(o.ChannelSetVolume(0, -1, -1.0f));
  EXPECT_FALSE(o.ChannelSetVolume(0, -1, std::nanf("")));
  EXPECT_FALSE(o.ChannelSetFormat(0, 0, 7)) << "only float samples are delivered";
  EXPECT_FALSE(o.ChannelJoin(0, 0, 0));
  EXPECT_FALSE(o.ChannelEnable(0, 0, nullptr, nullptr));
  EXPECT_FALSE(o.ChannelEnable(0, 2, PlayerProc, nullptr)) << "two outputs only";
  EXPECT_TRUE(o.Free());
  expectNothingLoaded("after Free");
}

// Init, Start, Stop and Free from four different threads, in a window-like
// single-threaded apartment, a multithreaded one and none: the driver still
// sees every call on one single-threaded apartment of orva's, Stop has
// stopped the callbacks when it returns, and Free lets a second Init work.
TEST_F(OrvaCapture, AnyThreadMayCallAndFreeReleasesEverything) {
  CaptureDevice device(L"Orva Threads", {});
  const int32_t index = device.Index();
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    Player player;
    player.value = [](uint64_t i) { return static_cast<float>(i % 100 + 1) / 128; };
    bool initialised = false;
    std::thread([&] {
      CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
      initialised = o.Init(index, 1) != 0;
      CoUninitialize();
    }).join();
    ASSERT_TRUE(initialised);
    ASSERT_TRUE(o.ChannelEnable(0, 0, PlayerProc, &player));
    ASSERT_TRUE(o.ChannelJoin(0, 1, 0));
    bool started = false;
    std::thread([&] { started = o.Start(0, 0) != 0; }).join();
    ASSERT_TRUE(started);
    EXPECT_TRUE(o.IsStarted());
    ASSERT_TRUE(WaitUntil([&] { return player.calls >= 6; }));
    bool stopped = false;
    std::thread([&] { stopped = o.Stop() != 0; }).join();
    ASSERT_TRUE(stopped);
    EXPECT_FALSE(o.IsStarted());
    const uint32_t callsAtStop = player.calls;
    bool freed = false;
    std::thread([&] {
      CoInitializeEx(nullptr, COINIT_MULTITHREADED);
      freed = o.Free() != 0;
      CoUninitialize();
    }).join();
    EXPECT_TRUE(freed);
    EXPECT_EQ(player.calls.load(), callsAtStop) << "a callback after Stop returned";
    EXPECT_EQ(device.DriverLog().size(), static_cast<size_t>(round + 1)) << "the driver was released";
  }
  EXPECT_THAT(device.DriverLog(), Each(std::string("foreign_calls=0")));
}

TEST_F(OrvaCapture, StopReturnsWhenTheDriverStalls) {
  DeviceSettings settings;
  settings.stallAfter = 5;
  CaptureDevice device(L"Orva Stall", settings);
  Player player;
  player.value = [](uint64_t) { return 0.25f; };
  ASSERT_TRUE(StartPair(device.Index(), 0, &player, 1.0f, 44100));
  ASSERT_TRUE(WaitUntil([&] { return player.calls >= 5; }));
  EXPECT_TRUE(o.IsStarted());
  EXPECT_TRUE(o.Stop());
  EXPECT_FALSE(o.IsStarted());
  EXPECT_TRUE(o.Free());
  EXPECT_EQ(device.Read(0).marks.size(), 5u);
}

TEST_F(OrvaCapture, ResetUndoesEnablingAndJoining) {
  DeviceSettings settings;
  settings.channels = 4;
  CaptureDevice device(L"Orva Channel Reset", settings);
  Player player;
  player.value = [](uint64_t) { return 0.5f; };
  ASSERT_TRUE(StartPair(device.Index(), 0, &player, 1.0f, 44100));
  ASSERT_TRUE(WaitUntil([&] { return player.calls >= 3; }));
  ASSERT_TRUE(o.ChannelPause(0, 0));
  ASSERT_TRUE(o.ChannelReset(0, -1, 3));
  const size_t at = device.MarkCount(0);
  ASSERT_TRUE(WaitUntil([&] { return device.MarkCount(0) >= at + 6; }));
  const uint32_t calls = player.calls;
  // Enabling again after the reset plays, unpaused, mono on channel 0 alone.
  ASSERT_TRUE(o.ChannelEnable(0, 0, PlayerProc, &player));
  ASSERT_TRUE(WaitUntil([&] { return player.calls >= calls + 3; }));
  EXPECT_EQ(player.lastLength, 64u * 4);
  ASSERT_TRUE(o.Stop());
  ASSERT_TRUE(o.Free());
  const Recording r = device.Read(0);
  const float* samples = reinterpret_cast<const float*>(r.raw.data());
  const size_t last = r.marks.size() - 1;
  EXPECT_EQ(samples[last * 128], 0.5f);
  EXPECT_EQ(samples[last * 128 + 1], 0.0f) << "channel 1 no longer joined";
}

// A callback that tries to stop or free the device from the driver's thread
// gets a refusal instead of a deadlock, and playback goes on.
struct Meddler {
  std::atomic<uint32_t> calls{0};
  std::atomic<int32_t> stopResult{-1}, freeResult{-1}, rateResult{-1}, error{-1};
};

uint32_t MeddlingProc(int32_t, uint32_t, void* buffer, uint32_t length, void* user) {
  Meddler* m = static_cast<Meddler*>(user);
  if (m->calls == 2) {
    m->stopResult = Orva().Stop();
    m->freeResult = Orva().Free();
    m->rateResult = Orva().SetRate(44100);
    m->error = Orva().ErrorGetCode();
  }
  ++m->calls;
  std::memset(buffer, 0, length);
  return length;
}

TEST_F(OrvaCapture, RefusesDriverCallsFromInsideTheCallback) {
  CaptureDevice device(L"Orva Meddler", {});
  Meddler meddler;
  ASSERT_TRUE(o.Init(device.Index(), 1));
  ASSERT_TRUE(o.ChannelEnable(0, 0, MeddlingProc, &meddler));
  ASSERT_TRUE(o.Start(0, 0));
  ASSERT_TRUE(WaitUntil([&] { return meddler.calls >= 6; }));
  EXPECT_TRUE(o.IsStarted());
  EXPECT_TRUE(o.Stop());
  EXPECT_TRUE(o.Free());
  EXPECT_EQ(meddler.stopResult, 0);
  EXPECT_EQ(meddler.freeResult, 0);
  EXPECT_EQ(meddler.rateResult, 0);
  EXPECT_EQ(meddler.error, 37);
}

// Run by capture_device_script_test.sh after it has registered a device
// with scripts/capture-device: that registration must drive orva end to end.
TEST_F(OrvaCapture, ScriptRegisteredDevicePlays) {
  const char* name = std::getenv("VELORAN_SCRIPT_DEVICE");
  if (name == nullptr) GTEST_SKIP() << "only run by the capture-device script test";
  std::wstring wide;
  for (const char* p = name; *p; ++p) wide.push_back(static_cast<wchar_t>(*p));
  support::OrvaDeviceInfo info{};
  int32_t index = -1;
  for (uint32_t i = 0; o.GetDeviceInfo(i, &info); ++i) {
    if (wide == static_cast<const wchar_t*>(info.name)) index = static_cast<int32_t>(i);
  }
  ASSERT_GE(index, 0);
  Player player;
  player.value = [](uint64_t i) { return IntegerSample(i, 16); };
  ASSERT_TRUE(StartPair(index, 0, &player, 1.0f, 96000));
  ASSERT_TRUE(WaitUntil([&] { return player.calls >= 4; }));
  ASSERT_TRUE(o.Stop());
  ASSERT_TRUE(o.Free());
}

}  // namespace
}  // namespace orvatest
