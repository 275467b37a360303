// MD5 against the published test suite and against digests taken from a library routine, fed
// whole and in pieces that split the 64-byte blocks at ever other places.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/checksum.h"

namespace platform {
namespace {

std::string Hex(const std::array<uint8_t, 16>& digest) {
  std::string out;
  char buffer[3];
  for (uint8_t b : digest) {
    std::snprintf(buffer, sizeof buffer, "%02x", b);
    out += buffer;
  }
  return out;
}

std::string Digest(const std::string& text) { return Hex(Md5Digest(text.data(), text.size())); }

TEST(Md5Test, PublishedTestSuite) {
  const struct {
    const char* text;
    const char* digest;
  } kSuite[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
       "d174ab98d277d9f5a5611c2c9f419d9f"},
  };
  for (const auto& entry : kSuite) EXPECT_EQ(Digest(entry.text), entry.digest) << entry.text;
  std::string digits;
  for (int i = 0; i < 8; ++i) digits += "1234567890";
  EXPECT_EQ(Digest(digits), "57edf4a22be3c955ac49da2e2107b67a");
}

// Bytes of a fixed linear congruential sequence, the same on every machine.
std::string Pattern(size_t size) {
  std::string bytes;
  uint32_t x = 12345;
  for (size_t i = 0; i < size; ++i) {
    x = x * 1103515245u + 12345u;
    bytes += static_cast<char>(x >> 16);
  }
  return bytes;
}

TEST(Md5Test, EveryLengthMatchesTheDigestsTakenBefore) {
  // The digests of every prefix of 0 to 1000 bytes (each padding case, one to sixteen blocks),
  // concatenated and digested once more; the value came from the crypto library used before.
  const std::string pattern = Pattern(1000);
  std::string all;
  for (size_t n = 0; n <= pattern.size(); ++n) {
    const auto digest = Md5Digest(pattern.data(), n);
    all.append(reinterpret_cast<const char*>(digest.data()), digest.size());
  }
  EXPECT_EQ(Digest(all), "fc622a8be0fa4221cfe945fa8e38c51f");

  // Five megabytes fed in pieces of growing odd sizes give the library's digest too.
  std::string big(size_t{5} << 20, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 + (i >> 11));
  Md5 md5;
  for (size_t at = 0, piece = 1; at < big.size(); at += piece, piece = piece * 3 + 1) {
    md5.Update(big.data() + at, std::min(piece, big.size() - at));
  }
  EXPECT_EQ(Hex(md5.Final()), "5c995fd55c7fc9b8cc585e556080648d");
}

TEST(Md5Test, FinalLeavesTheObjectReadyForANewMessage) {
  EXPECT_EQ(Hex(Md5Digest("abc", 3)), "900150983cd24fb0d6963f7d28e17f72");
  Md5 md5;
  md5.Update("a", 1);
  md5.Update("bc", 2);
  EXPECT_EQ(Hex(md5.Final()), "900150983cd24fb0d6963f7d28e17f72");
  md5.Update("abc", 3);
  EXPECT_EQ(Hex(md5.Final()), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(Hex(md5.Final()), "d41d8cd98f00b204e9800998ecf8427e");  // nothing fed since
}

}  // namespace
}  // namespace platform
