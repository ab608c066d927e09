// A playlist view that writes down what the playlist asks of the window, and
// a message sink that keeps the boxes instead of showing them.
#pragma once
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "playlist/view.h"

namespace playlist_test {

struct Message {
  std::u16string Title, Text;
  uint32_t Style;
};

class RecordingView : public playlist::PlaylistView {
 public:
  // One line per call: "row 27 '  3:07' 'Intro' accent", "totals", ...
  std::vector<std::string> Calls;
  int Dispatched = 0;
  bool Idle = true;
  bool Cover = false;
  std::set<int32_t> Rates;
  int32_t MouseY = 0, PanelTop = 0;

  void PaintPanelBackdrop() override;
  void PaintPanelRow(int32_t top, std::u16string_view durationText, std::u16string_view listTitle,
                     bool accent) override;
  void DrawScrollButtons(bool arrows) override;
  void ShowPlaylistTotals() override;
  void ShowStatusLabel(std::u16string_view text) override;
  void PaintCoverPicture(const playlist::CoverPicture& picture) override;
  void PaintCoverBackdrop() override { Calls.push_back("cover backdrop"); }
  playlist::CoverPicture LastCover;
  void DispatchPendingMessage() override { ++Dispatched; }
  bool IsPlaybackIdle() override { return Idle; }
  bool ViewCover() override { return Cover; }
  bool DeviceSupportsRate(int32_t rate) override { return Rates.count(rate) != 0; }
  int32_t StoredMouseY() override { return MouseY; }
  int32_t PanelScreenTop() override { return PanelTop; }

  // Calls whose line starts with prefix.
  std::vector<std::string> Only(const std::string& prefix) const;
};

// Installs a fresh view, an empty playlist, the fake engine and a recording
// message sink; undoes them when it goes.
class PlaylistFixtureState {
 public:
  PlaylistFixtureState();
  ~PlaylistFixtureState();
  RecordingView view;
};

std::vector<Message>& Messages();
std::string Utf8(std::u16string_view text);

}  // namespace playlist_test
