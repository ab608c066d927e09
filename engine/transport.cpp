// Transport control and the engine's shared objects. Thread: every function
// here runs on the main thread (the event loop's handlers and timers 117 and
// 119); it hands over to and takes back from the feeder thread through
// StopRequested, BufferSemaphore and the thread's end.
#include <cstdio>
#include <cstring>

#include "engine/engine.h"
#include "engine/track_info.h"
#include "engine/transport_view.h"
#include "playlist/model.h"
#include "shell/procedure_table.h"
#include "support/bound_entries.h"

namespace engine {

TransportState Transport;

namespace {

TransportView DefaultView;
std::atomic<TransportView*> CurrentView{&DefaultView};
platform::Semaphore* Semaphore = nullptr;

// How long a stop waits for the feeder, and the slices in which it repeats
// its request to the engine: a request that reaches a stream just before
// the feeder repositions it (a CUE track) would otherwise be lost.
constexpr uint32_t kFeederEndBoundMs = 4000;
constexpr uint32_t kFeederEndSliceMs = 20;

bool FeederRunning() {
  return Transport.Feeder != nullptr && !platform::WaitThreadEnd(Transport.Feeder, 0);
}

// Asks the feeder to end, stops a running decode through the engine and
// waits for the thread. False when it is still running after the bound; it
// is then left alone (no thread is ever ended forcibly) and marked.
bool EndFeeder() {
  // Sequentially consistent with the feeder's store of CurrentStream and its
  // check of StopRequested: either it sees the stop before its next decode,
  // or this side sees the stream that decode uses and stops it.
  Decoder.StopRequested.store(1);
  platform::Sleep(20);
  if (Transport.Feeder == nullptr) return true;
  for (uint32_t waited = 0;; waited += kFeederEndSliceMs) {
    const uint32_t stream = Decoder.CurrentStream.load();
    if (stream != 0) support::Orvo.ChannelStop(stream);  // a running GetData returns -1
    if (platform::WaitThreadEnd(Transport.Feeder, kFeederEndSliceMs)) break;
    if (waited >= kFeederEndBoundMs) {
      // Still inside the engine: freeing its stream or the engine under it
      // is not safe, so the engine stays unusable until the thread ends.
      Transport.FeederAbandoned = true;
      return false;
    }
  }
  platform::CloseThread(Transport.Feeder);
  Transport.Feeder = nullptr;
  Transport.FeederAbandoned = false;
  return true;
}

void StopDevice() {
  support::Orva.ChannelReset(0, -1, 3);
  while (support::Orva.IsStarted() != 0) {
    support::Orva.Stop();
    platform::Sleep(20);
  }
  support::Orva.Free();
}

void ZeroWritten(uint8_t* buffer, std::atomic<int64_t>& written) {
  const int64_t bytes = written.load(std::memory_order_relaxed);
  if (buffer != nullptr && bytes > 0) std::memset(buffer, 0, size_t(bytes));
  written.store(0, std::memory_order_relaxed);
}

void ResetHandOver() {
  HandOver.FillTarget.store(1, std::memory_order_relaxed);
  HandOver.Buffer1Size.store(0, std::memory_order_relaxed);
  HandOver.Buffer1Pos.store(0, std::memory_order_relaxed);
  HandOver.Buffer2Size.store(0, std::memory_order_relaxed);
  HandOver.Buffer2Pos.store(0, std::memory_order_relaxed);
  HandOver.CallbackBuffer.store(0, std::memory_order_relaxed);
  HandOver.BufferSwitched.store(0, std::memory_order_relaxed);
  HandOver.OutputRanDry.store(0, std::memory_order_relaxed);
  HandOver.LastFillBytes.store(0, std::memory_order_relaxed);
  HandOver.FirstFillDone.store(0, std::memory_order_relaxed);
}

// A feeder abandoned by an earlier stop: once it has ended, the teardown it
// held up is completed. False while it still runs.
bool ReclaimAbandonedFeeder() {
  if (!Transport.FeederAbandoned) return true;
  if (!platform::WaitThreadEnd(Transport.Feeder, 0)) return false;
  StopEngine();
  return !Transport.FeederAbandoned;
}

void StayStopped() {
  platform::Sleep(600);
  Transport.OutputRate.store(0, std::memory_order_relaxed);
  Decoder.DataState.store(0, std::memory_order_relaxed);
  HandOver.LastFillBytes.store(0, std::memory_order_relaxed);
  Decoder.PlayState.store(0, std::memory_order_relaxed);
  Decoder.NextDecodeIndex.store(0, std::memory_order_relaxed);
  ShowTransportState();
}

// A start that cannot go on after the feeder was created: the feeder is
// stopped and waited for before its stream is released and forgotten, so a
// new start begins from a clean state.
void AbandonStart() {
  if (EndFeeder()) {
    const uint32_t stream = Decoder.CurrentStream.load();
    if (stream != 0) support::Orvo.StreamFree(stream);
    Decoder.CurrentStream.store(0);
    ZeroWritten(Buffers.DecodeBuffer, Buffers.DecodeWritten);
    ZeroWritten(Buffers.OutputBuffer1, Buffers.Output1Written);
    ZeroWritten(Buffers.OutputBuffer2, Buffers.Output2Written);
    ResetHandOver();
    trackinfo::Reset();
    Transport.FeederThread.store(0, std::memory_order_relaxed);
  }
  StayStopped();
}

}  // namespace

TransportView& View() { return *CurrentView.load(std::memory_order_acquire); }
void SetTransportView(TransportView* view) {
  CurrentView.store(view != nullptr ? view : &DefaultView, std::memory_order_release);
}

void CreateEngineObjects() {
  if (Semaphore == nullptr) Semaphore = platform::CreateCountingSemaphore(2147483647);
  Transport.FeederPriority = 4;
  Volume.VolumeGain.store(0.0f, std::memory_order_relaxed);
  trackinfo::Reset();
}

platform::Semaphore& BufferSemaphore() { return *Semaphore; }

void ShowTransportState() {
  Transport.PlayLit = 0;
  View().DrawPlayButton();
  Transport.Paused = 0;
  View().DrawPauseButton();
}

void StartPlayback() {
  if (!ReclaimAbandonedFeeder() || Buffers.BufferSize == 0) {
    // An earlier feeder still runs, or there are no buffers: nothing starts.
    StayStopped();
    return;
  }
  Transport.OutputRate.store(0, std::memory_order_relaxed);
  Transport.ShownSecond = -2;
  Transport.FeederThread.store(0, std::memory_order_relaxed);
  Decoder.DataState.store(1, std::memory_order_relaxed);
  Decoder.StopRequested.store(0);  // a stop of the last playback must not end this one's first open
  HandOver.FillTarget.store(1, std::memory_order_relaxed);
  HandOver.LastFillBytes.store(0, std::memory_order_relaxed);
  HandOver.FirstFillDone.store(0, std::memory_order_relaxed);
  // The callback will start on OutputBuffer1, and the feeder must know that
  // from its first fill on: with 0 here, a second fill that ends before the
  // device starts would take the callback for having moved on, and refill
  // OutputBuffer1 before a byte of it was played.
  HandOver.CallbackBuffer.store(6, std::memory_order_relaxed);
  Decoder.NextDecodeIndex.store(0, std::memory_order_relaxed);

  support::Orvo.Free();
  trackinfo::Reset();
  platform::Sleep(60);
  support::Orvo.Init(0, uint32_t(playlist::State.PlaylistRate), 4096, View().MainWindowHandle(), nullptr);
  support::Orvo.SetConfig(1, 0);

  BufferSemaphore().Release();
  DecodeNextTrack();
  if (Decoder.CurrentStream.load() != 0) {
    View().BlankProgressBar();
    platform::Sleep(200);
  } else {
    Decoder.NextDecodeIndex.store(0, std::memory_order_relaxed);
    trackinfo::Reset();
  }
  support::Orva.Free();
  if (Decoder.CurrentStream.load() == 0 || Decoder.PlayState.load(std::memory_order_relaxed) == 0 ||
      Decoder.NextDecodeIndex.load(std::memory_order_relaxed) < 1) {
    StayStopped();
    return;
  }

  const int32_t rate = playlist::State.PlaylistRate;
  Transport.OutputRate.store(rate, std::memory_order_relaxed);
  char label[32];
  std::snprintf(label, sizeof label, "%.1f kHz", double(float(rate) / 1000.0f));
  View().ShowStatusLabel(std::u16string(label, label + std::strlen(label)));

  Transport.FeederPriority = 4;
  auto procedure = reinterpret_cast<void (*)()>(shell::ProcedureTable::Lookup(u"AudioThread()"));
  Transport.Feeder = procedure != nullptr ? platform::CreateSuspendedThread(procedure) : nullptr;
  if (Transport.Feeder == nullptr) {
    AbandonStart();
    return;
  }
  // The number is stored before the thread runs, so that every entry the
  // feeder opens finds it and goes to TrackInfoQueue. Release pairs with
  // DecodeTrack's acquire (the resume orders it as well).
  Transport.FeederThread.store(platform::ThreadNumber(Transport.Feeder), std::memory_order_release);
  platform::SetThreadPriority(Transport.Feeder, Transport.FeederPriority);
  platform::ResumeThread(Transport.Feeder);

  // The first fill. It ends with data, or, when every remaining entry
  // failed, with none: then nothing plays, as with an empty playlist.
  while (HandOver.LastFillBytes.load(std::memory_order_acquire) == 0 &&
         HandOver.FirstFillDone.load(std::memory_order_acquire) == 0) {
    platform::Sleep(20);
    BufferSemaphore().Release();
  }
  if (HandOver.LastFillBytes.load(std::memory_order_acquire) == 0) {
    AbandonStart();
    return;
  }

  auto callback = reinterpret_cast<support::OrvaProc>(shell::ProcedureTable::Lookup(u"AsioProc()"));
  TransportView& view = View();
  if (callback != nullptr && support::Orva.Init(view.DeviceIndex(), 1) != 0) {
    const float gain = Volume.VolumeGain.load(std::memory_order_relaxed);
    const int32_t channel = view.OutputChannel();
    support::Orva.ChannelSetVolume(0, -1, gain);
    support::Orva.SetRate(double(rate));
    SetOutputGain(gain);
    Transport.PlayLit = 1;
    view.DrawPlayButton();
    HandOver.CallbackBuffer.store(6, std::memory_order_release);
    support::Orva.ChannelEnable(0, uint32_t(channel), callback, nullptr);
    support::Orva.ChannelJoin(0, uint32_t(channel + 1), channel);
    support::Orva.ChannelSetFormat(0, uint32_t(channel), 19);
    support::Orva.Start(0, 0);
    view.AddTimer(117, 200);
    platform::Sleep(20);
    return;
  }
  support::Orva.Free();
  AbandonStart();
}

void StopEngine() {
  const bool ended = EndFeeder();
  StopDevice();
  if (!ended) {
    // The feeder may still write the buffers and hold its stream: only the
    // device and the display are taken down now; ReclaimAbandonedFeeder
    // finishes the rest once the thread has ended.
    View().BlankProgressBar();
    if (View().MainWindowExists()) {
      View().RemoveTimer(117);
      View().RemoveTimer(119);
    }
    return;
  }
  const uint32_t stream = Decoder.CurrentStream.load();
  if (stream != 0) support::Orvo.StreamFree(stream);
  Decoder.CurrentStream.store(0);
  // All three buffers end up zero, by clearing only what was written.
  ZeroWritten(Buffers.DecodeBuffer, Buffers.DecodeWritten);
  ZeroWritten(Buffers.OutputBuffer2, Buffers.Output2Written);
  ZeroWritten(Buffers.OutputBuffer1, Buffers.Output1Written);
  trackinfo::Reset();
  platform::Sleep(200);
  Transport.OutputRate.store(0, std::memory_order_relaxed);
  Decoder.DataState.store(0, std::memory_order_relaxed);
  ResetHandOver();
  Transport.ShownEntryId = 0;
  Transport.FeederThread.store(0, std::memory_order_relaxed);
  Decoder.NextDecodeIndex.store(0, std::memory_order_relaxed);
  View().BlankProgressBar();
  support::Orvo.Free();
  if (View().MainWindowExists()) {
    View().RemoveTimer(117);
    View().RemoveTimer(119);
    support::Orvo.Init(0, uint32_t(playlist::State.PlaylistRate), 4096, View().MainWindowHandle(), nullptr);
    support::Orvo.SetConfig(1, 0);
  }
}

void StopPlayback() {
  if (Decoder.PlayState.load(std::memory_order_relaxed) != 0) {
    FadeOutForStop();
    StopEngine();
    ShowTransportState();
    Decoder.PlayState.store(0, std::memory_order_relaxed);
    Decoder.NextDecodeIndex.store(0, std::memory_order_relaxed);
  }
  Transport.Paused = 0;
  View().BlankProgressBar();
}

void PausePlayback() {
  Transport.Paused = 1;
  View().DrawPauseButton();
  if (support::Orva.IsStarted() != 0) {
    FadeOutForPause();
    support::Orva.ChannelPause(0, uint32_t(View().OutputChannel()));
  }
}

void ResumePlayback() {
  if (support::Orva.IsStarted() != 0) {
    support::Orva.ChannelReset(0, -1, 4);
    FadeInForResume();
  }
  Transport.Paused = 0;
  View().DrawPauseButton();
}

void SkipToNextEntry() {
  Transport.Paused = 0;
  FadeOutForStop();
  StopEngine();
  ShowTransportState();
  Decoder.PlayState.store(0, std::memory_order_relaxed);
  Decoder.NextDecodeIndex.store(0, std::memory_order_relaxed);
  const int32_t count = playlist::PlaylistCount();
  if (count > 1 && playlist::State.CurrentIndex + 1 < count) {
    playlist::State.CurrentIndex += 1;
    View().BlankProgressBar();
    StartPlayback();
  }
}

void CheckEndOfPlayback() {
  if (FeederRunning()) return;
  const bool dataEnded = Decoder.DataState.load(std::memory_order_acquire) == 2;
  const bool usedUp = HandOver.Buffer1Size.load() <= HandOver.Buffer1Pos.load() &&
                      HandOver.Buffer2Size.load() <= HandOver.Buffer2Pos.load();
  const bool ranDry = HandOver.OutputRanDry.load() == 1;
  if (!(((dataEnded && usedUp) || ranDry) && dataEnded && support::Orva.IsStarted() != 0)) return;
  platform::Sleep(100);
  while (support::Orva.IsStarted() != 0) {
    support::Orva.Stop();
    support::Orva.Free();
    platform::Sleep(20);
  }
  StopEngine();
  ShowTransportState();
  Decoder.PlayState.store(0, std::memory_order_relaxed);
  Decoder.NextDecodeIndex.store(0, std::memory_order_relaxed);
  View().BlankProgressBar();
}

void AdvanceTrack() {
  const bool active = FeederRunning() ? Decoder.DataState.load(std::memory_order_relaxed) != 0
                                      : support::Orva.IsStarted() != 0;
  const bool ranDry = HandOver.OutputRanDry.load(std::memory_order_acquire) == 1;
  if (!ranDry && active) {
    const TrackInfo now = ReadNowPlaying();
    const int64_t length = now.Length;
    const int64_t played = now.Played < length ? now.Played : length;
    const int32_t rate = playlist::State.PlaylistRate;
    const int64_t second = rate > 0 ? played / 8 / rate : 0;
    if (second == Transport.ShownSecond) return;
    Transport.ShownSecond = second;
    if (now.EntryId != Transport.ShownEntryId) {
      Transport.ShownEntryId = now.EntryId;
      if (View().ViewCover()) {
        if (now.CoverPath.size() > 4) View().ShowCoverArt(now.CoverPath);
        else View().HideCoverArt();
      }
      View().BlankProgressBar();
      const std::vector<playlist::PlaylistEntry> entries = playlist::CopyPlaylist();
      for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].EntryId != now.EntryId) continue;
        playlist::State.CurrentIndex = int32_t(i);
        const int32_t page = int32_t(i) / playlist::ScrollStep;
        if (playlist::State.ScrollOffset < page - 1) playlist::State.ScrollOffset = page - 1;
        else if (playlist::State.ScrollOffset > page) playlist::State.ScrollOffset = page;
        View().DrawPlaylist();
      }
    }
    View().DrawProgressBar(played, length, now.Title);
  } else if (ranDry && Decoder.DataState.load(std::memory_order_relaxed) != 2) {
    // The output ran dry before the data ended: stop, without a message.
    View().BlankProgressBar();
    platform::Sleep(2000);
    StopEngine();
    ShowTransportState();
    Decoder.PlayState.store(0, std::memory_order_relaxed);
    Decoder.NextDecodeIndex.store(0, std::memory_order_relaxed);
  } else {
    View().BlankProgressBar();
  }
}

void ResetEngineForTesting() {
  ResetHandOver();
  Decoder.CurrentStream.store(0);
  Decoder.DecodedBytes = 0;
  Decoder.StreamEndPosition = 0;
  Decoder.NextDecodeIndex.store(0);
  Decoder.PlayState.store(0);
  Decoder.DataState.store(0);
  Decoder.StopRequested.store(0);
  Decoder.ChunkTarget = ChunkSize;
  Transport.Paused = 0;
  Transport.PlayLit = 0;
  Transport.OutputRate.store(0);
  Transport.FeederThread.store(0);
  Transport.ShownSecond = 0;
  Transport.ShownEntryId = 0;
  trackinfo::Reset();
}

}  // namespace engine
