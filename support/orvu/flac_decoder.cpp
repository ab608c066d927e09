// FLAC through libFLAC's stream decoder, behind the engine's decoder interface.
#include <FLAC/stream_decoder.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <new>
#include <vector>

#include "decoder.h"

namespace orvo {
namespace {

struct FlacDecoderDeleter {
  void operator()(FLAC__StreamDecoder* d) const { FLAC__stream_decoder_delete(d); }
};
using FlacHandle = std::unique_ptr<FLAC__StreamDecoder, FlacDecoderDeleter>;

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};

// The largest block a frame header can state.
constexpr uint64_t kMaxBlock = 65536;

class FlacDecoder final : public Decoder {
 public:
  // Reads the metadata; on failure *code says why.
  bool Open(const FilePath& path, int32_t* code) {
    file_.reset(OpenFileForRead(path, code));
    if (!file_) return false;
    fileSize_ = SizeOf(file_.get());
    decoder_.reset(FLAC__stream_decoder_new());
    if (!decoder_) {
      *code = ORVO_ERROR_MEMORY;
      return false;
    }
    // Our own file callbacks: the same 64-bit seeks on every platform,
    // whatever C runtime the static libFLAC was built against.
    FLAC__StreamDecoderInitStatus init =
        FLAC__stream_decoder_init_stream(decoder_.get(), &ReadCallback, &SeekCallback, &TellCallback, &LengthCallback,
                                         &EofCallback, &WriteCallback, &MetadataCallback, &ErrorCallback, this);
    if (init != FLAC__STREAM_DECODER_INIT_STATUS_OK) {
      *code = init == FLAC__STREAM_DECODER_INIT_STATUS_MEMORY_ALLOCATION_ERROR ? ORVO_ERROR_MEMORY
                                                                               : ORVO_ERROR_FILEOPEN;
      return false;
    }
    if (!FLAC__stream_decoder_process_until_end_of_metadata(decoder_.get()) || !haveInfo_) {
      *code = FLAC__stream_decoder_get_state(decoder_.get()) == FLAC__STREAM_DECODER_MEMORY_ALLOCATION_ERROR
                  ? ORVO_ERROR_MEMORY
                  : ORVO_ERROR_FILEFORM;
      return false;
    }
    if (channels_ < 1 || channels_ > 2 || rate_ < kMinRate || rate_ > kMaxRate) {
      *code = ORVO_ERROR_FORMAT;
      return false;
    }
    // Room for the largest frame FLAC allows, so the write callback never allocates.
    pending_.assign(2 * kMaxBlock, 0.0f);
    damaged_ = false;
    if (frames_ == 0 && !ScanFrames()) {
      *code = ORVO_ERROR_FILEFORM;
      return false;
    }
    *code = ORVO_OK;
    return true;
  }

  uint32_t Rate() const override { return rate_; }
  uint64_t Frames() const override { return frames_; }
  uint64_t FileSize() const override { return fileSize_; }

  uint64_t Read(float* out, uint64_t frames, const std::atomic<bool>& stop, bool* stopped) override {
    uint64_t done = 0;
    while (done < frames) {
      if (pendingFrames_ > pendingUsed_) {
        uint64_t take = std::min<uint64_t>(frames - done, pendingFrames_ - pendingUsed_);
        std::copy_n(pending_.data() + 2 * pendingUsed_, 2 * take, out + 2 * done);
        pendingUsed_ += take;
        done += take;
        continue;
      }
      if (stop.load(std::memory_order_relaxed)) {
        *stopped = true;
        break;
      }
      // A frame goes straight into the caller's memory when it fits whole;
      // only the frame that straddles the end of the request is held back.
      target_ = out + 2 * done;
      targetRoom_ = frames - done;
      targetWritten_ = 0;
      bool ok = FLAC__stream_decoder_process_single(decoder_.get());
      target_ = nullptr;
      done += targetWritten_;
      if (targetWritten_ == 0 && pendingFrames_ == pendingUsed_) {
        // No audio came: the end of the stream, damage, or a failure.
        if (!ok || damaged_) break;
        FLAC__StreamDecoderState state = FLAC__stream_decoder_get_state(decoder_.get());
        if (state == FLAC__STREAM_DECODER_END_OF_STREAM || state > FLAC__STREAM_DECODER_END_OF_STREAM) break;
      }
    }
    return done;
  }

