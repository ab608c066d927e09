// The COM interface of ASIO drivers, written from its public description:
// types, time info, the four host callbacks and the driver's vtable. On x64
// the driver methods use the ordinary calling convention, so plain virtual
// functions after IUnknown's lay the vtable out as drivers expect. Shared by
// the host (orva.dll) and our capture driver.
#pragma once
#include <windows.h>
#include <unknwn.h>

#include <cstdint>

namespace asio {

using Bool = int32_t;  // the interface's 32-bit long
using Error = int32_t;
using SampleRate = double;

enum : Error {
  kOk = 0,
  kSuccess = 0x3f4847a0,
  kNotPresent = -1000,
  kHwMalfunction = -999,
  kInvalidParameter = -998,
  kInvalidMode = -997,
  kSpNotAdvancing = -996,
  kNoClock = -995,
  kNoMemory = -994,
};

// Selectors of the host's message callback.
enum : int32_t {
  kSelectorSupported = 1,
  kEngineVersion = 2,
  kResetRequest = 3,
  kBufferSizeChange = 4,
  kResyncRequest = 5,
  kLatenciesChanged = 6,
  kSupportsTimeInfo = 7,
  kSupportsTimeCode = 8,
  kMmcCommand = 9,
  kSupportsInputMonitor = 10,
  kSupportsInputGain = 11,
  kSupportsInputMeter = 12,
  kSupportsOutputGain = 13,
  kSupportsOutputMeter = 14,
  kOverload = 15,
};

struct Samples {  // 64-bit count as two 32-bit halves
  uint32_t hi;
  uint32_t lo;
};
using TimeStamp = Samples;

struct TimeInfo {
  double speed;
  TimeStamp systemTime;
  Samples samplePosition;
  SampleRate sampleRate;
  uint32_t flags;
  char reserved[12];
};

struct TimeCode {
  double speed;
  Samples timeCodeSamples;
  uint32_t flags;
  char future[64];
};

struct Time {
  int32_t reserved[4];
  TimeInfo timeInfo;
  TimeCode timeCode;
};

struct ClockSource {
  int32_t index;
  int32_t associatedChannel;
  int32_t associatedGroup;
  Bool isCurrentSource;
  char name[32];
};

struct ChannelInfo {
  int32_t channel;
  Bool isInput;
  Bool isActive;
  int32_t channelGroup;
  int32_t type;
  char name[32];
};

struct BufferInfo {
  Bool isInput;
  int32_t channelNum;
  void* buffers[2];
};

struct Callbacks {
  void (*bufferSwitch)(int32_t doubleBufferIndex, Bool directProcess);
  void (*sampleRateDidChange)(SampleRate rate);
  int32_t (*asioMessage)(int32_t selector, int32_t value, void* message, double* opt);
  Time* (*bufferSwitchTimeInfo)(Time* params, int32_t doubleBufferIndex, Bool directProcess);
};

struct Driver : public IUnknown {
  virtual Bool init(void* sysHandle) = 0;
  virtual void getDriverName(char* name) = 0;  // at most 32 bytes
  virtual int32_t getDriverVersion() = 0;
  virtual void getErrorMessage(char* text) = 0;  // at most 124 bytes
  virtual Error start() = 0;
  virtual Error stop() = 0;
  virtual Error getChannels(int32_t* inputs, int32_t* outputs) = 0;
  virtual Error getLatencies(int32_t* input, int32_t* output) = 0;
  virtual Error getBufferSize(int32_t* minimum, int32_t* maximum, int32_t* preferred,
                              int32_t* granularity) = 0;
  virtual Error canSampleRate(SampleRate rate) = 0;
  virtual Error getSampleRate(SampleRate* rate) = 0;
  virtual Error setSampleRate(SampleRate rate) = 0;
  virtual Error getClockSources(ClockSource* clocks, int32_t* count) = 0;
  virtual Error setClockSource(int32_t reference) = 0;
  virtual Error getSamplePosition(Samples* position, TimeStamp* stamp) = 0;
  virtual Error getChannelInfo(ChannelInfo* info) = 0;
  virtual Error createBuffers(BufferInfo* infos, int32_t count, int32_t frames,
                              Callbacks* callbacks) = 0;
  virtual Error disposeBuffers() = 0;
  virtual Error controlPanel() = 0;
  virtual Error future(int32_t selector, void* option) = 0;
  virtual Error outputReady() = 0;
};

}  // namespace asio
