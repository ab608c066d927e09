#include "fake_engine.h"

#include <map>

#include "support/bound_entries.h"

namespace fake_engine {

namespace {
struct File {
  int64_t Length;
  float Rate;
};
std::map<std::u16string, File> Files;
std::map<uint32_t, File> Streams;
std::vector<Create> Made;
uint32_t NextHandle = 1;
int32_t LastError = 0;

uint32_t CreateWith(char decoder, const void* file, uint32_t flags) {
  const std::u16string path(static_cast<const char16_t*>(file));
  Made.push_back({decoder, path, flags});
  const auto found = Files.find(path);
  if (found == Files.end()) {
    LastError = 2;
    return 0;
  }
  LastError = 0;
  Streams[NextHandle] = found->second;
  return NextHandle++;
}

uint32_t Plain(int32_t, const void* file, uint64_t, uint64_t, uint32_t flags) { return CreateWith('W', file, flags); }
uint32_t Flac(int32_t, const void* file, uint64_t, uint64_t, uint32_t flags) { return CreateWith('F', file, flags); }
uint32_t Alac(int32_t, const void* file, uint64_t, uint64_t, uint32_t flags) { return CreateWith('A', file, flags); }

uint64_t GetLength(uint32_t stream, uint32_t) {
  const auto s = Streams.find(stream);
  return s == Streams.end() ? UINT64_MAX : static_cast<uint64_t>(s->second.Length);
}

int32_t GetAttribute(uint32_t stream, uint32_t attribute, float* value) {
  const auto s = Streams.find(stream);
  if (s == Streams.end() || attribute != 1) return 0;
  *value = s->second.Rate;
  return 1;
}

double Bytes2Seconds(uint32_t stream, uint64_t bytes) {
  const auto s = Streams.find(stream);
  if (s == Streams.end()) return -1;
  return static_cast<double>(bytes) / 8.0 / s->second.Rate;
}

int32_t StreamFree(uint32_t stream) { return Streams.erase(stream) ? 1 : 0; }
int32_t ErrorGetCode() { return LastError; }
}  // namespace

void Install() {
  Files.clear();
  Streams.clear();
  Made.clear();
  NextHandle = 1;
  LastError = 0;
  support::Orvo = {};
  support::Orvo.StreamCreateFile = Plain;
  support::Orvo.FlacStreamCreateFile = Flac;
  support::Orvo.AlacStreamCreateFile = Alac;
  support::Orvo.ChannelGetLength = GetLength;
  support::Orvo.ChannelGetAttribute = GetAttribute;
  support::Orvo.ChannelBytes2Seconds = Bytes2Seconds;
  support::Orvo.StreamFree = StreamFree;
  support::Orvo.ErrorGetCode = ErrorGetCode;
}

void AddFile(const std::u16string& path, int64_t length, float rate) { Files[path] = {length, rate}; }

int OpenStreams() { return static_cast<int>(Streams.size()); }

const std::vector<Create>& Creates() { return Made; }

}  // namespace fake_engine
