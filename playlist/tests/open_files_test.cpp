#include <gtest/gtest.h>

#include "fake_engine.h"
#include "playlist/model.h"
#include "playlist/open_files.h"
#include "recording_view.h"

namespace playlist {
namespace {

using playlist_test::Utf8;

std::vector<std::string> Utf8All(const std::vector<std::u16string>& texts) {
  std::vector<std::string> out;
  for (const auto& t : texts) out.push_back(Utf8(t));
  return out;
}

TEST(OpenFilesSelection, OnePathOrAFolderWithNames) {
  using namespace std::string_literals;
  const struct {
    std::u16string selection;
    std::vector<std::string> paths;
  } cases[] = {
      {u"C:\\Music\\Ночь.flac\0\0"s, {"C:\\Music\\Ночь.flac"}},
      {u"C:\\Music\\A\0one.wav\0two.m4a\0\0"s, {"C:\\Music\\A\\one.wav", "C:\\Music\\A\\two.m4a"}},
      {u"D:\\\0a.cue\0b.aif\0\0"s, {"D:\\a.cue", "D:\\b.aif"}},
      {u"\0\0"s, {}},
      {u""s, {}},
      {u"C:\\x.wav"s, {"C:\\x.wav"}},  // no terminator at all
  };
  for (const auto& c : cases) EXPECT_EQ(Utf8All(SplitOpenFilesSelection(c.selection)), c.paths);
}

TEST(OpenFilesSelection, ChosenFilesAreAddedInOrderWithRepaintsBetween) {
  struct CountingView : playlist_test::RecordingView {
    int repaints = 0;
    void DispatchPendingMessages() override { ++repaints; }
  } view;
  playlist_test::PlaylistFixtureState state;
  SetPlaylistView(&view);
  fake_engine::AddFile(u"/m/b.flac", 800, 44100.0f);
  fake_engine::AddFile(u"/m/a.wav", 800, 44100.0f);
  AddChosenFiles({u"/m/b.flac", u"/m/song.mp3", u"/m/a.wav"});
  std::vector<std::string> titles;
  for (const PlaylistEntry& e : CopyPlaylist()) titles.push_back(Utf8(e.Title));
  EXPECT_EQ(titles, (std::vector<std::string>{"b", "a"}));
  EXPECT_EQ(view.repaints, 2);
  EXPECT_TRUE(playlist_test::Messages().empty());
  EXPECT_EQ(Utf8(kOpenFilesFilter),
            "*.WAV,*.FLAC,*.AIFF,*.AIF,*.M4A,*.CUE|*.WAV;*.FLAC;*.AIFF;*.AIF;*.M4A;*.CUE|Cue (*.CUE)|*.CUE");
}

}  // namespace
}  // namespace playlist
