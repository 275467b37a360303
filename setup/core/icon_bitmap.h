// Decoding the device-independent bitmaps that icon files hold, into straight RGBA pixels.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

// A picture of 8-bit red, green, blue, alpha samples, rows top to bottom.
struct RgbaImage {
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint8_t> pixels;  // width * height * 4
};

// Largest side an icon image may have; real ones stop at 256.
inline constexpr uint32_t kMaxIconSide = 1024;

// One icon image (BITMAPINFOHEADER, palette, colour rows, AND-mask rows, all bottom-up), as
// Windows draws it: 1, 4 and 8 bits through the palette, 16 bits as 5-5-5, 24 and 32 bits
// direct. Pixels the AND mask marks are transparent for images without an alpha channel (and for
// 32-bit images whose alpha is zero everywhere, as old icons are); a missing mask leaves them
// opaque. Nothing when the header is not one, uses compression, or the rows do not fit.
std::optional<RgbaImage> DecodeIconBitmap(std::string_view image);
