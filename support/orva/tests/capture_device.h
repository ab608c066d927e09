// Test helpers: orva.dll bound by name as the program binds it, and capture
// devices registered for one test with their own name, CLSID and folder.
#pragma once
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "support/bound_entries.h"

namespace orvatest {

// The library, loaded once per process; fails the test when it is missing.
const support::OutputEntries& Orva();

struct DeviceSettings {
  std::wstring rates = L"44100,48000";
  uint32_t channels = 2;
  std::wstring groups;
  std::wstring type = L"float32";
  uint32_t buffer = 64;
  uint32_t speed = 0;  // as fast as the host returns: tests count buffers
  bool failInit = false;
  uint32_t resetAfter = 0;
  uint32_t stallAfter = 0;
  bool plainSwitch = false;  // the driver calls bufferSwitch, not the time-info variant
};

struct Mark {
  uint32_t run;
  uint32_t frames;
  uint32_t index;
  uint32_t flags;  // 1: the host called outputReady for this buffer
};

struct Recording {
  std::vector<uint8_t> raw;
  std::vector<Mark> marks;
  std::string info;  // the sidecar text
  std::vector<uint8_t> start;  // both halves as they were at the last start
};

class CaptureDevice {
 public:
  CaptureDevice(const std::wstring& base, const DeviceSettings& settings);
  ~CaptureDevice();
  CaptureDevice(const CaptureDevice&) = delete;
  CaptureDevice& operator=(const CaptureDevice&) = delete;

  // The device's number in orva's list, or -1; leaves orva in UTF-16 mode.
  int32_t Index() const;
  // The registered name: the given one with this process's number.
  const std::wstring& Name() const { return name_; }
  const std::wstring& Clsid() const { return clsid_; }
  const std::wstring& Folder() const { return folder_; }
  Recording Read(int pair) const;
  size_t MarkCount(int pair) const;
  // One line per driver instance that ended: "foreign_calls=N".
  std::vector<std::string> DriverLog() const;

 private:
  std::wstring name_;
  std::wstring clsid_;
  std::wstring folder_;
};

// Reads a whole file; empty when missing.
std::vector<uint8_t> ReadFileBytes(const std::wstring& path);

// Polls until the condition holds; false after a minute, so a broken device
// fails its test instead of hanging the whole run.
bool WaitUntil(const std::function<bool()>& condition);

// A callback source: sample i of the interleaved stream is value(i). Every
// `shape` entry in turn says how much of a call is supplied: 1 all, 0.5
// half, 0 nothing.
struct Player {
  std::function<float(uint64_t)> value;
  std::vector<double> shape{1.0};
  std::atomic<uint64_t> produced{0};
  std::atomic<uint32_t> calls{0};
  std::atomic<uint32_t> lastLength{0};
  std::atomic<uint32_t> lastChannel{0};
};
uint32_t PlayerProc(int32_t input, uint32_t channel, void* buffer, uint32_t length, void* user);

// Init, gain, rate, enable, join, float format, start: the program's order.
bool StartPair(int32_t device, uint32_t firstChannel, Player* player, float gain, double rate);

}  // namespace orvatest
