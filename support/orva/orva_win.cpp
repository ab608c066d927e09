// orva.dll: the host of ASIO drivers behind the Orva_ASIO_* entries.
//
// Every call on the driver runs on one thread of ours, a single-threaded COM
// apartment that lives while a driver is loaded; callers hand it a job and
// wait. The driver's own thread only runs the buffer-switch callbacks, which
// read settings through atomics and fill from buffers prepared before start:
// no lock, allocation or wait there. Requests the driver sends from its thread
// (reset, buffer-size change, resync, a new rate) only raise a flag that wakes
// our thread, which rebuilds the device.
#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "support/orva/asio_interface.h"
#include "support/orva/half_fill.h"
#include "support/orva/orva.h"
#include "support/orva/sample_format.h"

namespace orva {
namespace {

constexpr uint32_t kMaxChannels = 128;
constexpr uint32_t kVersion = 0x01000000;
constexpr uint32_t kAllChannels = 0xFFFFFFFFu;  // -1 passed as unsigned

std::atomic<int32_t> LastError{ORVA_OK};

bool Fail(int32_t code) {
  LastError = code;
  return false;
}

bool Succeed() {
  LastError = ORVA_OK;
  return true;
}

// Texts handed out by pointer stay valid until the library is unloaded, so
// each distinct text is kept once, forever.
namespace texts {
std::mutex Mutex;
std::map<std::string, const char*> Ansi;
std::map<std::u16string, const char16_t*> Wide;
std::deque<std::string> AnsiStore;
std::deque<std::u16string> WideStore;

const char* Keep(const std::string& text) {
  std::lock_guard<std::mutex> lock(Mutex);
  auto found = Ansi.find(text);
  if (found != Ansi.end()) return found->second;
  AnsiStore.push_back(text);
  return Ansi[text] = AnsiStore.back().c_str();
}

const char16_t* Keep(const std::u16string& text) {
  std::lock_guard<std::mutex> lock(Mutex);
  auto found = Wide.find(text);
  if (found != Wide.end()) return found->second;
  WideStore.push_back(text);
  return Wide[text] = WideStore.back().c_str();
}

std::string AnsiFromWide(const std::u16string& text) {
  const wchar_t* wide = reinterpret_cast<const wchar_t*>(text.c_str());
  const int size = WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return {};
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide, -1, out.data(), size, nullptr, nullptr);
  out.resize(static_cast<size_t>(size - 1));
  return out;
}

std::u16string WideFromAnsi(const char* text) {
  const int size = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  if (size <= 1) return {};
  std::u16string out(static_cast<size_t>(size), u'\0');
  MultiByteToWideChar(CP_ACP, 0, text, -1, reinterpret_cast<wchar_t*>(out.data()), size);
  out.resize(static_cast<size_t>(size - 1));
  return out;
}
}  // namespace texts

std::atomic<bool> Unicode{false};

// The drivers listed in the registry, in its order.
namespace devices {
struct Device {
  const char* nameAnsi;
  const char16_t* nameWide;
  const char* clsidAnsi;
  const char16_t* clsidWide;
  CLSID clsid;
};
std::mutex Mutex;
std::vector<Device> List;
bool Read = false;

std::u16string ReadText(HKEY key, const wchar_t* value) {
  wchar_t text[512];
  DWORD size = sizeof text - sizeof(wchar_t);
  DWORD kind = 0;
  if (RegQueryValueExW(key, value, nullptr, &kind, reinterpret_cast<BYTE*>(text), &size) !=
          ERROR_SUCCESS ||
      kind != REG_SZ) {
    return {};
  }
  text[size / sizeof(wchar_t)] = 0;
  return reinterpret_cast<const char16_t*>(text);
}

// Called with Mutex held.
void Refresh() {
  List.clear();
  Read = true;
  HKEY root;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\ASIO", 0, KEY_READ, &root) != ERROR_SUCCESS) {
    return;
  }
  wchar_t keyName[256];
  for (DWORD i = 0;; ++i) {
    DWORD length = 256;
    const LONG result = RegEnumKeyExW(root, i, keyName, &length, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_MORE_DATA) continue;
    if (result != ERROR_SUCCESS) break;
    HKEY key;
    if (RegOpenKeyExW(root, keyName, 0, KEY_READ, &key) != ERROR_SUCCESS) continue;
    const std::u16string clsidText = ReadText(key, L"CLSID");
    std::u16string name = ReadText(key, L"Description");
    RegCloseKey(key);
    if (name.empty()) name = reinterpret_cast<const char16_t*>(keyName);
    Device device;
    if (clsidText.empty() ||
        FAILED(CLSIDFromString(reinterpret_cast<LPCOLESTR>(clsidText.c_str()), &device.clsid))) {
      continue;  // not a usable driver entry
    }
    device.nameWide = texts::Keep(name);
    device.nameAnsi = texts::Keep(texts::AnsiFromWide(name));
    device.clsidWide = texts::Keep(clsidText);
    device.clsidAnsi = texts::Keep(texts::AnsiFromWide(clsidText));
    List.push_back(device);
  }
  RegCloseKey(root);
}
}  // namespace devices

