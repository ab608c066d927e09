#include "playlist/files.h"

#include <filesystem>
#include <fstream>
#include <system_error>

#include "shell/text.h"

namespace playlist {

namespace fs = std::filesystem;

namespace {
fs::path ToPath(const std::u16string& path) {
#ifdef _WIN32
  return fs::path(std::wstring(path.begin(), path.end()));
#else
  const std::string utf8 = shell::Utf8FromUtf16(path);
  return fs::path(utf8);
#endif
}

std::u16string FromPath(const fs::path& path) {
#ifdef _WIN32
  const std::wstring wide = path.wstring();
  return std::u16string(wide.begin(), wide.end());
#else
  return shell::Utf16FromUtf8(path.string());
#endif
}
}  // namespace

bool ReadFileBytes(const std::u16string& path, size_t limit, std::string* out) {
  std::ifstream in(ToPath(path), std::ios::binary);
  if (!in) return false;
  std::string bytes;
  char block[65536];
  while (in) {
    in.read(block, sizeof block);
    const auto got = static_cast<size_t>(in.gcount());
    if (bytes.size() + got > limit) return false;
    bytes.append(block, got);
  }
  if (in.bad()) return false;
  *out = std::move(bytes);
  return true;
}

bool ListFolder(const std::u16string& folder, std::vector<FolderItem>* out) {
  out->clear();
  std::error_code ec;
  fs::directory_iterator it(ToPath(folder), ec);
  if (ec) return false;
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (ec) break;
    std::error_code typeError;
    const bool isFolder = it->is_directory(typeError);
    out->push_back({FromPath(it->path().filename()), isFolder && !typeError});
  }
  return true;
}

bool IsFolder(const std::u16string& path) {
  std::error_code ec;
  return fs::is_directory(ToPath(path), ec) && !ec;
}

}  // namespace playlist
