// The output callback on its own: hand-over state set by hand, one call at a
// time; and the block copy.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "engine/engine.h"
#include "engine/track_info.h"
#include "harness.h"

namespace {

using engine::HandOver;

// Buffer 1 holds frames 1000.., buffer 2 frames 2000.. (one word per frame
// here: only the order of bytes matters).
class Callback : public testing::Test {
 protected:
  Callback() : e_(64, 4096) {
    auto* one = reinterpret_cast<uint64_t*>(engine::Buffers.OutputBuffer1);
    auto* two = reinterpret_cast<uint64_t*>(engine::Buffers.OutputBuffer2);
    for (int k = 0; k < 64; ++k) one[k] = 1000 + k, two[k] = 2000 + k;
    engine::Buffers.Output1Written.store(512);
    engine::Buffers.Output2Written.store(512);
    HandOver.CallbackBuffer.store(6);
  }
  ~Callback() override {
    engine::StopEngine();
  }
  void Set(int64_t size1, int64_t pos1, int64_t size2, int64_t pos2) {
    HandOver.Buffer1Size.store(size1);
    HandOver.Buffer1Pos.store(pos1);
    HandOver.Buffer2Size.store(size2);
    HandOver.Buffer2Pos.store(pos2);
  }
  uint32_t Call(uint32_t n) {
    out_.assign(n / 8, 0);
    return engine::AsioProc(0, 0, out_.data(), n, nullptr);
  }
  std::vector<uint64_t> out_;
  enginetest::Engine e_;
};

TEST_F(Callback, MoreThanAPeriodLeftPlaysFromThePlayingBuffer) {
  Set(256, 64, 0, 0);
  EXPECT_EQ(Call(64), 64u);
  EXPECT_EQ(out_[0], 1008u);
  EXPECT_EQ(out_[7], 1015u);
  EXPECT_EQ(HandOver.Buffer1Pos.load(), 128);
  EXPECT_EQ(HandOver.OutputRanDry.load(), 0);
}

TEST_F(Callback, ExactlyAPeriodLeftSwitchesWithAnEmptyCopy) {
  Set(128, 64, 256, 0);
  EXPECT_EQ(Call(64), 64u);
  EXPECT_EQ(out_[7], 1015u);
  EXPECT_EQ(HandOver.CallbackBuffer.load(), 8);
  EXPECT_EQ(HandOver.BufferSwitched.load(), 1);
  EXPECT_EQ(HandOver.Buffer2Pos.load(), 0);
  EXPECT_EQ(HandOver.Buffer1Size.load(), 64);  // used up
  EXPECT_EQ(Call(64), 64u);
  EXPECT_EQ(out_[0], 2000u);  // the next call plays buffer 2 from its start
}

TEST_F(Callback, PeriodSpanningBothBuffers) {
  Set(104, 64, 256, 0);
  EXPECT_EQ(Call(64), 64u);
  EXPECT_EQ(out_[0], 1008u);
  EXPECT_EQ(out_[4], 1012u);
  EXPECT_EQ(out_[5], 2000u);
  EXPECT_EQ(out_[7], 2002u);
  EXPECT_EQ(HandOver.Buffer2Pos.load(), 24);
}

TEST_F(Callback, OtherBufferNotReadyRunsDry) {
  Set(104, 64, 256, 256);
  EXPECT_EQ(Call(64), 40u);
  EXPECT_EQ(HandOver.OutputRanDry.load(), 1);
  EXPECT_EQ(HandOver.CallbackBuffer.load(), 6);
  EXPECT_EQ(Call(64), 0u);  // everything played: nothing more
}

// A last chunk shorter than the rest of the period: only its bytes are
// given, never the older bytes behind it.
TEST_F(Callback, ShortLastChunkGivesOnlyItsBytes) {
  Set(104, 64, 16, 0);
  EXPECT_EQ(Call(64), 56u);
  EXPECT_EQ(out_[5], 2000u);
  EXPECT_EQ(out_[6], 2001u);
  EXPECT_EQ(out_[7], 0u);
  EXPECT_EQ(HandOver.OutputRanDry.load(), 1);
  EXPECT_EQ(Call(64), 0u);
}

TEST_F(Callback, UsedUpBufferSwitchesWhenTheOtherBecomesReady) {
  Set(64, 64, 0, 0);
  EXPECT_EQ(Call(64), 0u);
  EXPECT_EQ(HandOver.OutputRanDry.load(), 1);
  Set(64, 64, 128, 0);
  EXPECT_EQ(Call(64), 64u);
  EXPECT_EQ(out_[0], 2000u);
  EXPECT_EQ(HandOver.CallbackBuffer.load(), 8);
}

TEST_F(Callback, NothingEverFilledGivesNothing) {
  Set(0, 0, 0, 0);
  EXPECT_EQ(Call(64), 0u);
  EXPECT_EQ(HandOver.OutputRanDry.load(), 1);
}

// Played passes Length mid-call: NowPlaying moves on in that call with the
// overshoot; two tracks shorter than a period switch one call after another.
TEST_F(Callback, NowPlayingSwitchesAtMostOncePerCall) {
  engine::TrackInfo first;
  first.Length = 40;
  first.EntryId = 2;
  engine::trackinfo::OverwriteNowPlaying(first);
  engine::TrackInfo second = first, third = first;
  second.Length = 16, second.EntryId = 4;
  third.Length = 1000, third.EntryId = 6;
  ASSERT_TRUE(engine::trackinfo::Append(second));
  ASSERT_TRUE(engine::trackinfo::Append(third));
  Set(4096, 0, 0, 0);
  Call(64);
  EXPECT_EQ(engine::ReadNowPlaying().EntryId, 4);
  EXPECT_EQ(engine::ReadNowPlaying().Played, 24);
  Call(64);
  EXPECT_EQ(engine::ReadNowPlaying().EntryId, 6);
  EXPECT_EQ(engine::ReadNowPlaying().Played, 72);
  Call(64);
  EXPECT_EQ(engine::ReadNowPlaying().Played, 136);
}

TEST(CopyBlock8, CopiesWholeWordsOnly) {
  const uint64_t source[3] = {1, 2, 3};
  uint64_t dest[3] = {9, 9, 9};
  engine::CopyBlock8(source, dest, 0);
  EXPECT_EQ(dest[0], 9u);
  engine::CopyBlock8(source, dest, 16);
  EXPECT_EQ(dest[0], 1u);
  EXPECT_EQ(dest[1], 2u);
  EXPECT_EQ(dest[2], 9u);
}

}  // namespace
