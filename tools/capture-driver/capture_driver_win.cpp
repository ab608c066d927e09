// The capture driver: a COM in-process ASIO driver that stands in for sound
// hardware in tests. It records every output channel exactly as the host left
// it in the buffer half, per channel pair, and can be told to misbehave.
//
// Settings live under HKLM\SOFTWARE\Classes\CLSID\{clsid}\Capture, so one DLL
// serves any number of registered devices: the class factory is looked up by
// the CLSID asked for.
//
// Files in the output folder, for channel pair p (channels 2p and 2p+1):
//   pair<p>.raw    the samples of every recorded buffer half, interleaved,
//                  in the native type, appended across starts
//   pair<p>.marks  one record per recorded buffer: run, frames, buffer index,
//                  flags (four little-endian 32-bit words); flag 1: the host
//                  called outputReady while filling this buffer
//   pair<p>.start  both buffer halves as the host left them before start,
//                  written at each start: what hardware would play first
//   pair<p>.txt    rate, type, channels, buffer, written at each start
//   driver.txt     one line per driver instance: calls made off the thread
//                  that created it or outside a single-threaded apartment
#include <windows.h>
#include <objbase.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "support/orva/asio_interface.h"
#include "support/orva/sample_format.h"

namespace capture {
namespace {

std::atomic<long> ObjectCount{0};
std::atomic<long> LockCount{0};
std::atomic<uint32_t> RunCounter{0};

// Reset requests are injected once per device while the DLL is loaded, or a
// host that recovers by re-creating the driver would be reset forever.
std::mutex ResetMutex;
std::set<std::wstring> ResetDone;

struct Settings {
  std::wstring clsid;
  std::string name = "Capture";
  std::vector<double> rates{44100.0};
  int32_t channels = 2;
  std::vector<int32_t> groups;
  int32_t type = orva::kFloat32LSB;
  int32_t buffer = 256;
  uint32_t speed = 1;
  std::wstring out;
  bool failInit = false;
  uint32_t resetAfter = 0;
  uint32_t stallAfter = 0;
  bool plainSwitch = false;  // never use the time-info callback
};

std::wstring ReadString(HKEY key, const wchar_t* value) {
  wchar_t text[1024];
  DWORD size = sizeof text - sizeof(wchar_t);
  DWORD kind = 0;
  if (RegQueryValueExW(key, value, nullptr, &kind, reinterpret_cast<BYTE*>(text), &size) !=
          ERROR_SUCCESS ||
      (kind != REG_SZ && kind != REG_EXPAND_SZ)) {
    return {};
  }
  text[size / sizeof(wchar_t)] = 0;
  return text;
}

uint32_t ReadNumber(HKEY key, const wchar_t* value, uint32_t fallback) {
  DWORD number = 0;
  DWORD size = sizeof number;
  DWORD kind = 0;
  if (RegQueryValueExW(key, value, nullptr, &kind, reinterpret_cast<BYTE*>(&number), &size) !=
          ERROR_SUCCESS ||
      kind != REG_DWORD) {
    return fallback;
  }
  return number;
}

std::vector<double> SplitNumbers(const std::wstring& text) {
  std::vector<double> numbers;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(L',', start);
    if (end == std::wstring::npos) end = text.size();
    const std::wstring part = text.substr(start, end - start);
    if (!part.empty()) numbers.push_back(_wtof(part.c_str()));
    start = end + 1;
  }
  return numbers;
}

int32_t TypeFromName(const std::wstring& name) {
  if (name == L"int16") return orva::kInt16LSB;
  if (name == L"int24") return orva::kInt24LSB;
  if (name == L"int32") return orva::kInt32LSB;
  return orva::kFloat32LSB;
}

const char* TypeName(int32_t type) {
  switch (type) {
    case orva::kInt16LSB: return "int16";
    case orva::kInt24LSB: return "int24";
    case orva::kInt32LSB: return "int32";
    default: return "float32";
  }
}

std::string Narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out.push_back(c < 128 ? static_cast<char>(c) : '?');
  return out;
}

