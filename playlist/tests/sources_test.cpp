#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <set>
#include <vector>

#include "fake_engine.h"
#include "playlist/files.h"
#include "playlist/model.h"
#include "playlist/names.h"
#include "playlist/probe.h"
#include "playlist/sources.h"
#include "recording_view.h"
#include "shell/text.h"
#include "temp_folder.h"

namespace playlist {
namespace {

using playlist_test::Messages;
using playlist_test::PlaylistFixtureState;
using playlist_test::TempFolder;
using playlist_test::Utf8;

constexpr int64_t Seconds(int64_t s, int32_t rate) { return 8 * s * rate; }

class AddingFiles : public ::testing::Test {
 protected:
  PlaylistFixtureState state;
  playlist_test::RecordingView& view = state.view;
};

TEST(PlaylistExtensions, SupportedInAnyLetterCase) {
  for (const char16_t* ext : {u"WAV", u"wav", u"Flac", u"CUE", u"aif", u"AIFF", u"m4A"}) {
    EXPECT_TRUE(IsPlaylistExtension(ext)) << Utf8(ext);
  }
  for (const char16_t* ext : {u"", u"mp3", u"WAVE", u"FLA", u"M4", u"cue "}) {
    EXPECT_FALSE(IsPlaylistExtension(ext)) << Utf8(ext);
  }
}

TEST_F(AddingFiles, ProbeStreamDecoderFollowsTheExtension) {
  const struct {
    const char16_t* path;
    char decoder;  // 0: the engine is not called
  } cases[] = {
      {u"/m/a.wav", 'W'}, {u"/m/a.AIF", 'W'}, {u"/m/a.aiff", 'W'}, {u"/m/a.Flac", 'F'},
      {u"/m/a.m4a", 'A'}, {u"/m/a.mp3", 0},   {u"/m/a.cue", 0},    {u"/m/flac", 0},
      {u"/m.flac/a", 0},
  };
  for (const auto& c : cases) {
    fake_engine::Install();
    EXPECT_EQ(OpenProbeStream(c.path), 0u);  // nothing registered: every open fails
    if (!c.decoder) {
      EXPECT_TRUE(fake_engine::Creates().empty()) << Utf8(c.path);
      continue;
    }
    ASSERT_EQ(fake_engine::Creates().size(), 1u) << Utf8(c.path);
    EXPECT_EQ(fake_engine::Creates()[0].Decoder, c.decoder) << Utf8(c.path);
    EXPECT_EQ(fake_engine::Creates()[0].Flags, 0x80220110u);
    EXPECT_EQ(fake_engine::Creates()[0].Path, c.path);
  }
}

TEST_F(AddingFiles, DeepPathsReachTheEngineInAFormThatOpens) {
  const std::u16string deep = u"C:\\" + std::u16string(300, u'd') + u"\\a.flac";
  OpenProbeStream(deep);
  ASSERT_EQ(fake_engine::Creates().size(), 1u);
#ifdef _WIN32
  EXPECT_EQ(fake_engine::Creates()[0].Path, u"\\\\?\\" + deep);
#else
  EXPECT_EQ(fake_engine::Creates()[0].Path, deep);
#endif
}

TEST_F(AddingFiles, ExaminedFileFillsItsEntry) {
  // 188 s of bytes at 44100.7 Hz play 187.99 s: whole seconds are truncated.
  fake_engine::AddFile(u"/m/Дорога/01 Intro.Flac", Seconds(188, 44100), 44100.7f);
  PlaylistEntry e;
  ASSERT_TRUE(ExamineAudioFile(u"/m/Дорога/01 Intro.Flac", u"Flac", &e));
  EXPECT_EQ(Utf8(e.FilePath), "/m/Дорога/01 Intro.Flac");
  EXPECT_EQ(Utf8(e.Title), "01 Intro");
  EXPECT_EQ(Utf8(e.ListTitle), "01 Intro");
  EXPECT_EQ(Utf8(e.Extension), "Flac");  // as passed
  EXPECT_EQ(e.SampleRate, 44100);        // the fraction dropped
  EXPECT_EQ(e.ByteLength, Seconds(188, 44100));
  EXPECT_EQ(Utf8(e.DurationText), "  3:07");
  EXPECT_EQ(e.IsCueTrack, 0);
  EXPECT_EQ(e.EntryId, 2);
  EXPECT_TRUE(e.CoverPath.empty());
  EXPECT_EQ(State.PlaylistRate, 44100);
  EXPECT_EQ(view.Only("label"), std::vector<std::string>{"label '44.1 kHz'"});
  EXPECT_EQ(fake_engine::OpenStreams(), 0);
  EXPECT_EQ(PlaylistCount(), 0);  // appending is the caller's
}

TEST_F(AddingFiles, SampleRateRules) {
  const struct {
    std::set<int32_t> device;
    int32_t before, rate;
    bool accepted;
    const char* box;  // caption of the message shown, if any
  } cases[] = {
      {{}, 0, 44100, true, nullptr},
      {{}, 0, 48000, false, "PCM"},  // the 44100 flag alone is never consulted
      {{96000}, 0, 192000, false, "PCM"},
      {{96000, 192000}, 0, 192000, true, nullptr},
      {{96000, 48000}, 0, 96000, true, nullptr},
      {{88200, 48000}, 0, 96000, false, "PCM"},
      {{768000}, 0, 705600, true, nullptr},
      {{48000}, 44100, 48000, false, nullptr},  // another rate than the playlist's: silent
      {{48000}, 48000, 48000, true, nullptr},
  };
  for (const auto& c : cases) {
    PlaylistFixtureState fresh;
    fresh.view.Rates = c.device;
    State.PlaylistRate = c.before;
    fake_engine::AddFile(u"/m/x.wav", Seconds(1, c.rate), static_cast<float>(c.rate));
    PlaylistEntry e;
    EXPECT_EQ(ExamineAudioFile(u"/m/x.wav", u"wav", &e), c.accepted) << c.rate;
    EXPECT_EQ(State.PlaylistRate, c.accepted ? c.rate : c.before) << c.rate;
    EXPECT_EQ(fresh.view.Only("label").size(), c.accepted && !c.before ? 1u : 0u) << c.rate;
    EXPECT_EQ(fake_engine::OpenStreams(), 0);
    ASSERT_EQ(Messages().size(), c.box ? 1u : 0u) << c.rate;
    if (c.box) {
      EXPECT_EQ(Utf8(Messages()[0].Title), c.box);
      EXPECT_EQ(Utf8(Messages()[0].Text), "Sample rate too match.");
      EXPECT_EQ(Messages()[0].Style, 0x1040u);  // information icon, system-modal, OK
    }
    if (!c.accepted) {
      EXPECT_EQ(e.EntryId, 0);
    }
  }
  EXPECT_EQ(HighestDeviceRate(), 44100);
}

TEST_F(AddingFiles, EmptyingLetsAnotherRateIn) {
  view.Rates = {48000};
  fake_engine::AddFile(u"/m/a.wav", Seconds(2, 44100), 44100.0f);
  fake_engine::AddFile(u"/m/b.flac", Seconds(2, 48000), 48000.0f);
  AddAudioFile(u"/m/a.wav");
  AddAudioFile(u"/m/b.flac");
  EXPECT_EQ(PlaylistCount(), 1);
  EmptyPlaylist();
  view.Calls.clear();
  AddAudioFile(u"/m/b.flac");
  EXPECT_EQ(PlaylistCount(), 1);
  EXPECT_EQ(view.Only("label"), std::vector<std::string>{"label '48.0 kHz'"});
  PlaylistEntry e;
  ASSERT_TRUE(CopyPlaylistEntry(0, &e));
  EXPECT_EQ(e.EntryId, 4);  // the skipped file took no id
  EXPECT_TRUE(Messages().empty());
}

TEST_F(AddingFiles, RefusedFilesShowTheirNameAndChangeNothing) {
  fake_engine::AddFile(u"/m/ok.wav", Seconds(2, 44100), 44100.0f);
  fake_engine::AddFile(u"/m/no rate.wav", Seconds(2, 44100), 0.0f);
  fake_engine::AddFile(u"/m/nan.wav", Seconds(2, 44100), std::numeric_limits<float>::quiet_NaN());
  AddAudioFile(u"/m/ok.wav");
  const int64_t bytes = State.PlaylistBytes;
  view.Calls.clear();
  AddAudioFile(u"/m/夜に.flac");     // the engine refuses it
  AddAudioFile(u"/m/no rate.wav");   // a stream without a rate cannot be played
  AddAudioFile(u"/m/nan.wav");
  AddAudioFile(u"/m/song.mp3");      // not ours: nothing at all
  ASSERT_EQ(Messages().size(), 3u);
  EXPECT_EQ(Utf8(Messages()[0].Title), "Error");
  EXPECT_EQ(Utf8(Messages()[0].Text), "Error of the file '夜に.flac'");
  EXPECT_EQ(Messages()[0].Style, 0x1010u);  // error icon, system-modal, OK
  EXPECT_EQ(Utf8(Messages()[1].Text), "Error of the file 'no rate.wav'");
  EXPECT_EQ(PlaylistCount(), 1);
  EXPECT_EQ(State.PlaylistBytes, bytes);
  EXPECT_EQ(State.PlaylistRate, 44100);
  EXPECT_TRUE(view.Calls.empty());
  EXPECT_EQ(fake_engine::OpenStreams(), 0);
}

TEST_F(AddingFiles, CoverIsLookedForOnlyWithTheOption) {
  TempFolder folder;
  folder.Add("cover.png");
  const std::u16string song = folder.Path() + u"a.wav";
  fake_engine::AddFile(song, 8, 44100.0f);
  PlaylistEntry e;
  ASSERT_TRUE(ExamineAudioFile(song, u"WAV", &e));
  EXPECT_TRUE(e.CoverPath.empty());
  view.Cover = true;
  ASSERT_TRUE(ExamineAudioFile(song, u"WAV", &e));
  EXPECT_EQ(Utf8(e.CoverPath), Utf8(folder.Path() + u"cover.png"));
}

class AddingFolders : public AddingFiles {
 protected:
  // Registers the folder's audio files with the engine, 44.1 kHz.
  void Register(const std::vector<std::string>& names) {
    for (const std::string& n : names) {
      std::u16string path = folder.Path() + shell::Utf16FromUtf8(n);
      for (char16_t& c : path) {
        if (c == u'/') c = kPathSeparator;  // as the code joins folder and name
      }
      fake_engine::AddFile(path, 8000, 44100.0f);
    }
  }
  std::vector<std::string> Paths() {
    std::vector<std::string> paths;
    for (const PlaylistEntry& e : CopyPlaylist()) {
      paths.push_back(Utf8(e.FilePath.substr(folder.Path().size())) + (e.IsCueTrack ? "#" + Utf8(e.Title) : ""));
    }
    return paths;
  }
  TempFolder folder;
};

TEST_F(AddingFolders, FolderAddsItsSupportedFilesInListingOrder) {
  const std::vector<std::string> audio = {"b.flac", "a.WAV", "Дорога.m4a", "x.y.aif"};
  for (const std::string& n : audio) folder.Add(n);
  for (const char* other : {"c.mp3", ".hidden.wav", "sub.flac/", "sub/", "noext", "sub/inner.wav"}) folder.Add(other);
  Register(audio);
  Register({".hidden.wav", "sub/inner.wav"});
  AddFolder(folder.Path());
  std::vector<FolderItem> listing;
  ASSERT_TRUE(ListFolder(folder.Path(), &listing));
  std::vector<std::string> expected;
  for (const FolderItem& item : listing) {
    const std::string name = Utf8(item.Name);
    if (std::find(audio.begin(), audio.end(), name) != audio.end()) expected.push_back(name);
  }
  ASSERT_EQ(expected.size(), 4u);
  EXPECT_EQ(Paths(), expected);
  EXPECT_TRUE(Messages().empty());
}

TEST_F(AddingFolders, AlbumImageAndItsSheetGiveBoth) {
  folder.Add("album.flac");
  folder.Add("album.cue", "FILE \"album.flac\" WAVE\nTRACK 01 AUDIO\nTITLE \"A\"\nINDEX 01 00:00:00\n"
                          "TRACK 02 AUDIO\nTITLE \"B\"\nINDEX 01 00:00:01\n");
  Register({"album.flac"});
  AddFolder(folder.Path());
  std::vector<std::string> got = Paths();
  std::sort(got.begin(), got.end());
  EXPECT_EQ(got, (std::vector<std::string>{"album.flac", "album.flac#01  - A", "album.flac#02  - B"}));
}

TEST_F(AddingFolders, SheetFromDiskWithItsCover) {
  folder.Add("Café 夜/cover.png");
  folder.Add("Café 夜/a.b.cue", "\xEF\xBB\xBF" "FILE \"Café 夜.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"
                                 "TRACK 02 AUDIO\nINDEX 01 00:00:01\n");
  Register({"Café 夜/Café 夜.wav"});
  view.Cover = true;
  const std::u16string album = folder.Path() + u"Café 夜" + kPathSeparator;
  PlaylistEntry unused;
  EXPECT_FALSE(ExamineAudioFile(album + u"a.b.cue", u"cue", &unused));
  EXPECT_FALSE(ExamineAudioFile(album + u"missing.cue", u"CUE", &unused));
  const std::vector<PlaylistEntry> got = CopyPlaylist();
  ASSERT_EQ(got.size(), 2u);
  for (const PlaylistEntry& e : got) EXPECT_EQ(Utf8(e.CoverPath), Utf8(album + u"cover.png"));
  EXPECT_TRUE(view.Only("cover").empty());  // an empty picture file shows nothing
  EXPECT_EQ(unused.EntryId, 0);
}

TEST_F(AddingFolders, DroppedItems) {
  folder.Add("Vol. 2/");
  folder.Add("Vol. 2/one.wav");
  folder.Add("Plain/");
  folder.Add("Plain/two.Flac");
  folder.Add("three.FLAC");
  Register({"Vol. 2/one.wav", "Plain/two.Flac", "three.FLAC"});
  const std::u16string base = folder.Path();
  const struct {
    std::u16string items;
    std::vector<std::string> added;
    bool scrolledToTop;
  } cases[] = {
      {base + u"Plain\n" + base + u"three.FLAC", {"three.FLAC"}, false},  // a folder among items is skipped
      {base + u"Plain", {"Plain" + std::string(1, static_cast<char>(kPathSeparator)) + "two.Flac"}, true},
      {base + u"Vol. 2", {"Vol. 2" + std::string(1, static_cast<char>(kPathSeparator)) + "one.wav"}, true},
      {base + u"three.FLAC", {"three.FLAC"}, false},
      {base + u"nothing-here", {}, true},
  };
  for (const auto& c : cases) {
    PlaylistFixtureState fresh;
    Register({"Vol. 2/one.wav", "Plain/two.Flac", "three.FLAC"});
    State.ScrollOffset = 3;
    AddDroppedItems(c.items);
    EXPECT_EQ(Paths(), c.added) << Utf8(c.items);
    EXPECT_EQ(State.ScrollOffset, c.scrolledToTop ? 0 : 3) << Utf8(c.items);
  }
}

}  // namespace
}  // namespace playlist
