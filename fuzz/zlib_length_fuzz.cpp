// libFuzzer harness for the counter of a zlib stream's length (used for the size message of an
// entry that inflates to more than it should): for any bytes it must answer exactly what zlib's
// own inflate answers, a length or nothing.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "setup/io/zlib_stream.h"

namespace {

std::optional<uint64_t> ZlibCounts(const uint8_t* data, size_t size) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) std::abort();
  z.next_in = const_cast<Bytef*>(data);
  z.avail_in = static_cast<uInt>(size);
  unsigned char scratch[16384];
  int result = Z_OK;
  while (result == Z_OK) {
    z.next_out = scratch;
    z.avail_out = sizeof scratch;
    result = inflate(&z, Z_NO_FLUSH);
  }
  const uint64_t produced = z.total_out;
  inflateEnd(&z);
  return result == Z_STREAM_END ? std::optional<uint64_t>(produced) : std::nullopt;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view stream(reinterpret_cast<const char*>(data), size);
  if (archive_io::ZlibInflatedLength(stream) != ZlibCounts(data, size)) std::abort();
  return 0;
}
