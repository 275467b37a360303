// Zstandard coding of package entries and solid blocks, for setupc.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct ZSTD_CCtx_s;

namespace setupc {

// Levels on zstd's scale: 1 fastest, 22 smallest (20 and above use windows zstd calls "ultra").
constexpr int kMinZstdLevel = 1;
constexpr int kMaxZstdLevel = 22;
// `compression zstd` and `compression solid` without a level.
constexpr int kDefaultZstdLevel = 19;
// The kit's own entries (window program, page sets, language tables): the same few hundred KB
// in every installer, packed at the smallest level.
constexpr int kKitZstdLevel = 22;

// One compression context, reused for every buffer of one thread. The output depends only on
// the bytes, the level and the window choice, never on the thread or the order of calls.
class ZstdPacker {
 public:
  ZstdPacker();
  ~ZstdPacker();
  ZstdPacker(const ZstdPacker&) = delete;
  ZstdPacker& operator=(const ZstdPacker&) = delete;

  // The bytes as one frame, its content size and checksum recorded (the package's CRC covers the
  // frame as stored; the checksum what a whole frame decodes to). `long_window` adds long-distance
  // matching over a window of up to 2^27 bytes. Nothing when zstd fails.
  std::optional<std::string> Compress(std::string_view data, int level, bool long_window);

 private:
  ZSTD_CCtx_s* context_;
};

}  // namespace setupc
