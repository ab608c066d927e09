// Decoding into memory. Threads: DecodeTrack, DecodeNextTrack and
// ReadDecodedData run on the feeder thread, except the first DecodeNextTrack
// of a playback, which StartPlayback runs on the main thread before the
// feeder exists; the two never overlap. AllocateEngineBuffers,
// IsFileReadable and EngineErrorText run on whichever thread calls them (the
// main thread at start-up; the feeder for a refused entry).
#include <algorithm>
#include <cstdio>
#include <string>

#include "engine/engine.h"
#include "engine/track_info.h"
#include "playlist/files.h"
#include "playlist/model.h"
#include "shell/message_box.h"
#include "shell/text.h"
#include "support/bound_entries.h"

namespace engine {

EngineBuffers Buffers;
DecoderState Decoder;

namespace {

constexpr uint32_t kPlaybackStreamFlags = 0x80200110;
constexpr int kOpenAttempts = 7;
// DecodeTrack's wait on BufferSemaphore is cut into slices so that a stop is
// noticed even when nobody releases the semaphore (the device never started).
constexpr uint32_t kSemaphoreSliceMs = 20;

std::u16string Lower(std::u16string text) {
  for (char16_t& c : text)
    if (c >= u'A' && c <= u'Z') c = char16_t(c - u'A' + u'a');
  return text;
}

// The name the system opens: deep album folders reach past MAX_PATH on
// Windows, where only the extended-length form opens (as when the file was
// examined and added).
std::u16string SystemPath(const std::u16string& path) {
#if defined(_WIN32)
  return playlist::ExtendedLengthPath(path);
#else
  return path;
#endif
}

uint32_t OpenByExtension(const std::u16string& ext, const std::u16string& path) {
  const std::u16string name = SystemPath(path);
  const void* file = name.c_str();
  if (ext == u"wav" || ext == u"aif" || ext == u"aiff")
    return support::Orvo.StreamCreateFile(0, file, 0, 0, kPlaybackStreamFlags);
  if (ext == u"flac") return support::Orvo.FlacStreamCreateFile(0, file, 0, 0, kPlaybackStreamFlags);
  if (ext == u"m4a") return support::Orvo.AlacStreamCreateFile(0, file, 0, 0, kPlaybackStreamFlags);
  return 0;
}

// Stops and frees the open stream, then the engine's fixed settling delay.
void ReleaseCurrentStream() {
  const uint32_t stream = Decoder.CurrentStream.load(std::memory_order_relaxed);
  if (stream == 0) return;
  support::Orvo.ChannelStop(stream);
  support::Orvo.StreamFree(stream);
  platform::Sleep(200);
  Decoder.CurrentStream.store(0, std::memory_order_relaxed);
}

bool Stopping() { return Decoder.StopRequested.load() != 0; }

}  // namespace

void AllocateEngineBuffers() {
  const int64_t f = platform::TotalPhysicalMemory() < 16777216 ? 4 : 6;
  const int64_t size = 86929920 * f + 31948800;
  // Reserved whole, but only what is written is ever touched: the memory
  // reads as zero until then, and StopEngine zeroes only what was written.
  Buffers.DecodeBuffer = static_cast<uint8_t*>(platform::ReserveZeroedMemory(size_t(size)));
  Buffers.OutputBuffer2 = static_cast<uint8_t*>(platform::ReserveZeroedMemory(size_t(size)));
  Buffers.OutputBuffer1 = static_cast<uint8_t*>(platform::ReserveZeroedMemory(size_t(size)));
  // Without all three nothing can play; StartPlayback then stays stopped.
  Buffers.BufferSize = (Buffers.DecodeBuffer && Buffers.OutputBuffer1 && Buffers.OutputBuffer2) ? size : 0;
  Buffers.DecodeWritten.store(0, std::memory_order_relaxed);
  Buffers.Output1Written.store(0, std::memory_order_relaxed);
  Buffers.Output2Written.store(0, std::memory_order_relaxed);
}

void SetFillTargetForTesting(int64_t bytes) {
  Decoder.ChunkTarget = (bytes >= FrameBytes && bytes <= ChunkSize) ? bytes - bytes % FrameBytes : ChunkSize;
}

void DecodeTrack(int32_t index) {
  ReleaseCurrentStream();

  playlist::PlaylistEntry entry;
  if (!playlist::CopyPlaylistEntry(index, &entry)) return;
  const std::u16string ext = Lower(entry.Extension);

  uint32_t stream = 0;
  int32_t code = 0;
  for (int attempt = 1; attempt <= kOpenAttempts; ++attempt) {
    if (!IsFileReadable(entry.FilePath)) {
      stream = 0;
      break;
    }
    stream = OpenByExtension(ext, entry.FilePath);
    code = support::Orvo.ErrorGetCode();
    if (code == 0) break;
    // A stop while an entry is refused ends the attempts at once, with no
    // message: the user asked for the stop.
    if (attempt == kOpenAttempts || Stopping()) break;
    platform::Sleep(120);
  }
  if (code != 0 && stream != 0) {
    // A handle together with an error code is not a stream to play.
    support::Orvo.StreamFree(stream);
    stream = 0;
  }
  Decoder.CurrentStream.store(stream);  // seq_cst: pairs with the stop path (transport.cpp)
  if (stream == 0 && code != 0 && !Stopping()) {
    EngineErrorText(code);
    platform::DropPendingEvents();
  }
  if (stream == 0) return;

  support::Orvo.ChannelSetDevice(stream, 0);
  // Slices, so that a stop is noticed even when no count ever comes.
  while (!BufferSemaphore().Take(kSemaphoreSliceMs)) {
    if (Stopping()) return;  // the stream stays current; the stop path frees it
  }
  if (entry.IsCueTrack == 1) support::Orvo.ChannelSetPosition(stream, uint64_t(entry.CueStart), 0);

  TrackInfo info;
  info.Title = entry.Title;
  info.EntryId = entry.EntryId;
  info.CoverPath = entry.CoverPath;
  info.Played = 0;
  if (entry.IsCueTrack == 1) {
    info.Length = entry.CueEnd - entry.CueStart;
    Decoder.StreamEndPosition = entry.CueEnd;
  } else {
    info.Length = int64_t(support::Orvo.ChannelGetLength(stream, 0));
    Decoder.StreamEndPosition = 0;
  }
  if (Transport.FeederThread.load(std::memory_order_acquire) != 0) {
    trackinfo::Append(info);
  } else {
    trackinfo::OverwriteNowPlaying(info);
  }
  Decoder.NextDecodeIndex.store(index + 1, std::memory_order_relaxed);
}

void DecodeNextTrack() {
  const int32_t count = playlist::PlaylistCount();
  if (Decoder.PlayState.load(std::memory_order_relaxed) == 0) {
    if (count >= 1) {
      Decoder.PlayState.store(1, std::memory_order_relaxed);
      DecodeTrack(playlist::State.CurrentIndex);
    }
    return;
  }
  const int32_t next = Decoder.NextDecodeIndex.load(std::memory_order_relaxed);
  if (next < count) {
    DecodeTrack(next);
  } else if (next == count) {
    Decoder.PlayState.store(255, std::memory_order_relaxed);
  }
}

void ReadDecodedData() {
  const int64_t target = Decoder.ChunkTarget;
  Decoder.DecodedBytes = 0;
  int32_t r = 0;
  for (;;) {
    if (Stopping()) {
      ReleaseCurrentStream();
      return;
    }
    const uint32_t stream = Decoder.CurrentStream.load(std::memory_order_relaxed);
    if (stream != 0) {
      int64_t request = target - Decoder.DecodedBytes;
      if (Decoder.StreamEndPosition > 0) {
        const int64_t pos = int64_t(support::Orvo.ChannelGetPosition(stream, 0));
        if (!(pos + target - Decoder.DecodedBytes < Decoder.StreamEndPosition)) {
          // A position past the track's end (or none reported) asks for
          // nothing, which ends the track, instead of a negative request.
          request = std::max<int64_t>(0, Decoder.StreamEndPosition - pos);
        }
      }
      request -= request % FrameBytes;
      // The decoder may write anywhere in the request, even when it fails.
      if (Buffers.DecodeWritten.load(std::memory_order_relaxed) < Decoder.DecodedBytes + request)
        Buffers.DecodeWritten.store(Decoder.DecodedBytes + request, std::memory_order_relaxed);
      r = support::Orvo.ChannelGetData(stream, Buffers.DecodeBuffer + Decoder.DecodedBytes, int32_t(request));
      if (r > request) r = int32_t(request);  // never trust more than was asked
      if (r >= 0) Decoder.DecodedBytes += r;
    }
    if (Decoder.CurrentStream.load(std::memory_order_relaxed) == 0 || r < 0) {
      ReleaseCurrentStream();
      Decoder.DataState.store(2, std::memory_order_release);
      return;
    }
    if (Decoder.DecodedBytes >= target) return;
    ReleaseCurrentStream();
    DecodeNextTrack();
  }
}

bool IsFileReadable(const std::u16string& path) {
#if defined(_WIN32)
  FILE* file = _wfopen(reinterpret_cast<const wchar_t*>(SystemPath(path).c_str()), L"rb");
#else
  FILE* file = std::fopen(shell::Utf8FromUtf16(path).c_str(), "rb");
#endif
  if (file == nullptr) return false;
  (void)std::fgetc(file);
  std::fclose(file);
  return true;
}

void EngineErrorText(int32_t code) {
  const char16_t* text = nullptr;
  switch (code) {
    case 0: text = u"All is OK"; break;
    case 1: text = u"Memory error"; break;
    case 2: text = u"Can't open the file"; break;
    case 3: text = u"Can't find a free/valid driver"; break;
    case 6: text = u"Unsupported sample format"; break;
    case 8: text = u"Orva_ASIO_Init has Not been successfully called"; break;
    case 9: text = u"Orva_ASIO_Start has/hasn't been called"; break;
    case 14: text = u"Already initialized/started"; break;
    case 18: text = u"Can't get a free channel"; break;
    case 20: text = u"An illegal parameter was specified"; break;
    case 23: text = u"Illegal device number"; break;
    case 25: text = u"Illegal sample rate"; break;
    case 27: text = u"The stream is not a file stream"; break;
    case 37: text = u"Requested data is not available"; break;
    case 40: text = u"Connection timedout"; break;
    case 41: text = u"Unsupported file format"; break;
    case 44: text = u"Codec is not available/supported"; break;
    case -1: text = u"Some other mystery error"; break;
    default: break;
  }
  std::u16string message;
  if (text != nullptr) {
    message = text;
  } else {
    const std::string digits = std::to_string(code);
    message = u"Error code #" + std::u16string(digits.begin(), digits.end());
  }
  shell::ShowMessage(u"Error", message, shell::kStyleIconError);
}

}  // namespace engine
