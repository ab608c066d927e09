#include "temp_folder.h"

#include <atomic>
#include <fstream>
#include <system_error>

#include "playlist/names.h"
#include "shell/text.h"

namespace playlist_test {

namespace fs = std::filesystem;

namespace {
fs::path FromUtf8(const std::string& name) {
#ifdef _WIN32
  std::u16string wide = shell::Utf16FromUtf8(name);
  for (char16_t& c : wide) {
    if (c == u'/') c = u'\\';  // extended-length paths take backslashes only
  }
  return fs::path(std::wstring(wide.begin(), wide.end()));
#else
  return fs::path(name);
#endif
}
}  // namespace

TempFolder::TempFolder() {
  static std::atomic<int> serial{0};
  std::error_code ec;
  const fs::path base = fs::temp_directory_path(ec);
  for (int attempt = 0;; ++attempt) {
    root_ = base / ("veloran-playlist-" + std::to_string(reinterpret_cast<uintptr_t>(this) % 100000) + "-" +
                    std::to_string(serial++) + "-" + std::to_string(attempt));
    if (fs::create_directory(root_, ec)) break;
  }
}

TempFolder::~TempFolder() {
  std::error_code ec;
  fs::remove_all(root_, ec);
}

std::u16string TempFolder::Path() const {
#ifdef _WIN32
  const std::wstring wide = root_.wstring();
  return std::u16string(wide.begin(), wide.end()) + u'\\';
#else
  return shell::Utf16FromUtf8(root_.string()) + u'/';
#endif
}

void TempFolder::Add(const std::string& name, const std::string& content) {
  std::error_code ec;
  fs::path base = root_;
#ifdef _WIN32
  // Deep test folders go past MAX_PATH: create them by extended-length paths.
  base = fs::path(L"\\\\?\\" + root_.wstring());
#endif
  if (!name.empty() && name.back() == '/') {
    fs::create_directories(base / FromUtf8(name.substr(0, name.size() - 1)), ec);
    return;
  }
  const fs::path file = base / FromUtf8(name);
  fs::create_directories(file.parent_path(), ec);
  std::ofstream(file, std::ios::binary) << content;
}

}  // namespace playlist_test
