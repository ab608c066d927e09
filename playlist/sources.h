// Bringing audio into the playlist: examining files through the engine under
// the sample-rate rules, and adding folders and dropped items.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "playlist/model.h"

namespace playlist {

// "WAV", "CUE", "FLAC", "AIF", "AIFF" or "M4A" in any letter case.
bool IsPlaylistExtension(std::u16string_view extension);

// The highest rate the chosen device supports, 44100 when it reports none of
// the higher ones.
int32_t HighestDeviceRate();

// Fills entry from the file and returns true when the caller must append it.
// A sheet is read (its tracks appended) and gives false, as does a refused
// file; a refused file leaves the playlist, its rate and the label as they were.
bool ExamineAudioFile(std::u16string_view path, std::u16string_view extension, PlaylistEntry* entry);

// Examines and appends one file when its extension is supported.
void AddAudioFile(std::u16string_view path);

// folders: one folder path ending in a separator, or several separated by
// line feeds. Adds their supported files in listing order, no descent.
void AddFolder(std::u16string_view folders);

// items: full paths separated by line feeds, as the shell delivers a drop.
void AddDroppedItems(std::u16string_view items);

}  // namespace playlist
