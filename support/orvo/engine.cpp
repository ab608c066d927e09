// The engine's core: handles, positions, lengths and the per-thread error code.
// Decoders behind orvo::Decoder do the format work; everything a caller can
// get wrong is checked here, once, for every format.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <unordered_map>

#include "decoder.h"
#include "orvo.h"
#include "path_text.h"
#include "sndfile_decoder.h"

namespace orvo {
namespace {

// Each thread sees the outcome of its own last call: the decoder thread and
// the window thread call at the same time.
thread_local int32_t lastCode = ORVO_OK;

constexpr uint64_t kFrameBytes = 8;
constexpr uint64_t kNoValue = ~uint64_t{0};
// Beyond any real file; keeps byte counts of a lying header from overflowing.
constexpr uint64_t kMaxFrames = uint64_t{1} << 56;

struct Stream {
  std::unique_ptr<Decoder> decoder;
  uint32_t rate = 0;
  uint64_t length = 0;    // frames; lowered to what the file holds once that is known
  uint64_t position = 0;  // frames
  std::atomic<bool> stop{false};
};

// Open streams by handle. The lock is held only to find, add or drop an
// entry: decoding runs outside it, so streams work concurrently, and a
// stream lives on while a call that found it is still using it.
struct Registry {
  std::mutex lock;
  std::unordered_map<uint32_t, std::shared_ptr<Stream>> streams;
  uint32_t lastHandle = 0;
};

Registry& Streams() {
  static Registry registry;
  return registry;
}

std::shared_ptr<Stream> Find(uint32_t handle) {
  Registry& r = Streams();
  std::lock_guard<std::mutex> guard(r.lock);
  auto it = r.streams.find(handle);
  if (it == r.streams.end()) return nullptr;
  return it->second;
}

uint32_t Register(std::shared_ptr<Stream> stream) {
  Registry& r = Streams();
  std::lock_guard<std::mutex> guard(r.lock);
  uint32_t handle;
  do {
    handle = ++r.lastHandle;
  } while (handle == 0 || r.streams.count(handle) != 0);
  r.streams.emplace(handle, std::move(stream));
  return handle;
}

template <typename T>
T Fail(int32_t code, T result) {
  lastCode = code;
  return result;
}

template <typename T>
T Succeed(T result) {
  lastCode = ORVO_OK;
  return result;
}

// No exception leaves the library: memory shortage becomes code 1, anything
// else code -1.
template <typename T, typename F>
T Guarded(T failure, F&& body) {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return Fail(ORVO_ERROR_MEMORY, failure);
  } catch (...) {
    return Fail(ORVO_ERROR_UNKNOWN, failure);
  }
}

uint32_t CreateStream(Opener opener, int32_t fromMemory, const void* file, uint64_t offset, uint64_t length,
                      uint32_t flags) {
  return Guarded<uint32_t>(0, [&]() -> uint32_t {
    // Only whole files by name are played; the program never asks for more.
    if (fromMemory != 0 || offset != 0 || length != 0 || file == nullptr) return Fail(ORVO_ERROR_ILLPARAM, 0u);
    PathText path;
    if (!path.Set(file, (flags & ORVO_UNICODE) != 0)) return Fail(ORVO_ERROR_FILEOPEN, 0u);
    OpenResult opened = opener(path.Get(), (flags & ORVO_EXAMINE) != 0);
    std::unique_ptr<Decoder> decoder(opened.decoder);
    if (!decoder) return Fail(opened.code == ORVO_OK ? ORVO_ERROR_UNKNOWN : opened.code, 0u);
    if (decoder->Rate() < kMinRate || decoder->Rate() > kMaxRate) return Fail(ORVO_ERROR_FORMAT, 0u);
    auto stream = std::make_shared<Stream>();
    stream->rate = decoder->Rate();
    stream->length = std::min(decoder->Frames(), kMaxFrames);
    stream->decoder = std::move(decoder);
    return Succeed(Register(std::move(stream)));
  });
}

}  // namespace
}  // namespace orvo

using namespace orvo;

