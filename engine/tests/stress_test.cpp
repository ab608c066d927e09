// Many playbacks over random playlists, periods, chunk sizes and device
// timings, until the device has been given at least a million periods of
// data. Every frame is checked against the playlist as it arrives; a
// playback that runs to its end must deliver every frame exactly once.
#include <gtest/gtest.h>

#include <random>

#include "engine/engine.h"
#include "harness.h"
#include "playlist/model.h"
#include "sim_device.h"

namespace {

TEST(Stress, MillionPeriodsOverRandomPlaylists) {
  std::mt19937_64 random(20261211);
  auto pick = [&](int64_t low, int64_t high) { return low + int64_t(random() % uint64_t(high - low + 1)); };
  int64_t periods = 0;
  int playbacks = 0;
  while (periods < 1000000) {
    const uint32_t period = uint32_t(8 * pick(1, 64));
    const int64_t fill = period * pick(1, 256) + 8 * pick(0, 64);
    enginetest::Engine e(period, fill);
    enginetest::SetDelayScale(1);
    const int tracks = int(pick(1, 12));
    uint32_t album = 0;
    int64_t albumPos = 0, albumLength = 0;
    std::vector<int64_t> lengths;
    for (int t = 0; t < tracks; ++t) {
      lengths.push_back(random() % 10 < 3 ? 8 * pick(1, period / 8) : 8 * pick(1, fill * 30 / 8));
    }
    const bool withCue = random() % 4 == 0;
    if (withCue) {
      for (int64_t l : lengths) albumLength += l;
      album = e.AddAlbum(albumLength + 8 * pick(0, 100));
    }
    for (int64_t l : lengths) {
      if (withCue && random() % 2 == 0) {
        e.AddCueTrack(album, albumPos, albumPos + l);
      } else {
        e.AddTrack(l);
      }
      albumPos += l;
    }
    const int32_t start = int32_t(pick(0, tracks - 1));
    playlist::State.CurrentIndex = start;

    std::atomic<int64_t> delivered{0};
    simdevice::Config config;
    config.periodBytes = period;
    config.seed = random();
    config.jitterMicros = random() % 10 == 0 ? uint32_t(pick(1, 8)) : 0;
    config.gate = [&e] { return e.NoUnderrunGate(); };
    struct Trace { int64_t cb, s1, p1, s2, p2, got; };
    std::vector<Trace> trace;
    config.sink = [&e, &delivered, &trace](const uint8_t* data, uint32_t got, uint32_t) {
      using engine::HandOver;
      const bool before = e.check.mismatch;
      e.check.Consume(data, got);
      if (!before) trace.push_back({HandOver.CallbackBuffer.load(), HandOver.Buffer1Size.load(), HandOver.Buffer1Pos.load(),
                       HandOver.Buffer2Size.load(), HandOver.Buffer2Pos.load(), int64_t(got)});
      if (got > 0) ++delivered;
    };
    e.InstallDevice(config);
    e.check.Expect(e.ExpectedFrom(start));

    engine::StartPlayback();
    ASSERT_NE(engine::Decoder.PlayState.load(), 0) << "playback " << playbacks;
    const int action = int(random() % 20);
    bool toEnd = true;
    if (action < 3) {
      const int64_t after = pick(0, 200);
      ASSERT_TRUE(enginetest::WaitFor(
          [&] { return simdevice::Calls() >= after || e.view.endTimerRequests.load() > 0; }));
      engine::StopPlayback();
      toEnd = false;
    } else if (action < 6) {
      const int64_t after = pick(0, 200);
      ASSERT_TRUE(enginetest::WaitFor(
          [&] { return simdevice::Calls() >= after || e.view.endTimerRequests.load() > 0; }));
      engine::PausePlayback();
      engine::ResumePlayback();
    }
    if (toEnd) {
      ASSERT_TRUE(e.RunToEnd()) << "playback " << playbacks;
    }
    ASSERT_EQ(engine::Decoder.PlayState.load(), 0);
    if (e.check.mismatch) {
      std::printf("period %u fill %lld start %d cue %d action %d\n", period, (long long)fill, start, withCue, action);
      for (size_t t = trace.size() > 40 ? trace.size() - 40 : 0; t < trace.size(); ++t)
        std::printf("  call %zu cb %lld b1 %lld/%lld b2 %lld/%lld got %lld\n", t, (long long)trace[t].cb, (long long)trace[t].p1,
                    (long long)trace[t].s1, (long long)trace[t].p2, (long long)trace[t].s2, (long long)trace[t].got);
      for (int32_t i = 0; i < playlist::PlaylistCount(); ++i) {
        playlist::PlaylistEntry x;
        playlist::CopyPlaylistEntry(i, &x);
        std::printf("  %d cue %d %lld..%lld len %lld\n", i, x.IsCueTrack, (long long)x.CueStart, (long long)x.CueEnd, (long long)x.ByteLength);
      }
    }
    ASSERT_FALSE(e.check.mismatch) << "playback " << playbacks << ": " << e.check.firstError;
    if (toEnd) {
      ASSERT_EQ(e.check.framesMatched, e.check.framesExpected) << "playback " << playbacks;
    }
    ASSERT_EQ(engine::Transport.Feeder, nullptr);
    periods += delivered.load();
    ++playbacks;
  }
  RecordProperty("playbacks", playbacks);
  std::printf("%d playbacks, %lld periods with data\n", playbacks, static_cast<long long>(periods));
}

}  // namespace
