#include "medalor/sheet_composer.h"

#include <gtest/gtest.h>
#include <png.h>

#include "medalor/drawing.h"
#include "medalor/half_size.h"
#include "medalor/test_pictures.h"
#include "platform/files.h"

namespace medalor {
namespace {

using testing::Gradient;
using testing::WritePicture;

// A badge of one colour whose top-left pixel is marked, so its placement can be read back.
TPicture Badge(TRgba colour) {
  TPicture badge(kBadgeSize, kBadgeSize, colour, true);
  badge.At(0, 0) = TRgba{1, 2, 3, 255};
  return badge;
}

class SheetComposerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    badges_ = folder_.Sub("Badges");
    layouts_ = folder_.Sub("BadgeLayout");
    for (int i = 0; i < 7; ++i) {
      const uint8_t v = static_cast<uint8_t>(30 * (i + 1));
      WritePicture(Path(badges_, "b" + std::to_string(i + 1) + ".png"), Badge({v, v, v, 255}));
    }
    WritePicture(Path(badges_, "big.png"), TPicture(48, 48, TRgba{9, 9, 9, 255}));
    // "None": fully transparent white, stored in capitals.
    WritePicture(Path(layouts_, "NONE.PNG"), TPicture(273, 57, TRgba{255, 255, 255, 0}));
    WritePicture(Path(layouts_, "Pattern.png"), Gradient(273, 57));
  }
  static std::string Path(const std::string& folder, const std::string& name) {
    return folder + "/" + name;
  }
  TSheetComposer Loaded() {
    TSheetComposer composer(badges_, layouts_);
    composer.LoadBadgeImages();
    return composer;
  }

  testing::TempFolder folder_;
  std::string badges_;
  std::string layouts_;
};

TEST_F(SheetComposerTest, CatalogueAndBackgroundNamesSkipOddSizesAndTheNoneTemplate) {
  TSheetComposer composer = Loaded();
  EXPECT_EQ(composer.BadgeNames(),
            (std::vector<std::string>{"b1", "b2", "b3", "b4", "b5", "b6", "b7"}));
  EXPECT_EQ(composer.Images().size(), 7u);
  EXPECT_EQ(composer.LoadBackgroundNames(), (std::vector<std::string>{"None", "Pattern"}));
  // "None" finds NONE.PNG although the case differs; it starts a transparent sheet.
  composer.SelectBackground("None");
  EXPECT_TRUE(composer.TransparentSheet());
  composer.SelectBackground("pattern");
  EXPECT_FALSE(composer.TransparentSheet());
  EXPECT_EQ(composer.SheetFillColour(), (TRgba{136, 28, 0x24, 255}));  // Gradient at (136, 28)
}

TEST_F(SheetComposerTest, BadgesStandInTheGridInListOrder) {
  TSheetComposer composer = Loaded();
  composer.SelectBackground("None");
  const std::vector<std::string> seven{"b1", "b2", "b3", "b4", "b5", "b6", "b7"};
  const TPicture sheet = composer.ComposeSheet(seven, 5);
  ASSERT_EQ(sheet.Width(), 279);
  ASSERT_EQ(sheet.Height(), 110);
  for (int i = 0; i < 7; ++i) {
    const int x = (i % 5) * 51 + 14;
    const int y = (i / 5) * 50 + 8;
    EXPECT_EQ(sheet.At(x, y), (TRgba{1, 2, 3, 255})) << i;
    const uint8_t v = static_cast<uint8_t>(30 * (i + 1));
    EXPECT_EQ(sheet.At(x + 46, y + 46), (TRgba{v, v, v, 255})) << i;
  }
  EXPECT_EQ(sheet.At(14, 58), (TRgba{1, 2, 3, 255}));  // badge 6
  EXPECT_EQ(sheet.At(65, 58 + 1).r, 210);              // badge 7

  // No limit: every badge in one row; the same badge twice is drawn twice.
  const TPicture row = composer.ComposeSheet({"b2", "b2", "B3"}, -1);
  EXPECT_EQ(row.Width(), 177);
  EXPECT_EQ(row.Height(), 60);
  EXPECT_EQ(row.At(14 + 51 + 5, 20).r, 60);
  EXPECT_EQ(row.At(14 + 102 + 5, 20).r, 90);
  EXPECT_EQ(composer.ComposeSheet({}, 5).Width(), 75);
  EXPECT_THROW(composer.ComposeSheet({"missing"}, 5), SheetError);
}

TEST_F(SheetComposerTest, FramePiecesAreCutAndRepeatedAlongTheSides) {
  TSheetComposer composer = Loaded();
  composer.SelectBackground("Pattern");
  const TPicture t = Gradient(273, 57);
  const TPicture sheet = composer.ComposeSheet({}, 5);  // 75 x 60, nothing over the frame
  const int W = 75, H = 60;
  EXPECT_EQ(sheet.At(3, 4), t.At(3, 4));              // top-left corner
  EXPECT_EQ(sheet.At(W - 25 + 24, 0), t.At(272, 0));  // top-right corner
  EXPECT_EQ(sheet.At(W - 1, H - 1), t.At(272, 56));   // bottom-right corner
  EXPECT_EQ(sheet.At(0, H - 25), t.At(0, 32));        // bottom-left corner
  for (int x = 25; x <= W - 26; ++x) {
    EXPECT_EQ(sheet.At(x, 2), t.At(136, 2)) << x;       // top edge slice
    EXPECT_EQ(sheet.At(x, H - 1), t.At(136, 56)) << x;  // bottom edge slice
  }
  for (int y = 25; y <= H - 26; ++y) {
    EXPECT_EQ(sheet.At(7, y), t.At(7, 28)) << y;                 // left edge slice
    EXPECT_EQ(sheet.At(W - 15 + 4, y), t.At(258 + 4, 28)) << y;  // right edge slice
  }
  // Between the pieces the fill colour (the template's centre) shows.
  EXPECT_EQ(sheet.At(30, 30), t.At(136, 28));
}

