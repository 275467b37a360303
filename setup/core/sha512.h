// SHA-512 (FIPS 180-4), which Ed25519 hashes its signed message with. Plain portable code for
// public data, as TSha256.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "setup/core/hash_block_buffer.h"

class TSha512 {
 public:
  static constexpr size_t kDigestSize = 64;
  using Digest = std::array<unsigned char, kDigestSize>;

  TSha512();
  void Update(const void* data, size_t size);
  // The digest of everything fed so far; the object must not be fed again afterwards.
  Digest Final();

  static Digest Of(const void* data, size_t size);

 private:
  void Compress(const unsigned char* block);

  std::array<uint64_t, 8> state_;
  TBlockBuffer<128> buffer_;
};
