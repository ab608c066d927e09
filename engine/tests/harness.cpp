#include "harness.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <thread>
#include <unistd.h>
#if defined(__linux__)
#include <sys/prctl.h>
#endif

#include "fake_orvo.h"
#include "playlist/model.h"
#include "shell/message_box.h"
#include "shell/procedure_table.h"
#include "shell/text.h"

namespace enginetest {
namespace {

std::mutex RecordLock;
std::vector<uint32_t> SleepList;
std::vector<std::u16string> MessageList;

std::atomic<uint32_t> MicrosPerMilli{5};

// The engine's delays stay as they are; a test only makes them pass 200
// times faster (or more: SetDelayScale).
void FastSleep(uint32_t ms) {
  {
    std::lock_guard<std::mutex> hold(RecordLock);
    SleepList.push_back(ms);
  }
  std::this_thread::sleep_for(std::chrono::microseconds(ms * MicrosPerMilli.load()));
}

int Sink(std::u16string_view title, std::u16string_view text, uint32_t) {
  std::lock_guard<std::mutex> hold(RecordLock);
  MessageList.push_back(std::u16string(title) + u": " + std::u16string(text));
  return 1;
}

bool BuffersMade = false;
int FolderCounter = 0;

}  // namespace

void SetDelayScale(uint32_t microsPerMilli) { MicrosPerMilli.store(microsPerMilli); }

std::vector<uint32_t> Sleeps() {
  std::lock_guard<std::mutex> hold(RecordLock);
  return SleepList;
}
void ClearSleeps() {
  std::lock_guard<std::mutex> hold(RecordLock);
  SleepList.clear();
}
std::vector<std::u16string> Messages() {
  std::lock_guard<std::mutex> hold(RecordLock);
  return MessageList;
}

bool WaitFor(const std::function<bool()>& pred) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!pred()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return true;
}

void StreamCheck::Expect(const std::vector<Segment>& segments) {
  segments_ = segments;
  seg_ = 0;
  frame_ = segments.empty() ? 0 : segments[0].first;
  framesMatched = 0;
  framesExpected = 0;
  for (const Segment& s : segments) framesExpected += s.end - s.first;
  mismatch = false;
  firstError.clear();
  while (seg_ < segments_.size() && frame_ >= segments_[seg_].end) {
    if (++seg_ < segments_.size()) frame_ = segments_[seg_].first;
  }
}

void StreamCheck::Consume(const uint8_t* data, uint32_t bytes) {
  const auto* words = reinterpret_cast<const uint32_t*>(data);
  for (uint32_t k = 0; k < bytes / 8; ++k) {
    if (mismatch) return;
    if (seg_ >= segments_.size()) {
      mismatch = true;
      firstError = "a frame after the end of the data";
      return;
    }
    if (words[2 * k] != segments_[seg_].id || words[2 * k + 1] != uint32_t(frame_)) {
      mismatch = true;
      char text[160];
      std::snprintf(text, sizeof text, "after %lld frames: got {%u, %u}, expected {%u, %lld}",
                    static_cast<long long>(framesMatched), words[2 * k], words[2 * k + 1], segments_[seg_].id,
                    static_cast<long long>(frame_));
      firstError = text;
      return;
    }
    ++framesMatched;
    if (++frame_ >= segments_[seg_].end) {
      while (++seg_ < segments_.size()) {
        frame_ = segments_[seg_].first;
        if (frame_ < segments_[seg_].end) break;
      }
    }
  }
}

Engine::Engine(uint32_t periodBytes, int64_t fillTarget) : period(periodBytes) {
  engine::platform::SetSleepHookForTesting(&FastSleep);
  SetDelayScale(5);
#if defined(__linux__)
  // Short sleeps should be short: threads started from here on inherit this.
  prctl(PR_SET_TIMERSLACK, 1UL);
#endif
  shell::SetMessageSink(&Sink);
  ClearSleeps();
  {
    std::lock_guard<std::mutex> hold(RecordLock);
    MessageList.clear();
  }
  fakeorvo::Install();
  playlist::ResetPlaylistForTesting();
  playlist::State.PlaylistRate = 44100;
  engine::CreateEngineObjects();
  engine::ResetEngineForTesting();
  if (!BuffersMade) {
    engine::AllocateEngineBuffers();
    BuffersMade = true;
  }
  engine::SetFillTargetForTesting(fillTarget);
  engine::Volume.VolumeGain.store(1.0f);
  engine::Volume.VolumePosition = 190;
  shell::ProcedureTable::Add(u"AsioProc()", reinterpret_cast<void*>(&engine::AsioProc));
  shell::ProcedureTable::Add(u"AudioThread()", reinterpret_cast<void*>(&engine::AudioThread));
  engine::SetTransportView(&view);
  folder_ = std::filesystem::temp_directory_path() /
            ("veloran-engine-" + std::to_string(getpid()) + "-" + std::to_string(FolderCounter++));
  std::filesystem::create_directories(folder_);
  simdevice::Config config;
  config.periodBytes = periodBytes;
  config.gate = [this] { return NoUnderrunGate(); };
  InstallDevice(config);
}

