#include "support/orva/tests/capture_device.h"

#include <objbase.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

namespace orvatest {
namespace {

std::wstring WindowsPath(const char* unixPath) {
  std::wstring out = L"Z:";
  for (const char* p = unixPath; *p; ++p) out.push_back(*p == '/' ? L'\\' : static_cast<wchar_t>(*p));
  return out;
}

void SetText(HKEY root, const std::wstring& key, const wchar_t* value, const std::wstring& text) {
  RegSetKeyValueW(root, key.c_str(), value, REG_SZ, text.c_str(),
                  static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void SetNumber(HKEY root, const std::wstring& key, const wchar_t* value, uint32_t number) {
  const DWORD n = number;
  RegSetKeyValueW(root, key.c_str(), value, REG_DWORD, &n, sizeof n);
}

void RemoveFolder(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        DeleteFileW((folder + L"\\" + found.cFileName).c_str());
      }
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(folder.c_str());
}

}  // namespace

const support::OutputEntries& Orva() {
  static support::OutputEntries entries = [] {
    support::OutputEntries e{};
    HMODULE module = LoadLibraryExW(WindowsPath(VELORAN_DIST_DIR "/orva.dll").c_str(), nullptr,
                                    LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module == nullptr) return e;
    auto bind = [module](auto& entry, const char* name) {
      entry = reinterpret_cast<std::remove_reference_t<decltype(entry)>>(
          reinterpret_cast<void*>(GetProcAddress(module, name)));
    };
    bind(e.GetVersion, "Orva_ASIO_GetVersion");
    bind(e.GetDeviceInfo, "Orva_ASIO_GetDeviceInfo");
    bind(e.Init, "Orva_ASIO_Init");
    bind(e.Free, "Orva_ASIO_Free");
    bind(e.ErrorGetCode, "Orva_ASIO_ErrorGetCode");
    bind(e.ControlPanel, "Orva_ASIO_ControlPanel");
    bind(e.CheckRate, "Orva_ASIO_CheckRate");
    bind(e.SetRate, "Orva_ASIO_SetRate");
    bind(e.Start, "Orva_ASIO_Start");
    bind(e.Stop, "Orva_ASIO_Stop");
    bind(e.SetUnicode, "Orva_ASIO_SetUnicode");
    bind(e.IsStarted, "Orva_ASIO_IsStarted");
    bind(e.ChannelReset, "Orva_ASIO_ChannelReset");
    bind(e.ChannelEnable, "Orva_ASIO_ChannelEnable");
    bind(e.ChannelJoin, "Orva_ASIO_ChannelJoin");
    bind(e.ChannelPause, "Orva_ASIO_ChannelPause");
    bind(e.ChannelSetFormat, "Orva_ASIO_ChannelSetFormat");
    bind(e.ChannelSetVolume, "Orva_ASIO_ChannelSetVolume");
    bind(e.ChannelGetInfo, "Orva_ASIO_ChannelGetInfo");
    return e;
  }();
  if (entries.ChannelGetInfo == nullptr) {
    ADD_FAILURE() << "orva.dll could not be loaded and bound from " VELORAN_DIST_DIR;
    std::abort();
  }
  return entries;
}

// The process number in the name keeps two test runs sharing a prefix (two
// checkouts, say) from removing each other's devices.
CaptureDevice::CaptureDevice(const std::wstring& base, const DeviceSettings& s)
    : name_(base + L" #" + std::to_wstring(GetCurrentProcessId())) {
  const std::wstring& name = name_;
  GUID guid;
  CoCreateGuid(&guid);
  wchar_t text[64];
  StringFromGUID2(guid, text, 64);
  clsid_ = text;
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  folder_ = std::wstring(temp) + L"orva-test-" + clsid_;
  RemoveFolder(folder_);

  // The same layout that scripts/capture-device writes. A registration of
  // this name left by a crashed run goes first, with its class.
  const std::wstring asio = L"SOFTWARE\\ASIO\\" + name;
  wchar_t stale[64];
  DWORD size = sizeof stale;
  if (RegGetValueW(HKEY_LOCAL_MACHINE, asio.c_str(), L"CLSID", RRF_RT_REG_SZ, nullptr, stale, &size) ==
      ERROR_SUCCESS) {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, (std::wstring(L"SOFTWARE\\Classes\\CLSID\\") + stale).c_str());
  }
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, asio.c_str());
  SetText(HKEY_LOCAL_MACHINE, asio, L"CLSID", clsid_);
  SetText(HKEY_LOCAL_MACHINE, asio, L"Description", name);
  const std::wstring cls = L"SOFTWARE\\Classes\\CLSID\\" + clsid_;
  SetText(HKEY_LOCAL_MACHINE, cls + L"\\InprocServer32", nullptr,
          WindowsPath(VELORAN_DIST_DIR "/veloran_capture.dll"));
  SetText(HKEY_LOCAL_MACHINE, cls + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
  const std::wstring capture = cls + L"\\Capture";
  SetText(HKEY_LOCAL_MACHINE, capture, L"Name", name);
  SetText(HKEY_LOCAL_MACHINE, capture, L"Rates", s.rates);
  SetNumber(HKEY_LOCAL_MACHINE, capture, L"Channels", s.channels);
  SetText(HKEY_LOCAL_MACHINE, capture, L"Groups", s.groups);
  SetText(HKEY_LOCAL_MACHINE, capture, L"Type", s.type);
  SetNumber(HKEY_LOCAL_MACHINE, capture, L"Buffer", s.buffer);
  SetNumber(HKEY_LOCAL_MACHINE, capture, L"Speed", s.speed);
  SetText(HKEY_LOCAL_MACHINE, capture, L"Out", folder_);
  SetNumber(HKEY_LOCAL_MACHINE, capture, L"FailInit", s.failInit ? 1 : 0);
  SetNumber(HKEY_LOCAL_MACHINE, capture, L"ResetAfter", s.resetAfter);
  SetNumber(HKEY_LOCAL_MACHINE, capture, L"StallAfter", s.stallAfter);
  SetNumber(HKEY_LOCAL_MACHINE, capture, L"PlainSwitch", s.plainSwitch ? 1 : 0);
}

CaptureDevice::~CaptureDevice() {
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, (L"SOFTWARE\\ASIO\\" + name_).c_str());
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, (L"SOFTWARE\\Classes\\CLSID\\" + clsid_).c_str());
  RemoveFolder(folder_);
}

