// The cover view: the picture of the sounding (or first) entry, decoded from
// PNG or JPEG and stretched to the view's 220x220 pixels with smoothing.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace playlist {

constexpr int32_t kCoverSize = 220;

// Top-down rows of RGBA pixels, 4 bytes each.
struct CoverPicture {
  int32_t Width = 0;
  int32_t Height = 0;
  std::vector<uint8_t> Rgba;
};

struct CoverViewState {
  CoverPicture CoverImage;  // the last picture loaded
  int8_t CoverShown = 0;    // 1 while a picture (not the backdrop) is painted
};
extern CoverViewState Cover;

// False when this build has no picture decoders (see CMakeLists.txt).
bool CoverDecodersAvailable();
// PNG or JPEG, told apart by their signatures. False for anything else, for
// damaged data and for pictures too large to be a cover.
bool DecodeCoverPicture(std::string_view bytes, CoverPicture* out);
// Stretches to width x height: area averaging where it shrinks, linear
// interpolation where it grows; the aspect ratio is not kept.
CoverPicture ScaleCoverPicture(const CoverPicture& picture, int32_t width, int32_t height);

// Loads the picture; when it cannot be loaded the view keeps what it shows.
void ShowCoverArt(std::u16string_view picturePath);
// Paints the empty backdrop when a cover is shown.
void HideCoverArt();

}  // namespace playlist
