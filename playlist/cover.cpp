#include "playlist/cover.h"

#include <vector>

#include "playlist/files.h"
#include "playlist/names.h"

namespace playlist {

namespace {
bool IsCoverName(std::u16string_view fileName, std::u16string_view extension) {
  const std::u16string_view ext = ExtensionOf(fileName);
  if (LowerAscii(ext) != extension) return false;
  const std::u16string stem = LowerAscii(TitleOf(fileName));
  return stem == u"cover" || stem == u"front" || stem == u"folder";
}

std::u16string FindIn(const std::u16string& folder, std::u16string_view extension) {
  std::vector<FolderItem> items;
  if (!ListFolder(folder, &items)) return {};
  for (const FolderItem& item : items) {
    if (!item.IsFolder && IsCoverName(item.Name, extension)) return folder + item.Name;
  }
  return {};
}
}  // namespace

std::u16string FindCoverArt(std::u16string_view path) {
  const std::u16string folder(FolderOf(path));
  // The separator of the path itself, so a path written with '/' keeps it.
  const char16_t separator = folder.empty() ? kPathSeparator : folder.back();
  const std::u16string art = folder + u"Art" + separator;
  for (const std::u16string_view extension : {u"png", u"jpg"}) {
    for (const std::u16string* where : {&art, &folder}) {
      std::u16string found = FindIn(*where, extension);
      if (!found.empty()) return found;
    }
  }
  return {};
}

}  // namespace playlist
