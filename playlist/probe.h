// Examination streams of the audio engine library, opened by extension and
// always released: the one way this subsystem reaches the engine.
#pragma once
#include <cstdint>
#include <string_view>

namespace playlist {

// Flags of a decoding stream opened to examine a file.
constexpr uint32_t kProbeStreamFlags = 0x80220110;

// The engine call chosen by the path's upper-cased extension; 0 without
// calling the engine for any other extension, or when the engine is unbound.
uint32_t OpenProbeStream(std::u16string_view path);

// Owns an examination stream and frees it when it goes.
class ProbeStream {
 public:
  ProbeStream() = default;
  explicit ProbeStream(uint32_t handle) : handle_(handle) {}
  ~ProbeStream() { Reset(); }
  ProbeStream(ProbeStream&& other) noexcept : handle_(other.handle_) { other.handle_ = 0; }
  ProbeStream& operator=(ProbeStream&& other) noexcept;
  ProbeStream(const ProbeStream&) = delete;
  ProbeStream& operator=(const ProbeStream&) = delete;

  uint32_t Handle() const { return handle_; }
  void Reset(uint32_t handle = 0);

  // Decoded length in bytes and sample rate in Hz. False when the engine
  // reports a length or rate that no stream can have (negative length, a rate
  // below 1 Hz, not a number, or past the 32-bit range); such a stream is
  // treated like one that did not open.
  bool Describe(int64_t* length, int32_t* rate, float* exactRate = nullptr) const;
  // Playing time of bytes in whole seconds, truncated; 0 when unknown.
  int64_t WholeSeconds(int64_t bytes) const;

 private:
  uint32_t handle_ = 0;
};

}  // namespace playlist
