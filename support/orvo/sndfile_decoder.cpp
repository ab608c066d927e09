#include "sndfile_decoder.h"

#include <sndfile.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <cstdio>
#include <memory>
#include <new>

namespace orvo {
namespace {

// The file through our own open (wide on Windows), handed to libsndfile as
// virtual I/O.
struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};
using FileHandle = std::unique_ptr<FILE, FileCloser>;

sf_count_t VioLength(void* user) {
  FILE* f = static_cast<FILE*>(user);
  int64_t here = TellFile(f);
  if (here < 0 || SeekFile(f, 0, SEEK_END) != 0) return -1;
  int64_t size = TellFile(f);
  SeekFile(f, here, SEEK_SET);
  return size;
}

sf_count_t VioSeek(sf_count_t offset, int whence, void* user) {
  FILE* f = static_cast<FILE*>(user);
  if (SeekFile(f, offset, whence) != 0) return -1;
  return TellFile(f);
}

sf_count_t VioRead(void* ptr, sf_count_t count, void* user) {
  if (count <= 0) return 0;
  return sf_count_t(std::fread(ptr, 1, size_t(count), static_cast<FILE*>(user)));
}

sf_count_t VioWrite(const void*, sf_count_t, void*) { return 0; }

sf_count_t VioTell(void* user) { return TellFile(static_cast<FILE*>(user)); }

SF_VIRTUAL_IO kVirtualIo = {VioLength, VioSeek, VioRead, VioWrite, VioTell};

struct SndfileCloser {
  void operator()(SNDFILE* s) const { sf_close(s); }
};
using SndfileHandle = std::unique_ptr<SNDFILE, SndfileCloser>;

int32_t CodeOfOpenError(int error) {
  switch (error) {
    case SF_ERR_SYSTEM:
      return ORVO_ERROR_FILEOPEN;
    case SF_ERR_UNSUPPORTED_ENCODING:
      return ORVO_ERROR_FORMAT;
    default:
      return ORVO_ERROR_FILEFORM;
  }
}

bool IsPlayedContainer(int format) {
  switch (format & SF_FORMAT_TYPEMASK) {
    case SF_FORMAT_WAV:
    case SF_FORMAT_WAVEX:
    case SF_FORMAT_RF64:
    case SF_FORMAT_AIFF:
      return true;
    default:
      return false;
  }
}

// Only encodings whose conversion to float is exact (or a single rounding).
bool IsPlayedEncoding(int format) {
  switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_16:
    case SF_FORMAT_PCM_24:
    case SF_FORMAT_PCM_32:
    case SF_FORMAT_FLOAT:
    case SF_FORMAT_DOUBLE:
      return true;
    default:
      return false;
  }
}

// 24-bit samples as stored (3 bytes, either byte order) to s / 2^23, in the
// caller's memory: n frames of raw data at the end of the 8n-byte output
// become the output front to back; each frame is read before its output
// bytes are written, and those never reach data not yet read.
void Spread24(float* out, uint64_t n, int channels, bool bigEndian) {
  const auto* raw = reinterpret_cast<const uint8_t*>(out) + 8 * n - 3 * uint64_t(channels) * n;
  constexpr float kScale = 1.0f / 2147483648.0f;
  auto sample = [bigEndian](const uint8_t* p) {
    uint32_t v = bigEndian ? (uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8)
                           : (uint32_t(p[2]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[0]) << 8);
    return float(int32_t(v)) * kScale;
  };
  if (channels == 2) {
    for (uint64_t i = 0; i < n; ++i, raw += 6) {
      float l = sample(raw), r = sample(raw + 3);
      out[2 * i] = l;
      out[2 * i + 1] = r;
    }
  } else {
    for (uint64_t i = 0; i < n; ++i, raw += 3) {
      float m = sample(raw);
      out[2 * i] = m;
      out[2 * i + 1] = m;
    }
  }
}

