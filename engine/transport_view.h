// What the playback engine needs from the user interface: the transport
// buttons, the progress bar, the rate label, the cover view, the playlist
// panel, the volume slider, the main window's timers, and a few settings
// owned elsewhere. The user interface installs its own view; until then every
// hook does nothing, so the engine runs headless in tools and tests.
//
// Threads: every call comes from the main thread, except MainWindowExists and
// RequestEndTimer, which the feeder thread makes.
#pragma once
#include <cstdint>
#include <string_view>

namespace engine {

class TransportView {
 public:
  virtual ~TransportView() = default;

  virtual void DrawPlayButton() {}
  virtual void DrawPauseButton() {}
  virtual void BlankProgressBar() {}
  virtual void DrawProgressBar(int64_t played, int64_t length, std::u16string_view title) {
    (void)played, (void)length, (void)title;
  }
  virtual void ShowStatusLabel(std::u16string_view text) { (void)text; }
  virtual void ShowCoverArt(std::u16string_view picturePath) { (void)picturePath; }
  virtual void HideCoverArt() {}
  virtual void DrawPlaylist() {}
  virtual void DrawVolumeSlider(int32_t position) { (void)position; }

  // Timers 117 and 119 of the main window (main thread only).
  virtual void AddTimer(int32_t id, uint32_t periodMs) { (void)id, (void)periodMs; }
  virtual void RemoveTimer(int32_t id) { (void)id; }
  // Feeder thread: asks the main window's thread to add timer 119 (a window's
  // timer can only be set from its own thread), e.g. by posting a message.
  virtual void RequestEndTimer() {}
  // Any thread.
  virtual bool MainWindowExists() { return false; }
  virtual void* MainWindowHandle() { return nullptr; }

  // Settings owned elsewhere.
  virtual int32_t DeviceIndex() { return 0; }
  virtual int32_t OutputChannel() { return 0; }
  virtual bool ViewCover() { return false; }
  virtual bool VolumeControl() { return false; }
};

// The view in use; never null (a do-nothing view until one is installed).
TransportView& View();
// Installs view (not owned); null restores the do-nothing view.
void SetTransportView(TransportView* view);

}  // namespace engine
