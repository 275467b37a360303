// Zstandard frames (RFC 8878) for package entries: the decoding side, which installers carry.
// The encoder lives with the packer (setupc).
//
// Size rule: a frame of n bytes cannot yield more than kMaxZstdRatio * n bytes (a 3-byte block
// header of a repeated byte stands for at most 128 KiB). A recorded size beyond that is damage.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "setup/io/zlib_stream.h"

namespace archive_io {

constexpr uint64_t kMaxZstdRatio = (uint64_t{128} << 10) / 3 + 1;
constexpr uint64_t MaxZstdOutput(uint64_t frame_size) { return frame_size * kMaxZstdRatio; }
// The largest window a package's frames may use (128 MiB): the decoder refuses more, so a
// damaged or hostile frame cannot make it allocate beyond that.
constexpr int kMaxZstdWindowLog = 27;

// Decodes the first `size` bytes of the one frame in `frame` into `out`. With `whole` set the
// frame must end exactly there (its checksum, when it has one, checked): kExact, else kShorter
// with `produced`, kLonger or kBroken as for zlib. Without it, the frame may go on past `size`
// bytes (a block of which only the front is wanted): kExact once `size` bytes are out.
InflateStatus ZstdDecodeInto(std::string_view frame, void* out, size_t size, bool whole,
                             size_t* produced);

}  // namespace archive_io
