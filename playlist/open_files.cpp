#include "playlist/open_files.h"

#include "playlist/model.h"
#include "playlist/names.h"
#include "playlist/sources.h"
#include "playlist/view.h"

namespace playlist {

std::vector<std::u16string> SplitOpenFilesSelection(std::u16string_view selection) {
  std::vector<std::u16string> parts;
  size_t begin = 0;
  while (begin < selection.size()) {
    const size_t end = selection.find(u'\0', begin);
    const std::u16string_view part = selection.substr(begin, end == std::u16string_view::npos ? end : end - begin);
    if (part.empty()) break;  // the second NUL ends the list
    parts.emplace_back(part);
    if (end == std::u16string_view::npos) break;
    begin = end + 1;
  }
  if (parts.size() <= 1) return parts;
  std::u16string folder = parts[0];
  // A drive's root comes with its backslash already.
  if (!IsPathSeparator(folder.back())) folder += u'\\';
  std::vector<std::u16string> paths;
  for (size_t i = 1; i < parts.size(); ++i) paths.push_back(folder + parts[i]);
  return paths;
}

void AddChosenFiles(const std::vector<std::u16string>& paths) {
  for (size_t i = 0; i < paths.size(); ++i) {
    if (i > 0) View().DispatchPendingMessages();
    AddAudioFile(paths[i]);
  }
}

}  // namespace playlist