class SndfileDecoder final : public Decoder {
 public:
  SndfileDecoder(FileHandle file, SndfileHandle sound, const SF_INFO& info, uint64_t fileSize)
      : file_(std::move(file)), sound_(std::move(sound)), info_(info), fileSize_(fileSize) {
    // libsndfile's own 24-bit path is the slow one; those samples are
    // converted here from the raw bytes.
    raw24_ = (info_.format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_24;
    bool swap = sf_command(sound_.get(), SFC_RAW_DATA_NEEDS_ENDSWAP, nullptr, 0) == SF_TRUE;
    bigEndian24_ = swap == (std::endian::native == std::endian::little);
  }

  uint32_t Rate() const override { return uint32_t(info_.samplerate); }
  uint64_t Frames() const override { return uint64_t(info_.frames); }
  uint64_t FileSize() const override { return fileSize_; }

  uint64_t Read(float* out, uint64_t frames, const std::atomic<bool>& stop, bool* stopped) override {
    // Blocks keep a stop from another thread prompt.
    constexpr uint64_t kBlock = 1 << 16;
    uint64_t done = 0;
    while (done < frames) {
      if (stop.load(std::memory_order_relaxed)) {
        *stopped = true;
        return done;
      }
      uint64_t want = std::min(kBlock, frames - done);
      float* at = out + 2 * done;
      sf_count_t got;
      if (raw24_) {
        const sf_count_t frameBytes = 3 * info_.channels;
        uint8_t* raw = reinterpret_cast<uint8_t*>(at) + 8 * want - uint64_t(frameBytes) * want;
        got = sf_read_raw(sound_.get(), raw, frameBytes * sf_count_t(want)) / frameBytes;
        // A short read: Spread24 wants the frames that came at the end of
        // their own, smaller output.
        if (got > 0 && uint64_t(got) < want) {
          uint64_t n = uint64_t(got);
          std::memmove(reinterpret_cast<uint8_t*>(at) + 8 * n - uint64_t(frameBytes) * n, raw,
                       size_t(frameBytes) * n);
        }
        if (got > 0) Spread24(at, uint64_t(got), info_.channels, bigEndian24_);
      } else if (info_.channels == 1) {
        got = sf_readf_float(sound_.get(), at + want, sf_count_t(want));
        if (got > 0) SpreadMono(at, uint64_t(got));
      } else {
        got = sf_readf_float(sound_.get(), at, sf_count_t(want));
      }
      if (got <= 0) break;
      done += uint64_t(got);
      if (uint64_t(got) < want) break;
    }
    return done;
  }

  bool Seek(uint64_t frame) override {
    return sf_seek(sound_.get(), sf_count_t(frame), SEEK_SET) == sf_count_t(frame);
  }

 private:
  FileHandle file_;  // outlives sound_, which reads through it
  SndfileHandle sound_;
  SF_INFO info_;
  uint64_t fileSize_;
  bool raw24_ = false;
  bool bigEndian24_ = false;
};

}  // namespace

OpenResult OpenSndfile(const FilePath& path, bool) {
  try {
    int32_t code;
    FileHandle file(OpenFileForRead(path, &code));
    if (!file) return {nullptr, code};
    sf_count_t size = VioLength(file.get());
    if (size <= 0) return {nullptr, ORVO_ERROR_FILEOPEN};
    SF_INFO info{};
    SndfileHandle sound(sf_open_virtual(&kVirtualIo, SFM_READ, &info, file.get()));
    if (!sound) return {nullptr, CodeOfOpenError(sf_error(nullptr))};
    if (!IsPlayedContainer(info.format)) return {nullptr, ORVO_ERROR_FILEFORM};
    if (!IsPlayedEncoding(info.format)) return {nullptr, ORVO_ERROR_FORMAT};
    if (info.channels < 1 || info.channels > 2) return {nullptr, ORVO_ERROR_FORMAT};
    if (info.samplerate < int(kMinRate) || uint32_t(info.samplerate) > kMaxRate || info.frames < 0)
      return {nullptr, ORVO_ERROR_FORMAT};
    // Integer samples of b bits become s / 2^(b-1) exactly; float data pass
    // through untouched.
    sf_command(sound.get(), SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);
    sf_command(sound.get(), SFC_SET_SCALE_INT_FLOAT_WRITE, nullptr, SF_FALSE);
    auto* decoder = new SndfileDecoder(std::move(file), std::move(sound), info, uint64_t(size));
    return {decoder, ORVO_OK};
  } catch (const std::bad_alloc&) {
    return {nullptr, ORVO_ERROR_MEMORY};
  }
}

}  // namespace orvo
