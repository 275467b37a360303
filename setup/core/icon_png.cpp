// The icon's images are picked from its directory. A PNG image (newer icons hold them) is handed
// on as it is; a bitmap image is decoded by our own reader and written as an 8-bit RGBA PNG by
// the few lines below, so the runtime carries no PNG library.
#include "setup/core/icon_png.h"

#include "setup/core/buffer_manager.h"
#include "setup/core/crc32.h"
#include "setup/core/icon_bitmap.h"
#include "setup/io/zlib_stream.h"

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

// Whether a PNG image an icon holds can be handed on as it is: its header chunk is whole (its
// CRC matches) and gives a plausible size. The desktop decodes it; nothing is decoded here.
bool UsablePng(std::string_view png) {
  constexpr size_t kHeaderChunk = 8 + 4 + 4 + 13 + 4;  // signature, length, type, fields, CRC
  if (png.size() < kHeaderChunk || png.substr(12, 4) != "IHDR") return false;
  auto big_endian = [](std::string_view bytes) {
    uint32_t value = 0;
    for (char c : bytes) value = value << 8 | static_cast<uint8_t>(c);
    return value;
  };
  if (big_endian(png.substr(8, 4)) != 13) return false;
  const uint32_t width = big_endian(png.substr(16, 4));
  const uint32_t height = big_endian(png.substr(20, 4));
  if (width == 0 || height == 0 || width > kMaxIconSide || height > kMaxIconSide) return false;
  return ComputeCrc32(png.data() + 12, 4 + 13) == big_endian(png.substr(29, 4));
}

void AppendBigEndian(std::string& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>(value >> shift));
}

void AppendChunk(std::string& out, std::string_view type, std::string_view data) {
  AppendBigEndian(out, static_cast<uint32_t>(data.size()));
  std::string typed(type);
  typed.append(data);
  out.append(typed);
  AppendBigEndian(out, ComputeCrc32(typed.data(), typed.size()));
}

// An 8-bit RGBA PNG of the picture: every row unfiltered, one zlib stream (icons are small, so
// the simplest valid form is enough).
std::optional<std::string> EncodePng(const RgbaImage& picture) {
  if (picture.width == 0 || picture.height == 0 ||
      picture.pixels.size() != size_t{picture.width} * picture.height * 4) {
    return std::nullopt;
  }
  const size_t row = size_t{picture.width} * 4;
  std::string rows;
  rows.reserve((row + 1) * picture.height);
  for (uint32_t y = 0; y < picture.height; ++y) {
    rows.push_back('\0');  // filter type None
    rows.append(reinterpret_cast<const char*>(picture.pixels.data()) + y * row, row);
  }
  std::string header;
  AppendBigEndian(header, picture.width);
  AppendBigEndian(header, picture.height);
  header += std::string("\x08\x06\x00\x00\x00", 5);  // 8 bits, RGBA, deflate, no interlace
  std::string png(kPngSignature);
  AppendChunk(png, "IHDR", header);
  AppendChunk(png, "IDAT", archive_io::ZlibCompress(rows));
  AppendChunk(png, "IEND", "");
  return png;
}

}  // namespace

std::optional<std::string> IconToPng(std::string_view icon_bytes) {
  if (icon_bytes.substr(0, kPngSignature.size()) == kPngSignature) return std::string(icon_bytes);
  if (icon_bytes.size() < kIconHeaderSize + kIconEntrySize) return std::nullopt;
  const std::optional<std::string_view> image = LargestImage(icon_bytes);
  if (!image) return std::nullopt;
  if (image->substr(0, kPngSignature.size()) == kPngSignature) {
    if (!UsablePng(*image)) return std::nullopt;
    return std::string(*image);
  }
  const std::optional<RgbaImage> picture = DecodeIconBitmap(*image);
  if (!picture) return std::nullopt;
  return EncodePng(*picture);
}
