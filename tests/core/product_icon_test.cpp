// The product-detail record and icon-to-PNG conversion.
#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <array>
#include <vector>

#include "setup/core/icon_png.h"
#include "setup/core/product_info.h"

namespace {

void PutLe(std::string& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// An icon file of the images given with their sides (bitmap or PNG bytes alike).
std::string IconFile(const std::vector<std::pair<int, std::string>>& images) {
  std::string header;
  PutLe(header, 0, 2);
  PutLe(header, 1, 2);
  PutLe(header, static_cast<uint32_t>(images.size()), 2);
  std::string data;
  const size_t directory_end = 6 + 16 * images.size();
  for (const auto& [side, image] : images) {
    PutLe(header, side == 256 ? 0 : side, 1);
    PutLe(header, side == 256 ? 0 : side, 1);
    PutLe(header, 0, 2);
    PutLe(header, 1, 2);
    PutLe(header, 32, 2);
    PutLe(header, static_cast<uint32_t>(image.size()), 4);
    PutLe(header, static_cast<uint32_t>(directory_end + data.size()), 4);
    data += image;
  }
  return header + data;
}

// An icon file with one 32-bit image per size in `sides`; image n is filled with `colours[n]`
// (0xAARRGGBB).
std::string MakeIcon(const std::vector<int>& sides, const std::vector<uint32_t>& colours) {
  std::vector<std::pair<int, std::string>> images;
  for (size_t n = 0; n < sides.size(); ++n) {
    const int side = sides[n];
    std::string image;
    PutLe(image, 40, 4);  // BITMAPINFOHEADER
    PutLe(image, side, 4);
    PutLe(image, side * 2, 4);  // colour rows and mask rows
    PutLe(image, 1, 2);
    PutLe(image, 32, 2);
    PutLe(image, 0, 4);
    PutLe(image, 0, 4);
    PutLe(image, 0, 4);
    PutLe(image, 0, 4);
    PutLe(image, 0, 4);
    PutLe(image, 0, 4);
    for (int i = 0; i < side * side; ++i) PutLe(image, colours[n], 4);
    const int mask_row = ((side + 31) / 32) * 4;
    image += std::string(static_cast<size_t>(mask_row * side), '\0');
    images.emplace_back(side, image);
  }
  return IconFile(images);
}

struct Decoded {
  unsigned width = 0;
  unsigned height = 0;
  std::array<uint8_t, 4> centre{};  // red, green, blue, alpha
};

std::optional<Decoded> DecodePng(const std::string& png) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, png.data(), png.size())) return std::nullopt;
  image.format = PNG_FORMAT_RGBA;
  std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) return std::nullopt;
  Decoded decoded;
  decoded.width = image.width;
  decoded.height = image.height;
  const size_t at = (size_t{image.height / 2} * image.width + image.width / 2) * 4;
  std::copy_n(pixels.begin() + static_cast<std::ptrdiff_t>(at), 4, decoded.centre.begin());
  return decoded;
}

TEST(ProductInfoTest, RoundTripAndShortData) {
  TProductInfo info{"1.0", "Makers", "https://example.org"};
  const std::string bytes = info.Encode();
  EXPECT_EQ(TProductInfo::Decode(bytes.data(), bytes.size()), info);
  // Cut anywhere: the fields before the cut are kept, the rest read as empty.
  const TProductInfo cut = TProductInfo::Decode(bytes.data(), 2 + 3 + 2 + 6);
  EXPECT_EQ(cut.Version, "1.0");
  EXPECT_EQ(cut.Publisher, "Makers");
  EXPECT_EQ(cut.Url, "");
  for (size_t length = 0; length <= bytes.size(); ++length) {
    TProductInfo::Decode(bytes.data(), length);  // never reads past the end
  }
  // Fields appended later are ignored by this reader.
  EXPECT_EQ(TProductInfo::Decode((bytes + "\x02\x00xy").data(), bytes.size() + 4), info);
}

TEST(IconPngTest, LargestImageBecomesAPngWithItsColours) {
  // The largest image is half-transparent red: its alpha must survive into the PNG.
  const std::string icon = MakeIcon({16, 48, 32}, {0xFF0000FF, 0x80FF0000, 0xFF00FF00});
  std::optional<std::string> png = IconToPng(icon);
  ASSERT_TRUE(png.has_value());
  std::optional<Decoded> decoded = DecodePng(*png);
  ASSERT_TRUE(decoded.has_value());
  EXPECT_EQ(decoded->width, 48u);
  EXPECT_EQ(decoded->height, 48u);
  EXPECT_EQ(decoded->centre, (std::array<uint8_t, 4>{0xFF, 0x00, 0x00, 0x80}));  // 48: red
  // A PNG is taken as it is.
  EXPECT_EQ(IconToPng(*png), png);
}

TEST(IconPngTest, APngImageOfAnIconIsHandedOnAsStoredUnlessItsHeaderIsDamaged) {
  const std::optional<std::string> png = IconToPng(MakeIcon({32}, {0xFF00FF00}));
  ASSERT_TRUE(png.has_value());
  auto icon_of = [](const std::string& image) { return IconFile({{32, image}}); };
  EXPECT_EQ(IconToPng(icon_of(*png)), png);
  std::string damaged = *png;
  damaged[18] ^= 0x01;  // the width, so the header's CRC no longer matches
  EXPECT_FALSE(IconToPng(icon_of(damaged)).has_value());
  EXPECT_FALSE(IconToPng(icon_of(png->substr(0, 30))).has_value());
}

TEST(IconPngTest, DamagedIconsGiveNothing) {
  const std::string icon = MakeIcon({16}, {0xFF123456});
  EXPECT_FALSE(IconToPng("").has_value());
  EXPECT_FALSE(IconToPng("#!/bin/sh\necho not an icon at all\n").has_value());
  std::string outside = icon;
  outside[18] = '\x7F';  // image offset far past the end
  EXPECT_FALSE(IconToPng(outside).has_value());
  std::string many = icon;
  many[4] = '\xFF';  // more directory entries than the bytes hold
  EXPECT_FALSE(IconToPng(many).has_value());
  for (size_t cut = 0; cut < icon.size(); ++cut) {
    EXPECT_FALSE(IconToPng(icon.substr(0, cut)).has_value()) << cut;
  }
}

}  // namespace
