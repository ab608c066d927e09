// What the engine's tests share: a recording transport view, the playlist of
// generated files, the check of what the device received, and the set-up of
// one engine with fakes behind both libraries.
#pragma once
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/transport_view.h"
#include "sim_device.h"

namespace enginetest {

class RecordingView : public engine::TransportView {
 public:
  void DrawPlayButton() override { ++playButton; }
  void DrawPauseButton() override { ++pauseButton; }
  void BlankProgressBar() override { ++blanks; }
  void DrawProgressBar(int64_t played, int64_t length, std::u16string_view) override {
    lastPlayed = played;
    lastLength = length;
  }
  void ShowStatusLabel(std::u16string_view text) override { label = std::u16string(text); }
  void DrawPlaylist() override { ++playlistDraws; }
  void AddTimer(int32_t id, uint32_t) override { timers.push_back(id); }
  void RemoveTimer(int32_t id) override { removed.push_back(id); }
  void RequestEndTimer() override { ++endTimerRequests; }
  bool MainWindowExists() override {
    feederAtEnd = true;
    return true;
  }

  int playButton = 0, pauseButton = 0, blanks = 0, playlistDraws = 0;
  int64_t lastPlayed = -1, lastLength = -1;
  std::u16string label;
  std::vector<int32_t> timers, removed;
  std::atomic<int> endTimerRequests{0};
  std::atomic<bool> feederAtEnd{false};
};

// One expected run of frames: frames [first, end) of file id.
struct Segment {
  uint32_t id;
  int64_t first, end;
};

// Checks the device's stream frame by frame against the expected segments;
// runs on the device thread, read by the test after the device has stopped.
class StreamCheck {
 public:
  void Expect(const std::vector<Segment>& segments);
  void Consume(const uint8_t* data, uint32_t bytes);
  int64_t framesMatched = 0;
  int64_t framesExpected = 0;
  bool mismatch = false;
  std::string firstError;

 private:
  std::vector<Segment> segments_;
  size_t seg_ = 0;
  int64_t frame_ = 0;
};

class Engine {
 public:
  explicit Engine(uint32_t periodBytes = 512, int64_t fillTarget = 4096);
  ~Engine();

  // Adds a whole-file entry of lengthBytes; returns its file id.
  uint32_t AddTrack(int64_t lengthBytes, const char16_t* extension = u"wav");
  // Adds a CUE track [start, end) of an album file made by AddAlbum.
  void AddCueTrack(uint32_t albumId, int64_t start, int64_t end);
  uint32_t AddAlbum(int64_t lengthBytes);
  std::u16string PathOf(uint32_t id) const;
  // Segments from playlist index `from` to the end.
  std::vector<Segment> ExpectedFrom(int32_t index) const;

  // Device gate that avoids underruns: a period is asked for only when the
  // playing buffer holds more than a period, the other buffer is ready, or
  // the feeder has published its last chunk.
  bool NoUnderrunGate() const;
  // Runs the main thread's timers until playback has stopped by itself.
  bool RunToEnd();
  // Installs the device; an empty sink checks the stream, an empty gate
  // stays empty (the device then runs as fast as it can).
  void InstallDevice(simdevice::Config config);

  RecordingView view;
  StreamCheck check;
  uint32_t period;

 private:
  struct Track {
    uint32_t id;
    int64_t start, end;
  };
  std::vector<Track> tracks_;
  std::vector<std::pair<uint32_t, int64_t>> files_;
  std::filesystem::path folder_;
  uint32_t nextId_ = 1;
};

// Microseconds of real time per millisecond the engine asks to wait (5
// unless a test sets otherwise after creating its Engine).
void SetDelayScale(uint32_t microsPerMilli);
// Sleeps requested by the engine (milliseconds), in order.
std::vector<uint32_t> Sleeps();
void ClearSleeps();
// Messages the engine raised, "title: text".
std::vector<std::u16string> Messages();
// Waits (generously) until pred holds; false on a hang.
bool WaitFor(const std::function<bool()>& pred);

// What StartPlayback does up to and including the feeder's start, without
// the device: opens the current entry and starts AudioThread on its first
// fill. Returns whether an entry was opened.
bool StartFeederWithoutDevice();

}  // namespace enginetest
