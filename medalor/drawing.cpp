#include "medalor/drawing.h"

#include <algorithm>
#include <cmath>

namespace medalor {

TSheetGrid SheetGrid(int count, int per_row) {
  TSheetGrid grid;
  const int n = std::max(count, 0);
  grid.columns = std::max(per_row >= 1 ? std::min(per_row, n) : n, 1);
  if (per_row >= 1) {
    grid.rows = static_cast<int>(std::ceil(static_cast<double>(n) / per_row));
  }
  grid.rows = std::max(grid.rows, 1);
  grid.width = kColumnPitch * grid.columns + 24;
  grid.height = kRowPitch * grid.rows + 10;
  return grid;
}

namespace {

// One channel of the mix. Both products are plain doubles (SSE2 on x86-64, never the x87's
// extended precision, which gives other bytes for some alpha values); each is truncated toward
// zero before the two are added.
inline uint8_t MixChannel(uint8_t source, uint8_t destination, double alpha) {
  const double over = static_cast<double>(source) * alpha;
  const double under = (1.0 - alpha) * static_cast<double>(destination);
  return static_cast<uint8_t>(static_cast<int>(std::trunc(over)) +
                              static_cast<int>(std::trunc(under)));
}

}  // namespace

void DrawOver(const TPicture& source, TPicture& destination, int x, int y) {
  const int dw = destination.Width();
  const int dh = destination.Height();
  if (x >= dw) return;
  for (int r = 0; r < source.Height(); ++r) {
    const int dy = y + r;
    if (dy >= dh) continue;
    if (dy < 0) continue;  // rows above the destination do not exist
    const TRgba* src = source.Row(r);
    TRgba* dst = destination.Row(dy);
    for (int c = 0; c < source.Width(); ++c) {
      const int dx = x + c;
      if (dx >= dw) break;
      if (dx < 0) continue;
      const TRgba s = src[c];
      TRgba& d = dst[dx];
      if (s.a == 255 || d.a == 0) {
        d.r = s.r;
        d.g = s.g;
        d.b = s.b;
      } else {
        const double alpha = static_cast<double>(s.a) / 255.0;
        d.r = MixChannel(s.r, d.r, alpha);
        d.g = MixChannel(s.g, d.g, alpha);
        d.b = MixChannel(s.b, d.b, alpha);
      }
      d.a = d.a != 0 ? 255 : s.a;
    }
  }
}

TPicture CutPiece(const TPicture& layout, int x, int y, int width, int height) {
  TPicture piece(width, height, kMagenta, true);
  for (int r = 0; r < piece.Height(); ++r) {
    const int ty = y + r;
    if (ty < 0 || ty >= layout.Height()) continue;
    for (int c = 0; c < piece.Width(); ++c) {
      const int tx = x + c;
      if (tx < 0 || tx >= layout.Width()) continue;
      TRgba p = layout.At(tx, ty);
      if (!layout.HasAlpha()) p.a = 255;
      piece.At(c, r) = p;
    }
  }
  return piece;
}

std::string StripExtension(const std::string& file_name) {
  const size_t dot = file_name.rfind('.');
  return dot == std::string::npos ? file_name : file_name.substr(0, dot);
}

}  // namespace medalor
