#include "setup/views/qt/jpeg_decoder.h"

#include <jpeglib.h>

#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace setup_wizard {

namespace {

struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
};

[[noreturn]] void OnError(j_common_ptr info) {
  auto* manager = reinterpret_cast<ErrorManager*>(info->err);
  std::longjmp(manager->jump, 1);
}

void OnMessage(j_common_ptr) {}  // warnings are not printed

// The only function that uses setjmp: nothing with a destructor lives across the jump.
bool DecodeInto(const std::string& bytes, std::vector<unsigned char>& pixels, int& width,
                int& height) {
  jpeg_decompress_struct info;
  ErrorManager errors;
  info.err = jpeg_std_error(&errors.base);
  errors.base.error_exit = OnError;
  errors.base.output_message = OnMessage;
  if (setjmp(errors.jump)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()),
               static_cast<unsigned long>(bytes.size()));
  if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  info.out_color_space = JCS_RGB;
  // Layout pictures are small; a header can claim any size in a few bytes, so absurd
  // dimensions are refused before anything is allocated.
  constexpr JDIMENSION kMaxSide = 8192;
  constexpr uint64_t kMaxPixels = 16u << 20;  // 48 MB of RGB
  if (info.image_width == 0 || info.image_height == 0 || info.image_width > kMaxSide ||
      info.image_height > kMaxSide ||
      static_cast<uint64_t>(info.image_width) * info.image_height > kMaxPixels) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_start_decompress(&info);
  width = static_cast<int>(info.output_width);
  height = static_cast<int>(info.output_height);
  pixels.resize(static_cast<size_t>(width) * height * 3);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = pixels.data() + static_cast<size_t>(info.output_scanline) * width * 3;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return true;
}

}  // namespace

QImage DecodeJpeg(const std::string& bytes) {
  if (bytes.size() < 4) return QImage();
  std::vector<unsigned char> pixels;
  int width = 0;
  int height = 0;
  if (!DecodeInto(bytes, pixels, width, height)) return QImage();
  QImage image(width, height, QImage::Format_RGB888);
  for (int y = 0; y < height; ++y) {
    std::copy_n(pixels.data() + static_cast<size_t>(y) * width * 3, width * 3, image.scanLine(y));
  }
  return image;
}

}  // namespace setup_wizard
