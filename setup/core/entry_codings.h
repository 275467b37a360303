// TCodingTable: the group-0 entry "Codings", which tells which entries of a package are coded
// with Zstandard or LZMA instead of zlib. Entries not named in it are read as ever (zlib or raw),
// so a package without the entry is read exactly as before, and runtimes that do not know it
// pass over it like any other group-0 entry they do not ask for.
//
// Three codings:
//  * zstd: the blob is one zstd frame of the entry's bytes. The directory record is as for a
//    zlib entry: offset and stored size of the frame, the CRC of the frame, the full size.
//  * solid: the entries' bytes lie in a block, one zstd frame holding several entries back to
//    back, in directory order, from the block's first byte. Each member's record gives the
//    frame's offset, stored size and CRC (the same for every member of the block) and the
//    entry's own full size; the members' full sizes add up to the block's length.
//  * solid LZMA: as solid, the block being one LZMA stream (".lzma" form: 13-byte header, then
//    the range-coded data) instead of a zstd frame. Slower to decode, smaller.
//  * solid x86 and solid LZMA x86: as solid and solid LZMA, for blocks made mostly of x86
//    programs: the frame or stream holds the block with its branches converted to absolute
//    targets (setup/io/x86_branches.h), converted back once decoded.
//
// The table names runs of neighbouring entries, so a package of thousands of small files needs
// a record per block, not per file. Stored form (an entry like any other, zlib-compressed when
// that is shorter): magic "QXPZ", format version (2 bytes, 2), run count (4), then per run 9
// bytes: the index of its first entry (2), its number of entries (2), the coding (1: zstd,
// 2: solid, 3: solid LZMA, 4: solid LZMA x86, 5: solid x86) and the block's length (4; 0 for zstd,
// whose entries are coded one by one). Runs rise strictly and never overlap. Anything else is a
// damaged table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

constexpr const char kCodingsEntry[] = "Codings";

enum class TEntryCoding : uint8_t {
  kZlib = 0,
  kZstd = 1,
  kSolid = 2,
  kSolidLzma = 3,
  kSolidLzmaX86 = 4,
  kSolidX86 = 5,
};

constexpr bool IsLzmaCoding(TEntryCoding coding) {
  return coding == TEntryCoding::kSolidLzma || coding == TEntryCoding::kSolidLzmaX86;
}
// Whether entries of this coding are members of a block.
constexpr bool IsBlockCoding(TEntryCoding coding) {
  return coding == TEntryCoding::kSolid || coding == TEntryCoding::kSolidX86 ||
         IsLzmaCoding(coding);
}
// Whether the block's branches were converted before it was coded.
constexpr bool HasX86Branches(TEntryCoding coding) {
  return coding == TEntryCoding::kSolidLzmaX86 || coding == TEntryCoding::kSolidX86;
}
// The most bytes `stored` bytes of this coding can yield (zlib's rule is the reader's own).
uint64_t MaxCodedOutput(TEntryCoding coding, uint64_t stored);

// The largest block a package may hold (blocks are written at 32 MiB at most).
constexpr uint32_t kMaxSolidBlock = 256u << 20;

struct TCodedRun {
  uint16_t first = 0;  // index of the run's first entry in the directory
  uint16_t count = 0;
  TEntryCoding coding = TEntryCoding::kZstd;
  uint32_t block_size = 0;  // the block's bytes; 0 for zstd

  bool operator==(const TCodedRun&) const = default;
};

struct TCodingTable {
  std::vector<TCodedRun> runs;

  std::string Encode() const;
  // Nothing for a damaged table. Checks the form only; TPak checks the runs against the
  // directory (TPak::ApplyCodings).
  static std::optional<TCodingTable> Decode(const void* data, size_t size);
};
