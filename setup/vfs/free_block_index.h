// The free blocks of a container as a bitmap with summary levels (one bit per word of the level
// below), so the lowest free block at or after a position is found in a few word reads whatever
// the size of the block table. Blocks are numbered from 1.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class TFreeBlockIndex {
 public:
  // All `block_count` blocks start used.
  void Reset(uint32_t block_count);
  void MarkFree(uint32_t block);
  void MarkUsed(uint32_t block);
  bool IsFree(uint32_t block) const;
  // The lowest free block >= `block`, or 0 when there is none.
  uint32_t FirstFreeFrom(uint32_t block) const;
  size_t FreeCount() const { return free_count_; }

 private:
  // Lowest set bit at or after `bit` on `level`, or kNone.
  uint64_t Find(size_t level, uint64_t bit) const;
  void Set(size_t level, uint64_t bit);
  void Clear(size_t level, uint64_t bit);

  static constexpr uint64_t kNone = ~uint64_t{0};
  std::vector<std::vector<uint64_t>> levels_;  // levels_[0]: one bit per block
  uint32_t block_count_ = 0;
  size_t free_count_ = 0;
};
