#include <gtest/gtest.h>

#include <vector>

#include "playlist/cover.h"
#include "playlist/files.h"
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

TEST(CoverArt, FoldersPastTheOldPathLimit) {
  TempFolder folder;
  std::string deep;
  for (int i = 0; i < 6; ++i) deep += std::string(50, static_cast<char>('a' + i)) + "/";
  folder.Add(deep + "Art/Folder.jpg");
  std::u16string album = folder.Path() + shell::Utf16FromUtf8(deep);
  for (char16_t& c : album) {
    if (c == u'/') c = kPathSeparator;
  }
  ASSERT_GT(album.size(), 300u);
  EXPECT_EQ(Utf8(FindCoverArt(album + u"x.flac")), Utf8(album + u"Art" + kPathSeparator + u"Folder.jpg"));
  folder.Add(deep + "x.cue", "FILE");
  std::string sheet;
  EXPECT_TRUE(ReadFileBytes(album + u"x.cue", 100, &sheet));
  EXPECT_EQ(sheet, "FILE");
  EXPECT_FALSE(ReadFileBytes(album + u"x.cue", 3, &sheet));  // longer than the limit
}

TEST(CoverArt, ExtendedLengthForms) {
  const std::u16string longTail(260, u'x');
  const struct {
    std::u16string path, system;
  } cases[] = {
      {u"C:\\short\\a.png", u"C:\\short\\a.png"},
      {u"C:\\" + longTail, u"\\\\?\\C:\\" + longTail},
      {u"C:/d/" + longTail, u"\\\\?\\C:\\d\\" + longTail},
      {u"\\\\server\\share\\" + longTail, u"\\\\?\\UNC\\server\\share\\" + longTail},
      {u"\\\\?\\C:\\" + longTail, u"\\\\?\\C:\\" + longTail},
      {u"relative\\" + longTail, u"relative\\" + longTail},  // cannot be extended
  };
  for (const auto& c : cases) EXPECT_EQ(Utf8(ExtendedLengthPath(c.path)), Utf8(c.system));
}

}  // namespace
}  // namespace playlist