// Per output channel, what the callback reads once per buffer half.
struct Slot {
  std::atomic<OrvaProc> proc{nullptr};
  std::atomic<void*> user{nullptr};
  std::atomic<int32_t> master{-1};  // the stream this channel joined, or -1
  std::atomic<bool> paused{false};
  std::atomic<float> gain{1.0f};
};
Slot Slots[kMaxChannels];
// The callback's whole claim to take no lock rests on these.
static_assert(std::atomic<OrvaProc>::is_always_lock_free && std::atomic<void*>::is_always_lock_free &&
              std::atomic<float>::is_always_lock_free && std::atomic<int32_t>::is_always_lock_free &&
              std::atomic<bool>::is_always_lock_free);

void ClearSlots(bool gainsToo) {
  for (Slot& s : Slots) {
    s.proc = nullptr;
    s.user = nullptr;
    s.master = -1;
    s.paused = false;
    if (gainsToo) s.gain = 1.0f;
  }
}

// Everything the callback needs, prepared before start.
struct Running {
  asio::Driver* driver = nullptr;
  bool outputReady = false;
  uint32_t frames = 0;
  uint32_t count = 0;
  void* buffers[kMaxChannels][2] = {};
  int32_t types[kMaxChannels] = {};
  std::vector<double> scratch;  // doubles for 8-byte alignment
  HalfOutput outputs[kMaxChannels] = {};
  uint32_t members[kMaxChannels] = {};
  bool handled[kMaxChannels] = {};
};

std::atomic<Running*> Active{nullptr};
std::atomic<int32_t> InCallback{0};
std::atomic<DWORD> CallbackThread{0};

// Calls that wait for our thread would wait for the driver's thread to leave
// the callback, which cannot happen while it waits: refused from there.
bool InsideCallback() {
  return InCallback.load() > 0 && CallbackThread.load() == GetCurrentThreadId();
}

void FillHalf(Running& r, int32_t index) {
  for (uint32_t c = 0; c < r.count; ++c) r.handled[c] = r.buffers[c][index] == nullptr;
  float* scratch = reinterpret_cast<float*>(r.scratch.data());
  for (uint32_t c = 0; c < r.count; ++c) {
    if (r.handled[c]) continue;
    Slot& head = Slots[c];
    if (head.master.load(std::memory_order_acquire) != -1) continue;
    const OrvaProc proc = head.proc.load(std::memory_order_acquire);
    if (proc == nullptr) continue;
    uint32_t n = 0;
    r.members[n++] = c;
    for (uint32_t j = 0; j < r.count; ++j) {
      if (j != c && !r.handled[j] &&
          Slots[j].master.load(std::memory_order_acquire) == static_cast<int32_t>(c)) {
        r.members[n++] = j;
      }
    }
    for (uint32_t k = 0; k < n; ++k) {
      const uint32_t m = r.members[k];
      r.outputs[k] = {r.buffers[m][index], r.types[m], Slots[m].gain.load(std::memory_order_relaxed)};
      r.handled[m] = true;
    }
    FillStreamHalf(proc, c, head.user.load(std::memory_order_acquire),
                   head.paused.load(std::memory_order_acquire), scratch, r.frames, r.outputs, n);
  }
  for (uint32_t c = 0; c < r.count; ++c) {
    if (!r.handled[c]) SilenceHalf(r.buffers[c][index], r.types[c], r.frames);
  }
  if (r.outputReady) r.driver->outputReady();
}