  bool Seek(uint64_t frame) override {
    pendingFrames_ = pendingUsed_ = 0;
    damaged_ = false;
    FLAC__StreamDecoderState state = FLAC__stream_decoder_get_state(decoder_.get());
    if (state == FLAC__STREAM_DECODER_SEEK_ERROR || state == FLAC__STREAM_DECODER_ABORTED ||
        state == FLAC__STREAM_DECODER_END_OF_STREAM) {
      FLAC__stream_decoder_flush(decoder_.get());
    }
    // The frame holding `frame` is delivered from that sample on, into pending.
    // Sync lost while the seek searches is part of searching, not damage.
    target_ = nullptr;
    seeking_ = true;
    bool ok = FLAC__stream_decoder_seek_absolute(decoder_.get(), frame);
    seeking_ = false;
    damaged_ = false;
    if (ok) return true;
    pendingFrames_ = pendingUsed_ = 0;
    FLAC__stream_decoder_flush(decoder_.get());
    return false;
  }

 private:
  static uint64_t SizeOf(FILE* f) {
    if (SeekFile(f, 0, SEEK_END) != 0) return 0;
    int64_t size = TellFile(f);
    SeekFile(f, 0, SEEK_SET);
    return size < 0 ? 0 : uint64_t(size);
  }

  static FLAC__StreamDecoderReadStatus ReadCallback(const FLAC__StreamDecoder*, FLAC__byte buffer[], size_t* bytes,
                                                    void* user) {
    FILE* file = static_cast<FlacDecoder*>(user)->file_.get();
    if (*bytes == 0) return FLAC__STREAM_DECODER_READ_STATUS_ABORT;
    *bytes = std::fread(buffer, 1, *bytes, file);
    if (*bytes > 0) return FLAC__STREAM_DECODER_READ_STATUS_CONTINUE;
    return std::ferror(file) ? FLAC__STREAM_DECODER_READ_STATUS_ABORT : FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM;
  }

  static FLAC__StreamDecoderSeekStatus SeekCallback(const FLAC__StreamDecoder*, FLAC__uint64 offset, void* user) {
    FILE* file = static_cast<FlacDecoder*>(user)->file_.get();
    if (offset > uint64_t(INT64_MAX) || SeekFile(file, int64_t(offset), SEEK_SET) != 0)
      return FLAC__STREAM_DECODER_SEEK_STATUS_ERROR;
    return FLAC__STREAM_DECODER_SEEK_STATUS_OK;
  }

  static FLAC__StreamDecoderTellStatus TellCallback(const FLAC__StreamDecoder*, FLAC__uint64* offset, void* user) {
    int64_t at = TellFile(static_cast<FlacDecoder*>(user)->file_.get());
    if (at < 0) return FLAC__STREAM_DECODER_TELL_STATUS_ERROR;
    *offset = uint64_t(at);
    return FLAC__STREAM_DECODER_TELL_STATUS_OK;
  }

  static FLAC__StreamDecoderLengthStatus LengthCallback(const FLAC__StreamDecoder*, FLAC__uint64* length,
                                                        void* user) {
    *length = static_cast<FlacDecoder*>(user)->fileSize_;
    return FLAC__STREAM_DECODER_LENGTH_STATUS_OK;
  }

  static FLAC__bool EofCallback(const FLAC__StreamDecoder*, void* user) {
    return std::feof(static_cast<FlacDecoder*>(user)->file_.get()) != 0;
  }

  // STREAMINFO without a total: count the frames once, without decoding
  // their audio, then start over.
  bool ScanFrames() {
    uint64_t total = 0;
    while (true) {
      if (!FLAC__stream_decoder_skip_single_frame(decoder_.get())) break;
      FLAC__StreamDecoderState state = FLAC__stream_decoder_get_state(decoder_.get());
      if (state == FLAC__STREAM_DECODER_END_OF_STREAM || damaged_) break;
      if (state != FLAC__STREAM_DECODER_SEARCH_FOR_FRAME_SYNC && state != FLAC__STREAM_DECODER_READ_FRAME) break;
      total += FLAC__stream_decoder_get_blocksize(decoder_.get());
    }
    frames_ = total;
    damaged_ = false;
    if (!FLAC__stream_decoder_reset(decoder_.get())) return false;
    if (!FLAC__stream_decoder_process_until_end_of_metadata(decoder_.get())) return false;
    return true;
  }

