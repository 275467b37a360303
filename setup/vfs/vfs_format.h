// The stored records of a VFS container: header, block table pairs and the 88-byte entry used by
// the root table and by folder tables. Offsets are named; sizes are checked at compile time.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace vfs {

inline constexpr size_t kEntrySize = 88;
inline constexpr size_t kNameSize = 65;
inline constexpr size_t kEntryFlagsOffset = 68;
inline constexpr size_t kEntryDateOffset = 72;
inline constexpr size_t kEntryFirstBlockOffset = 76;
inline constexpr size_t kEntryStoredSizeOffset = 80;
inline constexpr size_t kEntryFullSizeOffset = 84;
static_assert(kEntryFullSizeOffset + 4 == kEntrySize);

inline constexpr size_t kBlockPairSize = 8;
inline constexpr size_t kMd5Offset = 28;
inline constexpr size_t kDescriptionLengthOffset = 44;
inline constexpr size_t kDescriptionOffset = 48;
inline constexpr uint32_t kMinDescriptionLength = 256;
inline constexpr size_t kFixedHeaderSize = 44;  // up to the description length

inline constexpr uint32_t kFlagFile = 1;
inline constexpr uint32_t kFlagFolder = 2;
inline constexpr uint32_t kFlagCompressed = 8;

inline constexpr size_t kPieceSize = 50000;      // compressed files are cut into such pieces
inline constexpr size_t kMd5ReadPiece = 262144;  // the checksum reads the file in such pieces

// Sanity limits for values read from a container, so damage cannot cause huge allocations.
inline constexpr uint32_t kMaxBlockSize = 64u * 1024 * 1024;
inline constexpr uint32_t kMaxDescriptionLength = 16u * 1024 * 1024;

struct TVFSHeader {
  std::array<char, 4> identifier = {0, 0, 0, 0};
  uint32_t block_size = 0;   // B
  uint32_t block_count = 0;  // N
  uint32_t root_count = 0;   // R
  std::array<uint32_t, 3> kept = {0, 0, 0};
  std::array<uint8_t, 16> md5 = {};
  uint32_t description_length = kMinDescriptionLength;  // L
  std::string description;                              // 256 bytes
  std::string further;                                  // L - 256 bytes
  uint32_t used_blocks = 0;

  uint64_t BlockTableStart() const { return kDescriptionOffset + uint64_t{description_length} + 4; }
  uint64_t RootTableStart() const {
    return BlockTableStart() + uint64_t{block_count} * kBlockPairSize;
  }
  uint64_t DataStart() const { return RootTableStart() + uint64_t{root_count} * kEntrySize; }
  uint64_t ContainerSize() const { return DataStart() + uint64_t{block_count} * block_size; }
  // The 44 bytes at offset 0 (identifier to MD5).
  std::string EncodeFixed() const;
  // Description length, description, further bytes and used block count (written at 44).
  std::string EncodeDescription() const;
};

struct TBlockPair {
  uint32_t in_use = 0;
  int32_t next = 0;  // following block, -1 ends the chain, 0 marks a free block
};

struct TVFSEntry {
  std::string name;  // up to 65 characters
  uint32_t flags = 0;
  uint32_t date = 0;
  int32_t first_block = 0;
  uint32_t stored_size = 0;
  uint32_t full_size = 0;

  bool IsFile() const { return (flags & kFlagFile) != 0; }
  bool IsFolder() const { return (flags & kFlagFolder) != 0; }
  bool IsCompressed() const { return (flags & kFlagCompressed) != 0; }
  void Encode(std::string& out) const;
  // Reads 88 bytes; the name ends at its first zero byte.
  static TVFSEntry Decode(std::string_view bytes);
};

}  // namespace vfs
