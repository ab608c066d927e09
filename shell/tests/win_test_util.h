// Helpers for tests that run under Windows: a scratch folder, files, and
// starting programs as processes.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace testutil {

inline std::wstring Wide(const std::u16string& s) { return std::wstring(s.begin(), s.end()); }

// A fresh folder under the temporary folder, removed with its files at the end.
class ScratchFolder {
 public:
  explicit ScratchFolder(const wchar_t* name) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    path_ = std::wstring(temp) + name + L"-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    Remove();
    CreateDirectoryW(path_.c_str(), nullptr);
  }
  ~ScratchFolder() { Remove(); }
  const std::wstring& Path() const { return path_; }
  std::wstring operator/(const std::wstring& name) const { return path_ + name; }

 private:
  void Remove() {
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW((path_ + L"*").c_str(), &found);
    if (h != INVALID_HANDLE_VALUE) {
      do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        SetFileAttributesW((path_ + name).c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW((path_ + name).c_str());
      } while (FindNextFileW(h, &found));
      FindClose(h);
    }
    RemoveDirectoryW(path_.c_str());
  }
  std::wstring path_;
};

inline std::vector<uint8_t> ReadWholeFile(const std::wstring& path) {
  std::vector<uint8_t> bytes;
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return bytes;
  uint8_t block[4096];
  DWORD got = 0;
  while (ReadFile(h, block, sizeof block, &got, nullptr) && got > 0) bytes.insert(bytes.end(), block, block + got);
  CloseHandle(h);
  return bytes;
}

inline bool WriteWholeFile(const std::wstring& path, const std::vector<uint8_t>& bytes) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(h);
  return ok && written == bytes.size();
}

inline bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// A Unix path of the build (as CMake gives it) seen from Wine's drive Z:.
inline std::wstring FromBuildPath(const char* unixPath) {
  std::wstring p;
  for (const char* c = unixPath; *c; ++c) p += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
  return unixPath[0] == '/' ? L"Z:" + p : p;
}

}  // namespace testutil
