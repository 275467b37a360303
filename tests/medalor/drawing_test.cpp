#include "medalor/drawing.h"

#include <gtest/gtest.h>

#include "medalor/colours.h"
#include "medalor/test_pictures.h"

namespace medalor {
namespace {

TEST(SheetGridTest, SizesFollowCountAndBadgesPerRow) {
  struct Case {
    int n, b, columns, rows, width, height;
  };
  const Case cases[] = {
      {0, 5, 1, 1, 75, 60},    // no badge: only the frame
      {4, 0, 4, 1, 228, 60},   // no limit: one row
      {4, -2, 4, 1, 228, 60},  // a negative count is no limit either
      {3, 9, 3, 1, 177, 60},   // more per row than badges
      {5, 5, 5, 1, 279, 60},   {7, 5, 5, 2, 279, 110}, {10, 5, 5, 2, 279, 110},
      {11, 5, 5, 3, 279, 160}, {0, 0, 1, 1, 75, 60},
  };
  for (const Case& c : cases) {
    const TSheetGrid grid = SheetGrid(c.n, c.b);
    EXPECT_EQ(grid.columns, c.columns) << c.n << "/" << c.b;
    EXPECT_EQ(grid.rows, c.rows) << c.n << "/" << c.b;
    EXPECT_EQ(grid.width, c.width) << c.n << "/" << c.b;
    EXPECT_EQ(grid.height, c.height) << c.n << "/" << c.b;
  }
}

TPicture OnePixel(TRgba p) { return TPicture(1, 1, p, true); }

TEST(DrawOverTest, ColourAndAlphaRules) {
  // An opaque source replaces colour and makes the pixel opaque.
  TPicture dst = OnePixel({10, 20, 30, 100});
  DrawOver(OnePixel({200, 100, 50, 255}), dst, 0, 0);
  EXPECT_EQ(dst.At(0, 0), (TRgba{200, 100, 50, 255}));

  // A fully transparent destination takes the source unchanged, alpha included.
  dst = OnePixel({10, 20, 30, 0});
  DrawOver(OnePixel({200, 100, 50, 77}), dst, 0, 0);
  EXPECT_EQ(dst.At(0, 0), (TRgba{200, 100, 50, 77}));

  // Partial alpha: each product is truncated on its own (rounding would give 105, 60, 40).
  dst = OnePixel({10, 20, 30, 255});
  DrawOver(OnePixel({200, 100, 50, 128}), dst, 0, 0);
  EXPECT_EQ(dst.At(0, 0), (TRgba{104, 59, 39, 255}));

  // A transparent source over a partly opaque pixel keeps the colour, but the pixel turns opaque.
  dst = OnePixel({10, 20, 30, 40});
  DrawOver(OnePixel({200, 100, 50, 0}), dst, 0, 0);
  EXPECT_EQ(dst.At(0, 0), (TRgba{10, 20, 30, 255}));
}

TEST(DrawOverTest, ProductsAreComputedInDoublePrecision) {
  // (1 - 43/255) * 255 is 211.99999999999997 in double and 212 in extended precision; the sheet
  // must come out the same everywhere, so the double result is the one kept.
  TPicture dst = OnePixel({255, 255, 255, 255});
  DrawOver(OnePixel({0, 5, 6, 43}), dst, 0, 0);
  EXPECT_EQ(dst.At(0, 0), (TRgba{211, 211, 212, 255}));
}

TEST(DrawOverTest, ClipsAtTheDestinationEdges) {
  TPicture dst(4, 3, TRgba{0, 0, 0, 255}, true);
  const TPicture src(3, 3, TRgba{9, 9, 9, 255}, true);
  DrawOver(src, dst, 2, 1);    // runs past the right and bottom edges
  DrawOver(src, dst, 4, 0);    // starts right of the destination: nothing
  DrawOver(src, dst, -2, -2);  // only its bottom-right pixel lands, at (0, 0)
  const char* expected[] = {"X...", "..XX", "..XX"};
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 4; ++x) {
      EXPECT_EQ(dst.At(x, y).r, expected[y][x] == 'X' ? 9 : 0) << x << "," << y;
    }
  }
}

TEST(CutPieceTest, CopiesInsideAndLeavesMagentaOutside) {
  const TPicture layout = testing::Gradient(10, 8, 90);
  const TPicture piece = CutPiece(layout, 5, 3, 25, 25);
  ASSERT_EQ(piece.Width(), 25);
  ASSERT_EQ(piece.Height(), 25);
  EXPECT_EQ(piece.At(0, 0), layout.At(5, 3));
  EXPECT_EQ(piece.At(4, 4), layout.At(9, 7));
  EXPECT_EQ(piece.At(5, 0), kMagenta);
  EXPECT_EQ(piece.At(0, 5), kMagenta);

  // A template without its own alpha gives opaque pieces.
  TPicture rgb = testing::Gradient(4, 4, 12);
  rgb.SetHasAlpha(false);
  EXPECT_EQ(CutPiece(rgb, 0, 0, 1, 1).At(0, 0).a, 255);
}

TEST(TextAndColourTest, StripExtensionAndMixColors) {
  EXPECT_EQ(StripExtension("gold.medal.png"), "gold.medal");
  EXPECT_EQ(StripExtension("plain"), "plain");
  EXPECT_EQ(StripExtension(".png"), "");

  EXPECT_EQ(MixColors(0x0000FF, 0x000000, 50), 0x000080u);  // 127.5 rounds up
  EXPECT_EQ(MixColors(0x102030, 0x302010, 50), 0x202020u);
  EXPECT_EQ(MixColors(0x0000FF, 0x000000, 100), 0x00001Au);  // scale 1000 from 100 percent on
  // A system colour is resolved first.
  EXPECT_EQ(MixColors(kSystemColourFlag | kColorWindow, GetSysColor(kColorWindow), 30),
            GetSysColor(kColorWindow));
}

TEST(CheckerboardTest, TilesSixteenPixelSquaresWithMixedQuadrants) {
  TPicture board(40, 20, TRgba{}, false);
  DrawCheckerboard(board);
  const TRgba light = ColourToRgba(GetSysColor(kColorWindow));
  const TRgba dark =
      ColourToRgba(MixColors(GetSysColor(kColorWindow), GetSysColor(kColorBtnFace), 50));
  ASSERT_NE(light, dark);
  EXPECT_EQ(board.At(0, 0), light);
  EXPECT_EQ(board.At(8, 0), dark);  // top-right quadrant
  EXPECT_EQ(board.At(7, 8), dark);  // bottom-left quadrant
  EXPECT_EQ(board.At(15, 15), light);
  EXPECT_EQ(board.At(39, 19), light);  // clipped tile at the corner: x 7 of the tile, y 3
  EXPECT_EQ(board.At(24, 17), dark);

  // An empty bitmap is left alone rather than tiled forever.
  TPicture empty(0, 16, TRgba{}, false);
  DrawCheckerboard(empty);
  EXPECT_TRUE(empty.Empty());
}

}  // namespace
}  // namespace medalor
