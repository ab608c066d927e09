// Feeds arbitrary bytes to the cover decoders (and what they decode to the
// scaler): damaged pictures must fail cleanly, never crash or leak.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "playlist/cover_view.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  playlist::CoverPicture picture;
  if (!playlist::DecodeCoverPicture(std::string_view(reinterpret_cast<const char*>(data), size), &picture)) return 0;
  if (picture.Width <= 0 || picture.Height <= 0 ||
      picture.Rgba.size() != static_cast<size_t>(picture.Width) * picture.Height * 4)
    __builtin_trap();
  // Scaling is the costly part; small pictures are enough to exercise it.
  if (static_cast<int64_t>(picture.Width) * picture.Height <= 1 << 16) {
    const playlist::CoverPicture shown = playlist::ScaleCoverPicture(picture, playlist::kCoverSize, playlist::kCoverSize);
    if (shown.Rgba.size() != static_cast<size_t>(playlist::kCoverSize) * playlist::kCoverSize * 4) __builtin_trap();
  }
  return 0;
}