TEST_F(SheetComposerTest, SmallTemplateLeavesMagentaWhereItHasNoPixels) {
  WritePicture(Path(layouts_, "Tiny.png"), TPicture(10, 10, TRgba{0, 200, 0, 255}));
  TSheetComposer composer = Loaded();
  composer.SelectBackground("Tiny");
  const TPicture sheet = composer.ComposeSheet({}, 5);
  EXPECT_EQ(sheet.At(2, 2), (TRgba{0, 200, 0, 255}));
  EXPECT_EQ(sheet.At(20, 20), kMagenta);  // inside corner piece 0, outside the template
  // Piece 2 is cut at (-15, -15): only its lower-right 10 x 10 pixels come from the template.
  EXPECT_EQ(sheet.At(74, 59), (TRgba{0, 200, 0, 255}));
  EXPECT_EQ(sheet.At(74 - 15, 59 - 15), kMagenta);
}

TEST_F(SheetComposerTest, TransparentNoneSheetKeepsBadgePixelsAndOpaqueTemplateMixesThem) {
  TPicture soft = Badge({200, 100, 50, 128});
  soft.At(5, 5) = TRgba{10, 20, 30, 0};
  WritePicture(Path(badges_, "soft.png"), soft);
  TSheetComposer composer = Loaded();

  composer.SelectBackground("None");
  TPicture sheet = composer.ComposeSheet({"soft"}, 5);
  EXPECT_EQ(sheet.At(0, 0).a, 0);  // the frame leaves the sheet transparent
  for (int y = 0; y < kBadgeSize; ++y) {
    for (int x = 0; x < kBadgeSize; ++x) {
      ASSERT_EQ(sheet.At(14 + x, 8 + y), soft.At(x, y)) << x << "," << y;
    }
  }

  WritePicture(Path(layouts_, "Plain.png"), TPicture(273, 57, TRgba{10, 20, 30, 255}, false));
  composer.SelectBackground("Plain");
  sheet = composer.ComposeSheet({"soft"}, 5);
  for (const TRgba& p : sheet.Pixels()) ASSERT_EQ(p.a, 255);
  EXPECT_EQ(sheet.At(14 + 10, 8 + 10), (TRgba{104, 59, 39, 255}));
  EXPECT_EQ(sheet.At(14 + 5, 8 + 5), (TRgba{10, 20, 30, 255}));
}

TEST_F(SheetComposerTest, HalfSizeWorksWithEveryFilterAndKeepsSizeOnABadFilter) {
  TSheetComposer composer = Loaded();
  composer.SelectBackground("Pattern");
  const TPicture full = composer.ComposeSheet({"b1", "b2", "b3", "b4", "b5"}, 5);
  ASSERT_EQ(full.Width(), 279);
  for (int filter = 0; filter < 6; ++filter) {
    TPicture sheet = full;
    EXPECT_TRUE(HalveSheet(sheet, filter)) << filter;
    EXPECT_EQ(sheet.Width(), 139) << filter;
    EXPECT_EQ(sheet.Height(), 30) << filter;
    // The middle of badge 3 (solid grey 90) stays that grey at any filter.
    EXPECT_NEAR(sheet.At((116 + 23) / 2, (8 + 23) / 2).g, 90, 2) << filter;
  }
  TPicture sheet = full;
  EXPECT_FALSE(HalveSheet(sheet, 6));
  EXPECT_EQ(sheet, full);
  EXPECT_EQ(composer.RenderSheet({}, 5, true, 0).Width(), 37);
}

// Reads the header fields of a PNG file with libpng.
struct PngHeader {
  png_uint_32 width = 0, height = 0;
  int bit_depth = 0, colour_type = 0, interlace = 0;
};
PngHeader ReadHeader(const std::string& path) {
  PngHeader h;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return h;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png)) == 0) {
    png_init_io(png, f);
    png_read_info(png, info);
    png_get_IHDR(png, info, &h.width, &h.height, &h.bit_depth, &h.colour_type, &h.interlace,
                 nullptr, nullptr);
  }
  png_destroy_read_struct(&png, &info, nullptr);
  std::fclose(f);
  return h;
}

TEST_F(SheetComposerTest, SavedFileIsEightBitRgbaAndReadsBackAsComposed) {
  TSheetComposer composer = Loaded();
  composer.SelectBackground("Pattern");
  const std::string out = (folder_.Path() / "sheet.png").string();
  testing::WriteBytes(out, "old content that must be replaced");
  const std::vector<std::string> names{"b1", "b7", "b1"};
  composer.SaveSheet(out, names, 2, false, 0);
  const PngHeader h = ReadHeader(out);
  EXPECT_EQ(h.width, 126u);
  EXPECT_EQ(h.height, 110u);
  EXPECT_EQ(h.bit_depth, 8);
  EXPECT_EQ(h.colour_type, PNG_COLOR_TYPE_RGB_ALPHA);
  EXPECT_EQ(h.interlace, PNG_INTERLACE_NONE);
  const auto bytes = platform::ReadFileBytes(out);
  ASSERT_TRUE(bytes);
  EXPECT_EQ(DecodePng(*bytes, out).Pixels(), composer.ComposeSheet(names, 2).Pixels());

  EXPECT_THROW(composer.SaveSheet((folder_.Path() / "no-such-folder" / "x.png").string(), names, 2,
                                  false, 0),
               SheetError);
}

}  // namespace
}  // namespace medalor
