// Playback through the whole engine: the feeder thread, the output callback
// on a simulated device's thread, and transport control on the test's thread.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "engine/engine.h"
#include "fake_orvo.h"
#include "harness.h"
#include "playlist/model.h"
#include "shell/text.h"
#include "sim_device.h"

namespace {

using enginetest::Engine;

// After a stop nothing written is left: the marks are back at 0 and the
// buffers read as zero over the region the tests ever write.
bool BuffersZero() {
  using engine::Buffers;
  if (Buffers.DecodeWritten.load() != 0 || Buffers.Output1Written.load() != 0 || Buffers.Output2Written.load() != 0) return false;
  for (const uint8_t* buffer : {Buffers.DecodeBuffer, Buffers.OutputBuffer1, Buffers.OutputBuffer2}) {
    for (size_t i = 0; i < (size_t(1) << 20); ++i)
      if (buffer[i] != 0) return false;
  }
  return true;
}

int64_t Count(const std::vector<uint32_t>& list, uint32_t value) {
  return std::count(list.begin(), list.end(), value);
}

struct GaplessCase {
  const char* name;
  uint32_t period;
  int64_t fillTarget;
  std::vector<int64_t> lengths;  // whole files; negative: a CUE track of that many bytes on one album
};

class Gapless : public testing::TestWithParam<GaplessCase> {};

// Every byte of every track reaches the device, in order, with no gap or
// repeat, across chunk and track boundaries; then the end is handed over
// through timer 119 and the engine is torn down.
TEST_P(Gapless, DeviceReceivesTheConcatenationOfAllTracks) {
  const GaplessCase& c = GetParam();
  Engine e(c.period, c.fillTarget);
  int64_t albumLength = 0;
  for (int64_t l : c.lengths)
    if (l < 0) albumLength += -l;
  const uint32_t album = albumLength > 0 ? e.AddAlbum(albumLength) : 0;
  int64_t cuePos = 0;
  for (int64_t l : c.lengths) {
    if (l >= 0) {
      e.AddTrack(l);
    } else {
      e.AddCueTrack(album, cuePos, cuePos - l);
      cuePos -= l;
    }
  }
  e.check.Expect(e.ExpectedFrom(0));
  engine::StartPlayback();
  ASSERT_EQ(engine::Decoder.PlayState.load() != 0, true);
  EXPECT_EQ(e.view.label, u"44.1 kHz");
  EXPECT_EQ(e.view.timers, std::vector<int32_t>{117});
  ASSERT_TRUE(e.RunToEnd());
  EXPECT_FALSE(e.check.mismatch) << e.check.firstError;
  EXPECT_EQ(e.check.framesMatched, e.check.framesExpected);
  EXPECT_EQ(e.view.endTimerRequests.load(), 1);
  EXPECT_EQ(e.view.removed, (std::vector<int32_t>{117, 119}));
  EXPECT_FALSE(simdevice::Started());
  EXPECT_EQ(fakeorvo::OpenStreams(), 0);
  EXPECT_EQ(engine::Decoder.PlayState.load(), 0);
  EXPECT_EQ(engine::Transport.PlayLit, 0);
  EXPECT_EQ(engine::Transport.Feeder, nullptr);
  EXPECT_TRUE(BuffersZero());
}

INSTANTIATE_TEST_SUITE_P(
    Engine, Gapless,
    testing::Values(
        GaplessCase{"OneTrackShorterThanAChunk", 512, 8192, {3000 * 8}},
        GaplessCase{"TracksShorterThanOnePeriod", 512, 4096, {8, 24, 504, 16, 8, 4000}},
        GaplessCase{"TrackLongerThanSeveralChunks", 256, 2048, {40000, 8, 9000}},
        GaplessCase{"ChunkEqualsPeriod", 512, 512, {5000, 2048, 7}},
        GaplessCase{"TracksEndingOnChunkBoundaries", 512, 4096, {4096, 8192, 4096}},
        GaplessCase{"CueTrackEndingExactlyOnAChunkBoundary", 512, 4096, {-4096, -2000 * 8, 1000}},
        GaplessCase{"CueTracksAndFiles", 1024, 8192, {-16, -30000, 800, -8}}),
    [](const testing::TestParamInfo<GaplessCase>& info) { return std::string(info.param.name); });

// NowPlaying moves with the output, not with the decoder (which has opened
// every track long before): after each period it names the track the
// callback's count of played bytes is in, switching at most once a call.
TEST(Playback, NowPlayingFollowsTheOutput) {
  Engine e(512, 65536);
  const std::vector<int64_t> lengths{3000, 100, 8, 700, 20000, 512, 1024};
  std::vector<int32_t> ids;
  for (int64_t l : lengths) {
    e.AddTrack(l - l % 8);
    playlist::PlaylistEntry entry;
    playlist::CopyPlaylistEntry(int32_t(ids.size()), &entry);
    ids.push_back(entry.EntryId);
  }
  std::vector<std::pair<int32_t, int64_t>> seen;
  simdevice::Config config;
  config.periodBytes = 512;
  config.gate = [&e] { return e.NoUnderrunGate(); };
  config.sink = [&](const uint8_t* data, uint32_t got, uint32_t) {
    e.check.Consume(data, got);
    const engine::TrackInfo now = engine::ReadNowPlaying();
    seen.push_back({now.EntryId, now.Played});
  };
  e.InstallDevice(config);
  e.check.Expect(e.ExpectedFrom(0));
  engine::StartPlayback();
  // Before the device asks for anything the whole playlist is decoded.
  ASSERT_TRUE(e.RunToEnd());
  EXPECT_FALSE(e.check.mismatch) << e.check.firstError;

  // The rule applied to whole periods until the output ran dry.
  size_t track = 0;
  int64_t played = 0;
  const int64_t totalPeriods = (e.check.framesExpected * 8) / 512;
  ASSERT_GE(seen.size(), size_t(totalPeriods));
  for (int64_t call = 0; call < totalPeriods; ++call) {
    played += 512;
    const int64_t length = lengths[track] - lengths[track] % 8;
    if (played >= length && track + 1 < lengths.size()) {
      played -= length;
      ++track;
    }
    ASSERT_EQ(seen[size_t(call)].first, ids[track]) << "call " << call;
    ASSERT_EQ(seen[size_t(call)].second, played) << "call " << call;
  }
}

// AdvanceTrack moves CurrentIndex and the panel to the sounding track and
// redraws the progress bar once per second of playing time.
TEST(Playback, AdvanceTrackShowsTheSoundingTrack) {
  Engine e(512, 4096);
  playlist::State.PlaylistRate = 8;  // one second is 64 bytes, so seconds pass quickly
  for (int i = 0; i < 20; ++i) e.AddTrack(800);
  playlist::State.CurrentIndex = 17;
  // The device plays one period each time the test lets it, and the test
  // runs timer 117 in between.
  std::atomic<int> tokens{0};
  simdevice::Config config;
  config.periodBytes = 512;
  config.gate = [&] { return tokens.load() > 0 && e.NoUnderrunGate(); };
  config.sink = [&](const uint8_t* data, uint32_t got, uint32_t) {
    e.check.Consume(data, got);
    --tokens;
  };
  e.InstallDevice(config);
  e.check.Expect(e.ExpectedFrom(17));
  engine::StartPlayback();
  std::vector<int32_t> indexes;
  while (e.view.endTimerRequests.load() == 0) {
    const int64_t calls = simdevice::Calls();
    ++tokens;
    ASSERT_TRUE(enginetest::WaitFor([&] { return simdevice::Calls() > calls || e.view.endTimerRequests.load() > 0; }));
    engine::AdvanceTrack();
    if (indexes.empty() || indexes.back() != playlist::State.CurrentIndex)
      indexes.push_back(playlist::State.CurrentIndex);
  }
  tokens = 1000;
  ASSERT_TRUE(e.RunToEnd());
  EXPECT_FALSE(e.check.mismatch) << e.check.firstError;
  ASSERT_FALSE(indexes.empty());
  EXPECT_EQ(indexes, (std::vector<int32_t>{17, 18, 19}));
  EXPECT_EQ(playlist::State.ScrollOffset, 1);  // page of row 17 is 2: scrolled to page - 1
  EXPECT_GT(e.view.playlistDraws, 0);
  EXPECT_LE(e.view.lastPlayed, e.view.lastLength);
}

// The second track never arrives: the output runs dry while more data are to
// come, and AdvanceTrack stops playback 2 s later, with no message.
TEST(Playback, UnderrunStopsAfterTwoSeconds) {
  Engine e(512, 4096);
  e.AddTrack(4096);
  const uint32_t stuck = e.AddTrack(100000);
  fakeorvo::Block(e.PathOf(stuck), true);
  simdevice::Config config;
  config.periodBytes = 512;
  e.InstallDevice(config);  // no gate: the device does not wait for data
  e.check.Expect(e.ExpectedFrom(0));
  engine::StartPlayback();
  ASSERT_TRUE(enginetest::WaitFor([] { return engine::HandOver.OutputRanDry.load() == 1; }));
  enginetest::ClearSleeps();
  engine::AdvanceTrack();
  EXPECT_EQ(engine::Decoder.PlayState.load(), 0);
  EXPECT_EQ(Count(enginetest::Sleeps(), 2000), 1);
  EXPECT_FALSE(simdevice::Started());
  EXPECT_EQ(engine::Transport.Feeder, nullptr);  // the blocked decode was stopped, not abandoned
  EXPECT_FALSE(engine::Transport.FeederAbandoned);
  EXPECT_EQ(fakeorvo::OpenStreams(), 0);
  EXPECT_TRUE(enginetest::Messages().empty());
  EXPECT_FALSE(e.check.mismatch) << e.check.firstError;
  EXPECT_EQ(e.check.framesMatched, 4096 / 8);
  EXPECT_TRUE(BuffersZero());
}

// A stop while the first fill is still decoding: the feeder leaves the
// decode at once, copies nothing and ends; the stop never waits out its bound.
TEST(Playback, StopDuringTheFirstFill) {
  Engine e(512, 1 << 20);
  const uint32_t id = e.AddTrack(1 << 22);
  fakeorvo::Block(e.PathOf(id), true);
  ASSERT_TRUE(enginetest::StartFeederWithoutDevice());
  ASSERT_TRUE(enginetest::WaitFor([] { return fakeorvo::InsideBlockedRead(); }));
  engine::StopEngine();
  EXPECT_EQ(engine::Transport.Feeder, nullptr);
  EXPECT_FALSE(engine::Transport.FeederAbandoned);
  EXPECT_EQ(engine::HandOver.LastFillBytes.load(), 0);
  EXPECT_EQ(engine::HandOver.Buffer1Size.load(), 0);
  EXPECT_EQ(fakeorvo::OpenStreams(), 0);
  EXPECT_TRUE(BuffersZero());
}

// A decode that ignores the stop: StopEngine gives up after its bound
// without ending the thread or freeing the stream under it, and the engine
// refuses to start until the thread has ended; then a start completes the
// teardown and plays normally. (The real decoders give way: see the tests
// with the real library.)
TEST(Playback, FeederThatOutlivesTheStopKeepsTheEngineUnusable) {
  Engine e(512, 1 << 20);
  const uint32_t stuck = e.AddTrack(1 << 22);
  fakeorvo::Block(e.PathOf(stuck), true, true);
  enginetest::StartFeederWithoutDevice();
  ASSERT_TRUE(enginetest::WaitFor([] { return fakeorvo::InsideBlockedRead(); }));
  engine::StopEngine();
  EXPECT_TRUE(engine::Transport.FeederAbandoned);
  EXPECT_NE(engine::Transport.Feeder, nullptr);
  EXPECT_EQ(fakeorvo::OpenStreams(), 1);  // not freed under the running decode
  engine::Decoder.PlayState.store(0);

  engine::StartPlayback();
  EXPECT_EQ(engine::Decoder.PlayState.load(), 0);
  EXPECT_EQ(simdevice::Inits(), 0);
  EXPECT_TRUE(engine::Transport.FeederAbandoned);

  fakeorvo::Block(e.PathOf(stuck), false);
  ASSERT_TRUE(enginetest::WaitFor([] { return engine::platform::WaitThreadEnd(engine::Transport.Feeder, 0); }));
  e.check.Expect(e.ExpectedFrom(0));
  engine::StartPlayback();
  EXPECT_FALSE(engine::Transport.FeederAbandoned);
  ASSERT_NE(engine::Decoder.PlayState.load(), 0);
  ASSERT_TRUE(e.RunToEnd());
  EXPECT_FALSE(e.check.mismatch) << e.check.firstError;
  EXPECT_EQ(e.check.framesMatched, e.check.framesExpected);
}

// Skip on the last entry only stops (with the stop fade); elsewhere it plays
// on from the following entry.
TEST(Playback, SkipOnTheLastEntryOnlyStops) {
  Engine e(512, 4096);
  e.AddTrack(50000);
  e.AddTrack(50000);
  playlist::State.CurrentIndex = 1;
  e.check.Expect(e.ExpectedFrom(1));
  engine::StartPlayback();
  ASSERT_TRUE(enginetest::WaitFor([] { return simdevice::Calls() > 10; }));
  simdevice::ClearGains();
  engine::SkipToNextEntry();
  EXPECT_EQ(engine::Decoder.PlayState.load(), 0);
  EXPECT_EQ(playlist::State.CurrentIndex, 1);
  EXPECT_FALSE(simdevice::Started());
  EXPECT_EQ(simdevice::Gains().size(), 31u);
  EXPECT_FALSE(e.check.mismatch) << e.check.firstError;
  EXPECT_EQ(fakeorvo::OpenStreams(), 0);
}

TEST(Playback, SkipPlaysTheFollowingEntry) {
  Engine e(512, 4096);
  e.AddTrack(30000);
  e.AddTrack(6000);
  int starts = 0;
  simdevice::Config config;
  config.periodBytes = 512;
  config.gate = [&e] { return e.NoUnderrunGate(); };
  // The second start must play entry 1 from its first frame.
  config.onStart = [&] {
    if (++starts == 2) e.check.Expect(e.ExpectedFrom(1));
  };
  e.InstallDevice(config);
  e.check.Expect(e.ExpectedFrom(0));
  engine::StartPlayback();
  ASSERT_TRUE(enginetest::WaitFor([] { return simdevice::Calls() > 3; }));
  engine::PausePlayback();
  engine::SkipToNextEntry();  // while paused: the pause is reset and the next entry starts
  EXPECT_EQ(engine::Transport.Paused, 0);
  EXPECT_EQ(playlist::State.CurrentIndex, 1);
  EXPECT_EQ(starts, 2);
  ASSERT_NE(engine::Decoder.PlayState.load(), 0);
  ASSERT_TRUE(e.RunToEnd());
  EXPECT_FALSE(e.check.mismatch) << e.check.firstError;
  EXPECT_EQ(e.check.framesMatched, e.check.framesExpected);
}

// Pause stops the channel after its fade; resume lifts the pause and fades
// in; nothing is lost or repeated around them.
TEST(Playback, PauseAndResumeKeepEverySample) {
  Engine e(256, 4096);
  e.AddTrack(60000);
  e.AddTrack(3000);
  e.check.Expect(e.ExpectedFrom(0));
  engine::StartPlayback();
  ASSERT_TRUE(enginetest::WaitFor([] { return simdevice::Calls() > 5; }));
  simdevice::ClearGains();
  engine::PausePlayback();
  EXPECT_EQ(engine::Transport.Paused, 1);
  EXPECT_EQ(simdevice::Pauses(), 1);
  std::vector<float> gains = simdevice::Gains();
  ASSERT_EQ(gains.size(), 21u);
  EXPECT_EQ(gains.back(), 0.0f);
  const int64_t calls = simdevice::Calls();
  EXPECT_EQ(simdevice::Calls(), calls);  // the channel asks for nothing while paused
  simdevice::ClearGains();
  engine::ResumePlayback();
  EXPECT_EQ(engine::Transport.Paused, 0);
  gains = simdevice::Gains();
  ASSERT_EQ(gains.size(), 21u);
  EXPECT_EQ(gains.front(), 0.0f);
  EXPECT_EQ(gains.back(), 1.0f);
  ASSERT_TRUE(e.RunToEnd());
  EXPECT_FALSE(e.check.mismatch) << e.check.firstError;
  EXPECT_EQ(e.check.framesMatched, e.check.framesExpected);
}

TEST(Playback, PauseWithoutADeviceOnlyMarksThePause) {
  Engine e;
  engine::PausePlayback();
  EXPECT_EQ(engine::Transport.Paused, 1);
  EXPECT_EQ(e.view.pauseButton, 1);
  EXPECT_EQ(simdevice::Pauses(), 0);
  EXPECT_TRUE(simdevice::Gains().empty());
}

// The device fails to initialise: the feeder, already running, is stopped
// and waited for before its stream is released; a new start then plays the
// playlist from a clean state.
TEST(Playback, StartFailingAtDeviceInitLeavesACleanState) {
  Engine e(512, 4096);
  e.AddTrack(20000);
  e.AddTrack(9000);
  simdevice::Config failing;
  failing.failInit = true;
  e.InstallDevice(failing);
  engine::StartPlayback();
  EXPECT_EQ(simdevice::Inits(), 1);
  EXPECT_EQ(engine::Decoder.PlayState.load(), 0);
  EXPECT_EQ(engine::Transport.Feeder, nullptr);
  EXPECT_EQ(engine::Decoder.CurrentStream.load(), 0u);
  EXPECT_EQ(fakeorvo::OpenStreams(), 0);
  EXPECT_EQ(engine::Transport.PlayLit, 0);
  EXPECT_TRUE(enginetest::Messages().empty());
  EXPECT_TRUE(BuffersZero());

  simdevice::Config working;
  working.periodBytes = 512;
  working.gate = [&e] { return e.NoUnderrunGate(); };
  e.InstallDevice(working);
  e.check.Expect(e.ExpectedFrom(0));
  engine::StartPlayback();
  ASSERT_TRUE(e.RunToEnd());
  EXPECT_FALSE(e.check.mismatch) << e.check.firstError;
  EXPECT_EQ(e.check.framesMatched, e.check.framesExpected);
}

// Starts that play nothing: an empty playlist, a first entry the engine
// refuses (seven attempts 120 ms apart, one message), and entries whose data
// fail at once (the first fill ends with nothing; the wait for it ends).
TEST(Playback, StartsThatPlayNothingLeaveEverythingStopped) {
  {
    Engine e;
    enginetest::ClearSleeps();
    engine::StartPlayback();
    EXPECT_EQ(engine::Decoder.PlayState.load(), 0);
    EXPECT_EQ(fakeorvo::Creates(), 0);
    EXPECT_EQ(Count(enginetest::Sleeps(), 600), 1);
  }
  {
    Engine e;
    const uint32_t id = e.AddTrack(8000, u"M4A");
    fakeorvo::Refuse(e.PathOf(id), 100, 41);
    enginetest::ClearSleeps();
    engine::StartPlayback();
    EXPECT_EQ(engine::Decoder.PlayState.load(), 0);
    EXPECT_EQ(fakeorvo::Creates(), 7);
    EXPECT_EQ(Count(enginetest::Sleeps(), 120), 6);
    EXPECT_EQ(enginetest::Messages(), std::vector<std::u16string>{u"Error: Unsupported file format"});
    EXPECT_EQ(engine::ReadNowPlaying().EntryId, 0);
  }
  {
    Engine e;
    const uint32_t a = e.AddTrack(8000);
    const uint32_t b = e.AddTrack(8000);
    fakeorvo::FailData(e.PathOf(a));
    fakeorvo::FailData(e.PathOf(b));
    engine::StartPlayback();
    EXPECT_EQ(engine::Decoder.PlayState.load(), 0);
    EXPECT_EQ(simdevice::Inits(), 0);
    EXPECT_EQ(engine::Transport.Feeder, nullptr);
    EXPECT_EQ(fakeorvo::OpenStreams(), 0);
  }
}

// A file that disappears mid-playlist: no message, the data end with the
// entry before it and playback ends as at the end of the playlist.
TEST(Playback, MissingFileEndsThePlaylistBeforeIt) {
  Engine e(512, 4096);
  e.AddTrack(5000 - 5000 % 8);
  const uint32_t gone = e.AddTrack(5000);
  e.AddTrack(5000);
  std::filesystem::remove(shell::Utf8FromUtf16(e.PathOf(gone)));
  std::vector<enginetest::Segment> expected = e.ExpectedFrom(0);
  expected.resize(1);
  e.check.Expect(expected);
  engine::StartPlayback();
  ASSERT_TRUE(e.RunToEnd());
  EXPECT_FALSE(e.check.mismatch) << e.check.firstError;
  EXPECT_EQ(e.check.framesMatched, e.check.framesExpected);
  EXPECT_TRUE(enginetest::Messages().empty());
}

}  // namespace