Engine::~Engine() {
  // Whatever a failed test left running is taken down before the next one.
  if (engine::Decoder.PlayState.load() != 0 || engine::Transport.Feeder != nullptr) engine::StopEngine();
  simdevice::Install(simdevice::Config{});
  engine::SetTransportView(nullptr);
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

void Engine::InstallDevice(simdevice::Config config) {
  if (!config.sink) config.sink = [this](const uint8_t* data, uint32_t got, uint32_t) { check.Consume(data, got); };
  simdevice::Install(config);
}

std::u16string Engine::PathOf(uint32_t id) const {
  return shell::Utf16FromUtf8((folder_ / ("track" + std::to_string(id))).string());
}

uint32_t Engine::AddAlbum(int64_t lengthBytes) {
  const uint32_t id = nextId_++;
  std::ofstream(folder_ / ("track" + std::to_string(id))) << "x";
  fakeorvo::AddFile(PathOf(id), id, lengthBytes);
  files_.push_back({id, lengthBytes});
  return id;
}

uint32_t Engine::AddTrack(int64_t lengthBytes, const char16_t* extension) {
  const uint32_t id = AddAlbum(lengthBytes);
  playlist::PlaylistEntry e;
  e.FilePath = PathOf(id);
  e.Title = u"Track " + shell::Utf16FromUtf8(std::to_string(id));
  e.Extension = extension;
  e.SampleRate = 44100;
  e.ByteLength = lengthBytes;
  e.EntryId = playlist::TakeEntryId();
  playlist::AppendPlaylistEntry(e);
  tracks_.push_back({id, 0, lengthBytes});
  return id;
}

void Engine::AddCueTrack(uint32_t albumId, int64_t start, int64_t end) {
  playlist::PlaylistEntry e;
  e.FilePath = PathOf(albumId);
  e.Title = u"Cue";
  e.Extension = u"flac";
  e.SampleRate = 44100;
  e.IsCueTrack = 1;
  e.CueStart = start;
  e.CueEnd = end;
  e.ByteLength = end - start;
  e.EntryId = playlist::TakeEntryId();
  playlist::AppendPlaylistEntry(e);
  tracks_.push_back({albumId, start, end});
}

std::vector<Segment> Engine::ExpectedFrom(int32_t index) const {
  std::vector<Segment> out;
  for (size_t i = size_t(index); i < tracks_.size(); ++i)
    out.push_back({tracks_[i].id, tracks_[i].start / 8, tracks_[i].end / 8});
  return out;
}

bool Engine::NoUnderrunGate() const {
  using engine::HandOver;
  if (view.feederAtEnd.load()) return true;
  const bool first = HandOver.CallbackBuffer.load() == 6;
  const auto& size = first ? HandOver.Buffer1Size : HandOver.Buffer2Size;
  const auto& pos = first ? HandOver.Buffer1Pos : HandOver.Buffer2Pos;
  const auto& otherSize = first ? HandOver.Buffer2Size : HandOver.Buffer1Size;
  const auto& otherPos = first ? HandOver.Buffer2Pos : HandOver.Buffer1Pos;
  if (size.load() - pos.load() > int64_t(period)) return true;
  return otherPos.load() == 0 && otherSize.load() > 0;
}

bool Engine::RunToEnd() {
  if (!WaitFor([this] { return view.endTimerRequests.load() > 0; })) return false;
  return WaitFor([] {
    engine::CheckEndOfPlayback();
    return engine::Decoder.PlayState.load() == 0;
  });
}

bool StartFeederWithoutDevice() {
  engine::Decoder.DataState.store(1);
  engine::Transport.OutputRate.store(44100);
  engine::BufferSemaphore().Release();
  engine::DecodeNextTrack();
  const bool opened = engine::Decoder.CurrentStream.load() != 0;
  engine::Transport.Feeder = engine::platform::CreateSuspendedThread(&engine::AudioThread);
  engine::Transport.FeederThread.store(engine::platform::ThreadNumber(engine::Transport.Feeder));
  engine::platform::ResumeThread(engine::Transport.Feeder);
  return opened;
}

}  // namespace enginetest
