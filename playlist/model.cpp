#include "playlist/model.h"

#include <mutex>
#include <utility>

#include "playlist/cover_view.h"
#include "playlist/panel.h"
#include "playlist/view.h"

namespace playlist {

PlaylistState State;

namespace {
// Excludes the feeder's reads from the window thread's changes; the output
// callback never touches the playlist, so a plain mutex is enough.
std::mutex ListLock;
std::vector<PlaylistEntry> Entries;
}  // namespace

void AppendPlaylistEntry(const PlaylistEntry& entry) {
  int32_t index = -1;
  {
    std::lock_guard<std::mutex> hold(ListLock);
    if (static_cast<int32_t>(Entries.size()) < MaxPlaylistEntries) {
      Entries.push_back(entry);
      index = static_cast<int32_t>(Entries.size()) - 1;
    }
  }
  if (index >= 0) {
    State.PlaylistBytes += entry.ByteLength;
    DrawPlaylistRow(index, entry.ListTitle, entry.DurationText);
    View().ShowPlaylistTotals();
    if (index == 0 && View().IsPlaybackIdle()) {
      if (entry.CoverPath.size() > 4) ShowCoverArt(entry.CoverPath);
      else HideCoverArt();
    }
  }
  View().DispatchPendingMessage();
}

void EmptyPlaylist() {
  {
    std::lock_guard<std::mutex> hold(ListLock);
    Entries.clear();
  }
  State.PlaylistBytes = 0;
  State.CurrentIndex = 0;
  View().ShowPlaylistTotals();
  State.PlaylistRate = 0;
  View().ShowStatusLabel(u"");
  ResetPlaylistPanel();
}

void DeleteCurrentEntry() {
  {
    std::lock_guard<std::mutex> hold(ListLock);
    const auto count = static_cast<int32_t>(Entries.size());
    const int32_t index = State.CurrentIndex;
    if (count <= 1 || index < 0 || index >= count) return;
    State.PlaylistBytes -= Entries[index].ByteLength;
    Entries.erase(Entries.begin() + index);
    // Deleting the last entry would leave CurrentIndex naming nothing, and
    // playback starts there: it comes back onto the new last entry.
    if (State.CurrentIndex >= count - 1) State.CurrentIndex = count - 2;
  }
  DrawPlaylist();
  View().ShowPlaylistTotals();
}

void MovePlaylistEntry(int32_t direction, int32_t index) {
  {
    std::lock_guard<std::mutex> hold(ListLock);
    const auto count = static_cast<int32_t>(Entries.size());
    if (count <= 1) return;
    if (direction == 1) {
      if (index <= 0 || index >= count) return;
      std::swap(Entries[index - 1], Entries[index]);
      if (State.ScrollOffset > 0 && index == State.ScrollOffset * ScrollStep) --State.ScrollOffset;
      // The moved entry stays current, whatever index the caller passed.
      State.CurrentIndex = index - 1;
    } else if (direction == 2) {
      if (index < 0 || index >= count - 1) return;
      std::swap(Entries[index], Entries[index + 1]);
      if (index == State.ScrollOffset * ScrollStep + VisibleRows - 1) ++State.ScrollOffset;
      State.CurrentIndex = index + 1;
    } else {
      return;
    }
  }
  DrawPlaylist();
}

int32_t TakeEntryId() {
  State.NextEntryId += 2;
  return State.NextEntryId;
}

int32_t PlaylistCount() {
  std::lock_guard<std::mutex> hold(ListLock);
  return static_cast<int32_t>(Entries.size());
}

bool CopyPlaylistEntry(int32_t index, PlaylistEntry* out) {
  std::lock_guard<std::mutex> hold(ListLock);
  if (index < 0 || index >= static_cast<int32_t>(Entries.size())) return false;
  *out = Entries[index];
  return true;
}

bool FindPlaylistEntry(int32_t entryId, PlaylistEntry* out) {
  std::lock_guard<std::mutex> hold(ListLock);
  for (const PlaylistEntry& e : Entries) {
    if (e.EntryId == entryId) {
      *out = e;
      return true;
    }
  }
  return false;
}

std::vector<PlaylistEntry> CopyPlaylist() {
  std::lock_guard<std::mutex> hold(ListLock);
  return Entries;
}

void ResetPlaylistForTesting() {
  {
    std::lock_guard<std::mutex> hold(ListLock);
    Entries.clear();
  }
  State = PlaylistState{};
}

}  // namespace playlist
