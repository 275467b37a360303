// Colours in the 0x00BBGGRR form, system colours, colour mixing and the preview's checkerboard.
#pragma once

#include <cstdint>
#include <functional>

#include "medalor/picture.h"

namespace medalor {

constexpr int kColorWindow = 5;
constexpr int kColorBtnFace = 15;
constexpr int kColorBtnShadow = 16;
constexpr int kColorBtnHighlight = 20;
// A colour value with this bit set stands for system colour (value & 0xFF).
constexpr uint32_t kSystemColourFlag = 0x80000000u;

// The system colour of `index` (GetSysColor). Without a provider a fixed classic table answers;
// the window installs one that reads its palette.
uint32_t GetSysColor(int index);
void SetSysColorProvider(std::function<uint32_t(int)> provider);

// Mixes two colours: p percent of c1 (scale 100 when p < 100, else 1000), rounded half up.
uint32_t MixColors(uint32_t c1, uint32_t c2, int percent);

TRgba ColourToRgba(uint32_t colour);

// Tiles `bitmap` with the 16 x 16 checker pattern of window colour and its 50% mix with the
// button face colour; opaque.
void DrawCheckerboard(TPicture& bitmap);

}  // namespace medalor
