// SHA-256 (FIPS 180-4): the digest of a whole installer and the fingerprint of a signing key.
// Plain portable code: the input is public, so nothing here needs to run in constant time.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "setup/core/hash_block_buffer.h"

class TSha256 {
 public:
  static constexpr size_t kDigestSize = 32;
  using Digest = std::array<unsigned char, kDigestSize>;

  TSha256();
  void Update(const void* data, size_t size);
  // The digest of everything fed so far; the object must not be fed again afterwards.
  Digest Final();

  static Digest Of(const void* data, size_t size);

 private:
  void Compress(const unsigned char* block);

  std::array<uint32_t, 8> state_;
  TBlockBuffer<64> buffer_;
};
