#include "engine/track_info.h"

#include <array>

#include "playlist/model.h"

namespace engine {
namespace {

struct Record {
  int64_t Length = 0;
  std::u16string Title;
  std::atomic<int64_t> Played{0};
  int32_t EntryId = 0;
  std::u16string CoverPath;
};

constexpr uint32_t kSlots = playlist::MaxPlaylistEntries + 1;
std::array<Record, kSlots> Records;
// Slot of NowPlaying. Written by the callback with release, read by the main
// thread with acquire: the record's texts, written by the feeder before it
// published the slot, are then visible to the main thread as well.
std::atomic<uint32_t> NowSlot{0};
// Next slot the callback takes; written only by the callback (relaxed), read
// by the feeder only to know the queue's emptiness.
std::atomic<uint32_t> Head{1};
// Next slot the feeder fills. Release by the feeder after it has written the
// record; acquire by the callback before it reads the record.
std::atomic<uint32_t> Tail{1};

void Fill(Record& r, const TrackInfo& info) {
  r.Length = info.Length;
  r.Title = info.Title;
  r.Played.store(info.Played, std::memory_order_relaxed);
  r.EntryId = info.EntryId;
  r.CoverPath = info.CoverPath;
}

}  // namespace

TrackInfo ReadNowPlaying() {
  const Record& r = Records[NowSlot.load(std::memory_order_acquire)];
  TrackInfo out;
  out.Length = r.Length;
  out.Title = r.Title;
  out.Played = r.Played.load(std::memory_order_relaxed);
  out.EntryId = r.EntryId;
  out.CoverPath = r.CoverPath;
  return out;
}

namespace trackinfo {

void Reset() {
  NowSlot.store(0, std::memory_order_relaxed);
  Fill(Records[0], TrackInfo{});
  Head.store(1, std::memory_order_relaxed);
  Tail.store(1, std::memory_order_relaxed);
}

void OverwriteNowPlaying(const TrackInfo& info) { Fill(Records[NowSlot.load(std::memory_order_relaxed)], info); }

bool Append(const TrackInfo& info) {
  const uint32_t t = Tail.load(std::memory_order_relaxed);
  if (t >= kSlots) return false;
  Fill(Records[t], info);
  Tail.store(t + 1, std::memory_order_release);
  return true;
}

bool QueueEmpty() {
  return Head.load(std::memory_order_relaxed) >= Tail.load(std::memory_order_acquire);
}

void CountPlayed(int64_t n) {
  const uint32_t now = NowSlot.load(std::memory_order_relaxed);
  Record& r = Records[now];
  const int64_t played = r.Played.load(std::memory_order_relaxed) + n;
  r.Played.store(played, std::memory_order_relaxed);
  if (played < r.Length) return;
  const uint32_t h = Head.load(std::memory_order_relaxed);
  if (h >= Tail.load(std::memory_order_acquire)) return;
  Records[h].Played.store(played - r.Length, std::memory_order_relaxed);
  NowSlot.store(h, std::memory_order_release);
  Head.store(h + 1, std::memory_order_relaxed);
}

}  // namespace trackinfo
}  // namespace engine
