// LZMA coding of solid blocks, for setupc: the smallest packages, at the cost of a slower
// compile and install than zstd.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace setupc {

// Levels are LZMA's presets: 0 fastest, 9 smallest; each is used in its "extreme" variant.
constexpr int kMaxLzmaLevel = 9;
// `compression solid lzma` without a level.
constexpr int kDefaultLzmaLevel = 9;

// The bytes as one LZMA stream in the ".lzma" form (13-byte header with the size left unknown,
// the end marker after the data), with a dictionary as large as the preset's but no larger than
// the bytes need. The output depends only on the bytes and the level. Nothing when liblzma fails.
// The encoder takes about ten times the dictionary in memory while it runs.
std::optional<std::string> LzmaCompress(std::string_view data, int level);

}  // namespace setupc
