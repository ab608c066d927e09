// What the playlist needs from the window: painting the panel, the labels and
// the cover view, and a few facts owned by other subsystems (transport state,
// settings, the chosen device, the mouse). The user interface installs its own
// view; until then every hook does nothing and the facts have quiet defaults,
// so the playlist logic runs headless in tools and tests.
#pragma once
#include <cstdint>
#include <string_view>

#include "playlist/cover_view.h"

namespace playlist {

class PlaylistView {
 public:
  virtual ~PlaylistView() = default;

  // Panel painting. top is the y of the text's top in panel pixels.
  virtual void PaintPanelBackdrop() {}
  virtual void PaintPanelRow(int32_t top, std::u16string_view durationText, std::u16string_view listTitle,
                             bool accent) {
    (void)top, (void)durationText, (void)listTitle, (void)accent;
  }
  virtual void DrawScrollButtons(bool arrows) { (void)arrows; }

  // Labels of the track information display.
  virtual void ShowPlaylistTotals() {}
  virtual void ShowStatusLabel(std::u16string_view text) { (void)text; }

  // Cover view: a picture already stretched to the view's size, painted at
  // its top left corner, or the view's empty backdrop.
  virtual void PaintCoverPicture(const CoverPicture& picture) { (void)picture; }
  virtual void PaintCoverBackdrop() {}

  // Keeps the window repainting during long series of appends; the events
  // that dispatching yields are dropped.
  virtual void DispatchPendingMessage() {}
  virtual void DispatchPendingMessages() {}

  // Facts owned elsewhere.
  virtual bool IsPlaybackIdle() { return true; }
  virtual bool ViewCover() { return false; }
  virtual bool DeviceSupportsRate(int32_t rate) { (void)rate; return false; }
  // Stored left-button position and the panel's top edge, screen coordinates.
  virtual int32_t StoredMouseY() { return 0; }
  virtual int32_t PanelScreenTop() { return 0; }
};

// The view in use; never null (a do-nothing view until one is installed).
PlaylistView& View();
// Installs view (not owned); null restores the do-nothing view.
void SetPlaylistView(PlaylistView* view);

}  // namespace playlist
