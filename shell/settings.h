// The settings file "lp.is" beside the executable: the chosen output device,
// its channel pair, three of its rate flags, the start volume and two options.
//
// Layout, little-endian, no padding: magic 0x01343B0D (4 bytes); the device
// name as UTF-16LE code units without terminator; CR LF as UTF-16LE; then one
// byte each: output channel, 96 kHz, 192 kHz and 384 kHz flags, volume level,
// volume control, view cover, and 255 (written, never read).
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace shell {

inline constexpr uint32_t SettingsMagic = 0x01343B0D;

struct SettingsRecord {
  std::u16string DeviceName;
  int8_t OutputChannel = 0;
  int8_t Supports96k = 0;
  int8_t Supports192k = 0;
  int8_t Supports384k = 0;
  int8_t VolumeLevel = 0;
  int8_t VolumeControl = 0;
  int8_t ViewCover = 0;
};

// Where the settings file's bytes come from, one at a time in file order.
struct ByteSource {
  virtual ~ByteSource() = default;
  // False at the end of the file (or when it cannot be read further).
  virtual bool Next(uint8_t& byte) = 0;
};

// Reads a file that is at least 5 bytes long. Returns 1 when the magic
// matched and the record was read, 0 otherwise. A value past the end of the
// file reads as 0; `record` is left alone when the magic does not match.
int8_t ReadSettingsRecord(ByteSource& source, SettingsRecord& record);

// The whole reading rule: `source` is the file of at least 5 bytes, or null
// when the file is absent, shorter or cannot be opened. Returns the validity:
// 0 also when the record's volume level (read now or left from before) lies
// outside 0..95.
int8_t ReadSettingsFile(ByteSource* source, SettingsRecord& record);

// The bytes SaveSettings writes: 16 + 2n for a name of n code units.
std::vector<uint8_t> SettingsFileBytes(const SettingsRecord& record);

// Program-wide state of the settings file.
inline SettingsRecord LoadedSettings;
inline int8_t SettingsValid = 0;
inline std::u16string ProgramFolder;  // ends in a backslash

// Sets ProgramFolder, LoadedSettings and SettingsValid from ProgramFolder + "lp.is".
void LoadSettings();
// Writes `current` to ProgramFolder + "lp.is", replacing the old file in one
// step; nothing is reported.
void SaveSettings(const SettingsRecord& current);

}  // namespace shell
