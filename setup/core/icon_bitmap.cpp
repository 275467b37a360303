#include "setup/core/icon_bitmap.h"

#include <algorithm>

#include "setup/core/buffer_manager.h"

namespace {

constexpr uint32_t kInfoHeaderSize = 40;  // BITMAPINFOHEADER; later versions are longer
constexpr uint32_t kUncompressed = 0;     // BI_RGB

// Bytes of one row of `width` pixels at `bits` each: rows are padded to four bytes.
size_t RowBytes(uint32_t width, uint32_t bits) { return (size_t{width} * bits + 31) / 32 * 4; }

// The value of pixel `x` of a packed row of 1, 4 or 8 bits per pixel (leftmost in the high bits).
uint32_t PackedIndex(const uint8_t* row, uint32_t x, uint32_t bits) {
  const size_t bit = size_t{x} * bits;
  const uint32_t byte = row[bit / 8];
  return (byte >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
}

// A 5-bit sample widened to eight bits, the ends kept (0 to 0, 31 to 255).
uint8_t Widen5(uint32_t value) { return static_cast<uint8_t>((value << 3) | (value >> 2)); }

}  // namespace

std::optional<RgbaImage> DecodeIconBitmap(std::string_view image) {
  TBufferManager header(image);
  const uint32_t header_size = header.ReadUInt32();
  const int32_t width = header.ReadInt32();
  const int32_t double_height = header.ReadInt32();  // colour rows plus mask rows
  const uint16_t planes = header.ReadUInt16();
  const uint16_t bits = header.ReadUInt16();
  const uint32_t compression = header.ReadUInt32();
  header.SetPosition(32);
  const uint32_t colours_used = header.ReadUInt32();
  if (image.size() < kInfoHeaderSize || header_size < kInfoHeaderSize ||
      header_size > image.size() || planes != 1 || compression != kUncompressed) {
    return std::nullopt;
  }
  if (width <= 0 || double_height <= 1 || static_cast<uint32_t>(width) > kMaxIconSide ||
      static_cast<uint32_t>(double_height / 2) > kMaxIconSide) {
    return std::nullopt;
  }
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) {
    return std::nullopt;
  }
  RgbaImage out;
  out.width = static_cast<uint32_t>(width);
  out.height = static_cast<uint32_t>(double_height / 2);

  // The palette follows the header: 2^bits entries unless the header names fewer.
  const size_t palette_entries =
      bits > 8 ? 0 : (colours_used == 0 ? size_t{1} << bits : std::min<size_t>(colours_used, 256));
  size_t at = header_size;
  if (palette_entries * 4 > image.size() - at) return std::nullopt;
  const auto* palette = reinterpret_cast<const uint8_t*>(image.data() + at);
  at += palette_entries * 4;

  const size_t colour_row = RowBytes(out.width, bits);
  if (colour_row == 0 || out.height > (image.size() - at) / colour_row) return std::nullopt;
  const auto* colours = reinterpret_cast<const uint8_t*>(image.data() + at);
  at += colour_row * out.height;
  const size_t mask_row = RowBytes(out.width, 1);
  const uint8_t* mask = out.height <= (image.size() - at) / mask_row
                            ? reinterpret_cast<const uint8_t*>(image.data() + at)
                            : nullptr;

  out.pixels.resize(size_t{out.width} * out.height * 4);
  bool any_alpha = false;
  for (uint32_t y = 0; y < out.height; ++y) {
    const uint8_t* row = colours + (out.height - 1 - y) * colour_row;  // stored bottom-up
    uint8_t* pixel = out.pixels.data() + size_t{y} * out.width * 4;
    for (uint32_t x = 0; x < out.width; ++x, pixel += 4) {
      uint8_t alpha = 0xFF;
      if (bits <= 8) {
        const uint32_t index = PackedIndex(row, x, bits);
        // An index past a short palette draws black, as Windows does.
        const uint8_t* entry = index < palette_entries ? palette + 4 * index : nullptr;
        pixel[0] = entry ? entry[2] : 0;
        pixel[1] = entry ? entry[1] : 0;
        pixel[2] = entry ? entry[0] : 0;
      } else if (bits == 16) {
        const uint32_t value = row[2 * x] | uint32_t{row[2 * x + 1]} << 8;
        pixel[0] = Widen5((value >> 10) & 0x1F);
        pixel[1] = Widen5((value >> 5) & 0x1F);
        pixel[2] = Widen5(value & 0x1F);
      } else {
        const uint8_t* source = row + size_t{x} * (bits / 8);
        pixel[0] = source[2];
        pixel[1] = source[1];
        pixel[2] = source[0];
        if (bits == 32) {
          alpha = source[3];
          any_alpha = any_alpha || alpha != 0;
        }
      }
      pixel[3] = alpha;
    }
  }
  if (bits == 32 && any_alpha) return out;
  if (bits == 32) {
    for (size_t i = 3; i < out.pixels.size(); i += 4) out.pixels[i] = 0xFF;  // no alpha at all
  }
  if (mask == nullptr) return out;
  for (uint32_t y = 0; y < out.height; ++y) {
    const uint8_t* row = mask + (out.height - 1 - y) * mask_row;
    uint8_t* pixel = out.pixels.data() + size_t{y} * out.width * 4;
    for (uint32_t x = 0; x < out.width; ++x, pixel += 4) {
      pixel[3] = PackedIndex(row, x, 1) != 0 ? 0 : 0xFF;
    }
  }
  return out;
}
