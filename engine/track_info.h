// NowPlaying and TrackInfoQueue without a lock the callback could wait on.
//
// Records live in a fixed table prepared before the device starts: one
// playback opens each playlist entry at most once, so MaxPlaylistEntries + 1
// slots always suffice and no slot is reused while the feeder or the callback
// runs. The feeder fills the slot at the queue's tail and publishes it by
// moving the tail; the callback takes the head into NowPlaying by moving an
// index; the main thread reads the record the index names. Only the Played
// count of a record changes after it is published.
//
// Threads: Reset* and OverwriteNowPlaying on the main thread while neither
// the feeder nor the callback runs; Append on the feeder; Count/Advance on
// the callback; Read on the main thread at any time.
#pragma once
#include <cstdint>

#include "engine/engine.h"

namespace engine::trackinfo {

// Empties the queue and resets NowPlaying (texts empty, numbers 0).
void Reset();
void OverwriteNowPlaying(const TrackInfo& info);
// False when the table is full (cannot happen with a 96-entry playlist).
bool Append(const TrackInfo& info);
bool QueueEmpty();
// Output callback: adds n played bytes and, when NowPlaying is done and the
// queue holds the next track, moves to it with the overshoot as its Played.
void CountPlayed(int64_t n);

}  // namespace engine::trackinfo
