#include "setup/io/x86_branches.h"

#include <cstdint>

namespace archive_io {

void ConvertX86Branches(unsigned char* data, size_t size, bool to_absolute) {
  constexpr uint32_t kLow25 = (uint32_t{1} << 25) - 1;
  constexpr uint32_t kSign = uint32_t{1} << 24;
  size_t i = 0;
  size_t free_from = 0;  // an opcode left as it is keeps the next three from being converted
  while (size - i >= 5) {
    if ((data[i] & 0xFE) != 0xE8) {
      ++i;
      continue;
    }
    const unsigned char top = data[i + 4];
    if (i < free_from || (top != 0x00 && top != 0xFF)) {
      free_from = i + 4;
      ++i;
      continue;
    }
    unsigned char* field = data + i + 1;
    uint32_t value = uint32_t{field[0]} | uint32_t{field[1]} << 8 | uint32_t{field[2]} << 16 |
                     uint32_t{top} << 24;
    const auto next = static_cast<uint32_t>(i + 5);
    value = (to_absolute ? value + next : value - next) & kLow25;
    if (value & kSign) value |= ~kLow25;
    for (int k = 0; k < 4; ++k) field[k] = static_cast<unsigned char>(value >> (8 * k));
    i += 5;
  }
}

}  // namespace archive_io
