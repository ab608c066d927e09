#include "playlist/panel.h"

#include <vector>

#include "playlist/model.h"
#include "playlist/view.h"

namespace playlist {

namespace {
int32_t RowTop(int32_t index) { return (index - FirstVisibleEntry()) * RowHeight + 2; }
}  // namespace

int32_t FirstVisibleEntry() { return State.ScrollOffset * ScrollStep; }

bool IsEntryVisible(int32_t index) {
  const int32_t first = FirstVisibleEntry();
  return index >= first && index < first + VisibleRows;
}

void DrawPlaylist() {
  View().PaintPanelBackdrop();
  // Painting works on a copy so the feeder is never held up by drawing.
  const std::vector<PlaylistEntry> entries = CopyPlaylist();
  for (int32_t i = 0; i < static_cast<int32_t>(entries.size()); ++i) {
    if (!IsEntryVisible(i)) continue;
    View().PaintPanelRow(RowTop(i), entries[i].DurationText, entries[i].ListTitle, i == State.CurrentIndex);
  }
}

void DrawPlaylistRow(int32_t index, std::u16string_view listTitle, std::u16string_view durationText) {
  if (IsEntryVisible(index)) View().PaintPanelRow(RowTop(index), durationText, listTitle, false);
  if (index == VisibleRows) View().DrawScrollButtons(true);
}

void ResetPlaylistPanel() {
  State.ScrollOffset = 0;
  View().PaintPanelBackdrop();
  View().DrawScrollButtons(false);
}

void ScrollPlaylistUp() {
  if (State.ScrollOffset < 1) return;
  --State.ScrollOffset;
  DrawPlaylist();
}

void ScrollPlaylistDown() {
  if (FirstVisibleEntry() + VisibleRows >= PlaylistCount()) return;
  ++State.ScrollOffset;
  DrawPlaylist();
}

void SelectPlaylistRowAt() {
  const int32_t y = View().StoredMouseY() - View().PanelScreenTop();
  // A position above the panel names no row (trunc would fold it onto row 0).
  if (y < 0) return;
  const int32_t row = y / RowHeight + FirstVisibleEntry();
  if (row < PlaylistCount()) State.CurrentIndex = row;
}

}  // namespace playlist
