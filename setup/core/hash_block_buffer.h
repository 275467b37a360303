// What SHA-256 and SHA-512 share: the message buffering and padding (FIPS 180-4, 5.1): whole
// blocks go to the compression function; the message ends in a one bit, zeros, and its length
// in bits, big-endian, in the last eighth of the final block; the chaining words' update after a
// block and their output.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

// The eight chaining words after a block: each plus its working variable.
template <typename Word>
void AddWorkingVariables(std::array<Word, 8>& state, std::array<Word, 8> working) {
  for (size_t i = 0; i < state.size(); ++i) state[i] += working[i];
}

// The digest: the chaining words, big-endian.
template <typename Word>
std::array<unsigned char, 8 * sizeof(Word)> BigEndianDigest(const std::array<Word, 8>& state) {
  std::array<unsigned char, 8 * sizeof(Word)> digest;
  for (size_t i = 0; i < digest.size(); ++i) {
    digest[i] = static_cast<unsigned char>(state[i / sizeof(Word)] >>
                                           (8 * (sizeof(Word) - 1 - i % sizeof(Word))));
  }
  return digest;
}

template <size_t kBlockSize>
class TBlockBuffer {
 public:
  // Calls compress(const unsigned char* block) for every block the data completes.
  template <typename Compress>
  void Feed(const void* data, size_t size, Compress&& compress) {
    const auto* in = static_cast<const unsigned char*>(data);
    total_bytes_ += size;
    if (used_ > 0) {
      const size_t take = std::min(size, kBlockSize - used_);
      std::memcpy(block_.data() + used_, in, take);
      used_ += take;
      in += take;
      size -= take;
      if (used_ < kBlockSize) return;
      compress(block_.data());
      used_ = 0;
    }
    for (; size >= kBlockSize; in += kBlockSize, size -= kBlockSize) compress(in);
    if (size > 0) std::memcpy(block_.data(), in, size);
    used_ = size;
  }

  // Pads the message and compresses its last block or two.
  template <typename Compress>
  void Finish(Compress&& compress) {
    constexpr size_t kLengthField = kBlockSize / 8;
    const uint64_t bits = total_bytes_ * 8;
    unsigned char tail[2 * kBlockSize] = {0x80};
    const size_t room = kBlockSize - kLengthField;
    const size_t pad = (used_ < room ? room : room + kBlockSize) - used_;
    // A length field wider than 64 bits keeps zeros in its high bytes.
    for (int i = 0; i < 8; ++i) {
      tail[pad + kLengthField - 1 - i] = static_cast<unsigned char>(bits >> (8 * i));
    }
    Feed(tail, pad + kLengthField, compress);
  }

 private:
  std::array<unsigned char, kBlockSize> block_{};
  size_t used_ = 0;
  uint64_t total_bytes_ = 0;
};
