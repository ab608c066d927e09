// The output buffer feeder. Threads: AudioThread is the feeder thread's
// procedure; CopyBlock8 runs on the feeder and on the output callback's thread.
//
// Hand-over with the callback (orderings):
// - A buffer is written only while the callback plays the other one; the
//   feeder learns that by loading CallbackBuffer with acquire, which pairs
//   with the callback's release store when it switches, so the callback's
//   last reads of the used-up buffer happen before the feeder overwrites it.
// - The feeder publishes a fill through Publish (below): size 0, contents,
//   position 0, then the size, each publishing store with release; the
//   callback loads the position and then the size with acquire before it
//   reads the contents.
#include <algorithm>
#include <cstring>

#include "engine/engine.h"
#include "engine/transport_view.h"
#include "support/bound_entries.h"

namespace engine {

HandOverState HandOver;

void CopyBlock8(const void* source, void* destination, int64_t count) {
  // Every caller passes whole 8-byte frames at 8-byte aligned addresses; a
  // stray tail would split a frame, so it is never copied.
  if (count <= 0) return;
  std::memcpy(destination, source, size_t(count - count % 8));
}

namespace {

bool Stopping() { return Decoder.StopRequested.load(std::memory_order_acquire) != 0; }

int64_t CallbackBuffer() { return HandOver.CallbackBuffer.load(std::memory_order_acquire); }

bool UsedUp(const std::atomic<int64_t>& size, const std::atomic<int64_t>& pos) {
  return size.load(std::memory_order_acquire) <= pos.load(std::memory_order_acquire);
}

bool OutputPlayedEverything() {
  return Decoder.DataState.load(std::memory_order_acquire) == 2 && support::Orva.IsStarted() != 0 &&
         ((UsedUp(HandOver.Buffer1Size, HandOver.Buffer1Pos) && UsedUp(HandOver.Buffer2Size, HandOver.Buffer2Pos)) ||
          HandOver.OutputRanDry.load(std::memory_order_acquire) == 1);
}

void RaiseMark(std::atomic<int64_t>& mark, int64_t bytes) {
  if (mark.load(std::memory_order_relaxed) < bytes) mark.store(bytes, std::memory_order_relaxed);
}

// Makes a used-up output buffer ready with the chunk in DecodeBuffer.
//
// A buffer whose position is already 0 (never filled since the start, or
// used up from its first byte) would be ready as soon as a new size were
// stored, and a position of 0 stored after that would send a callback that
// had started on it back to its start. So the size goes to 0 first (a buffer
// of size 0 is never ready), then the contents, the position 0 (release,
// which also publishes the size of 0), and last the size (release), which
// publishes everything before it: a callback that sees the new size sees
// the contents and the position 0 as well.
void Publish(uint8_t* buffer, std::atomic<int64_t>& size, std::atomic<int64_t>& pos, int64_t bytes) {
  size.store(0, std::memory_order_relaxed);
  CopyBlock8(Buffers.DecodeBuffer, buffer, bytes);
  pos.store(0, std::memory_order_release);
  size.store(bytes, std::memory_order_release);
}

}  // namespace

void AudioThread() {
  Decoder.StopRequested.store(0, std::memory_order_relaxed);
  HandOver.OutputRanDry.store(0, std::memory_order_relaxed);
  int fillCount = 0;
  int64_t awaited = 0;

  auto mayFill = [&] {
    return (fillCount < 2 || awaited != CallbackBuffer()) &&
           Transport.OutputRate.load(std::memory_order_relaxed) > 0 &&
           Decoder.DataState.load(std::memory_order_relaxed) == 1;
  };

  enum class Step { Decide, Wait, Fill } step = Step::Decide;
  for (;;) {
    if (step == Step::Decide) {
      step = mayFill() ? Step::Fill : Step::Wait;
      continue;
    }
    if (step == Step::Wait) {
      // Until the callback moves on to the latest-filled buffer, or the data end.
      for (;;) {
        if (Stopping()) return;
        const int64_t state = Decoder.DataState.load(std::memory_order_acquire);
        if (awaited != CallbackBuffer() && state == 1) {
          step = Step::Fill;
          break;
        }
        if (state >= 2) goto end_of_data;
        platform::Sleep(1);
      }
    }
    if (mayFill() && Decoder.CurrentStream.load(std::memory_order_relaxed) != 0) {
      if (HandOver.BufferSwitched.load(std::memory_order_acquire) == 1) {
        // Keeps the burst of decoding away from the moment of the switch.
        platform::Sleep(60);
        HandOver.BufferSwitched.store(0, std::memory_order_relaxed);
      }
      if (fillCount != 0)
        HandOver.FillTarget.store(HandOver.FillTarget.load(std::memory_order_relaxed) == 2 ? 1 : 2,
                                  std::memory_order_relaxed);
      if (fillCount < 2) ++fillCount;
      ReadDecodedData();
      if (Stopping()) return;
      platform::Sleep(60);
      const int64_t bytes = Decoder.DecodedBytes;
      if (HandOver.FillTarget.load(std::memory_order_relaxed) == 1) {
        Publish(Buffers.OutputBuffer1, HandOver.Buffer1Size, HandOver.Buffer1Pos, bytes);
        RaiseMark(Buffers.Output1Written, bytes);
        awaited = 8;
      } else {
        Publish(Buffers.OutputBuffer2, HandOver.Buffer2Size, HandOver.Buffer2Pos, bytes);
        RaiseMark(Buffers.Output2Written, bytes);
        awaited = 6;
      }
      // Release: StartPlayback goes on to start the device after it sees this.
      HandOver.LastFillBytes.store(bytes, std::memory_order_release);
      // After LastFillBytes, so that StartPlayback, seeing this, knows that
      // a LastFillBytes of 0 means the first fill found no data at all.
      if (fillCount == 1) HandOver.FirstFillDone.store(1, std::memory_order_release);
    }
    step = fillCount == 1 ? Step::Decide : Step::Wait;
  }

end_of_data:
  if (View().MainWindowExists()) {
    for (;;) {
      if (Stopping()) return;
      if (OutputPlayedEverything()) {
        View().RequestEndTimer();
        return;
      }
      platform::Sleep(1);
    }
  }
  // No window is left to stop the device: the feeder does it itself. A stop
  // is still honoured here, so that StopEngine never waits for a feeder that
  // cannot see it; the stop path then tears the device down itself.
  while (!OutputPlayedEverything()) {
    if (Stopping()) return;
    platform::Sleep(1);
  }
  platform::Sleep(100);
  FadeOutForStop();
  support::Orva.Free();
  support::Orvo.Free();
}

}  // namespace engine
