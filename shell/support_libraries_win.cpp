#include <windows.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

#include "shell/message_box.h"
#include "shell/program.h"
#include "shell/runtime.h"
#include "shell/support_libraries.h"
#include "shell/test_build.h"
#include "support/bind_by_name.h"

namespace shell {

namespace {

const wchar_t* Wide(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }

bool IsFolder(const std::u16string& path) {
  const DWORD attributes = GetFileAttributesW(Wide(path));
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Whether the file at path holds exactly these bytes. A library of the same
// size but other content (a rebuilt one: libraries are padded to 512-byte
// multiples, so sizes often stay) must be rewritten, or the old code runs on.
bool HoldsExactly(const std::u16string& path, std::span<const uint8_t> bytes) {
  HANDLE file = CreateFileW(Wide(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size{};
  bool same = GetFileSizeEx(file, &size) && static_cast<uint64_t>(size.QuadPart) == bytes.size();
  std::vector<uint8_t> block(1 << 16);
  for (size_t done = 0; same && done < bytes.size();) {
    DWORD got = 0;
    const DWORD want = static_cast<DWORD>(std::min<size_t>(block.size(), bytes.size() - done));
    if (!ReadFile(file, block.data(), want, &got, nullptr) || got != want ||
        std::memcmp(block.data(), bytes.data() + done, want) != 0) {
      same = false;
    }
    done += got;
  }
  CloseHandle(file);
  return same;
}

bool WriteLibrary(const std::u16string& path, std::span<const uint8_t> bytes) {
  HANDLE file = CreateFileW(Wide(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  // An existing hidden, system file refuses a plain create: truncate it instead.
  if (file == INVALID_HANDLE_VALUE) {
    file = CreateFileW(Wide(path), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  SetFileAttributesW(Wide(path), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  return true;
}

// Looks exports of one loaded library up by name.
struct Exports {
  HMODULE library;
  void* operator()(const char* name) const { return reinterpret_cast<void*>(GetProcAddress(library, name)); }
};

// Loads one library by full path; its imports resolve from its own folder
// and the system folder only, never from the current folder or PATH. A
// library that lacks one of the exports counts as not loaded: no empty entry
// is ever called.
template <typename Bind>
void LoadOrQuit(const char16_t* fileName, const char16_t* title, const char16_t* text, Bind bind) {
  const std::u16string path = UserDataFolder + fileName;
  HMODULE library = LoadLibraryExW(Wide(path), nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (library) Runtime.Libraries.push_back(library);
  if (!library || !bind(library)) {
    ShowMessage(title, text, kStyleOk);
    ReleaseRuntime();
  }
}

std::u16string FullPath(const std::u16string& path) {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD n = GetFullPathNameW(Wide(path), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    if (n == 0) return path;
    if (n < buffer.size()) return std::u16string(buffer.begin(), buffer.begin() + n);
    buffer.resize(n + 1);
  }
}

}  // namespace

std::u16string GetUserDataFolder(int folderId) {
  wchar_t path[MAX_PATH];
  if (FAILED(SHGetFolderPathW(nullptr, folderId, nullptr, SHGFP_TYPE_CURRENT, path))) return {};
  std::u16string folder(reinterpret_cast<const char16_t*>(path));
  if (folder.empty()) return {};
  if (folder.back() != u'\\') folder += u'\\';
  return folder;
}

int InstallSupportLibrariesInto(const std::u16string& base, std::span<const CarriedLibrary> libraries) {
  std::u16string path = base + u"Ambrell";
  if (!IsFolder(path)) CreateDirectoryW(Wide(path), nullptr);

  path = base + u"Ambrell\\am20";
  if (!IsFolder(path)) {
    CreateDirectoryW(Wide(path), nullptr);
    SetFileAttributesW(Wide(path), FILE_ATTRIBUTE_HIDDEN);
  } else {
    const DWORD attributes = GetFileAttributesW(Wide(path));
    if (!(attributes & FILE_ATTRIBUTE_HIDDEN)) SetFileAttributesW(Wide(path), FILE_ATTRIBUTE_HIDDEN);
  }
  // Loading wants a full path: a relative base is taken against the current folder.
  UserDataFolder = FullPath(path) + u"\\";

  int written = 0;
  for (const CarriedLibrary& library : libraries) {
    const std::u16string file = UserDataFolder + library.FileName;
    if (HoldsExactly(file, library.Bytes)) continue;
    if (WriteLibrary(file, library.Bytes)) ++written;
  }
  return written;
}

void InstallSupportLibraries() {
  InstallSupportLibrariesInto(TestBuildUserDataBase(GetUserDataFolder(CSIDL_LOCAL_APPDATA)), CarriedLibraries());
}

int BindSupportLibraries() {
  LoadOrQuit(u"orvo.dll", u"AM", u"Error open orvo.dll", [](HMODULE m) { return support::BindEngineEntries(Exports{m}); });
  LoadOrQuit(u"orva.dll", u"Ambrell", u"Error open orva.dll",
             [](HMODULE m) { return support::BindOutputEntries(Exports{m}); });
  LoadOrQuit(u"orvu.dll", u"AM", u"Error open orvu.dll", [](HMODULE m) { return support::BindFlacEntries(Exports{m}); });
  LoadOrQuit(u"oraa.dll", u"AM", u"Error open oraa.dll", [](HMODULE m) { return support::BindAlacEntries(Exports{m}); });
  if (support::Orvo.ErrorGetCode() != 0) {
    ShowMessage(u"AM", u"Error Orva Library", kStyleOk);
    ReleaseRuntime();
  }
  return 0;
}

}  // namespace shell
