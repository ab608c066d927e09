#include "recording_view.h"

#include "fake_engine.h"
#include "playlist/model.h"
#include "shell/message_box.h"
#include "shell/text.h"

namespace playlist_test {

namespace {
int Record(std::u16string_view title, std::u16string_view text, uint32_t style) {
  Messages().push_back({std::u16string(title), std::u16string(text), style});
  return 1;
}
}  // namespace

std::string Utf8(std::u16string_view text) { return shell::Utf8FromUtf16(text); }

std::vector<Message>& Messages() {
  static std::vector<Message> messages;
  return messages;
}

void RecordingView::PaintPanelBackdrop() { Calls.push_back("backdrop"); }

void RecordingView::PaintPanelRow(int32_t top, std::u16string_view durationText, std::u16string_view listTitle,
                                  bool accent) {
  Calls.push_back("row " + std::to_string(top) + " '" + Utf8(durationText) + "' '" + Utf8(listTitle) + "'" +
                  (accent ? " accent" : ""));
}

void RecordingView::DrawScrollButtons(bool arrows) { Calls.push_back(arrows ? "arrows on" : "arrows off"); }
void RecordingView::ShowPlaylistTotals() { Calls.push_back("totals"); }
void RecordingView::ShowStatusLabel(std::u16string_view text) { Calls.push_back("label '" + Utf8(text) + "'"); }
void RecordingView::PaintCoverPicture(const playlist::CoverPicture& picture) {
  Calls.push_back("cover " + std::to_string(picture.Width) + "x" + std::to_string(picture.Height));
  LastCover = picture;
}

std::vector<std::string> RecordingView::Only(const std::string& prefix) const {
  std::vector<std::string> out;
  for (const std::string& call : Calls) {
    if (call.rfind(prefix, 0) == 0) out.push_back(call);
  }
  return out;
}

PlaylistFixtureState::PlaylistFixtureState() {
  playlist::ResetPlaylistForTesting();
  playlist::Cover = {};
  playlist::SetPlaylistView(&view);
  fake_engine::Install();
  Messages().clear();
  shell::SetMessageSink(Record);
}

PlaylistFixtureState::~PlaylistFixtureState() {
  shell::SetMessageSink(nullptr);
  playlist::SetPlaylistView(nullptr);
  playlist::ResetPlaylistForTesting();
}

}  // namespace playlist_test
