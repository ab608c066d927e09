// The file-system edge of the playlist: paths stay UTF-16 text everywhere else
// and are converted here (wide paths on Windows, UTF-8 natively).
#pragma once
#include <cstddef>
#include <string>
#include <vector>

namespace playlist {

struct FolderItem {
  std::u16string Name;
  bool IsFolder = false;
};

// Reads the whole file when it is at most limit bytes long.
bool ReadFileBytes(const std::u16string& path, size_t limit, std::string* out);
// The folder's entries in the order the file system returns them, without
// "." and "..". False (and nothing listed) when the folder cannot be read.
bool ListFolder(const std::u16string& folder, std::vector<FolderItem>* out);
bool IsFolder(const std::u16string& path);

// Windows paths of MAX_PATH length or more only work in their extended-length
// form ("\\?\C:\..." or "\\?\UNC\server\..."), which must use backslashes
// throughout; shorter paths and paths already extended come back unchanged.
std::u16string ExtendedLengthPath(std::u16string_view path);

}  // namespace playlist
