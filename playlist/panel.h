// The playlist panel's logic: which entries are visible, scrolling in steps of
// eight rows, and the row under the mouse. Painting goes through the view.
#pragma once
#include <cstdint>
#include <string_view>

namespace playlist {

constexpr int32_t RowHeight = 25;

// Index of the first visible entry under the present ScrollOffset.
int32_t FirstVisibleEntry();
bool IsEntryVisible(int32_t index);

void DrawPlaylist();
// Paints the row of an entry just appended; the seventeenth gives the scroll
// buttons their arrows.
void DrawPlaylistRow(int32_t index, std::u16string_view listTitle, std::u16string_view durationText);
// Back to the top with the empty backdrop and no arrows.
void ResetPlaylistPanel();

void ScrollPlaylistUp();
void ScrollPlaylistDown();
// Makes the entry under the stored mouse position current.
void SelectPlaylistRowAt();

}  // namespace playlist
