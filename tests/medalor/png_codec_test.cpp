#include "medalor/png_codec.h"

#include <gtest/gtest.h>

#include <random>

#include "medalor/test_pictures.h"

namespace medalor {
namespace {

using testing::PngBuilder;

TEST(PngCodecTest, EncodedPictureDecodesToTheSamePixels) {
  const TPicture original = testing::Gradient(47, 31, 133);
  const TPicture back = DecodePng(EncodePng(original), "round trip");
  EXPECT_EQ(back.Width(), 47);
  EXPECT_EQ(back.Height(), 31);
  EXPECT_TRUE(back.HasAlpha());
  EXPECT_EQ(back.Pixels(), original.Pixels());
}

TEST(PngCodecTest, OtherPngKindsBecomeEightBitRgba) {
  // 8-bit RGB: alpha 255, no alpha channel.
  {
    PngBuilder png(2, 1, 8, 2);
    const TPicture p = DecodePng(png.Build({std::string("\x01\x02\x03\x04\x05\x06", 6)}), "rgb");
    EXPECT_FALSE(p.HasAlpha());
    EXPECT_EQ(p.At(1, 0), (TRgba{4, 5, 6, 255}));
  }
  // Greyscale with alpha.
  {
    PngBuilder png(2, 1, 8, 4);
    const TPicture p = DecodePng(png.Build({std::string("\x10\x20\x30\x40", 4)}), "grey");
    EXPECT_TRUE(p.HasAlpha());
    EXPECT_EQ(p.At(0, 0), (TRgba{0x10, 0x10, 0x10, 0x20}));
    EXPECT_EQ(p.At(1, 0), (TRgba{0x30, 0x30, 0x30, 0x40}));
  }
  // 1-bit greyscale: 0 and 1 widen to 0 and 255.
  {
    PngBuilder png(3, 1, 1, 0);
    const TPicture p = DecodePng(png.Build({std::string("\xA0", 1)}), "bits");
    EXPECT_EQ(p.At(0, 0), (TRgba{255, 255, 255, 255}));
    EXPECT_EQ(p.At(1, 0), (TRgba{0, 0, 0, 255}));
    EXPECT_EQ(p.At(2, 0), (TRgba{255, 255, 255, 255}));
  }
  // Palette with a tRNS chunk: entry 1 is half transparent.
  {
    PngBuilder png(2, 1, 8, 3);
    png.Chunk("PLTE", std::string("\xFF\x00\x00\x00\x80\xFF", 6));
    png.Chunk("tRNS", std::string("\xFF\x40", 2));
    const TPicture p = DecodePng(png.Build({std::string("\x00\x01", 2)}), "palette");
    EXPECT_TRUE(p.HasAlpha());
    EXPECT_EQ(p.At(0, 0), (TRgba{255, 0, 0, 255}));
    EXPECT_EQ(p.At(1, 0), (TRgba{0, 0x80, 0xFF, 0x40}));
  }
  // 16-bit RGB with a tRNS colour: that colour becomes transparent, the rest scales to 8 bits.
  {
    PngBuilder png(2, 1, 16, 2);
    png.Chunk("tRNS", std::string("\x00\x01\x00\x02\x00\x03", 6));
    const TPicture p = DecodePng(png.Build({std::string("\xFF\xFF\x80\x00\x00\x00"
                                                        "\x00\x01\x00\x02\x00\x03",
                                                        12)}),
                                 "deep");
    EXPECT_TRUE(p.HasAlpha());
    EXPECT_EQ(p.At(0, 0), (TRgba{255, 128, 0, 255}));
    EXPECT_EQ(p.At(1, 0).a, 0);
  }
}

TEST(PngCodecTest, DamagedInputFailsCleanlyWithTheDecodersMessage) {
  const std::string good = EncodePng(testing::Gradient(20, 20, 200));
  for (size_t cut = 0; cut < good.size(); cut += 7) {
    EXPECT_THROW(DecodePng(good.substr(0, cut), "cut.png"), SheetError) << cut;
  }
  std::mt19937 random(1234);
  for (int round = 0; round < 200; ++round) {
    std::string bad = good;
    bad[8 + random() % (bad.size() - 8)] ^= static_cast<char>(1 + random() % 255);
    try {
      const TPicture p = DecodePng(bad, "flipped.png");
      EXPECT_EQ(p.Width(), 20);  // a flip in an ignored spot may still decode
    } catch (const SheetError& e) {
      EXPECT_NE(std::string(e.what()).find("flipped.png: "), std::string::npos);
    }
  }
  EXPECT_THROW(DecodePng("GIF89a not a png", "x.gif"), SheetError);
}

}  // namespace
}  // namespace medalor
