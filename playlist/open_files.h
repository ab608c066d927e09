// The open-file dialog and files dropped from the shell.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace playlist {

constexpr char16_t kOpenFilesTitle[] = u"Open Audio files";
constexpr char16_t kOpenFilesPreset[] = u"*.*";
// Shown name and pattern pairs separated by '|'.
constexpr char16_t kOpenFilesFilter[] =
    u"*.WAV,*.FLAC,*.AIFF,*.AIF,*.M4A,*.CUE|*.WAV;*.FLAC;*.AIFF;*.AIF;*.M4A;*.CUE|Cue (*.CUE)|*.CUE";

// The dialog's multiple-selection result: NUL-separated texts ending in two
// NULs, either one full path or a folder followed by names in that folder.
std::vector<std::u16string> SplitOpenFilesSelection(std::u16string_view selection);

// Examines and appends the chosen files in order, skipping unsupported ones
// silently; the window repaints between files.
void AddChosenFiles(const std::vector<std::u16string>& paths);

// Windows only: shows the dialog (multiple selection, first filter, working
// folder unchanged) and adds what the user chose; nothing on cancel.
void OpenFilesDialog();
// Windows only: the files of a drop (an HDROP), released afterwards, added as
// AddDroppedItems does.
void AddDroppedFiles(void* drop);

}  // namespace playlist
