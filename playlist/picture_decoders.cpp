// PNG through libpng's simplified reader, JPEG through libjpeg with an error
// handler that returns instead of ending the process.
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>

#include "playlist/cover_view.h"

namespace playlist {

namespace {
// A cover larger than this is not a cover; it would only cost memory.
constexpr uint64_t kMaxPixels = 64u << 20;

bool DecodePng(std::string_view bytes, CoverPicture* out) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) return false;
  if (image.width == 0 || image.height == 0 || static_cast<uint64_t>(image.width) * image.height > kMaxPixels) {
    png_image_free(&image);
    return false;
  }
  image.format = PNG_FORMAT_RGBA;
  std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
    png_image_free(&image);
    return false;
  }
  out->Width = static_cast<int32_t>(image.width);
  out->Height = static_cast<int32_t>(image.height);
  out->Rgba = std::move(pixels);
  return true;
}

struct JpegFailure {
  jpeg_error_mgr manager;
  std::jmp_buf resume;
};

[[noreturn]] void JumpOut(j_common_ptr info) { std::longjmp(reinterpret_cast<JpegFailure*>(info->err)->resume, 1); }
void Silent(j_common_ptr) {}

// Only trivially destructible objects live between setjmp and longjmp; the
// rows go into memory owned by the caller.
bool DecodeJpegInto(std::string_view bytes, jpeg_decompress_struct* info, JpegFailure* failure,
                    std::vector<uint8_t>* rgb, int32_t* width, int32_t* height) {
  info->err = jpeg_std_error(&failure->manager);
  failure->manager.error_exit = JumpOut;
  failure->manager.output_message = Silent;
  if (setjmp(failure->resume)) return false;
  jpeg_create_decompress(info);
  jpeg_mem_src(info, reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(info, TRUE);
  info->out_color_space = JCS_RGB;
  jpeg_start_decompress(info);
  if (info->output_width == 0 || info->output_height == 0 || info->output_components != 3 ||
      static_cast<uint64_t>(info->output_width) * info->output_height > kMaxPixels)
    return false;
  *width = static_cast<int32_t>(info->output_width);
  *height = static_cast<int32_t>(info->output_height);
  rgb->resize(static_cast<size_t>(*width) * *height * 3);
  while (info->output_scanline < info->output_height) {
    JSAMPROW row = &(*rgb)[static_cast<size_t>(info->output_scanline) * *width * 3];
    jpeg_read_scanlines(info, &row, 1);
  }
  jpeg_finish_decompress(info);
  return true;
}

bool DecodeJpeg(std::string_view bytes, CoverPicture* out) {
  jpeg_decompress_struct info;
  std::memset(&info, 0, sizeof info);
  JpegFailure failure;
  std::vector<uint8_t> rgb;
  int32_t width = 0, height = 0;
  const bool ok = DecodeJpegInto(bytes, &info, &failure, &rgb, &width, &height);
  jpeg_destroy_decompress(&info);
  if (!ok) return false;
  out->Width = width;
  out->Height = height;
  out->Rgba.resize(static_cast<size_t>(width) * height * 4);
  for (size_t p = 0, n = static_cast<size_t>(width) * height; p < n; ++p) {
    out->Rgba[p * 4 + 0] = rgb[p * 3 + 0];
    out->Rgba[p * 4 + 1] = rgb[p * 3 + 1];
    out->Rgba[p * 4 + 2] = rgb[p * 3 + 2];
    out->Rgba[p * 4 + 3] = 255;
  }
  return true;
}
}  // namespace

bool CoverDecodersAvailable() { return true; }

bool DecodeCoverPicture(std::string_view bytes, CoverPicture* out) {
  if (bytes.substr(0, 8) == std::string_view("\x89PNG\r\n\x1a\n", 8)) return DecodePng(bytes, out);
  if (bytes.substr(0, 3) == "\xFF\xD8\xFF") return DecodeJpeg(bytes, out);
  return false;
}

}  // namespace playlist