extern "C" {

uint32_t OrvoInternal_CreateStream(Opener opener, int32_t fromMemory, const void* file, uint64_t offset,
                                   uint64_t length, uint32_t flags) {
  if (opener == nullptr) return Fail(ORVO_ERROR_ILLPARAM, 0u);
  return CreateStream(opener, fromMemory, file, offset, length, flags);
}

uint32_t Orvo_StreamCreateFile(int32_t fromMemory, const void* file, uint64_t offset, uint64_t length,
                               uint32_t flags) {
  return CreateStream(&OpenSndfile, fromMemory, file, offset, length, flags);
}

// The engine is decode-only and needs no device: these are accepted in any
// order, any number of times.
int32_t Orvo_SetConfig(uint32_t, uint32_t) { return Succeed(1); }
int32_t Orvo_Init(int32_t, uint32_t, uint32_t, void*, const void*) { return Succeed(1); }
int32_t Orvo_SetDevice(uint32_t) { return Succeed(1); }

int32_t Orvo_Free(void) {
  std::unordered_map<uint32_t, std::shared_ptr<Stream>> released;
  {
    Registry& r = Streams();
    std::lock_guard<std::mutex> guard(r.lock);
    released.swap(r.streams);
  }
  // A stream still inside a call on another thread stops there and goes
  // away when that call lets go of it.
  for (auto& entry : released) entry.second->stop = true;
  released.clear();
  return Succeed(1);
}

int32_t Orvo_ErrorGetCode(void) { return lastCode; }

int32_t Orvo_StreamFree(uint32_t handle) {
  std::shared_ptr<Stream> stream;
  {
    Registry& r = Streams();
    std::lock_guard<std::mutex> guard(r.lock);
    auto it = r.streams.find(handle);
    if (it == r.streams.end()) return Fail(ORVO_ERROR_HANDLE, 0);
    stream = std::move(it->second);
    r.streams.erase(it);
  }
  stream->stop = true;
  return Succeed(1);
}

// May come from another thread while the stream is inside Orvo_ChannelGetData.
// The stop holds until the position is set again, so a stop that arrives just
// before a read still ends that read.
int32_t Orvo_ChannelStop(uint32_t handle) {
  auto stream = Find(handle);
  if (!stream) return Fail(ORVO_ERROR_HANDLE, 0);
  stream->stop = true;
  return Succeed(1);
}

int32_t Orvo_ChannelSetDevice(uint32_t handle, uint32_t) {
  if (!Find(handle)) return Fail(ORVO_ERROR_HANDLE, 0);
  return Succeed(1);
}

int32_t Orvo_ChannelUpdate(uint32_t handle, uint32_t) {
  if (!Find(handle)) return Fail(ORVO_ERROR_HANDLE, 0);
  return Succeed(1);
}

int32_t Orvo_ChannelSetPosition(uint32_t handle, uint64_t bytePosition, uint32_t mode) {
  return Guarded<int32_t>(0, [&]() -> int32_t {
    auto stream = Find(handle);
    if (!stream) return Fail(ORVO_ERROR_HANDLE, 0);
    if (mode != ORVO_POS_BYTE || bytePosition % kFrameBytes != 0) return Fail(ORVO_ERROR_ILLPARAM, 0);
    uint64_t frame = bytePosition / kFrameBytes;
    if (frame > stream->length) return Fail(ORVO_ERROR_NOTAVAIL, 0);
    if (frame < stream->length && !stream->decoder->Seek(frame)) {
      // The file ends before the position its header promised: leave the
      // stream where it was.
      uint64_t before = stream->position;
      if (before < stream->length && !stream->decoder->Seek(before)) stream->position = stream->length;
      return Fail(ORVO_ERROR_NOTAVAIL, 0);
    }
    stream->position = frame;
    stream->stop = false;
    return Succeed(1);
  });
}

uint64_t Orvo_ChannelGetPosition(uint32_t handle, uint32_t mode) {
  auto stream = Find(handle);
  if (!stream) return Fail(ORVO_ERROR_HANDLE, kNoValue);
  if (mode != ORVO_POS_BYTE) return Fail(ORVO_ERROR_ILLPARAM, kNoValue);
  return Succeed(stream->position * kFrameBytes);
}

uint64_t Orvo_ChannelGetLength(uint32_t handle, uint32_t mode) {
  auto stream = Find(handle);
  if (!stream) return Fail(ORVO_ERROR_HANDLE, kNoValue);
  if (mode != ORVO_POS_BYTE) return Fail(ORVO_ERROR_ILLPARAM, kNoValue);
  return Succeed(stream->length * kFrameBytes);
}

int32_t Orvo_ChannelGetData(uint32_t handle, void* destination, int32_t byteCount) {
  return Guarded<int32_t>(-1, [&]() -> int32_t {
    auto stream = Find(handle);
    if (!stream) return Fail(ORVO_ERROR_HANDLE, -1);
    // Whole frames only: a partial frame would shift every later sample.
    if (byteCount < 0 || byteCount % kFrameBytes != 0 || (destination == nullptr && byteCount > 0))
      return Fail(ORVO_ERROR_ILLPARAM, -1);
    if (stream->stop) return Fail(ORVO_ERROR_UNKNOWN, -1);
    uint64_t frames = std::min<uint64_t>(uint64_t(byteCount) / kFrameBytes, stream->length - stream->position);
    if (frames == 0) return Succeed(0);
    bool stopped = false;
    uint64_t got = stream->decoder->Read(static_cast<float*>(destination), frames, stream->stop, &stopped);
    stream->position += got;
    if (stopped) return Fail(ORVO_ERROR_UNKNOWN, -1);
    // Fewer frames than the container promised: the file ends (or is damaged)
    // here, and that is now the stream's length.
    if (got < frames) stream->length = stream->position;
    return Succeed(int32_t(got * kFrameBytes));
  });
}

int32_t Orvo_ChannelGetAttribute(uint32_t handle, uint32_t attribute, float* value) {
  auto stream = Find(handle);
  if (!stream) return Fail(ORVO_ERROR_HANDLE, 0);
  if (attribute != ORVO_ATTRIB_FREQ || value == nullptr) return Fail(ORVO_ERROR_ILLPARAM, 0);
  *value = float(stream->rate);
  return Succeed(1);
}

double Orvo_ChannelBytes2Seconds(uint32_t handle, uint64_t byteCount) {
  auto stream = Find(handle);
  if (!stream) return Fail(ORVO_ERROR_HANDLE, -1.0);
  return Succeed(double(byteCount) / double(kFrameBytes) / double(stream->rate));
}

// Modes: 2 and 8 give the file's size, 3 where the file starts.
uint64_t Orvo_StreamGetFilePosition(uint32_t handle, uint32_t mode) {
  auto stream = Find(handle);
  if (!stream) return Fail(ORVO_ERROR_HANDLE, kNoValue);
  switch (mode) {
    case 2:
    case 8:
      return Succeed(stream->decoder->FileSize());
    case 3:
      return Succeed(uint64_t{0});
    default:
      return Fail(ORVO_ERROR_ILLPARAM, kNoValue);
  }
}

}  // extern "C"
