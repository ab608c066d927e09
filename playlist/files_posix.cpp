// Folder listing through the standard library; the order is the file system's.
#include <filesystem>
#include <system_error>

#include "playlist/files.h"
#include "shell/text.h"

namespace playlist {

namespace fs = std::filesystem;

bool ListFolder(const std::u16string& folder, std::vector<FolderItem>* out) {
  out->clear();
  std::error_code ec;
  fs::directory_iterator it(fs::path(shell::Utf8FromUtf16(folder)), ec);
  if (ec) return false;
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (ec) break;
    std::error_code typeError;
    const bool isFolder = it->is_directory(typeError);
    out->push_back({shell::Utf16FromUtf8(it->path().filename().string()), isFolder && !typeError});
  }
  return true;
}

}  // namespace playlist
