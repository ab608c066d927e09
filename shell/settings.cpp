#include "shell/settings.h"

namespace shell {

namespace {
// The file's bytes with room to put back the two bytes read after a lone
// carriage return, which belong to the values, not to a line feed.
class Cursor {
 public:
  explicit Cursor(ByteSource& source) : source_(source) {}

  bool Byte(uint8_t& b) {
    if (pushedBack_ > 0) {
      b = pushed_[--pushedBack_];
      return true;
    }
    return source_.Next(b);
  }

  int8_t Value() {
    uint8_t b = 0;
    return Byte(b) ? static_cast<int8_t>(b) : 0;
  }

  // A half code unit at the end of the file ends the name and is used up.
  bool Unit(char16_t& unit) {
    uint8_t lo = 0, hi = 0;
    if (!Byte(lo) || !Byte(hi)) return false;
    unit = static_cast<char16_t>(lo | (hi << 8));
    return true;
  }

  void SkipLineFeed() {
    uint8_t lo = 0, hi = 0;
    if (!Byte(lo)) return;
    if (!Byte(hi)) {
      pushed_[pushedBack_++] = lo;
      return;
    }
    if (lo == 0x0A && hi == 0) return;
    pushed_[pushedBack_++] = hi;
    pushed_[pushedBack_++] = lo;
  }

 private:
  ByteSource& source_;
  uint8_t pushed_[2] = {};
  int pushedBack_ = 0;
};
}  // namespace

int8_t ReadSettingsRecord(ByteSource& source, SettingsRecord& record) {
  Cursor cursor(source);
  uint32_t magic = 0;
  for (int i = 0; i < 4; ++i) {
    uint8_t b = 0;
    if (!cursor.Byte(b)) return 0;
    magic |= static_cast<uint32_t>(b) << (8 * i);
  }
  if (magic != SettingsMagic) return 0;

  record.DeviceName.clear();
  char16_t unit = 0;
  while (cursor.Unit(unit)) {
    if (unit == u'\r') {
      cursor.SkipLineFeed();
      break;
    }
    if (unit == u'\n' || unit == 0) break;
    record.DeviceName += unit;
  }
  record.OutputChannel = cursor.Value();
  record.Supports96k = cursor.Value();
  record.Supports192k = cursor.Value();
  record.Supports384k = cursor.Value();
  record.VolumeLevel = cursor.Value();
  record.VolumeControl = cursor.Value();
  record.ViewCover = cursor.Value();
  return 1;
}

int8_t ReadSettingsFile(ByteSource* source, SettingsRecord& record) {
  int8_t valid = source ? ReadSettingsRecord(*source, record) : 0;
  if (record.VolumeLevel < 0 || record.VolumeLevel > 95) valid = 0;
  return valid;
}

std::vector<uint8_t> SettingsFileBytes(const SettingsRecord& record) {
  std::vector<uint8_t> bytes;
  bytes.reserve(16 + 2 * record.DeviceName.size());
  for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(SettingsMagic >> (8 * i)));
  for (char16_t c : record.DeviceName) {
    bytes.push_back(static_cast<uint8_t>(c & 0xFF));
    bytes.push_back(static_cast<uint8_t>(c >> 8));
  }
  for (uint8_t b : {0x0D, 0x00, 0x0A, 0x00}) bytes.push_back(b);
  for (int8_t v : {record.OutputChannel, record.Supports96k, record.Supports192k, record.Supports384k,
                   record.VolumeLevel, record.VolumeControl, record.ViewCover}) {
    bytes.push_back(static_cast<uint8_t>(v));
  }
  bytes.push_back(0xFF);
  return bytes;
}

}  // namespace shell
