#include "setup/io/zlib_stream.h"

#include <zlib.h>

#include <limits>
#include <new>

namespace archive_io {

std::string ZlibCompress(std::string_view data) {
  uLong bound = compressBound(static_cast<uLong>(data.size()));
  std::string out(bound, '\0');
  uLongf out_size = bound;
  int rc =
      compress2(reinterpret_cast<Bytef*>(out.data()), &out_size,
                reinterpret_cast<const Bytef*>(data.data()), static_cast<uLong>(data.size()), 9);
  if (rc == Z_MEM_ERROR) throw std::bad_alloc();
  // With a buffer of compressBound bytes and valid arguments compress2 cannot fail otherwise.
  out.resize(out_size);
  return out;
}

std::optional<std::string> ZlibInflateExact(std::string_view stream, size_t expected_size) {
  // zlib expands by at most about 1032 to 1: a larger claimed size is damage, and is refused
  // before anything of that size is allocated.
  if (expected_size / 1032 > stream.size() + 1) return std::nullopt;
  if (stream.size() > std::numeric_limits<uInt>::max() ||
      expected_size > std::numeric_limits<uInt>::max()) {
    return std::nullopt;
  }
  z_stream z{};
  if (inflateInit(&z) != Z_OK) throw std::bad_alloc();
  std::string out(expected_size, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(stream.data()));
  z.avail_in = static_cast<uInt>(stream.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(expected_size);
  // One extra byte of room would tell a longer stream apart; a stream that still has output
  // when the buffer is full answers Z_OK or Z_BUF_ERROR instead of Z_STREAM_END.
  int rc = inflate(&z, Z_FINISH);
  bool complete = rc == Z_STREAM_END && z.total_out == expected_size;
  inflateEnd(&z);
  if (!complete) return std::nullopt;
  return out;
}

}  // namespace archive_io
