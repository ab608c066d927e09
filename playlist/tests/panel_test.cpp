#include <gtest/gtest.h>

#include "playlist/model.h"
#include "playlist/panel.h"
#include "recording_view.h"

namespace playlist {
namespace {

using playlist_test::PlaylistFixtureState;

void Fill(int count) {
  for (int i = PlaylistCount(), end = i + count; i < end; ++i) {
    PlaylistEntry e;
    e.ListTitle = u"e" + std::u16string(1, static_cast<char16_t>(u'A' + i % 26));
    e.DurationText = u"  1:00";
    e.EntryId = TakeEntryId();
    AppendPlaylistEntry(e);
  }
}

class PlaylistPanel : public ::testing::Test {
 protected:
  PlaylistFixtureState state;
  playlist_test::RecordingView& view = state.view;
};

TEST_F(PlaylistPanel, SeventeenthEntryGivesTheArrows) {
  Fill(16);
  EXPECT_TRUE(view.Only("arrows").empty());
  ScrollPlaylistDown();
  EXPECT_EQ(State.ScrollOffset, 0);
  Fill(1);
  EXPECT_EQ(view.Only("arrows"), std::vector<std::string>{"arrows on"});
  // The seventeenth row lies below the panel: nothing painted for it.
  EXPECT_EQ(view.Only("row").size(), 16u);
  view.Calls.clear();
  ScrollPlaylistDown();
  EXPECT_EQ(State.ScrollOffset, 1);
  // Entries 8 to 16 on the top nine rows, the current entry 0 no longer shown.
  std::vector<std::string> rows = view.Only("row");
  ASSERT_EQ(rows.size(), 9u);
  EXPECT_EQ(rows.front(), "row 2 '  1:00' 'eI'");
  EXPECT_EQ(rows.back(), "row 202 '  1:00' 'eQ'");
  EXPECT_EQ(view.Calls.front(), "backdrop");
}

TEST_F(PlaylistPanel, ScrollingStopsAtTheLastReachableStep) {
  struct Case {
    int entries, downs, expectedScroll;
  } cases[] = {{24, 1, 1}, {24, 2, 1}, {25, 2, 2}, {25, 3, 2}, {0, 1, 0}};
  for (const Case& c : cases) {
    PlaylistFixtureState fresh;
    Fill(c.entries);
    for (int i = 0; i < c.downs; ++i) ScrollPlaylistDown();
    EXPECT_EQ(State.ScrollOffset, c.expectedScroll) << c.entries << " entries, " << c.downs << " downs";
  }
  PlaylistFixtureState fresh;
  Fill(25);
  ScrollPlaylistDown();
  ScrollPlaylistDown();
  fresh.view.Calls.clear();
  DrawPlaylist();
  // Steps are eight rows: the second step starts at entry 16 and shows 16 to 24.
  const std::vector<std::string> rows = fresh.view.Only("row");
  ASSERT_EQ(rows.size(), 9u);
  EXPECT_EQ(rows.front(), "row 2 '  1:00' 'eQ'");
  EXPECT_EQ(rows.back(), "row 202 '  1:00' 'eY'");
  ScrollPlaylistUp();
  ScrollPlaylistUp();
  ScrollPlaylistUp();
  EXPECT_EQ(State.ScrollOffset, 0);
}

TEST_F(PlaylistPanel, FullRepaintHighlightsTheCurrentRowOnly) {
  Fill(3);
  // Appended rows are painted plain, the current one included.
  EXPECT_EQ(view.Only("row 2 "), std::vector<std::string>{"row 2 '  1:00' 'eA'"});
  State.CurrentIndex = 1;
  view.Calls.clear();
  DrawPlaylist();
  EXPECT_EQ(view.Calls, (std::vector<std::string>{"backdrop", "row 2 '  1:00' 'eA'", "row 27 '  1:00' 'eB' accent",
                                                  "row 52 '  1:00' 'eC'"}));
}

TEST_F(PlaylistPanel, AppendWhileScrolledPaintsOnItsVisibleRow) {
  Fill(12);
  State.ScrollOffset = 1;
  view.Calls.clear();
  Fill(1);
  EXPECT_EQ(view.Only("row"), std::vector<std::string>{"row 102 '  1:00' 'eM'"});
}

TEST_F(PlaylistPanel, ClickSelectsTheEntryUnderTheStoredPosition) {
  struct Case {
    int32_t mouseY, scroll, expected;
  } cases[] = {
      {300 + 50, 2, 18},  // third visible row
      {300 + 74, 2, 18},
      {300 + 75, 2, 19},
      {300 + 0, 0, 0},
      {300 + 399, 1, 23},
      {300 + 399, 2, 5},  // below the last entry: unchanged
      {300 - 30, 1, 5},   // above the panel: unchanged
  };
  for (const Case& c : cases) {
    PlaylistFixtureState fresh;
    Fill(30);
    fresh.view.PanelTop = 300;
    fresh.view.MouseY = c.mouseY;
    State.ScrollOffset = c.scroll;
    State.CurrentIndex = 5;
    SelectPlaylistRowAt();
    EXPECT_EQ(State.CurrentIndex, c.expected) << c.mouseY << " at scroll " << c.scroll;
  }
}

TEST_F(PlaylistPanel, DeletingWhileScrolledLeavesEmptyRowsAndRefusesDown) {
  Fill(20);
  ScrollPlaylistDown();
  State.CurrentIndex = 19;
  for (int i = 0; i < 5; ++i) DeleteCurrentEntry();
  EXPECT_EQ(PlaylistCount(), 15);
  EXPECT_EQ(State.CurrentIndex, 14);
  ScrollPlaylistDown();
  EXPECT_EQ(State.ScrollOffset, 1);
  view.Calls.clear();
  DrawPlaylist();
  EXPECT_EQ(view.Only("row").size(), 7u);
  ScrollPlaylistUp();
  EXPECT_EQ(State.ScrollOffset, 0);
  EXPECT_EQ(view.Only("arrows"), std::vector<std::string>{});  // deleting keeps the arrows as they were
}

}  // namespace
}  // namespace playlist
