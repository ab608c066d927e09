#include "pictures.h"

#include <png.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include <jpeglib.h>

namespace playlist_test {

namespace {
std::vector<uint8_t> Pixels(int32_t width, int32_t height, int channels) {
  std::vector<uint8_t> p(static_cast<size_t>(width) * height * channels);
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      uint8_t* px = &p[(static_cast<size_t>(y) * width + x) * channels];
      px[0] = static_cast<uint8_t>(x), px[1] = static_cast<uint8_t>(y), px[2] = static_cast<uint8_t>(255 - x);
      if (channels == 4) px[3] = 255;
    }
  }
  return p;
}
}  // namespace

std::string MakePng(int32_t width, int32_t height) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = PNG_FORMAT_RGBA;
  const std::vector<uint8_t> pixels = Pixels(width, height, 4);
  png_alloc_size_t size = 0;
  png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), 0, nullptr);
  std::string out(size, '\0');
  png_image_write_to_memory(&image, out.data(), &size, 0, pixels.data(), 0, nullptr);
  out.resize(size);
  return out;
}

std::string MakeJpeg(int32_t width, int32_t height) {
  jpeg_compress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = static_cast<JDIMENSION>(width);
  info.image_height = static_cast<JDIMENSION>(height);
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 95, TRUE);
  jpeg_start_compress(&info, TRUE);
  std::vector<uint8_t> pixels = Pixels(width, height, 3);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = &pixels[static_cast<size_t>(info.next_scanline) * width * 3];
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  std::string out(reinterpret_cast<char*>(buffer), size);
  jpeg_destroy_compress(&info);
  std::free(buffer);
  return out;
}

}  // namespace playlist_test
