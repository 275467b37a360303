// How setupc lays out the entries of a package: which are packed alone and which together in
// solid blocks, in what order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace setupc {

// How a group's entries are coded (the script's `compression` line).
struct PackCoding {
  // kSolid blocks are zstd frames, kSolidLzma blocks LZMA streams.
  enum class Kind { kZlib, kZstd, kSolid, kSolidLzma };
  Kind kind = Kind::kZlib;
  int level = 0;  // zstd's level (1 to 22) or LZMA's preset (0 to 9); 0 for zlib

  bool operator==(const PackCoding&) const = default;
  bool Solid() const { return kind == Kind::kSolid || kind == Kind::kSolidLzma; }
};

// "zlib", "zstd 19", "solid 19", "solid lzma 9": as the summary shows it.
std::string CodingName(const PackCoding& coding);
// The words after `compression` ("zlib", "zstd [LEVEL]", "solid [zstd|lzma] [LEVEL]"); nothing
// when they are not one of those (a zstd level is 1 to 22, an LZMA level 0 to 9).
std::optional<PackCoding> ParseCoding(const std::vector<std::string>& words);

// Solid blocks hold up to this many bytes of entries; files of kSolidAloneSize or more are packed
// alone (zstd with a long window), so a block's worth of small files is never held up behind one.
constexpr uint64_t kSolidBlockSize = uint64_t{32} << 20;
constexpr uint64_t kSolidAloneSize = uint64_t{16} << 20;

// One step of packing: entries packed alone (one item) or one solid block (its items).
struct PackUnit {
  std::vector<size_t> items;  // indexes into the item list, in directory order
  bool block = false;
};

struct PlanItem {
  std::string entry_name;
  uint16_t group = 0;
  uint64_t size = 0;
  bool solid = false;    // its group's coding is solid and the item may be compressed
  bool program = false;  // an x86 program (IsX86Program)
};

// The units, in directory order. Each run of items of one solid group is sorted so that alike
// files sit together (x86 programs first, then by extension, then by name, letter case ignored;
// equal keys keep their order) and cut into blocks of at most kSolidBlockSize bytes; empty items
// and items of kSolidAloneSize bytes or more become units of their own. Depends only on the items.
std::vector<PackUnit> PlanUnits(const std::vector<PlanItem>& items);

}  // namespace setupc
