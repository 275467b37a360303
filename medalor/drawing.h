// Pixel operations of the sheet: laying one picture over another, cutting frame pieces, and the
// grid arithmetic of a sheet.
#pragma once

#include <array>
#include <string>

#include "medalor/picture.h"

namespace medalor {

constexpr int kBadgeSize = 47;
constexpr int kColumnPitch = 51;  // 47 + a gap of 4
constexpr int kRowPitch = 50;     // 47 + a gap of 3
constexpr int kFirstColumnX = 14;
constexpr int kFirstRowY = 8;
constexpr int kCornerSize = 25;
constexpr TRgba kMagenta{255, 0, 255, 255};

// The resampling filters in FreeImage's FREE_IMAGE_FILTER order, as the filter choice shows them.
constexpr std::array<const char*, 6> kFilterNames = {"FILTER_BOX",        "FILTER_BICUBIC",
                                                     "FILTER_BILINEAR",   "FILTER_BSPLINE",
                                                     "FILTER_CATMULLROM", "FILTER_LANCZOS3"};

struct TSheetGrid {
  int columns = 1;
  int rows = 1;
  int width = 0;   // 51 * columns + 24
  int height = 0;  // 50 * rows + 10
};

// Columns and rows for `count` badges at `per_row` a row (per_row <= 0: no limit).
TSheetGrid SheetGrid(int count, int per_row);

// Lays `source` over `destination` with its top-left corner at (x, y). Colours mix with each
// product computed in IEEE double and truncated on its own, so sheets come out byte-identical
// on every machine; a destination pixel with any opacity becomes opaque.
void DrawOver(const TPicture& source, TPicture& destination, int x, int y);

// A width x height piece of opaque magenta, filled from the template's rectangle at (x, y)
// wherever the template has a pixel; alpha is the template's when it carries alpha, else 255.
TPicture CutPiece(const TPicture& layout, int x, int y, int width, int height);

// The text before the last "." (the whole name when there is none).
std::string StripExtension(const std::string& file_name);

}  // namespace medalor
