// CRC-32 through libdeflate, the one deflate library the programs installers carry link.
#include "platform/checksum.h"

#include <libdeflate.h>

namespace platform {

uint32_t Crc32(uint32_t crc, const void* data, size_t size) {
  return libdeflate_crc32(crc, data, size);
}

}  // namespace platform
