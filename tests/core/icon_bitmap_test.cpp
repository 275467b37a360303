// The icon image reader: every bit depth drawn through the same table of colours, the AND mask's
// transparency, and damaged images refused without reading past them.
#include "setup/core/icon_bitmap.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

void PutLe(std::string& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// A 5 x 3 picture (odd width: every row is padded) of four colours whose samples 5-5-5 can hold,
// top row first; the mask hides the pixels marked 1.
constexpr uint32_t kWidth = 5;
constexpr uint32_t kHeight = 3;
constexpr uint32_t kColours[4] = {0xFF0000, 0x00FF00, 0x0000FF, 0x848484};
constexpr int kPicture[kHeight][kWidth] = {{0, 1, 2, 3, 0}, {1, 1, 0, 0, 3}, {2, 3, 2, 1, 0}};
constexpr int kMasked[kHeight][kWidth] = {{1, 0, 0, 0, 1}, {0, 0, 0, 0, 0}, {1, 1, 0, 0, 0}};

struct IconImage {
  int bits = 32;
  bool with_mask = true;
  uint8_t alpha = 0xFF;       // the alpha channel of every 32-bit pixel
  uint32_t colours_used = 0;  // the header's palette size; 0 means 2^bits
  uint32_t compression = 0;
};

std::string MakeImage(const IconImage& shape) {
  const int bits = shape.bits;
  std::string out;
  PutLe(out, 40, 4);
  PutLe(out, kWidth, 4);
  PutLe(out, kHeight * 2, 4);
  PutLe(out, 1, 2);
  PutLe(out, static_cast<uint32_t>(bits), 2);
  PutLe(out, shape.compression, 4);
  for (int i = 0; i < 3; ++i) PutLe(out, 0, 4);  // image size, resolution
  PutLe(out, shape.colours_used, 4);
  PutLe(out, 0, 4);
  if (bits <= 8) {
    const uint32_t entries = shape.colours_used != 0 ? shape.colours_used : 1u << bits;
    for (uint32_t i = 0; i < entries; ++i) PutLe(out, i < 4 ? kColours[i] : 0x123456, 4);
  }
  const size_t colour_row = (kWidth * bits + 31) / 32 * 4;
  for (int y = kHeight - 1; y >= 0; --y) {  // bottom-up
    std::string row(colour_row, '\0');
    for (uint32_t x = 0; x < kWidth; ++x) {
      const int index = kPicture[y][x];
      const uint32_t rgb = kColours[index];
      if (bits <= 8) {
        const size_t bit = x * bits;
        const int value = index & ((1 << bits) - 1);
        row[bit / 8] = static_cast<char>(row[bit / 8] | value << (8 - bits - bit % 8));
      } else if (bits == 16) {
        const uint32_t value =
            ((rgb >> 19) & 0x1F) << 10 | ((rgb >> 11) & 0x1F) << 5 | ((rgb >> 3) & 0x1F);
        row[2 * x] = static_cast<char>(value);
        row[2 * x + 1] = static_cast<char>(value >> 8);
      } else {
        const size_t at = x * (bits / 8);
        row[at] = static_cast<char>(rgb);
        row[at + 1] = static_cast<char>(rgb >> 8);
        row[at + 2] = static_cast<char>(rgb >> 16);
        if (bits == 32) row[at + 3] = static_cast<char>(shape.alpha);
      }
    }
    out += row;
  }
  if (!shape.with_mask) return out;
  for (int y = kHeight - 1; y >= 0; --y) {
    std::string row(4, '\0');
    for (uint32_t x = 0; x < kWidth; ++x) {
      if (kMasked[y][x]) row[0] = static_cast<char>(row[0] | 0x80 >> x);
    }
    out += row;
  }
  return out;
}

// Checks every pixel against the table: colour always, alpha from `alpha_of(masked)`.
template <typename AlphaOf>
void ExpectPicture(const std::optional<RgbaImage>& image, AlphaOf alpha_of) {
  ASSERT_TRUE(image.has_value());
  ASSERT_EQ(image->width, kWidth);
  ASSERT_EQ(image->height, kHeight);
  for (uint32_t y = 0; y < kHeight; ++y) {
    for (uint32_t x = 0; x < kWidth; ++x) {
      const uint8_t* pixel = image->pixels.data() + (y * kWidth + x) * 4;
      const uint32_t rgb = kColours[kPicture[y][x]];
      const uint32_t got = uint32_t{pixel[0]} << 16 | uint32_t{pixel[1]} << 8 | pixel[2];
      EXPECT_EQ(got, rgb) << x << "," << y;
      EXPECT_EQ(pixel[3], alpha_of(kMasked[y][x] != 0)) << x << "," << y;
    }
  }
}

class IconBitmapDepthTest : public testing::TestWithParam<int> {};

TEST_P(IconBitmapDepthTest, ColoursAndMaskComeOutAsWindowsDrawsThem) {
  const int bits = GetParam();
  IconImage shape;
  shape.bits = bits;
  shape.alpha = 0x80;
  // With an alpha channel the mask is ignored; without one it decides transparency.
  ExpectPicture(DecodeIconBitmap(MakeImage(shape)),
                [&](bool masked) -> uint8_t { return bits == 32 ? 0x80 : (masked ? 0 : 0xFF); });
  // Without a mask every pixel of an image without alpha is opaque.
  shape.with_mask = false;
  ExpectPicture(DecodeIconBitmap(MakeImage(shape)),
                [&](bool) -> uint8_t { return bits == 32 ? 0x80 : 0xFF; });
}

INSTANTIATE_TEST_SUITE_P(EveryDepth, IconBitmapDepthTest, testing::Values(4, 8, 16, 24, 32));

TEST(IconBitmapTest, ThirtyTwoBitsWithoutAnyAlphaUseTheMask) {
  IconImage shape;
  shape.alpha = 0;
  ExpectPicture(DecodeIconBitmap(MakeImage(shape)),
                [](bool masked) -> uint8_t { return masked ? 0 : 0xFF; });
  shape.with_mask = false;
  ExpectPicture(DecodeIconBitmap(MakeImage(shape)), [](bool) -> uint8_t { return 0xFF; });
}

TEST(IconBitmapTest, OneBitAndShortPalettes) {
  // One bit: the picture's colours 2 and 3 become 0 and 1 (their low bit); check by hand.
  IconImage shape;
  shape.bits = 1;
  std::optional<RgbaImage> image = DecodeIconBitmap(MakeImage(shape));
  ASSERT_TRUE(image.has_value());
  EXPECT_EQ(image->pixels[4 * 1 + 1], 0xFF);  // (1,0) is colour 1, green
  EXPECT_EQ(image->pixels[4 * 1 + 3], 0xFF);
  EXPECT_EQ(image->pixels[3], 0x00);  // (0,0) is masked
  // A palette the header declares shorter than an index: that pixel is black, others as stored.
  shape.bits = 8;
  shape.colours_used = 3;
  image = DecodeIconBitmap(MakeImage(shape));
  ASSERT_TRUE(image.has_value());
  EXPECT_EQ(image->pixels[4 * 3 + 0] | image->pixels[4 * 3 + 1] | image->pixels[4 * 3 + 2], 0);
  EXPECT_EQ(image->pixels[4 * 2 + 2], 0xFF);  // (2,0) is colour 2, blue
}

TEST(IconBitmapTest, DamagedOrUnsupportedImagesGiveNothing) {
  for (int bits : {1, 4, 8, 16, 24, 32}) {
    IconImage shape;
    shape.bits = bits;
    shape.with_mask = false;
    const std::string image = MakeImage(shape);
    // Cut inside the header, palette or colour rows: nothing (a cut in the mask only drops it).
    for (size_t cut = 0; cut < image.size(); ++cut) {
      EXPECT_FALSE(DecodeIconBitmap(image.substr(0, cut)).has_value()) << bits << " " << cut;
    }
  }
  IconImage compressed;
  compressed.compression = 3;  // bit fields
  EXPECT_FALSE(DecodeIconBitmap(MakeImage(compressed)).has_value());
  std::string base = MakeImage(IconImage{});
  const struct {
    size_t at;
    int size;
    uint32_t value;
  } kDamage[] = {{0, 4, 12}, {0, 4, 0xFFFFFFF0}, {4, 4, 0},  {4, 4, 0x80000000}, {4, 4, 4096},
                 {8, 4, 1},  {8, 4, 0xFFFFFFFE}, {12, 2, 2}, {14, 2, 2},         {14, 2, 64}};
  for (const auto& damage : kDamage) {
    std::string image = base;
    for (int i = 0; i < damage.size; ++i) {
      image[damage.at + i] = static_cast<char>(damage.value >> (8 * i));
    }
    EXPECT_FALSE(DecodeIconBitmap(image).has_value()) << damage.at << " " << damage.value;
  }
  // Random damage never reads outside the image (checked under the sanitizers).
  std::mt19937 random(19);
  for (int round = 0; round < 2000; ++round) {
    std::string image = base;
    for (int flips = 0; flips < 4; ++flips) {
      image[random() % image.size()] = static_cast<char>(random());
    }
    if (std::optional<RgbaImage> out = DecodeIconBitmap(image)) {
      EXPECT_EQ(out->pixels.size(), size_t{out->width} * out->height * 4);
    }
  }
}

}  // namespace
