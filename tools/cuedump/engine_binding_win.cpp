#include <windows.h>

#include <type_traits>

#include "support/bind_by_name.h"
#include "engine_binding.h"

namespace cuedump {

namespace {
std::wstring BesideExecutable(const wchar_t* name) {
  std::wstring path(32768, L'\0');
  const DWORD size = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  path.resize(size);
  const size_t slash = path.find_last_of(L"\\/");
  path.resize(slash == std::wstring::npos ? 0 : slash + 1);
  return path + name;
}
}  // namespace

bool BindEngine(std::string* error) {
  // The plug-ins import from the engine, so it goes first.
  HMODULE engine = LoadLibraryW(BesideExecutable(L"orvo.dll").c_str());
  if (!engine) {
    *error = "cannot load orvo.dll beside the executable";
    return false;
  }
  HMODULE flac = LoadLibraryW(BesideExecutable(L"orvu.dll").c_str());
  HMODULE alac = LoadLibraryW(BesideExecutable(L"oraa.dll").c_str());
  struct Lookup {
    HMODULE module;
    void* operator()(const char* name) const {
      return module ? reinterpret_cast<void*>(GetProcAddress(module, name)) : nullptr;
    }
  };
  support::BindEngineEntries(Lookup{engine});
  support::BindFlacEntries(Lookup{flac});
  support::BindAlacEntries(Lookup{alac});
  if (!support::Orvo.StreamCreateFile || !support::Orvo.ChannelGetLength || !support::Orvo.ChannelGetAttribute) {
    *error = "orvo.dll lacks the examination calls";
    return false;
  }
  return true;
}

}  // namespace cuedump