  static void MetadataCallback(const FLAC__StreamDecoder*, const FLAC__StreamMetadata* metadata, void* user) {
    auto* self = static_cast<FlacDecoder*>(user);
    if (metadata->type != FLAC__METADATA_TYPE_STREAMINFO || self->haveInfo_) return;
    const FLAC__StreamMetadata_StreamInfo& info = metadata->data.stream_info;
    self->haveInfo_ = true;
    self->rate_ = info.sample_rate;
    self->channels_ = info.channels;
    self->bits_ = info.bits_per_sample;
    self->frames_ = info.total_samples;
  }

  static void ErrorCallback(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void* user) {
    // Whatever follows a damaged spot would be silence or noise: the stream
    // ends there instead.
    auto* self = static_cast<FlacDecoder*>(user);
    if (!self->seeking_) self->damaged_ = true;
  }

  static FLAC__StreamDecoderWriteStatus WriteCallback(const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                                                      const FLAC__int32* const buffer[], void* user) {
    auto* self = static_cast<FlacDecoder*>(user);
    const FLAC__FrameHeader& header = frame->header;
    if (self->damaged_ || header.channels != self->channels_ || header.bits_per_sample < 4 ||
        header.bits_per_sample > 32 || header.blocksize > kMaxBlock) {
      self->damaged_ = true;
      return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
    }
    uint64_t n = header.blocksize;
    float* dest;
    if (self->target_ != nullptr && n <= self->targetRoom_) {
      dest = self->target_;
      self->targetWritten_ = n;
    } else {
      dest = self->pending_.data();
      self->pendingFrames_ = n;
      self->pendingUsed_ = 0;
    }
    // s of b bits becomes s / 2^(b-1): exact up to 24 bits, one rounding above.
    const float scale = 1.0f / float(uint64_t{1} << (header.bits_per_sample - 1));
    const FLAC__int32* left = buffer[0];
    const FLAC__int32* right = header.channels == 2 ? buffer[1] : buffer[0];
    for (uint64_t i = 0; i < n; ++i) {
      dest[2 * i] = float(left[i]) * scale;
      dest[2 * i + 1] = float(right[i]) * scale;
    }
    return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
  }

  std::unique_ptr<FILE, FileCloser> file_;  // outlives decoder_, which reads through it
  FlacHandle decoder_;
  uint64_t fileSize_ = 0;
  bool haveInfo_ = false;
  uint32_t rate_ = 0;
  uint32_t channels_ = 0;
  uint32_t bits_ = 0;
  uint64_t frames_ = 0;
  bool damaged_ = false;
  bool seeking_ = false;
  // Where the write callback puts a frame that fits the current request.
  float* target_ = nullptr;
  uint64_t targetRoom_ = 0;
  uint64_t targetWritten_ = 0;
  // A decoded frame not yet delivered (the tail of the request, or a seek).
  std::vector<float> pending_;
  uint64_t pendingFrames_ = 0;
  uint64_t pendingUsed_ = 0;
};

OpenResult OpenFlac(const FilePath& path, bool) {
  try {
    auto decoder = std::make_unique<FlacDecoder>();
    int32_t code = ORVO_ERROR_UNKNOWN;
    if (!decoder->Open(path, &code)) return {nullptr, code};
    return {decoder.release(), ORVO_OK};
  } catch (const std::bad_alloc&) {
    return {nullptr, ORVO_ERROR_MEMORY};
  }
}

}  // namespace
}  // namespace orvo

extern "C" ORVO_API uint32_t Orvo_FLAC_StreamCreateFile(int32_t fromMemory, const void* file, uint64_t offset,
                                                        uint64_t length, uint32_t flags) {
  return OrvoInternal_CreateStream(&orvo::OpenFlac, fromMemory, file, offset, length, flags);
}
