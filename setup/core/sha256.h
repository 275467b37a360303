// SHA-256 (FIPS 180-4): the digest of a whole installer and the fingerprint of a signing key.
// Portable code, or the x86 SHA extensions where the processor has them (setup/core/
// sha256_sha_ni.h). The input is public, so nothing here needs to run in constant time.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "setup/core/hash_block_buffer.h"

class TSha256 {
 public:
  static constexpr size_t kDigestSize = 32;
  using Digest = std::array<unsigned char, kDigestSize>;

  // kPortable keeps to the portable code whatever the processor has (to check one against the
  // other).
  enum class Engine { kFastest, kPortable };

  explicit TSha256(Engine engine = Engine::kFastest);
  void Update(const void* data, size_t size);
  // The digest of everything fed so far; the object must not be fed again afterwards.
  Digest Final();

  static Digest Of(const void* data, size_t size);

 private:
  void Compress(const unsigned char* block);

  std::array<uint32_t, 8> state_;
  bool sha_instructions_;
  TBlockBuffer<64> buffer_;
};
