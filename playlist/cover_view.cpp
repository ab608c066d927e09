#include "playlist/cover_view.h"

#include <algorithm>
#include <cmath>

#include "playlist/files.h"
#include "playlist/view.h"

namespace playlist {

CoverViewState Cover;

namespace {
constexpr size_t kMaxPictureFileBytes = 64u << 20;

// Weights of the source samples that make up each output sample along one axis.
struct Tap {
  int32_t First = 0;
  std::vector<float> Weights;
};

std::vector<Tap> Taps(int32_t from, int32_t to) {
  std::vector<Tap> taps(static_cast<size_t>(to));
  const double scale = static_cast<double>(from) / to;
  for (int32_t i = 0; i < to; ++i) {
    Tap& tap = taps[static_cast<size_t>(i)];
    if (scale >= 1.0) {
      // Shrinking: the output sample covers [begin, end) of the source.
      const double begin = i * scale, end = begin + scale;
      tap.First = static_cast<int32_t>(begin);
      const int32_t last = std::min(from - 1, static_cast<int32_t>(std::ceil(end)) - 1);
      for (int32_t s = tap.First; s <= last; ++s) {
        const double cover = std::min<double>(end, s + 1) - std::max<double>(begin, s);
        tap.Weights.push_back(static_cast<float>(cover / scale));
      }
    } else {
      // Growing: between the two nearest source samples' centres.
      const double centre = std::clamp((i + 0.5) * scale - 0.5, 0.0, from - 1.0);
      tap.First = std::min(static_cast<int32_t>(centre), std::max(from - 2, 0));
      const float t = static_cast<float>(centre - tap.First);
      tap.Weights = from > 1 ? std::vector<float>{1.0f - t, t} : std::vector<float>{1.0f};
    }
  }
  return taps;
}
}  // namespace

CoverPicture ScaleCoverPicture(const CoverPicture& picture, int32_t width, int32_t height) {
  CoverPicture out;
  if (picture.Width <= 0 || picture.Height <= 0 || width <= 0 || height <= 0) return out;
  const std::vector<Tap> across = Taps(picture.Width, width), down = Taps(picture.Height, height);
  // Rows first into floats, then columns.
  std::vector<float> rows(static_cast<size_t>(width) * picture.Height * 4);
  for (int32_t y = 0; y < picture.Height; ++y) {
    const uint8_t* src = &picture.Rgba[static_cast<size_t>(y) * picture.Width * 4];
    float* dst = &rows[static_cast<size_t>(y) * width * 4];
    for (int32_t x = 0; x < width; ++x) {
      const Tap& tap = across[static_cast<size_t>(x)];
      for (size_t k = 0; k < tap.Weights.size(); ++k) {
        for (int c = 0; c < 4; ++c) dst[x * 4 + c] += tap.Weights[k] * src[(tap.First + k) * 4 + c];
      }
    }
  }
  out.Width = width;
  out.Height = height;
  out.Rgba.resize(static_cast<size_t>(width) * height * 4);
  for (int32_t y = 0; y < height; ++y) {
    const Tap& tap = down[static_cast<size_t>(y)];
    for (int32_t x = 0; x < width; ++x) {
      for (int c = 0; c < 4; ++c) {
        float sum = 0;
        for (size_t k = 0; k < tap.Weights.size(); ++k) {
          sum += tap.Weights[k] * rows[((tap.First + k) * width + x) * 4 + c];
        }
        out.Rgba[(static_cast<size_t>(y) * width + x) * 4 + c] =
            static_cast<uint8_t>(std::clamp(std::lround(sum), 0L, 255L));
      }
    }
  }
  return out;
}

void ShowCoverArt(std::u16string_view picturePath) {
  std::string bytes;
  CoverPicture picture;
  if (!ReadFileBytes(std::u16string(picturePath), kMaxPictureFileBytes, &bytes) ||
      !DecodeCoverPicture(bytes, &picture))
    return;
  Cover.CoverImage = std::move(picture);
  if (!View().ViewCover()) return;
  Cover.CoverShown = 1;
  View().PaintCoverPicture(ScaleCoverPicture(Cover.CoverImage, kCoverSize, kCoverSize));
}

void HideCoverArt() {
  if (!View().ViewCover() || Cover.CoverShown != 1) return;
  View().PaintCoverBackdrop();
  Cover.CoverShown = 0;
}

}  // namespace playlist