void OnBufferSwitch(int32_t index, asio::Bool) {
  // Entering is announced before the state is read, so that a stop which
  // has withdrawn the state and then sees no one inside knows it is alone.
  InCallback.fetch_add(1);
  CallbackThread.store(GetCurrentThreadId(), std::memory_order_relaxed);
  Running* r = Active.load();
  if (r != nullptr && (index == 0 || index == 1)) FillHalf(*r, index);
  InCallback.fetch_sub(1);
}

asio::Time* OnBufferSwitchTimeInfo(asio::Time* params, int32_t index, asio::Bool direct) {
  OnBufferSwitch(index, direct);
  return params;
}

// Raised from any thread by the driver; our thread acts on it.
std::atomic<bool> RebuildWanted{false};
std::atomic<double> KnownRate{0.0};
HANDLE RebuildEvent = nullptr;  // lives as long as the library

void AskForRebuild() {
  RebuildWanted = true;
  if (RebuildEvent) SetEvent(RebuildEvent);
}

void OnSampleRateDidChange(asio::SampleRate rate) {
  // Some drivers repeat the rate they already run at; only a real change
  // calls for rebuilding.
  if (rate == KnownRate.load()) return;
  KnownRate = rate;
  AskForRebuild();
}

int32_t OnMessage(int32_t selector, int32_t value, void*, double*) {
  switch (selector) {
    case asio::kSelectorSupported:
      switch (value) {
        case asio::kEngineVersion:
        case asio::kResetRequest:
        case asio::kBufferSizeChange:
        case asio::kResyncRequest:
        case asio::kLatenciesChanged:
        case asio::kSupportsTimeInfo:
          return 1;
        default:
          return 0;
      }
    case asio::kEngineVersion:
      return 2;
    case asio::kResetRequest:
    case asio::kBufferSizeChange:
    case asio::kResyncRequest:
      AskForRebuild();
      return 1;
    case asio::kLatenciesChanged:
    case asio::kSupportsTimeInfo:
      return 1;
    default:
      return 0;
  }
}

asio::Callbacks HostCallbacks = {OnBufferSwitch, OnSampleRateDidChange, OnMessage,
                                 OnBufferSwitchTimeInfo};

