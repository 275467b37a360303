// CRC-32 through zlib and MD5 through OpenSSL's EVP interface.
#include "platform/checksum.h"

#include <openssl/evp.h>
#include <zlib.h>

#include <algorithm>
#include <climits>
#include <new>

namespace platform {

uint32_t Crc32(uint32_t crc, const void* data, size_t size) {
  // zlib takes a uInt length; feed larger buffers in pieces.
  auto bytes = static_cast<const Bytef*>(data);
  uLong value = crc;
  while (size > 0) {
    const size_t piece = std::min<size_t>(size, UINT_MAX);
    value = crc32(value, bytes, static_cast<uInt>(piece));
    bytes += piece;
    size -= piece;
  }
  return static_cast<uint32_t>(value);
}

Md5::Md5() : ctx_(EVP_MD_CTX_new()) {
  if (ctx_ == nullptr) throw std::bad_alloc();
  EVP_DigestInit_ex(static_cast<EVP_MD_CTX*>(ctx_), EVP_md5(), nullptr);
}

Md5::~Md5() { EVP_MD_CTX_free(static_cast<EVP_MD_CTX*>(ctx_)); }

void Md5::Update(const void* data, size_t size) {
  EVP_DigestUpdate(static_cast<EVP_MD_CTX*>(ctx_), data, size);
}

std::array<uint8_t, 16> Md5::Final() {
  std::array<uint8_t, 16> digest{};
  unsigned int length = 0;
  auto* ctx = static_cast<EVP_MD_CTX*>(ctx_);
  EVP_DigestFinal_ex(ctx, digest.data(), &length);
  // Ready for a new message, as a fresh object would be.
  EVP_DigestInit_ex(ctx, EVP_md5(), nullptr);
  return digest;
}

std::array<uint8_t, 16> Md5Digest(const void* data, size_t size) {
  Md5 md5;
  md5.Update(data, size);
  return md5.Final();
}

}  // namespace platform
