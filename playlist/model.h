// The playlist: the ordered entries the player plays, with its totals, its one
// sample rate and the id counter. The window thread is the only writer; the
// feeder thread reads the count and copies of entries through the locked
// accessors below, never the list itself.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace playlist {

constexpr int32_t MaxPlaylistEntries = 96;
constexpr int32_t VisibleRows = 16;
constexpr int32_t ScrollStep = 8;

struct PlaylistEntry {
  std::u16string FilePath;
  std::u16string Title;
  std::u16string Extension;
  int32_t SampleRate = 0;
  std::u16string ListTitle;
  std::u16string DurationText;
  int8_t IsCueTrack = 0;
  int64_t CueStart = 0;
  int64_t CueEnd = 0;
  int64_t ByteLength = 0;
  int32_t EntryId = 0;
  std::u16string CoverPath;
};

// Window-thread state of the playlist (the list itself lives behind the lock).
struct PlaylistState {
  int32_t CurrentIndex = 0;
  int32_t ScrollOffset = 0;
  int64_t PlaylistBytes = 0;
  int32_t PlaylistRate = 0;
  int32_t NextEntryId = 0;
};
extern PlaylistState State;

void AppendPlaylistEntry(const PlaylistEntry& entry);
void EmptyPlaylist();
void DeleteCurrentEntry();
// direction 1 moves the entry at index one place up, 2 one place down.
void MovePlaylistEntry(int32_t direction, int32_t index);

// Adds 2 to NextEntryId and returns the new value: ids are even and never reused.
int32_t TakeEntryId();

// Safe from any thread.
int32_t PlaylistCount();
bool CopyPlaylistEntry(int32_t index, PlaylistEntry* out);
bool FindPlaylistEntry(int32_t entryId, PlaylistEntry* out);
std::vector<PlaylistEntry> CopyPlaylist();

// Back to the state of a fresh run, ids included; for tests and tools only.
void ResetPlaylistForTesting();

}  // namespace playlist
