// Layout colours are 0x00BBGGRR values (blue in the high byte); Qt wants red first.
#pragma once

#include <QColor>
#include <cstdint>

namespace setup_controls {

inline QColor ColourFromBgr(uint32_t bgr) {
  return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                static_cast<int>((bgr >> 16) & 0xFF));
}

inline uint32_t BgrFromColour(const QColor& colour) {
  return static_cast<uint32_t>(colour.red()) | (static_cast<uint32_t>(colour.green()) << 8) |
         (static_cast<uint32_t>(colour.blue()) << 16);
}

}  // namespace setup_controls
