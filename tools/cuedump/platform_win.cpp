// Windows cuedump: the engine's DLLs beside the executable, the argument in
// UTF-16 from the wide command line, standard output in binary mode.
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>
#include <type_traits>

#include "bind_entries.h"
#include "cuedump.h"

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
    *error = "cannot load orvo.dll beside cuedump.exe";
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
  FillEngineEntries(Lookup{engine}, Lookup{flac}, Lookup{alac});
  if (!support::Orvo.StreamCreateFile || !support::Orvo.ChannelGetLength || !support::Orvo.ChannelGetAttribute) {
    *error = "orvo.dll lacks the examination calls";
    return false;
  }
  return true;
}

bool SheetArgument(int, char**, std::u16string* path) {
  int count = 0;
  LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!args) return false;
  const bool one = count == 2;
  if (one) *path = std::u16string(args[1], args[1] + wcslen(args[1]));
  LocalFree(args);
  return one;
}

void WriteOut(std::string_view bytes) {
  static const bool binary = (_setmode(_fileno(stdout), _O_BINARY), true);
  (void)binary;
  std::fwrite(bytes.data(), 1, bytes.size(), stdout);
}

}  // namespace cuedump
