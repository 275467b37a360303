#include "setup/vfs/free_block_index.h"

void TFreeBlockIndex::Reset(uint32_t block_count) {
  block_count_ = block_count;
  free_count_ = 0;
  levels_.clear();
  uint64_t bits = block_count;
  do {
    uint64_t words = (bits + 63) / 64;
    levels_.emplace_back(words == 0 ? 1 : words, 0);
    bits = words;
  } while (bits > 1);
}

void TFreeBlockIndex::Set(size_t level, uint64_t bit) {
  for (; level < levels_.size(); ++level) {
    uint64_t& word = levels_[level][bit / 64];
    const bool was_empty = word == 0;
    word |= uint64_t{1} << (bit % 64);
    if (!was_empty) return;
    bit /= 64;
  }
}

void TFreeBlockIndex::Clear(size_t level, uint64_t bit) {
  for (; level < levels_.size(); ++level) {
    uint64_t& word = levels_[level][bit / 64];
    word &= ~(uint64_t{1} << (bit % 64));
    if (word != 0) return;
    bit /= 64;
  }
}

void TFreeBlockIndex::MarkFree(uint32_t block) {
  if (block == 0 || block > block_count_ || IsFree(block)) return;
  Set(0, block - 1);
  ++free_count_;
}

void TFreeBlockIndex::MarkUsed(uint32_t block) {
  if (block == 0 || block > block_count_ || !IsFree(block)) return;
  Clear(0, block - 1);
  --free_count_;
}

bool TFreeBlockIndex::IsFree(uint32_t block) const {
  if (block == 0 || block > block_count_) return false;
  const uint64_t bit = block - 1;
  return (levels_[0][bit / 64] >> (bit % 64)) & 1;
}

uint64_t TFreeBlockIndex::Find(size_t level, uint64_t bit) const {
  const std::vector<uint64_t>& words = levels_[level];
  const uint64_t w = bit / 64;
  if (w >= words.size()) return kNone;
  const uint64_t here = words[w] & (~uint64_t{0} << (bit % 64));
  if (here != 0) return w * 64 + static_cast<uint64_t>(__builtin_ctzll(here));
  if (level + 1 >= levels_.size()) return kNone;
  const uint64_t next = Find(level + 1, w + 1);
  if (next == kNone) return kNone;
  return next * 64 + static_cast<uint64_t>(__builtin_ctzll(words[next]));
}

uint32_t TFreeBlockIndex::FirstFreeFrom(uint32_t block) const {
  if (block == 0) block = 1;
  if (block > block_count_) return 0;
  const uint64_t bit = Find(0, block - 1);
  return bit == kNone || bit >= block_count_ ? 0 : static_cast<uint32_t>(bit + 1);
}
