#include <gtest/gtest.h>

#include "playlist/names.h"

#include "recording_view.h"

namespace playlist {
namespace {

using playlist_test::Utf8;

TEST(PlaylistNames, DurationTextPadsMinutesAndKeepsTwoSecondDigits) {
  const struct {
    int64_t seconds;
    std::u16string text;
  } cases[] = {
      {187, u"  3:07"}, {0, u"  0:00"}, {59, u"  0:59"}, {600, u" 10:00"}, {59999, u"999:59"},
      {60000, u"100:00"},  // 1000 minutes keep their first three digits
      {7200000, u"120:00"}, {-5, u"  0:00"},
  };
  for (const auto& c : cases) EXPECT_EQ(Utf8(FormatDurationText(c.seconds)), Utf8(c.text)) << c.seconds;
}

TEST(PlaylistNames, RateLabelShowsOneDecimalOfKilohertz) {
  EXPECT_EQ(Utf8(RateLabelText(44100)), "44.1 kHz");
  EXPECT_EQ(Utf8(RateLabelText(48000)), "48.0 kHz");
  EXPECT_EQ(Utf8(RateLabelText(192000)), "192.0 kHz");
  EXPECT_EQ(Utf8(RateLabelText(705600)), "705.6 kHz");
  EXPECT_EQ(Utf8(RateLabelText(22050)), "22.1 kHz");
}

TEST(PlaylistNames, PathPartsWithSeveralDotsAndOtherScripts) {
  const struct {
    std::u16string path, folder, extension, title;
  } cases[] = {
      {u"D:\\Music\\Album\\01 Intro.flac", u"D:\\Music\\Album\\", u"flac", u"01 Intro"},
      {u"D:\\My.Music\\track", u"D:\\My.Music\\", u"", u"track"},
      {u"D:\\x\\a.b.c.Wav", u"D:\\x\\", u"Wav", u"a.b.c"},
      {u"/tmp/Дорога/夜に駆ける.m4a", u"/tmp/Дорога/", u"m4a", u"夜に駆ける"},
      {u"C:\\Café\\Élan.", u"C:\\Café\\", u"", u"Élan"},
      {u"song.aiff", u"", u"aiff", u"song"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Utf8(FolderOf(c.path)), Utf8(c.folder));
    EXPECT_EQ(Utf8(ExtensionOf(c.path)), Utf8(c.extension));
    EXPECT_EQ(Utf8(TitleOf(c.path)), Utf8(c.title));
  }
  EXPECT_EQ(ListTitleOf(std::u16string(120, u'é')).size(), 90u);
}

}  // namespace
}  // namespace playlist
