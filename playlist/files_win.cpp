// Folder listing with the wide find calls: the standard library's iterator
// cannot list extended-length paths here, and album folders get deep.
#include <windows.h>

#include "playlist/files.h"

namespace playlist {

bool ListFolder(const std::u16string& folder, std::vector<FolderItem>* out) {
  out->clear();
  std::u16string pattern = ExtendedLengthPath(folder);
  if (!pattern.empty() && pattern.back() != u'\\' && pattern.back() != u'/') pattern += u'\\';
  pattern += u'*';
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileExW(reinterpret_cast<const wchar_t*>(pattern.c_str()), FindExInfoBasic, &found,
                                 FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (find == INVALID_HANDLE_VALUE) return false;
  do {
    const std::u16string name(reinterpret_cast<const char16_t*>(found.cFileName));
    if (name == u"." || name == u"..") continue;
    out->push_back({name, (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
  } while (FindNextFileW(find, &found));
  FindClose(find);
  return true;
}

}  // namespace playlist