// The loaded driver; touched only on our thread, except the atomics.
namespace driver {
asio::Driver* Instance = nullptr;
CLSID Clsid{};
HWND Window = nullptr;
// Read by ChannelGetInfo on callers' threads while a rebuild may replace them.
std::mutex ChannelsMutex;
std::vector<asio::ChannelInfo> Channels;
std::vector<std::pair<const char*, const char16_t*>> ChannelNames;
double Rate = 0.0;            // set through SetRate; 0 = the driver's own
uint32_t RequestedFrames = 0;  // as Start asked; 0 = preferred
std::unique_ptr<Running> Prepared;
std::atomic<bool> Loaded{false};
std::atomic<uint32_t> OutputCount{0};
std::atomic<bool> Started{false};

bool Create() {
  void* object = nullptr;
  if (FAILED(CoCreateInstance(Clsid, nullptr, CLSCTX_INPROC_SERVER, Clsid, &object)) || !object) {
    return Fail(ORVA_ERROR_DRIVER);
  }
  Instance = static_cast<asio::Driver*>(object);
  if (Instance->init(Window) == 0) {
    Instance->Release();
    Instance = nullptr;
    return Fail(ORVA_ERROR_DRIVER);
  }
  int32_t inputs = 0, outputs = 0;
  if (Instance->getChannels(&inputs, &outputs) != asio::kOk || outputs < 0) outputs = 0;
  const uint32_t count = std::min<uint32_t>(static_cast<uint32_t>(outputs), kMaxChannels);
  std::vector<asio::ChannelInfo> channels(count);
  std::vector<std::pair<const char*, const char16_t*>> names(count);
  for (uint32_t c = 0; c < count; ++c) {
    asio::ChannelInfo& info = channels[c];
    info.channel = static_cast<int32_t>(c);
    info.isInput = 0;
    if (Instance->getChannelInfo(&info) != asio::kOk) {
      info.type = -1;  // unusable: gets no buffer
      info.channelGroup = 0;
      info.name[0] = 0;
    }
    info.name[31] = 0;
    names[c] = {texts::Keep(std::string(info.name)), texts::Keep(texts::WideFromAnsi(info.name))};
  }
  {
    std::lock_guard<std::mutex> lock(ChannelsMutex);
    Channels = std::move(channels);
    ChannelNames = std::move(names);
  }
  double rate = 0.0;
  if (Instance->getSampleRate(&rate) == asio::kOk) KnownRate = rate;
  OutputCount = count;
  return true;
}

void Release() {
  if (Instance) Instance->Release();
  Instance = nullptr;
}

// Stops the callbacks, then the buffers go. Started is the caller's business.
void StopDevice() {
  if (!Instance || !Prepared) return;
  Instance->stop();
  Active = nullptr;
  while (InCallback.load() != 0) Sleep(0);
  Instance->disposeBuffers();
  Prepared.reset();
}

bool StartDevice() {
  if (!Instance) return Fail(ORVA_ERROR_INIT);
  int32_t minimum = 0, maximum = 0, preferred = 0, granularity = 0;
  if (Instance->getBufferSize(&minimum, &maximum, &preferred, &granularity) != asio::kOk) {
    return Fail(ORVA_ERROR_DRIVER);
  }
  const int32_t frames = RequestedFrames ? static_cast<int32_t>(RequestedFrames) : preferred;
  if (frames <= 0 || frames < minimum || frames > maximum) return Fail(ORVA_ERROR_ILLPARAM);
  auto r = std::make_unique<Running>();
  r->driver = Instance;
  r->frames = static_cast<uint32_t>(frames);
  r->count = static_cast<uint32_t>(Channels.size());
  std::vector<asio::BufferInfo> infos;
  for (uint32_t c = 0; c < r->count; ++c) {
    if (SampleBytes(Channels[c].type) == 0) continue;
    infos.push_back(asio::BufferInfo{0, static_cast<int32_t>(c), {nullptr, nullptr}});
  }
  if (infos.empty()) return Fail(ORVA_ERROR_FORMAT);
  if (Instance->createBuffers(infos.data(), static_cast<int32_t>(infos.size()), frames,
                              &HostCallbacks) != asio::kOk) {
    return Fail(ORVA_ERROR_DRIVER);
  }
  for (const asio::BufferInfo& info : infos) {
    const uint32_t c = static_cast<uint32_t>(info.channelNum);
    r->buffers[c][0] = info.buffers[0];
    r->buffers[c][1] = info.buffers[1];
    r->types[c] = Channels[c].type;
    // Drivers play whatever is in the halves until the first switch.
    SilenceHalf(info.buffers[0], r->types[c], r->frames);
    SilenceHalf(info.buffers[1], r->types[c], r->frames);
  }
  r->scratch.assign((static_cast<size_t>(r->frames) * r->count + 1) / 2, 0.0);
  r->outputReady = Instance->outputReady() == asio::kOk;
  Prepared = std::move(r);
  Active = Prepared.get();
  if (Instance->start() != asio::kOk) {
    Active = nullptr;
    while (InCallback.load() != 0) Sleep(0);
    Instance->disposeBuffers();
    Prepared.reset();
    return Fail(ORVA_ERROR_DRIVER);
  }
  return Succeed();
}

// A driver that asked to be reset is taken down and built up again with the
// same rate, buffer size and channel set-up; the channel slots are untouched,
// so enabling, joining, pause and gain carry over.
void Rebuild() {
  RebuildWanted = false;
  if (!Started || !Instance) return;
  StopDevice();
  Release();
  if (!Create()) {
    Started = false;
    return;
  }
  if (Rate > 0.0) {
    KnownRate = Rate;
    Instance->setSampleRate(Rate);
  }
  if (!StartDevice()) Started = false;
}
}  // namespace driver

// Our thread: every driver call runs here.
namespace worker {
HANDLE Thread = nullptr;
DWORD ThreadId = 0;
HANDLE JobEvent = nullptr;
HANDLE DoneEvent = nullptr;
std::function<void()>* Job = nullptr;
bool Quit = false;
std::mutex CallMutex;  // one caller at a time, for the whole of an entry

DWORD WINAPI Main(void*) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  // Drivers get a window of ours to hang their own messages on.
  driver::Window = CreateWindowExW(0, L"STATIC", L"orva", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   nullptr, nullptr);
  HANDLE waits[2] = {JobEvent, RebuildEvent};
  for (;;) {
    const DWORD woke = MsgWaitForMultipleObjects(2, waits, FALSE, INFINITE, QS_ALLINPUT);
    if (woke == WAIT_OBJECT_0) {
      (*Job)();
      const bool quit = Quit;
      SetEvent(DoneEvent);
      if (quit) break;
    } else if (woke == WAIT_OBJECT_0 + 1) {
      if (RebuildWanted) driver::Rebuild();
    } else {
      MSG message;
      while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
      }
    }
  }
  if (driver::Window) DestroyWindow(driver::Window);
  driver::Window = nullptr;
  CoUninitialize();
  return 0;
}

