#include "medalor/colours.h"

#include <utility>

namespace medalor {
namespace {

std::function<uint32_t(int)>& Provider() {
  static std::function<uint32_t(int)> provider;
  return provider;
}

uint32_t ClassicSysColor(int index) {
  switch (index) {
    case kColorWindow:
      return 0xFFFFFF;
    case kColorBtnFace:
      return 0xF0F0F0;
    case kColorBtnShadow:
      return 0xA0A0A0;
    case kColorBtnHighlight:
      return 0xFFFFFF;
    default:
      return 0x000000;
  }
}

uint32_t Resolve(uint32_t colour) {
  if (colour & kSystemColourFlag) return GetSysColor(static_cast<int>(colour & 0xFF));
  return colour;
}

}  // namespace

uint32_t GetSysColor(int index) {
  const auto& provider = Provider();
  return (provider ? provider(index) : ClassicSysColor(index)) & 0xFFFFFF;
}

void SetSysColorProvider(std::function<uint32_t(int)> provider) {
  Provider() = std::move(provider);
}

uint32_t MixColors(uint32_t c1, uint32_t c2, int percent) {
  c1 = Resolve(c1);
  c2 = Resolve(c2);
  const int64_t scale = percent < 100 ? 100 : 1000;
  uint32_t result = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const int64_t a = (c1 >> shift) & 0xFF;
    const int64_t b = (c2 >> shift) & 0xFF;
    const int64_t mixed = (a * percent + b * (scale - percent) + scale / 2) / scale;
    result |= static_cast<uint32_t>(mixed & 0xFF) << shift;
  }
  return result;
}

TRgba ColourToRgba(uint32_t colour) {
  colour = Resolve(colour);
  return TRgba{static_cast<uint8_t>(colour & 0xFF), static_cast<uint8_t>((colour >> 8) & 0xFF),
               static_cast<uint8_t>((colour >> 16) & 0xFF), 255};
}

void DrawCheckerboard(TPicture& bitmap) {
  const uint32_t window = GetSysColor(kColorWindow);
  const TRgba light = ColourToRgba(window);
  const TRgba dark = ColourToRgba(MixColors(window, GetSysColor(kColorBtnFace), 50));
  for (int y = 0; y < bitmap.Height(); ++y) {
    const bool lower = (y % 16) >= 8;
    TRgba* row = bitmap.Row(y);
    for (int x = 0; x < bitmap.Width(); ++x) {
      const bool right = (x % 16) >= 8;
      row[x] = (right != lower) ? dark : light;
    }
  }
}

}  // namespace medalor
