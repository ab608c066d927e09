#include <gtest/gtest.h>

#include <vector>

#include "playlist/cover.h"
#include "playlist/names.h"
#include "recording_view.h"
#include "shell/text.h"
#include "temp_folder.h"

namespace playlist {
namespace {

using playlist_test::TempFolder;
using playlist_test::Utf8;

// Listing order is the file system's, so every case that needs an order has
// one candidate per search step.
TEST(CoverArt, SearchOrderNamesAndLetterCase) {
  const struct {
    std::vector<std::string> files;
    std::string found;
  } cases[] = {
      {{"Front.JPG", "cover.png"}, "cover.png"},
      {{"Art/folder.png", "cover.png"}, "Art/folder.png"},
      {{"Art/cover.jpg", "folder.png"}, "folder.png"},
      {{"Art/front.jpg", "cover.jpg"}, "Art/front.jpg"},
      {{"FOLDER.PNG"}, "FOLDER.PNG"},
      {{"Cover Art.jpg", "coverart.png", "cover1.jpg"}, ""},
      {{"cover.jpeg", "cover.gif", "cover", "cover.png.txt"}, ""},
      {{"cover.png/", "Art/", "front.jpg"}, "front.jpg"},
      {{}, ""},
  };
  for (const auto& c : cases) {
    TempFolder folder;
    for (const std::string& f : c.files) folder.Add(f);
    std::u16string expected;
    if (!c.found.empty()) {
      expected = folder.Path() + shell::Utf16FromUtf8(c.found);
      for (char16_t& ch : expected) {
        if (ch == u'/') ch = kPathSeparator;
      }
    }
    EXPECT_EQ(Utf8(FindCoverArt(folder.Path() + u"01 Song.flac")), Utf8(expected)) << c.files.size() << " files";
  }
}

TEST(CoverArt, FoldersWithOtherScripts) {
  TempFolder folder;
  folder.Add("Альбом 夜/Art/Front.png");
  const std::u16string album = folder.Path() + u"Альбом 夜" + kPathSeparator;
  EXPECT_EQ(Utf8(FindCoverArt(album + u"a.b.c.cue")), Utf8(album + u"Art" + kPathSeparator + u"Front.png"));
  EXPECT_EQ(FindCoverArt(folder.Path() + u"missing" + kPathSeparator + u"x.flac"), u"");
}

}  // namespace
}  // namespace playlist
