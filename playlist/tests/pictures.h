// Cover pictures made at test time (PNG through libpng, JPEG through libjpeg).
#pragma once
#include <cstdint>
#include <string>

namespace playlist_test {

// A width x height picture whose pixel (x, y) is (x, y, 255 - x, 255) in RGB(A),
// values taken modulo 256.
std::string MakePng(int32_t width, int32_t height);
std::string MakeJpeg(int32_t width, int32_t height);

}  // namespace playlist_test
