// The icon's images are picked from its directory, decoded by our own reader (or libpng for the
// PNG images newer icons hold) and written as 8-bit RGBA PNG by libpng's simplified interface.
#include "setup/core/icon_png.h"

#include <png.h>

#include "setup/core/buffer_manager.h"
#include "setup/core/icon_bitmap.h"

namespace {

constexpr size_t kIconHeaderSize = 6;
constexpr size_t kIconEntrySize = 16;
constexpr uint16_t kIconType = 1;
constexpr std::string_view kPngSignature = "\x89PNG\r\n\x1a\n";

// The bytes of the largest image of `bytes` (the first of equal ones) by the sizes its
// directory gives; nothing when the directory is damaged or any image lies outside the data.
std::optional<std::string_view> LargestImage(std::string_view bytes) {
  TBufferManager in(bytes);
  if (in.ReadUInt16() != 0 || in.ReadUInt16() != kIconType) return std::nullopt;
  const uint16_t count = in.ReadUInt16();
  if (count == 0 || count > (bytes.size() - kIconHeaderSize) / kIconEntrySize) return std::nullopt;
  uint32_t best_pixels = 0;
  std::string_view best_image;
  for (uint16_t i = 0; i < count; ++i) {
    TBufferManager fields(bytes.substr(kIconHeaderSize + i * kIconEntrySize, kIconEntrySize));
    const uint32_t width = fields.ReadByte();
    const uint32_t height = fields.ReadByte();
    fields.SetPosition(8);
    const uint32_t size = fields.ReadUInt32();
    const uint32_t offset = fields.ReadUInt32();
    if (size == 0 || offset > bytes.size() || size > bytes.size() - offset) return std::nullopt;
    const uint32_t pixels = (width == 0 ? 256 : width) * (height == 0 ? 256 : height);
    if (pixels > best_pixels) {
      best_pixels = pixels;
      best_image = bytes.substr(offset, size);
    }
  }
  return best_image;
}

// A PNG image decoded to 8-bit RGBA; nothing when libpng refuses it or it is implausibly large.
std::optional<RgbaImage> DecodePng(std::string_view png) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, png.data(), png.size())) return std::nullopt;
  if (image.width == 0 || image.height == 0 || image.width > kMaxIconSide ||
      image.height > kMaxIconSide) {
    png_image_free(&image);
    return std::nullopt;
  }
  image.format = PNG_FORMAT_RGBA;
  RgbaImage out;
  out.width = image.width;
  out.height = image.height;
  out.pixels.resize(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, out.pixels.data(), 0, nullptr)) {
    png_image_free(&image);
    return std::nullopt;
  }
  return out;
}

std::optional<std::string> EncodePng(const RgbaImage& picture) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = picture.width;
  image.height = picture.height;
  image.format = PNG_FORMAT_RGBA;
  // Room for the stored-only worst case, so one compression pass suffices.
  png_alloc_size_t size = PNG_IMAGE_PNG_SIZE_MAX(image);
  std::string png(size, '\0');
  if (!png_image_write_to_memory(&image, png.data(), &size, 0, picture.pixels.data(), 0, nullptr)) {
    return std::nullopt;
  }
  png.resize(size);
  return png;
}

}  // namespace

std::optional<std::string> IconToPng(std::string_view icon_bytes) {
  if (icon_bytes.substr(0, kPngSignature.size()) == kPngSignature) return std::string(icon_bytes);
  if (icon_bytes.size() < kIconHeaderSize + kIconEntrySize) return std::nullopt;
  const std::optional<std::string_view> image = LargestImage(icon_bytes);
  if (!image) return std::nullopt;
  const std::optional<RgbaImage> picture = image->substr(0, kPngSignature.size()) == kPngSignature
                                               ? DecodePng(*image)
                                               : DecodeIconBitmap(*image);
  if (!picture) return std::nullopt;
  return EncodePng(*picture);
}
