#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "fake_engine.h"
#include "playlist/model.h"
#include "playlist/open_files.h"
#include "recording_view.h"

namespace playlist {
namespace {

// A drop as the shell hands it over: DROPFILES followed by wide names, each
// NUL-terminated, the list ending in a second NUL.
HDROP MakeDrop(const std::vector<std::u16string>& names) {
  size_t chars = 1;
  for (const auto& n : names) chars += n.size() + 1;
  HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + chars * sizeof(wchar_t));
  auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
  header->pFiles = sizeof(DROPFILES);
  header->fWide = TRUE;
  auto* text = reinterpret_cast<char16_t*>(header + 1);
  for (const auto& n : names) {
    std::copy(n.begin(), n.end(), text);
    text += n.size() + 1;
  }
  GlobalUnlock(memory);
  return static_cast<HDROP>(memory);
}

TEST(DroppedFiles, ShellDropAddsItsSupportedFiles) {
  playlist_test::PlaylistFixtureState state;
  fake_engine::AddFile(u"C:\\m\\Ночь.flac", 800, 44100.0f);
  fake_engine::AddFile(u"C:\\m\\b.wav", 800, 44100.0f);
  AddDroppedFiles(MakeDrop({u"C:\\m\\Ночь.flac", u"C:\\m\\readme.txt", u"C:\\m\\b.wav"}));
  std::vector<std::u16string> titles;
  for (const PlaylistEntry& e : CopyPlaylist()) titles.push_back(e.Title);
  EXPECT_EQ(titles, (std::vector<std::u16string>{u"Ночь", u"b"}));
}

}  // namespace
}  // namespace playlist