// Called with CallMutex held.
void Run(std::function<void()> job) {
  if (GetCurrentThreadId() == ThreadId) {
    job();
    return;
  }
  Job = &job;
  SetEvent(JobEvent);
  WaitForSingleObject(DoneEvent, INFINITE);
  Job = nullptr;
}

bool Begin() {
  if (Thread) return true;
  if (!JobEvent) JobEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (!DoneEvent) DoneEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (!RebuildEvent) RebuildEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (!JobEvent || !DoneEvent || !RebuildEvent) return false;
  Quit = false;
  Thread = CreateThread(nullptr, 0, Main, nullptr, 0, &ThreadId);
  return Thread != nullptr;
}

void End() {
  if (!Thread) return;
  Quit = true;
  Run([] {});
  WaitForSingleObject(Thread, INFINITE);
  CloseHandle(Thread);
  Thread = nullptr;
  ThreadId = 0;
}
}  // namespace worker

// Releases the loaded driver on our thread and ends the thread.
bool FreeDriver() {
  if (!worker::Thread) return Fail(ORVA_ERROR_INIT);
  const bool wasLoaded = driver::Loaded;
  worker::Run([] {
    driver::StopDevice();
    driver::Started = false;
    driver::Release();
    std::lock_guard<std::mutex> channelsLock(driver::ChannelsMutex);
    driver::Channels.clear();
    driver::Loaded = false;
    driver::OutputCount = 0;
  });
  worker::End();
  ClearSlots(true);
  return wasLoaded ? Succeed() : Fail(ORVA_ERROR_INIT);
}

bool ValidOutput(int32_t input, uint32_t channel) {
  if (input != 0) return Fail(ORVA_ERROR_ILLPARAM);
  if (!driver::Loaded) return Fail(ORVA_ERROR_INIT);
  if (channel >= driver::OutputCount) return Fail(ORVA_ERROR_ILLPARAM);
  return true;
}

int32_t HeadOf(uint32_t channel) {
  const int32_t master = Slots[channel].master;
  return master == -1 ? static_cast<int32_t>(channel) : master;
}

}  // namespace
}  // namespace orva

using namespace orva;

