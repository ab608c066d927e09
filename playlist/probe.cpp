#include "playlist/probe.h"

#include <cmath>
#include <string>

#include "playlist/files.h"
#include "playlist/names.h"
#include "support/bound_entries.h"

namespace playlist {

uint32_t OpenProbeStream(std::u16string_view path) {
  const std::u16string ext = UpperAscii(ExtensionOf(path));
  auto* create = (ext == u"WAV" || ext == u"AIF" || ext == u"AIFF") ? support::Orvo.StreamCreateFile
                 : ext == u"FLAC"                                   ? support::Orvo.FlacStreamCreateFile
                 : ext == u"M4A"                                    ? support::Orvo.AlacStreamCreateFile
                                                                    : nullptr;
  if (!create) return 0;
#ifdef _WIN32
  // Deep album folders reach past MAX_PATH, where only the extended form opens.
  const std::u16string file = ExtendedLengthPath(path);
#else
  const std::u16string file(path);  // the engine wants it NUL-terminated
#endif
  return create(0, file.c_str(), 0, 0, kProbeStreamFlags);
}

ProbeStream& ProbeStream::operator=(ProbeStream&& other) noexcept {
  if (this != &other) {
    Reset(other.handle_);
    other.handle_ = 0;
  }
  return *this;
}

void ProbeStream::Reset(uint32_t handle) {
  if (handle_ != 0 && handle_ != handle && support::Orvo.StreamFree) support::Orvo.StreamFree(handle_);
  handle_ = handle;
}

bool ProbeStream::Describe(int64_t* length, int32_t* rate, float* exactRate) const {
  if (!handle_ || !support::Orvo.ChannelGetLength || !support::Orvo.ChannelGetAttribute) return false;
  const uint64_t bytes = support::Orvo.ChannelGetLength(handle_, 0);
  float hz = 0;
  support::Orvo.ChannelGetAttribute(handle_, 1, &hz);
  if (bytes > static_cast<uint64_t>(INT64_MAX)) return false;
  if (!(hz >= 1.0f && hz < 2147483648.0f)) return false;
  *length = static_cast<int64_t>(bytes);
  *rate = static_cast<int32_t>(hz);  // the fraction is dropped
  if (exactRate) *exactRate = hz;
  return true;
}

int64_t ProbeStream::WholeSeconds(int64_t bytes) const {
  if (!handle_ || !support::Orvo.ChannelBytes2Seconds) return 0;
  const double seconds = support::Orvo.ChannelBytes2Seconds(handle_, static_cast<uint64_t>(bytes));
  if (!(seconds >= 0.0 && seconds < 9.0e18)) return 0;
  return static_cast<int64_t>(seconds);
}

}  // namespace playlist
