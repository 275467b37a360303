// MD5 as RFC 1321 defines it: 64-byte blocks, four rounds of sixteen steps, the message padded
// with 0x80, zeros and its bit length (little-endian). The VFS containers store it as their
// checksum; a routine of our own keeps a crypto library out of the installer runtime.
#include <algorithm>
#include <cstring>

#include "platform/checksum.h"

namespace platform {
namespace {

// floor(abs(sin(i + 1)) * 2^32), the RFC's table T.
constexpr std::array<uint32_t, 64> kSine = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

// Left-rotation amounts, four per round.
constexpr std::array<int, 16> kShift = {7, 12, 17, 22, 5, 9, 14, 20, 4, 11, 16, 23, 6, 10, 15, 21};

constexpr uint32_t RotateLeft(uint32_t value, int bits) {
  return (value << bits) | (value >> (32 - bits));
}

uint32_t LoadLe32(const uint8_t* bytes) {
  return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
         static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

}  // namespace

Md5::Md5() { Reset(); }

void Md5::Reset() {
  state_ = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
  length_ = 0;
}

void Md5::Transform(const uint8_t* block) {
  std::array<uint32_t, 16> words{};
  for (size_t i = 0; i < words.size(); ++i) words[i] = LoadLe32(block + 4 * i);
  uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
  for (int step = 0; step < 64; ++step) {
    const int round = step / 16;
    uint32_t mixed = 0;
    int word = 0;
    switch (round) {
      case 0:
        mixed = (b & c) | (~b & d);
        word = step;
        break;
      case 1:
        mixed = (d & b) | (~d & c);
        word = (5 * step + 1) % 16;
        break;
      case 2:
        mixed = b ^ c ^ d;
        word = (3 * step + 5) % 16;
        break;
      default:
        mixed = c ^ (b | ~d);
        word = (7 * step) % 16;
        break;
    }
    const uint32_t sum = a + mixed + kSine[step] + words[word];
    a = d;
    d = c;
    c = b;
    b += RotateLeft(sum, kShift[round * 4 + step % 4]);
  }
  state_[0] += a;
  state_[1] += b;
  state_[2] += c;
  state_[3] += d;
}

void Md5::Update(const void* data, size_t size) {
  auto bytes = static_cast<const uint8_t*>(data);
  size_t held = length_ % block_.size();
  length_ += size;
  if (held > 0) {
    const size_t take = std::min(size, block_.size() - held);
    std::memcpy(block_.data() + held, bytes, take);
    bytes += take;
    size -= take;
    held += take;
    if (held < block_.size()) return;
    Transform(block_.data());
  }
  for (; size >= block_.size(); bytes += block_.size(), size -= block_.size()) Transform(bytes);
  if (size > 0) std::memcpy(block_.data(), bytes, size);
}

std::array<uint8_t, 16> Md5::Final() {
  const uint64_t bit_length = length_ * 8;
  // 0x80, then zeros up to 56 bytes into a block, then the length: 1 to 64 bytes of padding.
  std::array<uint8_t, 72> padding{};
  padding[0] = 0x80;
  const size_t held = length_ % block_.size();
  const size_t pad = held < 56 ? 56 - held : 120 - held;
  for (int i = 0; i < 8; ++i) padding[pad + i] = static_cast<uint8_t>(bit_length >> (8 * i));
  Update(padding.data(), pad + 8);
  std::array<uint8_t, 16> digest{};
  for (size_t i = 0; i < digest.size(); ++i) {
    digest[i] = static_cast<uint8_t>(state_[i / 4] >> (8 * (i % 4)));
  }
  Reset();
  return digest;
}

std::array<uint8_t, 16> Md5Digest(const void* data, size_t size) {
  Md5 md5;
  md5.Update(data, size);
  return md5.Final();
}

}  // namespace platform
