#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/support_libraries.h"
#include "win_test_util.h"

namespace shell {
namespace {

using testutil::ReadWholeFile;
using testutil::ScratchFolder;
using testutil::WriteWholeFile;

std::u16string U16(const std::wstring& s) { return std::u16string(s.begin(), s.end()); }

DWORD Attributes(const std::wstring& path) { return GetFileAttributesW(path.c_str()); }

TEST(SupportLibraries, CarriesTheFourLibrariesInOrder) {
  const auto libraries = CarriedLibraries();
  ASSERT_EQ(libraries.size(), 4u);
  const char16_t* names[] = {u"orva.dll", u"orvo.dll", u"orvu.dll", u"oraa.dll"};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(std::u16string(libraries[i].FileName), names[i]);
    ASSERT_GT(libraries[i].Bytes.size(), 2u);
    EXPECT_EQ(libraries[i].Bytes[0], 'M');  // a PE file
    EXPECT_EQ(libraries[i].Bytes[1], 'Z');
  }
}

TEST(SupportLibraries, InstallsOnceAndRewritesOnlyWhatDiffers) {
  ScratchFolder base(L"veloran-install-\u00e9");
  const std::wstring am20 = base / L"Ambrell\\am20\\";
  const auto libraries = CarriedLibraries();

  EXPECT_EQ(InstallSupportLibrariesInto(U16(base.Path()), libraries), 4);
  EXPECT_EQ(UserDataFolder, U16(am20));
  EXPECT_TRUE(Attributes(base / L"Ambrell") & FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(Attributes(am20) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY),
            DWORD{FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY});
  for (const auto& library : libraries) {
    const std::wstring file = am20 + testutil::Wide(library.FileName);
    EXPECT_EQ(Attributes(file) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM),
              DWORD{FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM});
    EXPECT_EQ(ReadWholeFile(file), std::vector<uint8_t>(library.Bytes.begin(), library.Bytes.end()));
  }

  EXPECT_EQ(InstallSupportLibrariesInto(U16(base.Path()), libraries), 0) << "a second start writes nothing";

  // Same size, other content (a rebuilt library): rewritten. Other size, held
  // hidden and system: truncated and rewritten.
  std::vector<uint8_t> changed(libraries[1].Bytes.begin(), libraries[1].Bytes.end());
  changed[changed.size() / 2] ^= 0xFF;
  SetFileAttributesW((am20 + L"orvo.dll").c_str(), FILE_ATTRIBUTE_NORMAL);
  ASSERT_TRUE(WriteWholeFile(am20 + L"orvo.dll", changed));
  SetFileAttributesW((am20 + L"oraa.dll").c_str(), FILE_ATTRIBUTE_NORMAL);
  ASSERT_TRUE(WriteWholeFile(am20 + L"oraa.dll", {1, 2, 3}));
  SetFileAttributesW((am20 + L"oraa.dll").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);

  EXPECT_EQ(InstallSupportLibrariesInto(U16(base.Path()), libraries), 2);
  EXPECT_EQ(ReadWholeFile(am20 + L"orvo.dll"), std::vector<uint8_t>(libraries[1].Bytes.begin(), libraries[1].Bytes.end()));
  EXPECT_EQ(ReadWholeFile(am20 + L"oraa.dll"), std::vector<uint8_t>(libraries[3].Bytes.begin(), libraries[3].Bytes.end()));

  for (const auto& library : libraries) {
    const std::wstring file = am20 + testutil::Wide(library.FileName);
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(file.c_str());
  }
  RemoveDirectoryW(am20.c_str());
  RemoveDirectoryW((base / L"Ambrell").c_str());
}

TEST(SupportLibraries, AnExistingVisibleFolderIsHidden) {
  ScratchFolder base(L"veloran-install-hidden");
  const std::wstring am20 = base / L"Ambrell\\am20";
  ASSERT_TRUE(CreateDirectoryW((base / L"Ambrell").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW(am20.c_str(), nullptr));
  SetFileAttributesW(am20.c_str(), FILE_ATTRIBUTE_READONLY);
  InstallSupportLibrariesInto(U16(base.Path()), {});
  EXPECT_EQ(Attributes(am20) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY), DWORD{FILE_ATTRIBUTE_HIDDEN});
  RemoveDirectoryW(am20.c_str());
  RemoveDirectoryW((base / L"Ambrell").c_str());
}

}  // namespace
}  // namespace shell