bool LoadSettings(const CLSID& clsid, Settings* settings) {
  wchar_t clsidText[64];
  if (StringFromGUID2(clsid, clsidText, 64) == 0) return false;
  const std::wstring path = std::wstring(L"SOFTWARE\\Classes\\CLSID\\") + clsidText + L"\\Capture";
  HKEY key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return false;
  }
  settings->clsid = clsidText;
  const std::wstring name = ReadString(key, L"Name");
  if (!name.empty()) {
    // The name goes back through a 32-byte field of the interface.
    settings->name = Narrow(name).substr(0, 31);
  }
  const std::vector<double> rates = SplitNumbers(ReadString(key, L"Rates"));
  if (!rates.empty()) settings->rates = rates;
  settings->channels = static_cast<int32_t>(ReadNumber(key, L"Channels", 2));
  if (settings->channels < 1 || settings->channels > 64) settings->channels = 2;
  for (double g : SplitNumbers(ReadString(key, L"Groups"))) {
    settings->groups.push_back(static_cast<int32_t>(g));
  }
  settings->type = TypeFromName(ReadString(key, L"Type"));
  settings->buffer = static_cast<int32_t>(ReadNumber(key, L"Buffer", 256));
  if (settings->buffer < 16 || settings->buffer > 16384) settings->buffer = 256;
  settings->speed = ReadNumber(key, L"Speed", 1);
  const std::wstring out = ReadString(key, L"Out");
  wchar_t expanded[1024];
  if (!out.empty() && ExpandEnvironmentStringsW(out.c_str(), expanded, 1024) > 0) {
    settings->out = expanded;
  }
  settings->failInit = ReadNumber(key, L"FailInit", 0) != 0;
  settings->resetAfter = ReadNumber(key, L"ResetAfter", 0);
  settings->stallAfter = ReadNumber(key, L"StallAfter", 0);
  settings->plainSwitch = ReadNumber(key, L"PlainSwitch", 0) != 0;
  RegCloseKey(key);
  return true;
}

void MakeFolders(const std::wstring& path) {
  for (size_t i = 0; i < path.size(); ++i) {
    if ((path[i] == L'\\' || path[i] == L'/') && i > 2) {
      CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
    }
  }
  CreateDirectoryW(path.c_str(), nullptr);
}

class Driver final : public asio::Driver {
 public:
  explicit Driver(Settings settings) : settings_(std::move(settings)), rate_(settings_.rates[0]) {
    ++ObjectCount;
  }

