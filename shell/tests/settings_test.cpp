#include "shell/settings.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace shell {
namespace {

struct BytesSource : ByteSource {
  explicit BytesSource(const std::vector<uint8_t>& b) : bytes(b) {}
  bool Next(uint8_t& byte) override {
    if (pos == bytes.size()) return false;
    byte = bytes[pos++];
    return true;
  }
  const std::vector<uint8_t>& bytes;
  size_t pos = 0;
};

// Loads bytes the way the program loads the file: a file under 5 bytes is
// not read at all.
int8_t Load(const std::vector<uint8_t>& bytes, SettingsRecord& record) {
  BytesSource source(bytes);
  return ReadSettingsFile(bytes.size() >= 5 ? &source : nullptr, record);
}

std::vector<uint8_t> Magic() { return {0x0D, 0x3B, 0x34, 0x01}; }

std::vector<uint8_t> Concat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

struct Case {
  const char* name;
  std::vector<uint8_t> bytes;
  int8_t valid;
  std::u16string deviceName;
  std::vector<int8_t> values;  // channel, 96k, 192k, 384k, volume, control, cover
};

TEST(SettingsFile, ReadsEveryShapeOfFile) {
  const std::vector<uint8_t> crlf = {0x0D, 0, 0x0A, 0};
  const Case cases[] = {
      {"magic and line end only", Concat(Magic(), crlf), 1, u"", {0, 0, 0, 0, 0, 0, 0}},
      {"exactly five bytes", Concat(Magic(), {0x41}), 1, u"", {0, 0, 0, 0, 0, 0, 0}},
      {"four bytes is too short", Magic(), 0, u"", {0, 0, 0, 0, 0, 0, 0}},
      {"empty", {}, 0, u"", {0, 0, 0, 0, 0, 0, 0}},
      {"wrong magic", {0x0D, 0x3B, 0x34, 0x02, 0x41, 0, 0x0D, 0, 0x0A, 0, 1, 1, 1, 1, 50, 1, 1, 0xFF}, 0, u"",
       {0, 0, 0, 0, 0, 0, 0}},
      {"full record", Concat(Magic(), {0x41, 0, 0x42, 0, 0x0D, 0, 0x0A, 0, 2, 1, 0, 1, 95, 1, 0, 0xFF}), 1, u"AB",
       {2, 1, 0, 1, 95, 1, 0}},
      {"no line end: name runs to the end", Concat(Magic(), {0x41, 0, 0x42, 0}), 1, u"AB", {0, 0, 0, 0, 0, 0, 0}},
      {"odd length: the half unit is used up", Concat(Magic(), {0x41, 0, 0x42}), 1, u"A", {0, 0, 0, 0, 0, 0, 0}},
      {"values cut short read as zero", Concat(Magic(), {0x0D, 0, 0x0A, 0, 3, 1, 1}), 1, u"", {3, 1, 1, 0, 0, 0, 0}},
      {"lone line feed ends the name", Concat(Magic(), {0x41, 0, 0x0A, 0, 1, 1, 1, 1, 10, 0, 1}), 1, u"A",
       {1, 1, 1, 1, 10, 0, 1}},
      {"zero unit ends the name", Concat(Magic(), {0x41, 0, 0, 0, 1, 0, 0, 0, 10, 0, 1}), 1, u"A",
       {1, 0, 0, 0, 10, 0, 1}},
      {"lone carriage return: what follows are the values",
       Concat(Magic(), {0x41, 0, 0x0D, 0, 4, 1, 0, 0, 20, 1, 1}), 1, u"A", {4, 1, 0, 0, 20, 1, 1}},
      {"non-ASCII name", Concat(Magic(), {0xE5, 0x65, 0x2C, 0x67, 0x0D, 0, 0x0A, 0, 0, 0, 0, 0, 5, 0, 1}), 1,
       u"\u65e5\u672c", {0, 0, 0, 0, 5, 0, 1}},
      {"volume 96 is invalid", Concat(Magic(), {0x0D, 0, 0x0A, 0, 0, 0, 0, 0, 96, 0, 1}), 0, u"",
       {0, 0, 0, 0, 96, 0, 1}},
      {"negative volume byte is invalid", Concat(Magic(), {0x0D, 0, 0x0A, 0, 0, 0, 0, 0, 0x80, 0, 1}), 0, u"",
       {0, 0, 0, 0, -128, 0, 1}},
  };
  for (const auto& c : cases) {
    SettingsRecord record;
    EXPECT_EQ(Load(c.bytes, record), c.valid) << c.name;
    EXPECT_EQ(record.DeviceName, c.deviceName) << c.name;
    const std::vector<int8_t> values = {record.OutputChannel, record.Supports96k,   record.Supports192k,
                                        record.Supports384k,  record.VolumeLevel,   record.VolumeControl,
                                        record.ViewCover};
    EXPECT_EQ(values, c.values) << c.name;
  }
}

TEST(SettingsFile, AVolumeLeftFromBeforeStillCounts) {
  SettingsRecord record;
  record.VolumeLevel = 100;
  EXPECT_EQ(ReadSettingsFile(nullptr, record), 0);
  record.VolumeLevel = 95;
  EXPECT_EQ(ReadSettingsFile(nullptr, record), 0);  // absent file: never valid
}

TEST(SettingsFile, WritesTheFixedLayoutAndReadsItBack) {
  SettingsRecord saved{u"Speakers \u00e9\u65e5", 6, 1, 0, 1, 95, 1, 0};
  const std::vector<uint8_t> bytes = SettingsFileBytes(saved);
  ASSERT_EQ(bytes.size(), 16 + 2 * saved.DeviceName.size());
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 4), Magic());
  EXPECT_EQ(bytes.back(), 0xFF);

  SettingsRecord loaded;
  ASSERT_EQ(Load(bytes, loaded), 1);
  EXPECT_EQ(loaded.DeviceName, saved.DeviceName);
  EXPECT_EQ(SettingsFileBytes(loaded), bytes);

  const std::vector<uint8_t> empty = SettingsFileBytes(SettingsRecord{});
  EXPECT_EQ(empty, (std::vector<uint8_t>{0x0D, 0x3B, 0x34, 0x01, 0x0D, 0, 0x0A, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF}));
}

TEST(SettingsFile, LongNameIsReadWhole) {
  std::vector<uint8_t> bytes = Magic();
  for (int i = 0; i < 100000; ++i) {
    bytes.push_back('x');
    bytes.push_back(0);
  }
  SettingsRecord record;
  EXPECT_EQ(Load(bytes, record), 1);
  EXPECT_EQ(record.DeviceName.size(), 100000u);
  EXPECT_EQ(record.VolumeLevel, 0);
}

}  // namespace
}  // namespace shell
