#include "fake_orvo.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "support/bound_entries.h"

namespace fakeorvo {
namespace {

struct File {
  uint32_t id = 0;
  int64_t length = 0;
  int refuse = 0;
  int32_t code = 0;
  std::shared_ptr<std::atomic<bool>> blocked = std::make_shared<std::atomic<bool>>(false);
  std::shared_ptr<std::atomic<bool>> stubborn = std::make_shared<std::atomic<bool>>(false);
  bool failData = false;
};
struct Stream {
  File file;
  int64_t pos = 0;
  std::shared_ptr<std::atomic<bool>> stop = std::make_shared<std::atomic<bool>>(false);
};

std::mutex Lock;
std::map<std::u16string, File> Files;
std::map<uint32_t, Stream> Streams;
uint32_t LastHandle = 0;
int CreateCount = 0;
std::atomic<int> BlockedReads{0};
thread_local int32_t LastCode = 0;

uint32_t Create(int32_t, const void* file, uint64_t, uint64_t, uint32_t) {
  std::lock_guard<std::mutex> hold(Lock);
  ++CreateCount;
  auto it = Files.find(static_cast<const char16_t*>(file));
  if (it == Files.end()) {
    LastCode = 2;
    return 0;
  }
  if (it->second.refuse > 0) {
    --it->second.refuse;
    LastCode = it->second.code;
    return 0;
  }
  Streams[++LastHandle] = Stream{it->second, 0, std::make_shared<std::atomic<bool>>(false)};
  LastCode = 0;
  return LastHandle;
}

int32_t GetData(uint32_t handle, void* destination, int32_t count) {
  std::shared_ptr<std::atomic<bool>> stop, blocked, stubborn;
  {
    std::lock_guard<std::mutex> hold(Lock);
    auto it = Streams.find(handle);
    if (it == Streams.end() || count < 0 || count % 8 != 0) return -1;
    if (it->second.file.failData || *it->second.stop) return -1;
    stop = it->second.stop;
    blocked = it->second.file.blocked;
    stubborn = it->second.file.stubborn;
  }
  if (*blocked) {
    ++BlockedReads;
    while (*blocked && (*stubborn || !*stop)) std::this_thread::sleep_for(std::chrono::microseconds(200));
    --BlockedReads;
    if (*stop) return -1;
  }
  std::lock_guard<std::mutex> hold(Lock);
  auto it = Streams.find(handle);
  if (it == Streams.end() || *it->second.stop) return -1;
  Stream& s = it->second;
  const int64_t frames = std::min<int64_t>(count / 8, (s.file.length - s.pos) / 8);
  auto* out = static_cast<uint32_t*>(destination);
  for (int64_t k = 0; k < frames; ++k) {
    out[2 * k] = s.file.id;
    out[2 * k + 1] = uint32_t(s.pos / 8 + k);
  }
  s.pos += frames * 8;
  return int32_t(frames * 8);
}

int32_t Stop(uint32_t handle) {
  std::lock_guard<std::mutex> hold(Lock);
  auto it = Streams.find(handle);
  if (it == Streams.end()) return 0;
  *it->second.stop = true;
  return 1;
}

int32_t Free(uint32_t handle) {
  std::lock_guard<std::mutex> hold(Lock);
  auto it = Streams.find(handle);
  if (it == Streams.end()) return 0;
  *it->second.stop = true;
  Streams.erase(it);
  return 1;
}

int32_t FreeAll() {
  std::lock_guard<std::mutex> hold(Lock);
  for (auto& s : Streams) *s.second.stop = true;
  Streams.clear();
  return 1;
}

uint64_t Length(uint32_t handle, uint32_t) {
  std::lock_guard<std::mutex> hold(Lock);
  auto it = Streams.find(handle);
  return it == Streams.end() ? ~uint64_t{0} : uint64_t(it->second.file.length);
}
uint64_t Position(uint32_t handle, uint32_t) {
  std::lock_guard<std::mutex> hold(Lock);
  auto it = Streams.find(handle);
  return it == Streams.end() ? ~uint64_t{0} : uint64_t(it->second.pos);
}
int32_t SetPosition(uint32_t handle, uint64_t pos, uint32_t) {
  std::lock_guard<std::mutex> hold(Lock);
  auto it = Streams.find(handle);
  if (it == Streams.end() || int64_t(pos) > it->second.file.length) return 0;
  it->second.pos = int64_t(pos);
  *it->second.stop = false;
  return 1;
}
int32_t Code() { return LastCode; }
int32_t Init(int32_t, uint32_t, uint32_t, void*, const void*) { return 1; }
int32_t Config(uint32_t, uint32_t) { return 1; }
int32_t SetDevice(uint32_t) { return 1; }
int32_t ChannelSetDevice(uint32_t, uint32_t) { return 1; }

}  // namespace

void Install() {
  {
    std::lock_guard<std::mutex> hold(Lock);
    Files.clear();
    Streams.clear();
    CreateCount = 0;
  }
  support::EngineEntries e{};
  e.ChannelGetData = &GetData;
  e.StreamCreateFile = &Create;
  e.FlacStreamCreateFile = &Create;
  e.AlacStreamCreateFile = &Create;
  e.ChannelGetLength = &Length;
  e.ChannelGetPosition = &Position;
  e.ErrorGetCode = &Code;
  e.Init = &Init;
  e.Free = &FreeAll;
  e.StreamFree = &Free;
  e.SetDevice = &SetDevice;
  e.SetConfig = &Config;
  e.ChannelSetPosition = &SetPosition;
  e.ChannelSetDevice = &ChannelSetDevice;
  e.ChannelStop = &Stop;
  support::Orvo = e;
}

void AddFile(const std::u16string& path, uint32_t id, int64_t lengthBytes) {
  std::lock_guard<std::mutex> hold(Lock);
  File f;
  f.id = id;
  f.length = lengthBytes;
  Files[path] = f;
}
void Refuse(const std::u16string& path, int times, int32_t code) {
  std::lock_guard<std::mutex> hold(Lock);
  Files[path].refuse = times;
  Files[path].code = code;
}
void Block(const std::u16string& path, bool blocked, bool stubborn) {
  std::lock_guard<std::mutex> hold(Lock);
  *Files[path].stubborn = stubborn;
  *Files[path].blocked = blocked;
}
void FailData(const std::u16string& path) {
  std::lock_guard<std::mutex> hold(Lock);
  Files[path].failData = true;
}
int OpenStreams() {
  std::lock_guard<std::mutex> hold(Lock);
  return int(Streams.size());
}
int Creates() {
  std::lock_guard<std::mutex> hold(Lock);
  return CreateCount;
}
bool InsideBlockedRead() { return BlockedReads.load() > 0; }

}  // namespace fakeorvo
