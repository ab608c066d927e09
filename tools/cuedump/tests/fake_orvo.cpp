// A stand-in engine library for testing cuedump's wiring: any existing file
// with a known extension opens, and every byte of it counts as one second of
// 44.1 kHz stereo float. Exported under the engine's names.
#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <map>
#include <string>


namespace {
std::map<uint32_t, uint64_t> Streams;
uint32_t Next = 1;
int32_t Error = 0;

#ifdef _WIN32
#define ENGINE_EXPORT __declspec(dllexport)
#else
#define ENGINE_EXPORT __attribute__((visibility("default")))
#endif

#ifndef _WIN32
// Enough UTF-16 to UTF-8 for test paths (no surrogate pairs needed).
std::string Utf8(const char16_t* text) {
  std::string out;
  for (; *text; ++text) {
    const char16_t c = *text;
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}
#endif

uint32_t Open(const void* file) {
#ifdef _WIN32
  struct _stat64 info {};
  const bool found = _wstat64(static_cast<const wchar_t*>(file), &info) == 0;
#else
  struct stat info {};
  const bool found = stat(Utf8(static_cast<const char16_t*>(file)).c_str(), &info) == 0;
#endif
  if (!found) {
    Error = 2;
    return 0;
  }
  Error = 0;
  Streams[Next] = static_cast<uint64_t>(info.st_size) * 8 * 44100;
  return Next++;
}
}  // namespace

extern "C" {
ENGINE_EXPORT uint32_t Orvo_StreamCreateFile(int32_t, const void* f, uint64_t, uint64_t, uint32_t) { return Open(f); }
ENGINE_EXPORT uint32_t Orvo_FLAC_StreamCreateFile(int32_t, const void* f, uint64_t, uint64_t, uint32_t) { return Open(f); }
ENGINE_EXPORT uint64_t Orvo_ChannelGetLength(uint32_t s, uint32_t) {
  const auto it = Streams.find(s);
  return it == Streams.end() ? UINT64_MAX : it->second;
}
ENGINE_EXPORT int32_t Orvo_ChannelGetAttribute(uint32_t s, uint32_t, float* v) {
  if (!Streams.count(s)) return 0;
  *v = 44100.0f;
  return 1;
}
ENGINE_EXPORT int32_t Orvo_StreamFree(uint32_t s) { return Streams.erase(s) ? 1 : 0; }
ENGINE_EXPORT int32_t Orvo_ErrorGetCode() { return Error; }
}
