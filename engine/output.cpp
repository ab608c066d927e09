// The output callback. Thread: AsioProc runs on the output library's thread,
// once per device period, concurrently with the feeder and the main thread.
//
// Rules of this file: no lock, no wait, no allocation, no log or message, no
// COM call, no file access and no playlist access. Everything it needs is
// already in memory: the two output buffers, the hand-over words and the
// track records prepared before the device started.
#include <algorithm>

#include "engine/engine.h"
#include "engine/track_info.h"

namespace engine {

namespace {

struct Side {
  uint8_t* data;
  std::atomic<int64_t>& size;
  std::atomic<int64_t>& pos;
};

// Ready: position 0 and size above 0. The position is loaded first, then the
// size, both with acquire. A size above 0 seen here was stored last by the
// feeder's publication (or belongs to a buffer that is not at position 0),
// so the contents it covers are visible.
int64_t ReadyBytes(const Side& side) {
  if (side.pos.load(std::memory_order_acquire) != 0) return 0;
  return std::max<int64_t>(0, side.size.load(std::memory_order_acquire));
}

void RanDry() { HandOver.OutputRanDry.store(1, std::memory_order_release); }

// Moves playback to the other buffer; release, so that the callback's reads
// of the used-up buffer happen before the feeder refills it.
void SwitchTo(int64_t value) {
  HandOver.CallbackBuffer.store(value, std::memory_order_release);
  HandOver.BufferSwitched.store(1, std::memory_order_release);
}

}  // namespace

uint32_t AsioProc(int32_t input, uint32_t channel, void* buffer, uint32_t length, void* user) {
  (void)input, (void)channel, (void)user;
  // Whole frames only; the library always asks for whole frames.
  const int64_t n = int64_t(length) - int64_t(length) % FrameBytes;
  auto* out = static_cast<uint8_t*>(buffer);

  const bool playsFirst = HandOver.CallbackBuffer.load(std::memory_order_relaxed) == 6;
  Side one{Buffers.OutputBuffer1, HandOver.Buffer1Size, HandOver.Buffer1Pos};
  Side two{Buffers.OutputBuffer2, HandOver.Buffer2Size, HandOver.Buffer2Pos};
  Side& play = playsFirst ? one : two;
  Side& other = playsFirst ? two : one;
  const int64_t otherValue = playsFirst ? 8 : 6;

  const int64_t size = play.size.load(std::memory_order_acquire);
  const int64_t pos = play.pos.load(std::memory_order_relaxed);  // only this thread moves it while it plays
  int64_t supplied = 0;
  if (size - pos > n) {
    CopyBlock8(play.data + pos, out, n);
    play.pos.store(pos + n, std::memory_order_release);
    supplied = n;
  } else if (size > pos) {
    const int64_t e = size - pos;
    CopyBlock8(play.data + pos, out, e);
    play.size.store(pos, std::memory_order_release);  // used up
    supplied = e;
    if (const int64_t ready = ReadyBytes(other); ready > 0) {
      // A last chunk shorter than the rest of the period gives only what it
      // holds: the bytes behind it are left over from an older fill.
      const int64_t m = std::min(n - e, ready);
      CopyBlock8(other.data, out + e, m);
      other.pos.store(m, std::memory_order_release);
      SwitchTo(otherValue);
      supplied += m;
      if (m < n - e) RanDry();
    } else {
      RanDry();
    }
  } else if (size == pos && size > 0) {
    if (const int64_t ready = ReadyBytes(other); ready > 0) {
      const int64_t m = std::min(n, ready);
      CopyBlock8(other.data, out, m);
      other.pos.store(m, std::memory_order_release);
      SwitchTo(otherValue);
      supplied = m;
      if (m < n) RanDry();
    } else {
      RanDry();
    }
  } else {
    RanDry();
  }

  if (HandOver.OutputRanDry.load(std::memory_order_relaxed) == 0) trackinfo::CountPlayed(n);
  BufferSemaphore().Release();
  return uint32_t(supplied);
}

}  // namespace engine
