#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "playlist/cover_view.h"
#include "playlist/model.h"
#include "pictures.h"
#include "recording_view.h"
#include "temp_folder.h"

namespace playlist {
namespace {

using playlist_test::PlaylistFixtureState;

PlaylistEntry Entry(int n, int64_t bytes, std::u16string cover = u"") {
  PlaylistEntry e;
  e.FilePath = u"/music/" + std::u16string(1, static_cast<char16_t>(u'A' + n % 26)) + u".flac";
  e.Title = e.ListTitle = u"t" + std::u16string(1, static_cast<char16_t>(u'0' + n % 10));
  e.DurationText = u"  0:01";
  e.ByteLength = bytes;
  e.SampleRate = 44100;
  e.EntryId = TakeEntryId();
  e.CoverPath = std::move(cover);
  return e;
}

class PlaylistModel : public ::testing::Test {
 protected:
  void Fill(int count, int64_t bytes = 100) {
    for (int i = 0; i < count; ++i) AppendPlaylistEntry(Entry(i, bytes));
  }
  std::vector<int32_t> Ids() {
    std::vector<int32_t> ids;
    for (const PlaylistEntry& e : CopyPlaylist()) ids.push_back(e.EntryId);
    return ids;
  }
  PlaylistFixtureState state;
  playlist_test::RecordingView& view = state.view;
};

TEST_F(PlaylistModel, AppendAddsTotalsAndPaintsTheNewRow) {
  AppendPlaylistEntry(Entry(0, 800));
  AppendPlaylistEntry(Entry(1, 24));
  EXPECT_EQ(PlaylistCount(), 2);
  EXPECT_EQ(State.PlaylistBytes, 824);
  EXPECT_EQ(State.CurrentIndex, 0);
  EXPECT_EQ(view.Only("row"), (std::vector<std::string>{"row 2 '  0:01' 't0'", "row 27 '  0:01' 't1'"}));
  EXPECT_EQ(view.Only("totals").size(), 2u);
  EXPECT_EQ(view.Dispatched, 2);
}

TEST_F(PlaylistModel, FirstEntryWhileIdleDecidesTheCoverView) {
  if (!CoverDecodersAvailable()) GTEST_SKIP() << "this build has no picture decoders";
  playlist_test::TempFolder folder;
  folder.Add("a.png", playlist_test::MakePng(10, 10));
  folder.Add("b.png", playlist_test::MakePng(20, 20));
  const std::u16string a = folder.Path() + u"a.png", b = folder.Path() + u"b.png";
  struct Case {
    std::u16string cover;
    bool idle, shownBefore;
    std::vector<std::string> expected;
  } cases[] = {
      {a, true, false, {"cover 220x220"}},
      {u"a.jp", true, true, {"cover backdrop"}},  // four characters or fewer: no picture
      {u"", true, false, {}},                     // nothing shown, so nothing to hide
      {a, false, false, {}},                      // playback owns the cover view
  };
  for (const Case& c : cases) {
    PlaylistFixtureState fresh;
    fresh.view.Idle = c.idle;
    fresh.view.Cover = true;
    Cover.CoverShown = c.shownBefore;
    AppendPlaylistEntry(Entry(0, 1, c.cover));
    AppendPlaylistEntry(Entry(1, 1, b));  // the second never touches it
    EXPECT_EQ(fresh.view.Only("cover"), c.expected) << playlist_test::Utf8(c.cover) << " idle " << c.idle;
  }
}

TEST_F(PlaylistModel, NinetySeventhEntryIsDroppedButUsesUpItsId) {
  Fill(96);
  const int64_t bytes = State.PlaylistBytes;
  view.Calls.clear();
  AppendPlaylistEntry(Entry(96, 5000));  // takes id 194
  EXPECT_EQ(PlaylistCount(), 96);
  EXPECT_EQ(State.PlaylistBytes, bytes);
  EXPECT_TRUE(view.Calls.empty());
  EXPECT_EQ(view.Dispatched, 97);  // the window keeps repainting all the same
  EXPECT_EQ(TakeEntryId(), 196);
  EXPECT_EQ(Ids().front(), 2);
  EXPECT_EQ(Ids().back(), 192);
}

TEST_F(PlaylistModel, EmptyingResetsTheStateButNotTheIds) {
  Fill(20);
  State.PlaylistRate = 44100;
  State.CurrentIndex = 5;
  State.ScrollOffset = 1;
  view.Calls.clear();
  EmptyPlaylist();
  EXPECT_EQ(PlaylistCount(), 0);
  EXPECT_EQ(State.PlaylistBytes, 0);
  EXPECT_EQ(State.CurrentIndex, 0);
  EXPECT_EQ(State.ScrollOffset, 0);
  EXPECT_EQ(State.PlaylistRate, 0);
  EXPECT_EQ(view.Calls, (std::vector<std::string>{"totals", "label ''", "backdrop", "arrows off"}));
  AppendPlaylistEntry(Entry(0, 1));
  EXPECT_EQ(Ids(), std::vector<int32_t>{42});
}

TEST_F(PlaylistModel, DeleteCurrentEntryKeepsBoundsAndTotals) {
  struct Case {
    int count, current;
    int expectedCount, expectedCurrent;
    int32_t goneId;  // 0: nothing removed
  } cases[] = {
      {1, 0, 1, 0, 0},     // the last remaining entry stays
      {10, 3, 9, 3, 8},    // the follower becomes current
      {10, 9, 9, 8, 20},   // deleting the last entry comes back onto the new last
      {10, 10, 10, 10, 0}, // past the end: nothing
      {10, -1, 10, -1, 0},
  };
  for (const Case& c : cases) {
    PlaylistFixtureState fresh;
    for (int i = 0; i < c.count; ++i) AppendPlaylistEntry(Entry(i, 10 + i));
    const int64_t before = State.PlaylistBytes;
    State.CurrentIndex = c.current;
    DeleteCurrentEntry();
    EXPECT_EQ(PlaylistCount(), c.expectedCount) << c.count << "/" << c.current;
    EXPECT_EQ(State.CurrentIndex, c.expectedCurrent) << c.count << "/" << c.current;
    const int64_t gone = c.goneId ? 10 + c.goneId / 2 - 1 : 0;
    EXPECT_EQ(State.PlaylistBytes, before - gone);
    PlaylistEntry e;
    EXPECT_EQ(FindPlaylistEntry(c.goneId, &e), false);
    EXPECT_EQ(fresh.view.Only("backdrop").size(), c.goneId ? 1u : 0u);
  }
  PlaylistFixtureState fresh;
  for (int i = 0; i < 10; ++i) AppendPlaylistEntry(Entry(i, 1));
  State.CurrentIndex = 3;
  DeleteCurrentEntry();
  PlaylistEntry current;
  ASSERT_TRUE(CopyPlaylistEntry(3, &current));
  EXPECT_EQ(current.EntryId, 10);  // the entry that was at index 4
}

TEST_F(PlaylistModel, MoveSwapsWithinBoundsAndFollowsTheScroll) {
  struct Case {
    int count, direction, index, scroll;
    int expectedScroll, expectedCurrent;
    int swappedWith;  // -1: nothing moved
  } cases[] = {
      {30, 1, 0, 0, 0, 0, -1},     // up at the top
      {30, 2, 29, 0, 0, 29, -1},   // down at the bottom
      {30, 1, 30, 0, 0, 30, -1},   // past the end
      {1, 2, 0, 0, 0, 0, -1},      // a single entry
      {30, 3, 5, 0, 0, 5, -1},     // no such direction
      {30, 1, 8, 1, 0, 7, 7},      // first visible row scrolls back
      {30, 1, 9, 1, 1, 8, 8},
      {30, 2, 15, 0, 1, 16, 16},   // last visible row scrolls on
      {30, 2, 14, 0, 0, 15, 15},
  };
  for (const Case& c : cases) {
    PlaylistFixtureState fresh;
    for (int i = 0; i < c.count; ++i) AppendPlaylistEntry(Entry(i, 7));
    State.ScrollOffset = c.scroll;
    State.CurrentIndex = c.index;
    const std::vector<int32_t> before = Ids();
    MovePlaylistEntry(c.direction, c.index);
    std::vector<int32_t> expected = before;
    if (c.swappedWith >= 0) std::swap(expected[c.index], expected[c.swappedWith]);
    EXPECT_EQ(Ids(), expected) << c.direction << " at " << c.index;
    EXPECT_EQ(State.ScrollOffset, c.expectedScroll) << c.direction << " at " << c.index;
    EXPECT_EQ(State.CurrentIndex, c.expectedCurrent) << c.direction << " at " << c.index;
    EXPECT_EQ(State.PlaylistBytes, 7 * c.count);
  }
}

TEST_F(PlaylistModel, FeederReadsNeverSeeAHalfAppendedEntry) {
  std::atomic<bool> done{false};
  std::atomic<int> torn{0};
  std::thread feeder([&] {
    PlaylistEntry e;
    while (!done.load()) {
      const int32_t count = PlaylistCount();
      if (count > 0 && CopyPlaylistEntry(count - 1, &e) && e.ByteLength != e.EntryId * 1000) ++torn;
    }
  });
  for (int i = 0; i < 96; ++i) {
    PlaylistEntry e = Entry(i, 0);
    e.Title = e.ListTitle = std::u16string(2000, u'x');  // long enough to be copied in pieces
    e.ByteLength = e.EntryId * 1000;
    AppendPlaylistEntry(e);
  }
  done = true;
  feeder.join();
  EXPECT_EQ(torn.load(), 0);
  EXPECT_EQ(PlaylistCount(), 96);
}

}  // namespace
}  // namespace playlist
