#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_engine.h"
#include "playlist/ansi.h"
#include "playlist/cue_sheet.h"
#include "playlist/model.h"
#include "playlist/probe.h"
#include "recording_view.h"
#include "shell/text.h"

namespace playlist {
namespace {

using playlist_test::PlaylistFixtureState;
using playlist_test::Utf8;

constexpr int64_t At44(int64_t mm, int64_t ss, int64_t ff) { return 8 * (mm * 60 * 44100 + ss * 44100 + ff * 588); }
constexpr int64_t kTenMinutes = At44(10, 0, 0);

struct AudioFile {
  const char* name;
  int64_t length;
  float rate;
};

struct Expected {
  const char* file;
  const char* title;
  int64_t start, end;
};

struct CueCase {
  const char* what;
  const char* sheet;
  std::vector<AudioFile> files;
  std::vector<Expected> entries;
  int32_t rateBefore = 0;
};

const AudioFile kAlbum{"album.wav", kTenMinutes, 44100.0f};

std::vector<CueCase> Cases() {
  return {
      {"three tracks over one file",
       "PERFORMER \"Band\"\nTITLE \"Album\"\nFILE \"album.wav\" WAVE\n"
       "  TRACK 01 AUDIO\n    TITLE \"One\"\n    PERFORMER \"Band\"\n    INDEX 01 00:00:00\n"
       "  TRACK 02 AUDIO\n    TITLE \"Two\"\n    PERFORMER \"Band\"\n    INDEX 01 04:10:30\n"
       "  TRACK 03 AUDIO\n    TITLE \"Three\"\n    PERFORMER \"Band\"\n    INDEX 01 08:00:00\n",
       {kAlbum},
       {{"album.wav", "01 Band - One", 0, 88341120},
        {"album.wav", "02 Band - Two", 88341120, 169344000},
        {"album.wav", "03 Band - Three", 169344000, kTenMinutes}}},
      {"INDEX 00 shifts nothing: the pre-gap ends the track before",
       "FILE \"album.wav\" WAVE\r\nTRACK 01 AUDIO\r\nINDEX 01 00:00:00\r\n"
       "TRACK 02 AUDIO\r\nINDEX 00 04:08:00\r\nINDEX 01 04:10:30\r\n",
       {kAlbum},
       {{"album.wav", "01  - ", 0, At44(4, 10, 30)}, {"album.wav", "02  - ", At44(4, 10, 30), kTenMinutes}}},
      {"one file per track spans each file",
       "FILE \"a.flac\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"
       "FILE \"b.flac\" WAVE\nTRACK 02 AUDIO\nINDEX 01 00:00:00\n",
       {{"a.flac", 8000, 44100.0f}, {"b.flac", 16000, 44100.0f}},
       {{"a.flac", "01  - ", 0, 8000}, {"b.flac", "02  - ", 0, 16000}}},
      {"a data track gives no entry",
       "FILE \"album.wav\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"
       "TRACK 02 MODE1/2352\nINDEX 01 02:00:00\nTRACK 03 AUDIO\nINDEX 01 03:00:00\n",
       {kAlbum},
       {{"album.wav", "01  - ", 0, At44(2, 0, 0)}, {"album.wav", "03  - ", At44(3, 0, 0), kTenMinutes}}},
      {"a one-digit track number keeps a blank",
       "FILE \"album.wav\" WAVE\nTRACK 1 AUDIO\nPERFORMER \"P\"\nTITLE \"S\"\nINDEX 01 00:00:00\n",
       {kAlbum},
       {{"album.wav", "1  P - S", 0, kTenMinutes}}},
      {"an absolute FILE path is joined to the sheet's folder and fails",
       "FILE \"/elsewhere/album.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n", {kAlbum}, {}},
      {"another rate than the playlist's adds nothing",
       "FILE \"album.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n", {{"album.wav", 8000, 48000.0f}}, {}, 44100},
      {"a rate above any device rate is still added",
       "FILE \"album.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n", {{"album.wav", 8 * 192000, 192000.0f}},
       {{"album.wav", "01  - ", 0, 8 * 192000}}},
      {"a track without INDEX 01 takes the next one's, which then gives none",
       "FILE \"album.wav\" WAVE\nTRACK 01 AUDIO\nTITLE \"First\"\nTRACK 02 AUDIO\nTITLE \"Second\"\n"
       "INDEX 01 04:10:30\nTRACK 03 AUDIO\nINDEX 01 08:00:00\n",
       {kAlbum},
       {{"album.wav", "01  - First", 88341120, 169344000}, {"album.wav", "03  - ", 169344000, kTenMinutes}}},
      {"gaps appended: the pre-gap stays in the file before, the track starts in the next",
       "FILE \"a.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nINDEX 00 03:00:00\n"
       "FILE \"b.wav\" WAVE\nINDEX 01 00:00:00\nTRACK 03 AUDIO\nINDEX 01 02:00:00\n",
       {{"a.wav", At44(3, 2, 0), 44100.0f}, {"b.wav", kTenMinutes, 44100.0f}},
       {{"a.wav", "01  - ", 0, At44(3, 2, 0)},
        {"b.wav", "02  - ", 0, At44(2, 0, 0)},
        {"b.wav", "03  - ", At44(2, 0, 0), kTenMinutes}}},
      {"a last INDEX 00 without INDEX 01 leaves the track running to the end",
       "FILE \"album.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nINDEX 00 05:00:00\n",
       {kAlbum},
       {{"album.wav", "01  - ", 0, kTenMinutes}}},
      {"tracks before any usable FILE line give no entry",
       "TRACK 01 AUDIO\nINDEX 01 00:00:00\nFILE \"\" WAVE\nTRACK 02 AUDIO\nINDEX 01 01:00:00\n"
       "FILE \"album.wav\" WAVE\nTRACK 03 AUDIO\nINDEX 01 02:00:00\n",
       {kAlbum},
       {{"album.wav", "03  - ", At44(2, 0, 0), kTenMinutes}}},
      {"keywords count only as the line's first word",
       "FILE \"album.wav\" WAVE\n\tTRACK 01 AUDIO\n\t  PERFORMER \"TRACK 09 AUDIO Crew\"\n"
       "\t  TITLE \"FILE UNDER Q\"\n\t  REM COMMENT \"INDEX 01 09:00:00\"\n\t  INDEX 01 00:00:00\n"
       "REM TRACK 05 AUDIO\ntrack 06 AUDIO\nTRACK 02 AUDIO\n  TITLE \"Has INDEX 01 02:00:00 inside\"\n"
       "  INDEX 01 03:00:00\n",
       {kAlbum},
       {{"album.wav", "01 TRACK 09 AUDIO Crew - FILE UNDER Q", 0, At44(3, 0, 0)},
        {"album.wav", "02  - Has INDEX 01 02:00:00 inside", At44(3, 0, 0), kTenMinutes}}},
      {"index times past the end are clamped to the file",
       "FILE \"album.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nINDEX 01 04:00:00\n"
       "TRACK 03 AUDIO\nINDEX 01 06:00:00\n",
       {{"album.wav", At44(5, 0, 0), 44100.0f}},
       {{"album.wav", "01  - ", 0, At44(4, 0, 0)}, {"album.wav", "02  - ", At44(4, 0, 0), At44(5, 0, 0)}}},
      {"an end before its start gives no entry",
       "FILE \"album.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 04:00:00\nTRACK 02 AUDIO\nINDEX 01 02:00:00\n"
       "TRACK 03 AUDIO\nINDEX 01 05:00:00\n",
       {kAlbum},
       {{"album.wav", "02  - ", At44(2, 0, 0), At44(5, 0, 0)}, {"album.wav", "03  - ", At44(5, 0, 0), kTenMinutes}}},
      {"times that are not numbers read as zero, huge ones fall past the end",
       "FILE \"album.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 aa:bb:cc\nTRACK 02 AUDIO\nINDEX 01 99:99:99\n",
       {kAlbum},
       {{"album.wav", "01  - ", 0, kTenMinutes}}},
      {"FILE lines without quoted text keep the file before",
       "FILE \"a.wav\" WAVE\nFILE \"b.wav WAVE\nFILE b.wav WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n",
       {{"a.wav", 800, 44100.0f}, {"b.wav", 1600, 44100.0f}},
       {{"a.wav", "01  - ", 0, 800}}},
      {"an audio file that cannot be opened ends the sheet, earlier entries stay",
       "FILE \"a.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nFILE \"missing.wav\" WAVE\n"
       "TRACK 02 AUDIO\nINDEX 01 00:00:00\nFILE \"b.wav\" WAVE\nTRACK 03 AUDIO\nINDEX 01 00:00:00\n",
       {{"a.wav", 800, 44100.0f}, {"b.wav", 1600, 44100.0f}},
       {{"a.wav", "01  - ", 0, 800}}},
      {"two files with two tracks each",
       "FILE \"a.m4a\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nINDEX 01 01:00:00\n"
       "FILE \"b.aiff\" WAVE\nTRACK 03 AUDIO\nINDEX 01 00:00:00\nTRACK 04 AUDIO\nINDEX 01 00:30:00\n",
       {{"a.m4a", At44(2, 0, 0), 44100.0f}, {"b.aiff", At44(1, 0, 0), 44100.0f}},
       {{"a.m4a", "01  - ", 0, At44(1, 0, 0)},
        {"a.m4a", "02  - ", At44(1, 0, 0), At44(2, 0, 0)},
        {"b.aiff", "03  - ", 0, At44(0, 30, 0)},
        {"b.aiff", "04  - ", At44(0, 30, 0), At44(1, 0, 0)}}},
      {"a single quote keeps the value empty",
       "FILE \"album.wav\" WAVE\nTRACK 01 AUDIO\nTITLE \"Unclosed\nTITLE \"Closed\"\nINDEX 01 00:00:00\n",
       {kAlbum},
       {{"album.wav", "01  - Closed", 0, kTenMinutes}}},
  };
}

class CueSheetReader : public ::testing::Test {
 protected:
  static void AddFiles(const std::vector<AudioFile>& files) {
    for (const AudioFile& f : files) fake_engine::AddFile(u"/album/" + shell::Utf16FromUtf8(f.name), f.length, f.rate);
  }
  static CueSheetSources Sources() {
    CueSheetSources s;
    s.DecodeAnsi = DecodeWindows1252;
    s.OpenAudio = OpenProbeStream;
    return s;
  }
  PlaylistFixtureState state;
};

TEST_F(CueSheetReader, SheetsGiveTheirTracksAsByteRanges) {
  for (const CueCase& c : Cases()) {
    SCOPED_TRACE(c.what);
    PlaylistFixtureState fresh;
    AddFiles(c.files);
    State.PlaylistRate = c.rateBefore;
    EXPECT_FALSE(ReadCueSheetBytes(u"/album/sheet.cue", c.sheet, Sources()));
    const std::vector<PlaylistEntry> got = CopyPlaylist();
    ASSERT_EQ(got.size(), c.entries.size());
    int64_t total = 0;
    for (size_t i = 0; i < got.size(); ++i) {
      const PlaylistEntry& e = got[i];
      const Expected& x = c.entries[i];
      EXPECT_EQ(Utf8(e.FilePath), std::string("/album/") + x.file) << i;
      EXPECT_EQ(Utf8(e.Title), x.title) << i;
      EXPECT_EQ(e.CueStart, x.start) << i;
      EXPECT_EQ(e.CueEnd, x.end) << i;
      EXPECT_EQ(e.ByteLength, x.end - x.start) << i;
      EXPECT_EQ(e.IsCueTrack, 1);
      EXPECT_EQ(e.EntryId, static_cast<int32_t>(2 * (i + 1)));
      EXPECT_EQ(e.SampleRate, State.PlaylistRate);
      total += e.ByteLength;
    }
    EXPECT_EQ(State.PlaylistBytes, total);
    EXPECT_EQ(fake_engine::OpenStreams(), 0) << "every examination stream is released";
    EXPECT_TRUE(playlist_test::Messages().empty());
    if (c.rateBefore) {
      EXPECT_TRUE(fresh.view.Only("label").empty());
    }
  }
}

TEST_F(CueSheetReader, EntryTextsAndTheRateLabel) {
  fake_engine::AddFile(u"/album/Album.Disc.1.flac", At44(10, 0, 0), 44100.0f);
  ReadCueSheetBytes(u"/album/sheet.cue",
                    "FILE \"Album.Disc.1.flac\" WAVE\nTRACK 01 AUDIO\nPERFORMER \"Artist\"\nTITLE \"Song\"\n"
                    "INDEX 01 00:00:00\nTRACK 02 AUDIO\nINDEX 01 03:07:74\n",
                    Sources());
  PlaylistEntry e;
  ASSERT_TRUE(CopyPlaylistEntry(0, &e));
  EXPECT_EQ(Utf8(e.Extension), "FLAC");
  EXPECT_EQ(Utf8(e.ListTitle), "01 Artist - Song");
  EXPECT_EQ(Utf8(e.DurationText), "  3:07");  // 3:07 and 74 frames, truncated
  EXPECT_EQ(state.view.Only("label"), std::vector<std::string>{"label '44.1 kHz'"});
  EXPECT_TRUE(e.CoverPath.empty());
}

TEST_F(CueSheetReader, TextEncodingsByByteOrderMark) {
  const std::string plain = "FILE \"Caf\xC3\xA9.wav\" WAVE\nTRACK 01 AUDIO\nPERFORMER \"Beyonc\xC3\xA9\"\n"
                            "TITLE \"\xE5\xA4\x9C\xE3\x81\xAB\"\nINDEX 01 00:00:00\n";
  const std::u16string wide = shell::Utf16FromUtf8(plain);
  std::string le = "\xFF\xFE", be = "\xFE\xFF";
  for (char16_t c : wide) {
    le += static_cast<char>(c & 0xFF), le += static_cast<char>(c >> 8);
    be += static_cast<char>(c >> 8), be += static_cast<char>(c & 0xFF);
  }
  const struct {
    const char* what;
    std::string bytes;
    size_t entries;
  } cases[] = {
      {"UTF-8 mark", "\xEF\xBB\xBF" + plain, 1},
      {"UTF-16 LE mark", le, 1},
      {"UTF-16 BE mark", be, 1},
      {"UTF-32 LE mark", std::string("\xFF\xFE\0\0", 4) + le.substr(2), 0},
      {"UTF-32 BE mark", std::string("\0\0\xFE\xFF", 4) + be.substr(2), 0},
  };
  for (const auto& c : cases) {
    PlaylistFixtureState fresh;
    fake_engine::AddFile(u"/album/Café.wav", 800, 44100.0f);
    ReadCueSheetBytes(u"/album/x.cue", c.bytes, Sources());
    const std::vector<PlaylistEntry> got = CopyPlaylist();
    ASSERT_EQ(got.size(), c.entries) << c.what;
    if (!got.empty()) {
      EXPECT_EQ(Utf8(got[0].Title), "01 Beyonc\xC3\xA9 - \xE5\xA4\x9C\xE3\x81\xAB") << c.what;
    }
  }
}

TEST_F(CueSheetReader, SheetsWithoutAMarkGoThroughTheAnsiDecoder) {
  fake_engine::AddFile(u"/album/Caf\u00e9.wav", 800, 44100.0f);
  // Windows-1252: E9 is é, 80 is the euro sign, 93/94 are curly quotes.
  ReadCueSheetBytes(u"/album/x.cue",
                    "FILE \"Caf\xE9.wav\" WAVE\nTRACK 01 AUDIO\nTITLE \"\x80 \x93hi\x94\"\nINDEX 01 00:00:00\n",
                    Sources());
  PlaylistEntry e;
  ASSERT_TRUE(CopyPlaylistEntry(0, &e));
  EXPECT_EQ(Utf8(e.FilePath), "/album/Caf\xC3\xA9.wav");
  EXPECT_EQ(e.Title, u"01  - \u20AC \u201Chi\u201D");

  // The decoder is the one injected: a different one changes the text.
  PlaylistFixtureState fresh;
  fake_engine::AddFile(u"/album/X.wav", 800, 44100.0f);
  CueSheetSources upper = Sources();
  upper.DecodeAnsi = [](std::string_view bytes) {
    std::u16string text = DecodeWindows1252(bytes);
    for (char16_t& c : text) if (c == u'x') c = u'X';
    return text;
  };
  ReadCueSheetBytes(u"/album/x.cue", "FILE \"x.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n", upper);
  EXPECT_EQ(PlaylistCount(), 1);
}

TEST(CueTimes, PositionsCountEightBytesAFrame) {
  const struct {
    const char16_t* time;
    int32_t rate;
    int64_t position;
  } cases[] = {
      {u"04:10:30", 44100, 8 * (250 * 44100 + 30 * 588)},
      {u"00:00:01", 48000, 8 * 640},
      {u"00:00:01", 96000, 8 * 1280},
      {u"00:00:01", 44100, 8 * 588},
      {u"", 44100, 0},
      {u"aa:bb:cc", 44100, 0},
      {u"1:2:3", 44100, 8 * (62 * 44100 + 3 * 588)},
      {u"01:02", 44100, 8 * 62 * 44100},
      {u"99:99:99", 44100, 8 * (99 * 60 * 44100 + 99 * 44100 + 99 * 588)},
      {u"00:01:00:99", 44100, 8 * 44100},       // a fourth field is ignored
      {u"99999999", 2000000000, INT64_MAX},     // saturates instead of overflowing
  };
  for (const auto& c : cases) EXPECT_EQ(CueTimePosition(c.time, c.rate), c.position) << Utf8(c.time);
}

TEST_F(CueSheetReader, HostileSheetsEndWithEveryEntryInsideItsFile) {
  std::vector<std::string> sheets = {
      std::string(1 << 20, 'A') + "\nFILE \"album.wav\"\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n",
      std::string("FILE \"album.wav\"\0\nTRACK\0 01 AUDIO\nINDEX 01 00:\0:00\n", 48),
      "TRACK 01 AUDIO\n",
      "FILE \"album.wav\"\nTRACK",
      "FILE \"album.wav\"\nTRACK 01 AUDIO\nINDEX 01",
      "\"\"\"\"\n\"\n",
      "FILE \"album.wav\"\nTRACK 01 AUDIO\nINDEX 01 -1:00:00\nTRACK 02 AUDIO\nINDEX 01 00:00:-5\n",
  };
  std::string many = "FILE \"album.wav\"\n";
  for (int i = 0; i < 200000; ++i) many += i % 2 ? "INDEX 01 00:00:01\n" : "TRACK 01 AUDIO\n";
  sheets.push_back(many);
  for (const std::string& sheet : sheets) {
    PlaylistFixtureState fresh;
    fake_engine::AddFile(u"/album/album.wav", kTenMinutes, 44100.0f);
    ReadCueSheetBytes(u"/album/x.cue", sheet, Sources());
    for (const PlaylistEntry& e : CopyPlaylist()) {
      EXPECT_GE(e.CueStart, 0);
      EXPECT_LT(e.CueStart, e.CueEnd);
      EXPECT_LE(e.CueEnd, kTenMinutes);
    }
    EXPECT_EQ(fake_engine::OpenStreams(), 0);
  }
}

}  // namespace
}  // namespace playlist
