#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "playlist/open_files.h"
#include "playlist/sources.h"

namespace playlist {

void OpenFilesDialog() {
  std::u16string filter(kOpenFilesFilter);
  for (char16_t& c : filter) {
    if (c == u'|') c = u'\0';
  }
  filter += u'\0';
  // Room for a large multiple selection: a buffer too small returns nothing.
  std::vector<wchar_t> selection(1 << 20, L'\0');
  const std::u16string preset(kOpenFilesPreset);
  std::copy(preset.begin(), preset.end(), selection.begin());
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = GetActiveWindow();
  dialog.lpstrFilter = reinterpret_cast<const wchar_t*>(filter.c_str());
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = selection.data();
  dialog.nMaxFile = static_cast<DWORD>(selection.size());
  dialog.lpstrTitle = reinterpret_cast<const wchar_t*>(kOpenFilesTitle);
  dialog.Flags = OFN_ALLOWMULTISELECT | OFN_EXPLORER | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
  if (!GetOpenFileNameW(&dialog)) return;
  const std::u16string_view chosen(reinterpret_cast<const char16_t*>(selection.data()), selection.size());
  AddChosenFiles(SplitOpenFilesSelection(chosen));
}

void AddDroppedFiles(void* drop) {
  const auto handle = static_cast<HDROP>(drop);
  const UINT count = DragQueryFileW(handle, 0xFFFFFFFF, nullptr, 0);
  std::u16string items;
  for (UINT i = 0; i < count; ++i) {
    const UINT length = DragQueryFileW(handle, i, nullptr, 0);
    std::wstring name(length + 1, L'\0');
    DragQueryFileW(handle, i, name.data(), length + 1);
    name.resize(length);
    if (i > 0) items += u'\n';
    items.append(name.begin(), name.end());
  }
  DragFinish(handle);
  if (count > 0) AddDroppedItems(items);
}

}  // namespace playlist
