// ALAC in .m4a through FFmpeg's mov demuxer and alac decoder, behind the
// engine's decoder interface.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

#include <algorithm>
#include <cerrno>
#include <memory>
#include <new>
#include <string>

#include "decoder.h"

namespace orvo {
namespace {

// Thin owners of FFmpeg's objects.
struct FormatCloser {
  void operator()(AVFormatContext* f) const { avformat_close_input(&f); }
};
struct CodecCloser {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct PacketCloser {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct FrameCloser {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};
using FormatHandle = std::unique_ptr<AVFormatContext, FormatCloser>;
using CodecHandle = std::unique_ptr<AVCodecContext, CodecCloser>;
using PacketHandle = std::unique_ptr<AVPacket, PacketCloser>;
using FrameHandle = std::unique_ptr<AVFrame, FrameCloser>;

int32_t CodeOfOpenError(int error) {
  if (error == AVERROR(ENOMEM)) return ORVO_ERROR_MEMORY;
  if (error == AVERROR(ENOENT) || error == AVERROR(EACCES) || error == AVERROR(EISDIR) || error == AVERROR(EIO))
    return ORVO_ERROR_FILEOPEN;
  return ORVO_ERROR_FILEFORM;
}

class AlacDecoder final : public Decoder {
 public:
  int32_t Open(const FilePath& path, bool examine) {
    // The program has no console: FFmpeg's complaints about bad files go nowhere.
    static const bool quiet = (av_log_set_level(AV_LOG_QUIET), true);
    (void)quiet;
    // The same checks as the other formats before FFmpeg opens the file itself.
    int32_t code;
    FILE* probe = OpenFileForRead(path, &code);
    if (probe == nullptr) return code;
    std::fclose(probe);
    const AVInputFormat* mov = av_find_input_format("mov");
    if (mov == nullptr) return ORVO_ERROR_UNKNOWN;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    AVFormatContext* format = nullptr;
    // "file:" keeps a drive letter from being taken for a protocol name.
    std::string url = std::string("file:") + path.utf8;
    int error = avformat_open_input(&format, url.c_str(), mov, &options);
    av_dict_free(&options);
    if (error < 0) return CodeOfOpenError(error);
    format_.reset(format);
    fileSize_ = format->pb != nullptr ? uint64_t(std::max<int64_t>(avio_size(format->pb), 0)) : 0;

    // Packets of the other streams are never read.
    bool sawAudio = false;
    for (unsigned i = 0; i < format->nb_streams; ++i) {
      AVStream* st = format->streams[i];
      st->discard = AVDISCARD_ALL;
      if (st->codecpar->codec_type != AVMEDIA_TYPE_AUDIO) continue;
      sawAudio = true;
      if (st->codecpar->codec_id == AV_CODEC_ID_ALAC && stream_ == nullptr) stream_ = st;
    }
    if (stream_ == nullptr) return sawAudio ? ORVO_ERROR_CODEC : ORVO_ERROR_FILEFORM;
    stream_->discard = AVDISCARD_DEFAULT;
    const AVCodecParameters* par = stream_->codecpar;
    if (par->ch_layout.nb_channels < 1 || par->ch_layout.nb_channels > 2) return ORVO_ERROR_FORMAT;
    if (par->sample_rate < int(kMinRate) || uint32_t(par->sample_rate) > kMaxRate) return ORVO_ERROR_FORMAT;
    rate_ = uint32_t(par->sample_rate);
    channels_ = par->ch_layout.nb_channels;

    const AVCodec* alac = avcodec_find_decoder(AV_CODEC_ID_ALAC);
    if (alac == nullptr) return ORVO_ERROR_CODEC;
    codec_.reset(avcodec_alloc_context3(alac));
    packet_.reset(av_packet_alloc());
    frame_.reset(av_frame_alloc());
    if (!codec_ || !packet_ || !frame_) return ORVO_ERROR_MEMORY;
    if (avcodec_parameters_to_context(codec_.get(), par) < 0) return ORVO_ERROR_MEMORY;
    // Playback decodes whole chunks: two frame threads keep pace with the
    // reference tool. Examination decodes nothing and needs no threads.
    codec_->thread_count = examine ? 1 : 2;
    codec_->thread_type = FF_THREAD_FRAME;
    if (avcodec_open2(codec_.get(), alac, nullptr) < 0) return ORVO_ERROR_FORMAT;

    // The sample count from the track's header, in frames at the file's rate.
    start_ = stream_->start_time == AV_NOPTS_VALUE ? 0 : stream_->start_time;
    if (stream_->duration > 0) {
      int64_t frames = av_rescale_q(stream_->duration, stream_->time_base, AVRational{1, int(rate_)});
      frames_ = frames > 0 ? uint64_t(frames) : 0;
    }
    return ORVO_OK;
  }

  uint32_t Rate() const override { return rate_; }
  uint64_t Frames() const override { return frames_; }
  uint64_t FileSize() const override { return fileSize_; }

  uint64_t Read(float* out, uint64_t frames, const std::atomic<bool>& stop, bool* stopped) override {
    uint64_t done = 0;
    while (done < frames) {
      if (pendingUsed_ < pendingCount_) {
        uint64_t take = std::min<uint64_t>(frames - done, uint64_t(pendingCount_ - pendingUsed_));
        Convert(out + 2 * done, pendingUsed_, int(take));
        pendingUsed_ += int(take);
        done += take;
        continue;
      }
      if (stop.load(std::memory_order_relaxed)) {
        *stopped = true;
        break;
      }
      if (!NextFrame()) break;
    }
    return done;
  }

