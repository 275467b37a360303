// Checksums: CRC-32 through zlib, MD5 through OpenSSL.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace platform {

// Standard CRC-32 (zlib's crc32): continue from `crc`, 0 to start.
uint32_t Crc32(uint32_t crc, const void* data, size_t size);

class Md5 {
 public:
  Md5();
  ~Md5();
  Md5(const Md5&) = delete;
  Md5& operator=(const Md5&) = delete;
  void Update(const void* data, size_t size);
  std::array<uint8_t, 16> Final();

 private:
  void* ctx_;  // EVP_MD_CTX, kept opaque so OpenSSL stays out of the header
};

std::array<uint8_t, 16> Md5Digest(const void* data, size_t size);

}  // namespace platform
