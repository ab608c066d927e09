#include <windows.h>

#include <gtest/gtest.h>

#include "shell/settings_file.h"
#include "win_test_util.h"

namespace shell {
namespace {

using testutil::ReadWholeFile;
using testutil::ScratchFolder;
using testutil::WriteWholeFile;

std::u16string U16(const std::wstring& s) { return std::u16string(s.begin(), s.end()); }

TEST(SettingsFileOnDisk, SaveThenLoadGivesTheSameSettings) {
  ScratchFolder folder(L"veloran-settings-\u65e5\u672c");
  const std::wstring path = folder / L"lp.is";
  const SettingsRecord saved{u"Capture \u0416", 2, 1, 1, 0, 42, 1, 0};
  ASSERT_TRUE(SaveSettingsFile(U16(path), saved));
  EXPECT_EQ(ReadWholeFile(path), SettingsFileBytes(saved));
  EXPECT_FALSE(testutil::FileExists(folder / L"lp.is.new"));

  LoadedSettings = SettingsRecord{};
  LoadSettingsFile(U16(path));
  EXPECT_EQ(SettingsValid, 1);
  EXPECT_EQ(LoadedSettings.DeviceName, saved.DeviceName);
  EXPECT_EQ(LoadedSettings.VolumeLevel, 42);
  EXPECT_EQ(LoadedSettings.Supports192k, 1);
}

TEST(SettingsFileOnDisk, AbsentShortLockedAndEmptyFilesAreInvalid) {
  ScratchFolder folder(L"veloran-settings-bad");
  const std::wstring path = folder / L"lp.is";

  LoadSettingsFile(U16(path));
  EXPECT_EQ(SettingsValid, 0) << "absent";

  ASSERT_TRUE(WriteWholeFile(path, {}));
  LoadSettingsFile(U16(path));
  EXPECT_EQ(SettingsValid, 0) << "empty";

  ASSERT_TRUE(WriteWholeFile(path, {0x0D, 0x3B, 0x34, 0x01}));
  LoadSettingsFile(U16(path));
  EXPECT_EQ(SettingsValid, 0) << "four bytes";

  ASSERT_TRUE(WriteWholeFile(path, {0x0D, 0x3B, 0x34, 0x01, 0x0D, 0, 0x0A, 0}));
  HANDLE held = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  LoadSettingsFile(U16(path));
  EXPECT_EQ(SettingsValid, 0) << "held open by another";
  CloseHandle(held);
  LoadSettingsFile(U16(path));
  EXPECT_EQ(SettingsValid, 1) << "released";

  ASSERT_TRUE(CreateDirectoryW((folder / L"dir.is").c_str(), nullptr));
  LoadSettingsFile(U16(folder / L"dir.is"));
  EXPECT_EQ(SettingsValid, 0) << "a folder of that name";
  RemoveDirectoryW((folder / L"dir.is").c_str());
}

// Writes half of what it is given, then fails, as a full disk would.
int64_t FailHalfWay(void* file, std::span<const uint8_t> bytes) {
  DWORD written = 0;
  WriteFile(static_cast<HANDLE>(file), bytes.data(), static_cast<DWORD>(bytes.size() / 2), &written, nullptr);
  return -1;
}

TEST(SettingsFileOnDisk, ASaveThatFailsPartWayLeavesTheOldFileWhole) {
  ScratchFolder folder(L"veloran-settings-fail");
  const std::wstring path = folder / L"lp.is";
  const SettingsRecord old{u"Old device", 0, 1, 0, 0, 95, 0, 1};
  ASSERT_TRUE(SaveSettingsFile(U16(path), old));
  const std::vector<uint8_t> before = ReadWholeFile(path);

  const SettingsRecord next{u"A much longer device name than before", 4, 0, 0, 0, 10, 1, 1};
  EXPECT_FALSE(SaveSettingsFile(U16(path), next, FailHalfWay));
  EXPECT_EQ(ReadWholeFile(path), before);
  EXPECT_FALSE(testutil::FileExists(folder / L"lp.is.new"));

  LoadSettingsFile(U16(path));
  EXPECT_EQ(SettingsValid, 1);
  EXPECT_EQ(LoadedSettings.DeviceName, u"Old device");
}

TEST(SettingsFileOnDisk, OverwritesALeftoverTemporaryFile) {
  ScratchFolder folder(L"veloran-settings-tmp");
  const std::wstring path = folder / L"lp.is";
  ASSERT_TRUE(WriteWholeFile(folder / L"lp.is.new", {1, 2, 3}));
  const SettingsRecord record{u"", 0, 0, 0, 0, 0, 0, 1};
  EXPECT_TRUE(SaveSettingsFile(U16(path), record));
  EXPECT_EQ(ReadWholeFile(path), SettingsFileBytes(record));
}

}  // namespace
}  // namespace shell
