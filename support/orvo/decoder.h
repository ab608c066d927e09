// The one interface between the engine's core and a decoder. The core owns
// handles, positions, lengths and error codes; a decoder only turns a file
// into two-channel float frames. The plug-ins hand their opener to the core
// through OrvoInternal_CreateStream.
#pragma once
#include <atomic>
#include <cstdint>
#include <cstdio>

#include "orvo.h"

namespace orvo {

// A file name as the create call received it, ready for the platform's open.
struct FilePath {
  const char* utf8;       // always set
  const wchar_t* wide;    // Windows only: the caller's UTF-16 path (null natively)
};

class Decoder {
 public:
  virtual ~Decoder() = default;
  virtual uint32_t Rate() const = 0;
  // Frames the container says the stream holds; exact, known without decoding.
  virtual uint64_t Frames() const = 0;
  // Decodes up to `frames` two-channel frames into out. Returns the frames
  // written: fewer only where the data end or turn out damaged. Returns early
  // with *stopped set once `stop` is raised.
  virtual uint64_t Read(float* out, uint64_t frames, const std::atomic<bool>& stop, bool* stopped) = 0;
  // Places the next Read at `frame` (below Frames()); false if unreachable.
  virtual bool Seek(uint64_t frame) = 0;
  virtual uint64_t FileSize() const = 0;
};

struct OpenResult {
  Decoder* decoder;  // owned by the core from here on; null on failure
  int32_t code;      // ORVO_OK with a decoder, else the reason
};

using Opener = OpenResult (*)(const FilePath& path, bool examine);

// Rates a stream may have; anything else in a header is a lie we refuse.
constexpr uint32_t kMinRate = 1;
constexpr uint32_t kMaxRate = 3072000;

// 64-bit positions in a file, on every platform. A seek also forgets an
// earlier end of file, which mingw's _fseeki64 does not do by itself.
inline int SeekFile(FILE* file, int64_t offset, int whence) {
#if defined(_WIN32)
  int result = _fseeki64(file, offset, whence);
#else
  int result = fseeko(file, offset, whence);
#endif
  if (result == 0) std::clearerr(file);
  return result;
}

inline int64_t TellFile(FILE* file) {
#if defined(_WIN32)
  return _ftelli64(file);
#else
  return ftello(file);
#endif
}

// Opens for binary reading (the wide path on Windows, so that non-ASCII
// names open) and makes sure the content can be read: a folder opens on some
// systems but fails the first read. *code says why when it returns null.
inline FILE* OpenFileForRead(const FilePath& path, int32_t* code) {
#if defined(_WIN32)
  FILE* file = _wfopen(path.wide, L"rb");
#else
  FILE* file = std::fopen(path.utf8, "rb");
#endif
  *code = ORVO_ERROR_FILEOPEN;
  if (file == nullptr) return nullptr;
  char first;
  if (std::fread(&first, 1, 1, file) != 1) {
    // Nothing to read in an empty file is a file of no known format.
    if (!std::ferror(file)) *code = ORVO_ERROR_FILEFORM;
    std::fclose(file);
    return nullptr;
  }
  std::rewind(file);
  *code = ORVO_OK;
  return file;
}

// Mono decoded in place: n samples at out + n become n frames from out on.
inline void SpreadMono(float* out, uint64_t n) {
  const float* src = out + n;
  // Front to back is safe: frame i is written at 2i, 2i+1 <= n + i, after src[i] is read.
  for (uint64_t i = 0; i < n; ++i) {
    float s = src[i];
    out[2 * i] = s;
    out[2 * i + 1] = s;
  }
}

}  // namespace orvo

extern "C" ORVO_API uint32_t OrvoInternal_CreateStream(orvo::Opener opener, int32_t fromMemory, const void* file,
                                                       uint64_t offset, uint64_t length, uint32_t flags);