int32_t CaptureDevice::Index() const {
  Orva().SetUnicode(1);
  support::OrvaDeviceInfo info{};
  for (uint32_t i = 0; Orva().GetDeviceInfo(i, &info); ++i) {
    if (name_ == static_cast<const wchar_t*>(info.name)) return static_cast<int32_t>(i);
  }
  return -1;
}

std::vector<uint8_t> ReadFileBytes(const std::wstring& path) {
  std::vector<uint8_t> bytes;
  FILE* file = _wfopen(path.c_str(), L"rb");
  if (file == nullptr) return bytes;
  uint8_t block[65536];
  size_t got;
  while ((got = std::fread(block, 1, sizeof block, file)) > 0) bytes.insert(bytes.end(), block, block + got);
  std::fclose(file);
  return bytes;
}

Recording CaptureDevice::Read(int pair) const {
  const std::wstring base = folder_ + L"\\pair" + std::to_wstring(pair);
  Recording r;
  r.raw = ReadFileBytes(base + L".raw");
  const std::vector<uint8_t> marks = ReadFileBytes(base + L".marks");
  r.marks.resize(marks.size() / sizeof(Mark));
  if (!r.marks.empty()) std::memcpy(r.marks.data(), marks.data(), r.marks.size() * sizeof(Mark));
  const std::vector<uint8_t> info = ReadFileBytes(base + L".txt");
  r.info.assign(info.begin(), info.end());
  r.start = ReadFileBytes(base + L".start");
  return r;
}

size_t CaptureDevice::MarkCount(int pair) const {
  WIN32_FILE_ATTRIBUTE_DATA data;
  const std::wstring path = folder_ + L"\\pair" + std::to_wstring(pair) + L".marks";
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return data.nFileSizeLow / sizeof(Mark);
}

std::vector<std::string> CaptureDevice::DriverLog() const {
  const std::vector<uint8_t> bytes = ReadFileBytes(folder_ + L"\\driver.txt");
  std::vector<std::string> lines;
  std::string line;
  for (uint8_t b : bytes) {
    if (b == '\n') {
      lines.push_back(line);
      line.clear();
    } else {
      line.push_back(static_cast<char>(b));
    }
  }
  return lines;
}

bool WaitUntil(const std::function<bool()>& condition) {
  for (int i = 0; i < 60000; ++i) {
    if (condition()) return true;
    Sleep(1);
  }
  return condition();
}

uint32_t PlayerProc(int32_t, uint32_t channel, void* buffer, uint32_t length, void* user) {
  Player* p = static_cast<Player*>(user);
  const uint32_t call = p->calls.load();
  const double part = p->shape[call % p->shape.size()];
  const uint32_t samples = static_cast<uint32_t>(length / 4 * part);
  float* out = static_cast<float*>(buffer);
  uint64_t next = p->produced.load();
  for (uint32_t i = 0; i < samples; ++i) out[i] = p->value(next + i);
  p->produced = next + samples;
  p->lastLength = length;
  p->lastChannel = channel;
  p->calls = call + 1;
  return samples * 4;
}

bool StartPair(int32_t device, uint32_t firstChannel, Player* player, float gain, double rate) {
  const support::OutputEntries& o = Orva();
  if (!o.Init(device, 1)) return false;
  o.ChannelSetVolume(0, -1, gain);
  if (!o.SetRate(rate)) return false;
  if (!o.ChannelEnable(0, firstChannel, PlayerProc, player)) return false;
  if (!o.ChannelJoin(0, firstChannel + 1, static_cast<int32_t>(firstChannel))) return false;
  if (!o.ChannelSetFormat(0, firstChannel, 19)) return false;
  return o.Start(0, 0) != 0;
}

}  // namespace orvatest
