// TCodingTable: the group-0 entry "Codings", which tells which entries of a package are coded
// with Zstandard instead of zlib. Entries not named in it are read as ever (zlib or raw), so a
// package without the entry is read exactly as before, and runtimes that do not know it pass
// over it like any other group-0 entry they do not ask for.
//
// Two codings:
//  * zstd: the blob is one zstd frame of the entry's bytes. The directory record is as for a
//    zlib entry: offset and stored size of the frame, the CRC of the frame, the full size.
//  * solid: the entry's bytes lie inside a block, one zstd frame holding several entries one
//    after the other. Each member's record gives the frame's offset, stored size and CRC (the
//    same for every member of the block) and the entry's own full size; the table adds where in
//    the block's bytes the entry starts and how long the block's bytes are.
//
// Stored form (stored raw): magic "QXPZ", format version (2 bytes, 1), record count (4), then per
// record 11 bytes: entry index (2), coding (1: zstd, 2: solid), position in the block (4) and
// the block's length (4) (for zstd: 0 and the entry's full size). Indexes rise strictly.
// Anything else is a damaged table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

constexpr const char kCodingsEntry[] = "Codings";

enum class TEntryCoding : uint8_t { kZlib = 0, kZstd = 1, kSolid = 2 };

// The largest block a package may hold (blocks are written at 32 MiB at most).
constexpr uint32_t kMaxSolidBlock = 256u << 20;

struct TCodedEntry {
  uint16_t index = 0;
  TEntryCoding coding = TEntryCoding::kZstd;
  uint32_t position = 0;    // where the entry's bytes start in the block's bytes
  uint32_t block_size = 0;  // the block's bytes (for zstd the entry's full size)

  bool operator==(const TCodedEntry&) const = default;
};

struct TCodingTable {
  std::vector<TCodedEntry> entries;

  std::string Encode() const;
  // Nothing for a damaged table. Checks the form only; TPak checks the records against the
  // directory (TPak::ApplyCodings).
  static std::optional<TCodingTable> Decode(const void* data, size_t size);
};