  ~Driver() {
    StopClock();
    DisposeAll();
    if (!settings_.out.empty()) {
      MakeFolders(settings_.out);
      FILE* log = _wfopen((settings_.out + L"\\driver.txt").c_str(), L"ab");
      if (log) {
        std::fprintf(log, "foreign_calls=%ld\n", foreign_.load());
        std::fclose(log);
      }
    }
    --ObjectCount;
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (out == nullptr) return E_POINTER;
    CLSID own;
    CLSIDFromString(settings_.clsid.c_str(), &own);
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, own)) {
      *out = this;
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

  asio::Bool init(void*) override {
    owner_ = GetCurrentThreadId();
    CheckThread();
    if (settings_.failInit) {
      error_ = "Init refused as configured";
      return 0;
    }
    return 1;
  }
  void getDriverName(char* name) override {
    CheckThread();
    std::snprintf(name, 32, "%s", settings_.name.c_str());
  }
  int32_t getDriverVersion() override { return 1; }
  void getErrorMessage(char* text) override { std::snprintf(text, 124, "%s", error_.c_str()); }

  asio::Error start() override {
    CheckThread();
    if (callbacks_ == nullptr) return asio::kInvalidMode;
    if (clock_ != nullptr) return asio::kOk;
    OpenFiles();
    RecordStart();
    stopClock_ = false;
    clock_ = CreateThread(nullptr, 0, &Driver::ClockMain, this, 0, nullptr);
    return clock_ ? asio::kOk : asio::kHwMalfunction;
  }
  asio::Error stop() override {
    CheckThread();
    StopClock();
    return asio::kOk;
  }
  asio::Error getChannels(int32_t* inputs, int32_t* outputs) override {
    CheckThread();
    if (inputs) *inputs = 0;
    if (outputs) *outputs = settings_.channels;
    return asio::kOk;
  }
  asio::Error getLatencies(int32_t* input, int32_t* output) override {
    if (input) *input = frames_ ? frames_ : settings_.buffer;
    if (output) *output = frames_ ? frames_ : settings_.buffer;
    return asio::kOk;
  }
  asio::Error getBufferSize(int32_t* minimum, int32_t* maximum, int32_t* preferred,
                            int32_t* granularity) override {
    CheckThread();
    *minimum = 16;
    *maximum = 16384;
    *preferred = settings_.buffer;
    *granularity = 1;
    return asio::kOk;
  }
  asio::Error canSampleRate(asio::SampleRate rate) override {
    CheckThread();
    for (double r : settings_.rates) {
      if (r == rate) return asio::kOk;
    }
    return asio::kNoClock;
  }
  asio::Error getSampleRate(asio::SampleRate* rate) override {
    CheckThread();
    *rate = rate_;
    return asio::kOk;
  }
  asio::Error setSampleRate(asio::SampleRate rate) override {
    CheckThread();
    if (canSampleRate(rate) != asio::kOk) return asio::kNoClock;
    rate_ = rate;
    return asio::kOk;
  }
  asio::Error getClockSources(asio::ClockSource* clocks, int32_t* count) override {
    std::memset(clocks, 0, sizeof *clocks);
    clocks->isCurrentSource = 1;
    std::snprintf(clocks->name, 32, "Internal");
    *count = 1;
    return asio::kOk;
  }
  asio::Error setClockSource(int32_t reference) override {
    return reference == 0 ? asio::kOk : asio::kInvalidParameter;
  }
  asio::Error getSamplePosition(asio::Samples* position, asio::TimeStamp* stamp) override {
    const uint64_t samples = played_.load();
    position->hi = static_cast<uint32_t>(samples >> 32);
    position->lo = static_cast<uint32_t>(samples);
    stamp->hi = stamp->lo = 0;
    return asio::kOk;
  }
  asio::Error getChannelInfo(asio::ChannelInfo* info) override {
    CheckThread();
    if (info->isInput || info->channel < 0 || info->channel >= settings_.channels) {
      return asio::kInvalidParameter;
    }
    const size_t c = static_cast<size_t>(info->channel);
    info->channelGroup = c < settings_.groups.size() ? settings_.groups[c] : info->channel / 2;
    info->type = settings_.type;
    info->isActive = c < outputs_.size() && outputs_[c] != nullptr;
    std::snprintf(info->name, 32, "Out %d", info->channel + 1);
    return asio::kOk;
  }
  asio::Error createBuffers(asio::BufferInfo* infos, int32_t count, int32_t frames,
                            asio::Callbacks* callbacks) override {
    CheckThread();
    if (clock_ != nullptr) return asio::kInvalidMode;
    if (frames < 16 || frames > 16384 || callbacks == nullptr) return asio::kInvalidMode;
    DisposeAll();
    const size_t half = orva::SampleBytes(settings_.type) * static_cast<size_t>(frames);
    outputs_.assign(static_cast<size_t>(settings_.channels), nullptr);
    for (int32_t i = 0; i < count; ++i) {
      asio::BufferInfo& b = infos[i];
      if (b.isInput || b.channelNum < 0 || b.channelNum >= settings_.channels ||
          outputs_[static_cast<size_t>(b.channelNum)] != nullptr) {
        DisposeAll();
        return asio::kInvalidParameter;
      }
      // Not zeroed: like hardware memory, the halves hold noise until the
      // host silences or fills them.
      uint8_t* block = new uint8_t[2 * half];
      std::memset(block, 0xA5, 2 * half);
      outputs_[static_cast<size_t>(b.channelNum)] = block;
      b.buffers[0] = block;
      b.buffers[1] = block + half;
    }
    frames_ = frames;
    callbacks_ = callbacks;
    timeInfo_ = !settings_.plainSwitch &&
                callbacks->asioMessage(asio::kSelectorSupported, asio::kSupportsTimeInfo, nullptr,
                                       nullptr) != 0 &&
                callbacks->asioMessage(asio::kSupportsTimeInfo, 0, nullptr, nullptr) != 0;
    return asio::kOk;
  }
  asio::Error disposeBuffers() override {
    CheckThread();
    StopClock();
    if (callbacks_ == nullptr) return asio::kInvalidMode;
    DisposeAll();
    return asio::kOk;
  }
  asio::Error controlPanel() override {
    CheckThread();
    return asio::kOk;
  }
  asio::Error future(int32_t, void*) override { return asio::kNotPresent; }
  asio::Error outputReady() override {
    outputReady_ = true;
    return asio::kOk;
  }

 private:
  // Counts calls from a thread other than the creator's, or from outside a
  // single-threaded apartment: the host promises neither happens.
  void CheckThread() {
    APTTYPE type;
    APTTYPEQUALIFIER qualifier;
    const bool sta = SUCCEEDED(CoGetApartmentType(&type, &qualifier)) &&
                     (type == APTTYPE_STA || type == APTTYPE_MAINSTA);
    if (GetCurrentThreadId() != owner_ || !sta) ++foreign_;
  }

  void DisposeAll() {
    for (uint8_t* block : outputs_) delete[] block;
    outputs_.clear();
    callbacks_ = nullptr;
    frames_ = 0;
  }

  void OpenFiles() {
    CloseFiles();
    run_ = RunCounter++;
    if (settings_.out.empty()) return;
    MakeFolders(settings_.out);
    const int32_t pairs = (settings_.channels + 1) / 2;
    for (int32_t p = 0; p < pairs; ++p) {
      const std::wstring base = settings_.out + L"\\pair" + std::to_wstring(p);
      Pair pair;
      pair.raw = _wfopen((base + L".raw").c_str(), L"ab");
      pair.marks = _wfopen((base + L".marks").c_str(), L"ab");
      FILE* info = _wfopen((base + L".txt").c_str(), L"wb");
      if (info) {
        std::fprintf(info, "rate=%.0f\ntype=%s\nchannels=%d\nbuffer=%d\n", rate_,
                     TypeName(settings_.type), settings_.channels - 2 * p >= 2 ? 2 : 1, frames_);
        std::fclose(info);
      }
      pairs_.push_back(pair);
    }
  }

  void CloseFiles() {
    for (Pair& pair : pairs_) {
      if (pair.raw) std::fclose(pair.raw);
      if (pair.marks) std::fclose(pair.marks);
    }
    pairs_.clear();
  }

  // Interleaves one half of the pair's channels into scratch_.
  void Interleave(size_t pair, int32_t half) {
    const size_t bytes = orva::SampleBytes(settings_.type);
    const size_t first = 2 * pair;
    const size_t count = first + 1 < static_cast<size_t>(settings_.channels) ? 2 : 1;
    scratch_.assign(bytes * count * static_cast<size_t>(frames_), 0);
    for (size_t k = 0; k < count; ++k) {
      const uint8_t* block = first + k < outputs_.size() ? outputs_[first + k] : nullptr;
      if (block == nullptr) continue;
      const uint8_t* source = block + static_cast<size_t>(half) * bytes * frames_;
      for (int32_t f = 0; f < frames_; ++f) {
        std::memcpy(&scratch_[(static_cast<size_t>(f) * count + k) * bytes], source + f * bytes,
                    bytes);
      }
    }
  }

  void RecordStart() {
    if (settings_.out.empty()) return;
    for (size_t p = 0; p < pairs_.size(); ++p) {
      const std::wstring path = settings_.out + L"\\pair" + std::to_wstring(p) + L".start";
      FILE* file = _wfopen(path.c_str(), L"wb");
      if (file == nullptr) continue;
      for (int32_t half = 0; half < 2; ++half) {
        Interleave(p, half);
        std::fwrite(scratch_.data(), 1, scratch_.size(), file);
      }
      std::fclose(file);
    }
  }

  void Record(int32_t half, uint32_t index, bool ready) {
    for (size_t p = 0; p < pairs_.size(); ++p) {
      Pair& pair = pairs_[p];
      Interleave(p, half);
      if (pair.raw) {
        std::fwrite(scratch_.data(), 1, scratch_.size(), pair.raw);
        std::fflush(pair.raw);
      }
      if (pair.marks) {
        const uint32_t mark[4] = {run_, static_cast<uint32_t>(frames_), index, ready ? 1u : 0u};
        std::fwrite(mark, sizeof mark, 1, pair.marks);
        std::fflush(pair.marks);
      }
    }
  }

  static DWORD WINAPI ClockMain(void* self) {
    static_cast<Driver*>(self)->Clock();
    return 0;
  }

  void Clock() {
    LARGE_INTEGER frequency, begin, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&begin);
    asio::Time time{};
    // Some drivers announce the rate they already run at whenever they
    // start; a host must not take that for a change.
    callbacks_->sampleRateDidChange(rate_);
    for (uint32_t index = 0; !stopClock_; ++index) {
      if (settings_.stallAfter != 0 && index >= settings_.stallAfter) {
        while (!stopClock_) Sleep(1);
        break;
      }
      if (settings_.speed != 0) {
        // Pace the buffers at speed × real time.
        const double due = static_cast<double>(index) * frames_ / rate_ / settings_.speed;
        for (;;) {
          QueryPerformanceCounter(&now);
          const double elapsed = static_cast<double>(now.QuadPart - begin.QuadPart) /
                                 static_cast<double>(frequency.QuadPart);
          if (elapsed >= due || stopClock_) break;
          Sleep(static_cast<DWORD>((due - elapsed) * 1000) > 1 ? 1 : 0);
        }
        if (stopClock_) break;
      }
      const int32_t half = static_cast<int32_t>(index & 1);
      outputReady_ = false;
      if (timeInfo_) {
        const uint64_t position = played_.load();
        time.timeInfo.samplePosition.hi = static_cast<uint32_t>(position >> 32);
        time.timeInfo.samplePosition.lo = static_cast<uint32_t>(position);
        time.timeInfo.sampleRate = rate_;
        time.timeInfo.flags = 7;  // system time, sample position and rate valid
        callbacks_->bufferSwitchTimeInfo(&time, half, 0);
      } else {
        callbacks_->bufferSwitch(half, 0);
      }
      Record(half, index, outputReady_);
      played_ += static_cast<uint64_t>(frames_);
      if (settings_.resetAfter != 0 && index + 1 == settings_.resetAfter) {
        bool first;
        {
          std::lock_guard<std::mutex> lock(ResetMutex);
          first = ResetDone.insert(settings_.clsid).second;
        }
        if (first) callbacks_->asioMessage(asio::kResetRequest, 0, nullptr, nullptr);
      }
    }
  }

  void StopClock() {
    if (clock_ == nullptr) return;
    stopClock_ = true;
    WaitForSingleObject(clock_, INFINITE);
    CloseHandle(clock_);
    clock_ = nullptr;
    CloseFiles();
  }

  struct Pair {
    FILE* raw = nullptr;
    FILE* marks = nullptr;
  };

  Settings settings_;
  std::atomic<ULONG> refs_{1};
  std::atomic<long> foreign_{0};
  DWORD owner_ = 0;
  std::string error_;
  double rate_;
  int32_t frames_ = 0;
  asio::Callbacks* callbacks_ = nullptr;
  bool timeInfo_ = false;
  std::vector<uint8_t*> outputs_;
  std::vector<Pair> pairs_;
  std::vector<uint8_t> scratch_;
  uint32_t run_ = 0;
  HANDLE clock_ = nullptr;
  std::atomic<bool> stopClock_{false};
  std::atomic<uint64_t> played_{0};
  std::atomic<bool> outputReady_{false};
};

class Factory final : public IClassFactory {
 public:
  explicit Factory(Settings settings) : settings_(std::move(settings)) { ++ObjectCount; }
  ~Factory() { --ObjectCount; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
      *out = this;
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    Driver* driver = new Driver(settings_);
    const HRESULT result = driver->QueryInterface(riid, out);
    driver->Release();
    return result;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock) {
      ++LockCount;
    } else {
      --LockCount;
    }
    return S_OK;
  }

 private:
  Settings settings_;
  std::atomic<ULONG> refs_{1};
};

}  // namespace
}  // namespace capture

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid,
                                                                          void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  capture::Settings settings;
  if (!capture::LoadSettings(clsid, &settings)) return CLASS_E_CLASSNOTAVAILABLE;
  capture::Factory* factory = new capture::Factory(std::move(settings));
  const HRESULT result = factory->QueryInterface(riid, out);
  factory->Release();
  return result;
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
  return capture::ObjectCount == 0 && capture::LockCount == 0 ? S_OK : S_FALSE;
}
