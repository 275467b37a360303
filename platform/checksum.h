// Checksums: CRC-32 (libdeflate), MD5 (RFC 1321) by a routine of our own.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace platform {

// Standard CRC-32 (zlib's crc32): continue from `crc`, 0 to start.
uint32_t Crc32(uint32_t crc, const void* data, size_t size);

// MD5 of a message fed in pieces of any size.
class Md5 {
 public:
  Md5();
  void Update(const void* data, size_t size);
  // The digest of everything fed since construction or the last Final; the object is then
  // ready for a new message.
  std::array<uint8_t, 16> Final();

 private:
  void Reset();
  void Transform(const uint8_t* block);

  std::array<uint32_t, 4> state_{};
  std::array<uint8_t, 64> block_{};
  uint64_t length_ = 0;  // bytes fed so far; block_ holds length_ % 64 of them
};

std::array<uint8_t, 16> Md5Digest(const void* data, size_t size);

}  // namespace platform
