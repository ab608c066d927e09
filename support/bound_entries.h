// The program's entries into the support libraries, filled by name when the
// libraries are bound at start-up. Every other part of the program calls the
// libraries only through these. Natively, tests point them at fakes or at the
// real decoders built as shared objects.
#pragma once
#include <cstdint>

namespace support {

struct OrvaDeviceInfo { const void* name; const void* driver; };
struct OrvaChannelInfo { uint32_t group; uint32_t format; const void* name; };
using OrvaProc = uint32_t (*)(int32_t input, uint32_t channel, void* buffer, uint32_t length, void* user);

// Audio engine library and its two decoder plug-ins.
struct EngineEntries {
  int32_t (*ChannelGetData)(uint32_t stream, void* destination, int32_t byteCount);
  uint32_t (*StreamCreateFile)(int32_t fromMemory, const void* file, uint64_t offset, uint64_t length, uint32_t flags);
  uint64_t (*ChannelGetLength)(uint32_t stream, uint32_t mode);
  uint64_t (*ChannelGetPosition)(uint32_t stream, uint32_t mode);
  int32_t (*ErrorGetCode)();
  int32_t (*Init)(int32_t device, uint32_t rate, uint32_t flags, void* window, const void* reserved);
  int32_t (*Free)();
  int32_t (*StreamFree)(uint32_t stream);
  uint64_t (*StreamGetFilePosition)(uint32_t stream, uint32_t mode);
  int32_t (*SetDevice)(uint32_t device);
  int32_t (*SetConfig)(uint32_t option, uint32_t value);
  double (*ChannelBytes2Seconds)(uint32_t stream, uint64_t byteCount);
  int32_t (*ChannelGetAttribute)(uint32_t stream, uint32_t attribute, float* value);
  int32_t (*ChannelSetPosition)(uint32_t stream, uint64_t bytePosition, uint32_t mode);
  int32_t (*ChannelSetDevice)(uint32_t stream, uint32_t device);
  int32_t (*ChannelStop)(uint32_t stream);
  int32_t (*ChannelUpdate)(uint32_t stream, uint32_t length);
  // From the FLAC and ALAC plug-ins; same signature as StreamCreateFile.
  uint32_t (*FlacStreamCreateFile)(int32_t fromMemory, const void* file, uint64_t offset, uint64_t length, uint32_t flags);
  uint32_t (*AlacStreamCreateFile)(int32_t fromMemory, const void* file, uint64_t offset, uint64_t length, uint32_t flags);
};

// ASIO output library.
struct OutputEntries {
  uint32_t (*GetVersion)();
  int32_t (*GetDeviceInfo)(uint32_t device, OrvaDeviceInfo* info);
  int32_t (*Init)(int32_t device, uint32_t flags);
  int32_t (*Free)();
  int32_t (*ErrorGetCode)();
  int32_t (*ControlPanel)();
  int32_t (*CheckRate)(double rate);
  int32_t (*SetRate)(double rate);
  int32_t (*Start)(uint32_t bufferLength, uint32_t threads);
  int32_t (*Stop)();
  int32_t (*SetUnicode)(int32_t unicode);
  int32_t (*IsStarted)();
  int32_t (*ChannelReset)(int32_t input, int32_t channel, uint32_t flags);
  int32_t (*ChannelEnable)(int32_t input, uint32_t channel, OrvaProc proc, void* user);
  int32_t (*ChannelJoin)(int32_t input, uint32_t channel, int32_t channel2);
  int32_t (*ChannelPause)(int32_t input, uint32_t channel);
  int32_t (*ChannelSetFormat)(int32_t input, uint32_t channel, uint32_t format);
  int32_t (*ChannelSetVolume)(int32_t input, int32_t channel, float volume);
  int32_t (*ChannelGetInfo)(int32_t input, uint32_t channel, OrvaChannelInfo* info);
};

// Filled by the binding at start-up; all null until then.
inline EngineEntries Orvo{};
inline OutputEntries Orva{};

}  // namespace support