extern "C" {

uint32_t Orva_ASIO_GetVersion(void) { return kVersion; }

int32_t Orva_ASIO_SetUnicode(int32_t unicode) {
  Unicode = unicode != 0;
  return Succeed();
}

int32_t Orva_ASIO_GetDeviceInfo(uint32_t device, OrvaDeviceInfo* info) {
  if (info == nullptr) return Fail(ORVA_ERROR_ILLPARAM);
  std::lock_guard<std::mutex> lock(devices::Mutex);
  if (device == 0 || !devices::Read) devices::Refresh();
  if (device >= devices::List.size()) return Fail(ORVA_ERROR_DEVICE);
  const devices::Device& d = devices::List[device];
  if (Unicode) {
    info->name = d.nameWide;
    info->driver = d.clsidWide;
  } else {
    info->name = d.nameAnsi;
    info->driver = d.clsidAnsi;
  }
  return Succeed();
}

int32_t Orva_ASIO_Init(int32_t device, uint32_t) {
  if (InsideCallback()) return Fail(ORVA_ERROR_NOTAVAIL);
  std::lock_guard<std::mutex> lock(worker::CallMutex);
  if (worker::Thread) FreeDriver();
  CLSID clsid;
  {
    std::lock_guard<std::mutex> listLock(devices::Mutex);
    if (!devices::Read) devices::Refresh();
    if (device < 0 || static_cast<size_t>(device) >= devices::List.size()) {
      return Fail(ORVA_ERROR_DEVICE);
    }
    clsid = devices::List[static_cast<size_t>(device)].clsid;
  }
  if (!worker::Begin()) return Fail(ORVA_ERROR_DRIVER);
  bool created = false;
  worker::Run([&] {
    driver::Clsid = clsid;
    driver::Rate = 0.0;
    driver::RequestedFrames = 0;
    created = driver::Create();
    driver::Loaded = created;
  });
  if (!created) {
    const int32_t code = LastError;
    worker::End();
    return Fail(code);
  }
  ClearSlots(true);
  return Succeed();
}

int32_t Orva_ASIO_Free(void) {
  if (InsideCallback()) return Fail(ORVA_ERROR_NOTAVAIL);
  std::lock_guard<std::mutex> lock(worker::CallMutex);
  return FreeDriver();
}

int32_t Orva_ASIO_ErrorGetCode(void) { return LastError; }

int32_t Orva_ASIO_ControlPanel(void) {
  if (InsideCallback()) return Fail(ORVA_ERROR_NOTAVAIL);
  std::lock_guard<std::mutex> lock(worker::CallMutex);
  if (!driver::Loaded) return Fail(ORVA_ERROR_INIT);
  bool ok = false;
  worker::Run([&] { ok = driver::Instance && driver::Instance->controlPanel() == asio::kOk; });
  return ok ? Succeed() : Fail(ORVA_ERROR_NOTAVAIL);
}

int32_t Orva_ASIO_CheckRate(double rate) {
  if (InsideCallback()) return Fail(ORVA_ERROR_NOTAVAIL);
  std::lock_guard<std::mutex> lock(worker::CallMutex);
  if (!driver::Loaded) return Fail(ORVA_ERROR_INIT);
  if (!(rate > 0.0)) return Fail(ORVA_ERROR_ILLPARAM);
  bool ok = false;
  worker::Run([&] { ok = driver::Instance && driver::Instance->canSampleRate(rate) == asio::kOk; });
  return ok ? Succeed() : Fail(ORVA_ERROR_FORMAT);
}

int32_t Orva_ASIO_SetRate(double rate) {
  if (InsideCallback()) return Fail(ORVA_ERROR_NOTAVAIL);
  std::lock_guard<std::mutex> lock(worker::CallMutex);
  if (!driver::Loaded) return Fail(ORVA_ERROR_INIT);
  if (!(rate > 0.0)) return Fail(ORVA_ERROR_ILLPARAM);
  bool ok = false;
  worker::Run([&] {
    if (!driver::Instance) return;
    // Known before the driver may announce it, so the announcement is not
    // taken for a change from outside.
    const double before = KnownRate;
    KnownRate = rate;
    ok = driver::Instance->setSampleRate(rate) == asio::kOk;
    if (ok) {
      driver::Rate = rate;
    } else {
      KnownRate = before;
    }
  });
  return ok ? Succeed() : Fail(ORVA_ERROR_FORMAT);
}

int32_t Orva_ASIO_Start(uint32_t bufferLength, uint32_t) {
  if (InsideCallback()) return Fail(ORVA_ERROR_NOTAVAIL);
  std::lock_guard<std::mutex> lock(worker::CallMutex);
  if (!driver::Loaded) return Fail(ORVA_ERROR_INIT);
  if (driver::Started) return Fail(ORVA_ERROR_ALREADY);
  bool ok = false;
  worker::Run([&] {
    driver::RequestedFrames = bufferLength;
    ok = driver::StartDevice();
    driver::Started = ok;
  });
  return ok;
}

int32_t Orva_ASIO_Stop(void) {
  if (InsideCallback()) return Fail(ORVA_ERROR_NOTAVAIL);
  std::lock_guard<std::mutex> lock(worker::CallMutex);
  if (!driver::Loaded) return Fail(ORVA_ERROR_INIT);
  if (!driver::Started) return Fail(ORVA_ERROR_START);
  worker::Run([] {
    driver::StopDevice();
    driver::Started = false;
  });
  return Succeed();
}

int32_t Orva_ASIO_IsStarted(void) { return driver::Loaded && driver::Started; }

int32_t Orva_ASIO_ChannelGetInfo(int32_t input, uint32_t channel, OrvaChannelInfo* info) {
  std::lock_guard<std::mutex> lock(worker::CallMutex);
  if (info == nullptr) return Fail(ORVA_ERROR_ILLPARAM);
  if (!ValidOutput(input, channel)) return false;
  std::lock_guard<std::mutex> channelsLock(driver::ChannelsMutex);
  if (channel >= driver::Channels.size()) return Fail(ORVA_ERROR_ILLPARAM);
  const asio::ChannelInfo& c = driver::Channels[channel];
  info->group = static_cast<uint32_t>(c.channelGroup);
  info->format = static_cast<uint32_t>(c.type);
  info->name = Unicode ? static_cast<const void*>(driver::ChannelNames[channel].second)
                       : static_cast<const void*>(driver::ChannelNames[channel].first);
  return Succeed();
}

int32_t Orva_ASIO_ChannelEnable(int32_t input, uint32_t channel, OrvaProc proc, void* user) {
  if (!ValidOutput(input, channel)) return false;
  if (proc == nullptr) return Fail(ORVA_ERROR_ILLPARAM);
  Slot& s = Slots[channel];
  s.user.store(user, std::memory_order_release);
  s.proc.store(proc, std::memory_order_release);
  s.master.store(-1, std::memory_order_release);
  // Enabled anew, the channel plays: a pause from before does not carry over.
  s.paused.store(false, std::memory_order_release);
  return Succeed();
}

int32_t Orva_ASIO_ChannelJoin(int32_t input, uint32_t channel, int32_t channel2) {
  if (!ValidOutput(input, channel)) return false;
  if (channel2 < 0 || static_cast<uint32_t>(channel2) >= driver::OutputCount) {
    return Fail(ORVA_ERROR_ILLPARAM);
  }
  const int32_t head = HeadOf(static_cast<uint32_t>(channel2));
  if (head == static_cast<int32_t>(channel)) return Fail(ORVA_ERROR_ILLPARAM);
  Slots[channel].master.store(head, std::memory_order_release);
  return Succeed();
}

int32_t Orva_ASIO_ChannelPause(int32_t input, uint32_t channel) {
  if (channel == kAllChannels) {
    if (input != 0) return Fail(ORVA_ERROR_ILLPARAM);
    if (!driver::Loaded) return Fail(ORVA_ERROR_INIT);
    for (uint32_t c = 0; c < driver::OutputCount; ++c) {
      Slots[HeadOf(c)].paused.store(true, std::memory_order_release);
    }
    return Succeed();
  }
  if (!ValidOutput(input, channel)) return false;
  Slots[HeadOf(channel)].paused.store(true, std::memory_order_release);
  return Succeed();
}

int32_t Orva_ASIO_ChannelReset(int32_t input, int32_t channel, uint32_t flags) {
  if (channel != -1 && !ValidOutput(input, static_cast<uint32_t>(channel))) return false;
  if (input != 0) return Fail(ORVA_ERROR_ILLPARAM);
  if (!driver::Loaded) return Fail(ORVA_ERROR_INIT);
  const uint32_t first = channel == -1 ? 0 : static_cast<uint32_t>(channel);
  const uint32_t last = channel == -1 ? driver::OutputCount.load() : first + 1;
  for (uint32_t c = first; c < last; ++c) {
    if (flags & ORVA_RESET_PAUSE) Slots[HeadOf(c)].paused.store(false, std::memory_order_release);
    if (flags & ORVA_RESET_ENABLE) Slots[c].proc.store(nullptr, std::memory_order_release);
    if (flags & ORVA_RESET_JOIN) Slots[c].master.store(-1, std::memory_order_release);
  }
  return Succeed();
}

int32_t Orva_ASIO_ChannelSetFormat(int32_t input, uint32_t channel, uint32_t format) {
  if (channel == kAllChannels) {
    if (input != 0) return Fail(ORVA_ERROR_ILLPARAM);
    if (!driver::Loaded) return Fail(ORVA_ERROR_INIT);
  } else if (!ValidOutput(input, channel)) {
    return false;
  }
  // The callback always delivers 32-bit float; other formats are refused
  // rather than played as noise.
  return format == ORVA_FORMAT_FLOAT ? Succeed() : Fail(ORVA_ERROR_FORMAT);
}

int32_t Orva_ASIO_ChannelSetVolume(int32_t input, int32_t channel, float volume) {
  if (channel != -1 && !ValidOutput(input, static_cast<uint32_t>(channel))) return false;
  if (input != 0) return Fail(ORVA_ERROR_ILLPARAM);
  if (!driver::Loaded) return Fail(ORVA_ERROR_INIT);
  if (!std::isfinite(volume) || volume < 0.0f) return Fail(ORVA_ERROR_ILLPARAM);
  if (channel == -1) {
    // Every slot, also those past the device's channels, so that nothing
    // enabled later escapes the gain.
    for (Slot& s : Slots) s.gain.store(volume, std::memory_order_release);
  } else {
    Slots[channel].gain.store(volume, std::memory_order_release);
  }
  return Succeed();
}

}  // extern "C"