  bool Seek(uint64_t frame) override {
    pendingUsed_ = pendingCount_ = 0;
    ended_ = false;
    draining_ = false;
    avcodec_flush_buffers(codec_.get());
    int64_t ts = start_ + av_rescale_q(int64_t(frame), AVRational{1, int(rate_)}, stream_->time_base);
    if (av_seek_frame(format_.get(), stream_->index, ts, AVSEEK_FLAG_BACKWARD) < 0) return false;
    // Decode up to the frame that holds the target, so that an unreachable
    // position is found here and not by the next read.
    seekTarget_ = int64_t(frame);
    bool reached = NextFrame();
    seekTarget_ = -1;
    return reached;
  }

 private:
  // Makes the next decoded frame pending; false once the data end or turn
  // out damaged. While seeking, frames before the target are dropped and the
  // one holding it starts at the target.
  bool NextFrame() {
    while (!ended_) {
      int r = avcodec_receive_frame(codec_.get(), frame_.get());
      if (r == 0) {
        if (!Playable()) break;
        pendingCount_ = frame_->nb_samples;
        pendingUsed_ = 0;
        if (seekTarget_ < 0) return true;
        if (frame_->pts == AV_NOPTS_VALUE) break;
        int64_t at = av_rescale_q(frame_->pts - start_, stream_->time_base, AVRational{1, int(rate_)});
        if (at > seekTarget_) break;
        if (at + pendingCount_ <= seekTarget_) continue;
        pendingUsed_ = int(seekTarget_ - at);
        return true;
      }
      if (r != AVERROR(EAGAIN) || draining_) break;
      // The decoder wants input; at the end of the file it gives up the
      // frames it still holds.
      r = av_read_frame(format_.get(), packet_.get());
      if (r == AVERROR_EOF) {
        draining_ = true;
        if (avcodec_send_packet(codec_.get(), nullptr) < 0) break;
        continue;
      }
      if (r < 0) break;
      if (packet_->stream_index == stream_->index) r = avcodec_send_packet(codec_.get(), packet_.get());
      av_packet_unref(packet_.get());
      // Damaged data: end here instead of playing noise. ALAC carries no
      // checksum, so only damage the decoder notices ends a stream.
      if (r < 0) break;
    }
    ended_ = true;
    pendingUsed_ = pendingCount_ = 0;
    return false;
  }

  bool Playable() const {
    if (frame_->ch_layout.nb_channels != channels_ || frame_->nb_samples < 0) return false;
    switch (frame_->format) {
      case AV_SAMPLE_FMT_S16P:
      case AV_SAMPLE_FMT_S32P:
        return true;
      default:
        return false;
    }
  }

  // The decoder hands out samples left-justified in 16 or 32 bits, so one
  // scale per format gives s / 2^(b-1) for every depth b.
  void Convert(float* out, int from, int count) const {
    const int right = channels_ == 2 ? 1 : 0;
    if (frame_->format == AV_SAMPLE_FMT_S16P) {
      const auto* l = reinterpret_cast<const int16_t*>(frame_->extended_data[0]) + from;
      const auto* r = reinterpret_cast<const int16_t*>(frame_->extended_data[right]) + from;
      constexpr float kScale = 1.0f / 32768.0f;
      for (int i = 0; i < count; ++i) {
        out[2 * i] = float(l[i]) * kScale;
        out[2 * i + 1] = float(r[i]) * kScale;
      }
    } else {
      const auto* l = reinterpret_cast<const int32_t*>(frame_->extended_data[0]) + from;
      const auto* r = reinterpret_cast<const int32_t*>(frame_->extended_data[right]) + from;
      constexpr float kScale = 1.0f / 2147483648.0f;
      for (int i = 0; i < count; ++i) {
        out[2 * i] = float(l[i]) * kScale;
        out[2 * i + 1] = float(r[i]) * kScale;
      }
    }
  }

  FormatHandle format_;
  CodecHandle codec_;
  PacketHandle packet_;
  FrameHandle frame_;
  AVStream* stream_ = nullptr;
  uint32_t rate_ = 0;
  int channels_ = 0;
  uint64_t frames_ = 0;
  uint64_t fileSize_ = 0;
  int64_t start_ = 0;  // time stamp of the first sample, in the stream's time base
  int pendingCount_ = 0;
  int pendingUsed_ = 0;
  bool ended_ = false;
  bool draining_ = false;  // the file has ended; the decoder hands out what it holds
  int64_t seekTarget_ = -1;
};


OpenResult OpenAlac(const FilePath& path, bool examine) {
  try {
    auto decoder = std::make_unique<AlacDecoder>();
    int32_t code = decoder->Open(path, examine);
    if (code != ORVO_OK) return {nullptr, code};
    return {decoder.release(), ORVO_OK};
  } catch (const std::bad_alloc&) {
    return {nullptr, ORVO_ERROR_MEMORY};
  }
}

}  // namespace
}  // namespace orvo

extern "C" ORVO_API uint32_t Orvo_ALAC_StreamCreateFile(int32_t fromMemory, const void* file, uint64_t offset,
                                                        uint64_t length, uint32_t flags) {
  return OrvoInternal_CreateStream(&orvo::OpenAlac, fromMemory, file, offset, length, flags);
}
