#include "setup/core/sha256.h"

#include "setup/core/sha256_rounds.h"
#include "setup/core/sha256_sha_ni.h"

namespace {

constexpr std::array<uint32_t, 8> kInitial = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                              0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

constexpr uint32_t Rotr(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

uint32_t LoadBe32(const unsigned char* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | uint32_t{p[3]};
}

// One round: d becomes the next e and h the next a; the caller then shifts the names by one.
[[gnu::always_inline]] inline void Round(uint32_t a, uint32_t b, uint32_t c, uint32_t& d,
                                         uint32_t e, uint32_t f, uint32_t g, uint32_t& h,
                                         uint32_t round_word) {
  const uint32_t t1 =
      h + (Rotr(e, 6) ^ Rotr(e, 11) ^ Rotr(e, 25)) + ((e & f) ^ (~e & g)) + round_word;
  const uint32_t t2 = (Rotr(a, 2) ^ Rotr(a, 13) ^ Rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
  d += t1;
  h = t1 + t2;
}

}  // namespace

TSha256::TSha256(Engine engine) : state_(kInitial) {
  static const bool present = Sha256ShaInstructionsPresent();
  sha_instructions_ = engine == Engine::kFastest && present;
}

void TSha256::Compress(const unsigned char* block) {
  if (sha_instructions_) {
    Sha256BlockWithShaInstructions(state_, block);
    return;
  }
  uint32_t w[64];
  for (int i = 0; i < 16; ++i) w[i] = LoadBe32(block + 4 * i);
  for (int i = 16; i < 64; ++i) {
    const uint32_t s0 = Rotr(w[i - 15], 7) ^ Rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
    const uint32_t s1 = Rotr(w[i - 2], 17) ^ Rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
    w[i] = w[i - 16] + s0 + w[i - 7] + s1;
  }
  uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
  uint32_t e = state_[4], f = state_[5], g = state_[6], h = state_[7];
  // Eight rounds per pass, each naming the variables one place further on, so none is copied.
  for (int i = 0; i < 64; i += 8) {
    Round(a, b, c, d, e, f, g, h, kSha256Round[i] + w[i]);
    Round(h, a, b, c, d, e, f, g, kSha256Round[i + 1] + w[i + 1]);
    Round(g, h, a, b, c, d, e, f, kSha256Round[i + 2] + w[i + 2]);
    Round(f, g, h, a, b, c, d, e, kSha256Round[i + 3] + w[i + 3]);
    Round(e, f, g, h, a, b, c, d, kSha256Round[i + 4] + w[i + 4]);
    Round(d, e, f, g, h, a, b, c, kSha256Round[i + 5] + w[i + 5]);
    Round(c, d, e, f, g, h, a, b, kSha256Round[i + 6] + w[i + 6]);
    Round(b, c, d, e, f, g, h, a, kSha256Round[i + 7] + w[i + 7]);
  }
  AddWorkingVariables(state_, {a, b, c, d, e, f, g, h});
}

void TSha256::Update(const void* data, size_t size) {
  buffer_.Feed(data, size, [this](const unsigned char* block) { Compress(block); });
}

TSha256::Digest TSha256::Final() {
  buffer_.Finish([this](const unsigned char* block) { Compress(block); });
  return BigEndianDigest(state_);
}

TSha256::Digest TSha256::Of(const void* data, size_t size) {
  TSha256 hash;
  hash.Update(data, size);
  return hash.Final();
}
