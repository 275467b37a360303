// SHA-256 and SHA-512: the examples of the standard, and agreement with libsodium for every
// length around the padding boundaries, however the input is cut into pieces; SHA-256 both with
// the processor's SHA instructions (where it has them) and in portable code.
#include <gtest/gtest.h>
#include <sodium.h>

#include <random>
#include <string>

#include "setup/core/sha256.h"
#include "setup/core/sha512.h"

namespace {

template <size_t N>
std::string Hex(const std::array<unsigned char, N>& bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (const unsigned char byte : bytes) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 15];
  }
  return text;
}

struct Example {
  std::string message;
  const char* sha256;
  const char* sha512;
};

TEST(Sha2Test, MatchesTheStandardsExamples) {
  const Example examples[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855",
       "cf83e1357eefb8bdf1542850d66d8007d620e4050b5715dc83f4a921d36ce9ce"
       "47d0d13c5d85f2b0ff8318d2877eec2f63b931bd47417a81a538327af927da3e"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad",
       "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a"
       "2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1",
       "204a8fc6dda82f0a0ced7beb8e08a41657c16ef468b228a8279be331a703c335"
       "96fd15c13b1b07f9aa1d3bea57789ca031ad85c7a71dd70354ec631238ca3445"},
      {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlm"
       "nopqrsmnopqrstnopqrstu",
       "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1",
       "8e959b75dae313da8cf4f72814fc143f8f7779c6eb9f7fa17299aeadb6889018"
       "501d289e4900f7e4331b99dec4b5433ac7d329eeb6dd26545e96e55b874be909"},
      {std::string(1000000, 'a'),
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0",
       "e718483d0ce769644e2e42c7bc15b4638e1f98b13b2044285632a803afa973eb"
       "de0ff244877ea60a4cb0432ce577c31beb009c5c2c49aa2e4eadb217ad8cc09b"},
  };
  for (const Example& example : examples) {
    const std::string& m = example.message;
    EXPECT_EQ(Hex(TSha256::Of(m.data(), m.size())), example.sha256) << m.size() << " bytes";
    EXPECT_EQ(Hex(TSha512::Of(m.data(), m.size())), example.sha512) << m.size() << " bytes";
  }
}

TEST(Sha2Test, AgreesWithLibsodiumAtEveryLengthHoweverTheInputIsCut) {
  ASSERT_GE(sodium_init(), 0);
  std::mt19937 random(2024);
  for (size_t length = 0; length <= 300; ++length) {
    std::string data(length, '\0');
    for (char& c : data) c = static_cast<char>(random());
    TSha256 sha256;
    TSha256 portable(TSha256::Engine::kPortable);
    TSha512 sha512;
    for (size_t at = 0; at < length;) {
      const size_t piece = std::min<size_t>(length - at, random() % 140);
      sha256.Update(data.data() + at, piece);
      portable.Update(data.data() + at, piece);
      sha512.Update(data.data() + at, piece);
      at += piece;
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
    std::array<unsigned char, 32> expected256;
    std::array<unsigned char, 64> expected512;
    crypto_hash_sha256(expected256.data(), bytes, length);
    crypto_hash_sha512(expected512.data(), bytes, length);
    EXPECT_EQ(sha256.Final(), expected256) << length;
    EXPECT_EQ(portable.Final(), expected256) << length;
    EXPECT_EQ(sha512.Final(), expected512) << length;
  }
}

}  // namespace
