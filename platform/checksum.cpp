// CRC-32 through zlib.
#include "platform/checksum.h"

#include <zlib.h>

#include <algorithm>
#include <climits>

namespace platform {

uint32_t Crc32(uint32_t crc, const void* data, size_t size) {
  // zlib takes a uInt length; feed larger buffers in pieces.
  auto bytes = static_cast<const Bytef*>(data);
  uLong value = crc;
  while (size > 0) {
    const size_t piece = std::min<size_t>(size, UINT_MAX);
    value = crc32(value, bytes, static_cast<uInt>(piece));
    bytes += piece;
    size -= piece;
  }
  return static_cast<uint32_t>(value);
}

}  // namespace platform
