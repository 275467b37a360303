// The engine's Ed25519 verifier: the examples of the standard, and agreement with libsodium on
// signatures it makes, on every one-bit change of them, and on the forgeries that its extra
// checks (S below L, no small-order key) exist to refuse.
#include "setup/core/ed25519_verify.h"

#include <gtest/gtest.h>
#include <sodium.h>

#include <random>
#include <string>
#include <vector>

namespace {

using Key = std::array<unsigned char, kEd25519PublicKeySize>;
using Signature = std::array<unsigned char, kEd25519SignatureSize>;

template <size_t N>
std::array<unsigned char, N> FromHex(const std::string& hex) {
  std::array<unsigned char, N> bytes{};
  EXPECT_EQ(hex.size(), 2 * N);
  for (size_t i = 0; i < N; ++i) bytes[i] = std::stoi(hex.substr(2 * i, 2), nullptr, 16);
  return bytes;
}

std::string BytesFromHex(const std::string& hex) {
  std::string bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    bytes += char(std::stoi(hex.substr(i, 2), nullptr, 16));
  return bytes;
}

bool Sodium(const Signature& signature, const std::string& message, const Key& key) {
  return crypto_sign_verify_detached(signature.data(),
                                     reinterpret_cast<const unsigned char*>(message.data()),
                                     message.size(), key.data()) == 0;
}

bool Ours(const Signature& signature, const std::string& message, const Key& key) {
  return VerifyEd25519(signature, message.data(), message.size(), key);
}

class Ed25519VerifyTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_GE(sodium_init(), 0); }

  struct Signed {
    Key key;
    std::string message;
    Signature signature;
  };

  Signed SignRandom() {
    Signed s;
    std::array<unsigned char, 64> secret;
    std::array<unsigned char, 32> seed;
    for (unsigned char& b : seed) b = static_cast<unsigned char>(random_());
    crypto_sign_seed_keypair(s.key.data(), secret.data(), seed.data());
    s.message.resize(random_() % 64);
    for (char& c : s.message) c = static_cast<char>(random_());
    crypto_sign_detached(s.signature.data(), nullptr,
                         reinterpret_cast<const unsigned char*>(s.message.data()), s.message.size(),
                         secret.data());
    return s;
  }

  std::mt19937 random_{8032};
};

TEST_F(Ed25519VerifyTest, TheStandardsExamplesVerify) {
  struct Example {
    const char *seed, *key, *message, *signature;
  };
  const Example examples[] = {
      {"9d61b19deffd5a60ba844af492ec2cc44449c5697b326919703bac031cae7f60",
       "d75a980182b10ab7d54bfed3c964073a0ee172f3daa62325af021a68f707511a", "",
       "e5564300c360ac729086e2cc806e828a84877f1eb8e5d974d873e06522490155"
       "5fb8821590a33bacc61e39701cf9b46bd25bf5f0595bbe24655141438e7a100b"},
      {"4ccd089b28ff96da9db6c346ec114e0f5b8a319f35aba624da8cf6ed4fb8a6fb",
       "3d4017c3e843895a92b70aa74d1b7ebc9c982ccf2ec4968cc0cd55f12af4660c", "72",
       "92a009a9f0d4cab8720e820b5f642540a2b27b5416503f8fb3762223ebdb69da"
       "085ac1e43e15996e458f3613d0f11d8c387b2eaeb4302aeeb00d291612bb0c00"},
      {"c5aa8df43f9f837bedb7442f31dcb7b166d38535076f094b85ce3a2e0b4458f7",
       "fc51cd8e6218a1a38da47ed00230f0580816ed13ba3303ac5deb911548908025", "af82",
       "6291d657deec24024827e69c3abe01a30ce548a284743a445e3680d7db5ac3ac"
       "18ff9b538d16f290ae67f760984dc6594a7c15e9716ed28dc027beceea1ec40a"},
      {"833fe62409237b9d62ec77587520911e9a759cec1d19755b7da901b96dca3d42",
       "ec172b93ad5e563bf4932c70e1245034c35467ef2efd4d64ebf819683467e2bf",
       "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a"
       "2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f",
       "dc2a4459e7369633a52b1bf277839a00201009a3efbf3ecb69bea2186c26b589"
       "09351fc9ac90b3ecfdfbc7c66431e0303dca179c138ac17ad9bef1177331a704"},
  };
  for (const Example& example : examples) {
    const Key key = FromHex<32>(example.key);
    const Signature signature = FromHex<64>(example.signature);
    const std::string message = BytesFromHex(example.message);
    EXPECT_TRUE(Ours(signature, message, key)) << example.key;
    EXPECT_FALSE(Ours(signature, message + '\0', key)) << example.key;
    // The examples are copied right: libsodium makes the same key and signature from the seed.
    Key derived;
    std::array<unsigned char, 64> secret;
    crypto_sign_seed_keypair(derived.data(), secret.data(), FromHex<32>(example.seed).data());
    EXPECT_EQ(derived, key);
    EXPECT_TRUE(Sodium(signature, message, key));
  }
}

// Hundreds of signatures pass; a changed bit in signature, key or message (for two of them:
// every such bit) is refused by both verifiers alike.
TEST_F(Ed25519VerifyTest, LibsodiumsSignaturesPassAndEveryFlippedBitFails) {
  for (int round = 0; round < 200; ++round) {
    const Signed s = SignRandom();
    ASSERT_TRUE(Ours(s.signature, s.message, s.key)) << round;
    const size_t message_bits = s.message.size() * 8;
    std::vector<size_t> bits;  // 0-511 the signature, 512-767 the key, then the message
    if (round < 2) {
      for (size_t bit = 0; bit < 768 + message_bits; ++bit) bits.push_back(bit);
    } else {
      bits = {random_() % 512, 512 + random_() % 256};
      if (message_bits > 0) bits.push_back(768 + random_() % message_bits);
    }
    for (const size_t bit : bits) {
      Signed changed = s;
      if (bit < 512) {
        changed.signature[bit / 8] ^= 1 << (bit % 8);
      } else if (bit < 768) {
        changed.key[(bit - 512) / 8] ^= 1 << (bit % 8);
      } else {
        changed.message[(bit - 768) / 8] ^= static_cast<char>(1 << (bit % 8));
      }
      const bool ours = Ours(changed.signature, changed.message, changed.key);
      EXPECT_EQ(ours, Sodium(changed.signature, changed.message, changed.key)) << bit;
      EXPECT_FALSE(ours) << round << " bit " << bit;
    }
  }
}

// S and S + L give the same point [S]B: only the range check refuses the second.
TEST_F(Ed25519VerifyTest, AnSOfTheGroupOrderOrMoreIsRefused) {
  const unsigned char kOrder[32] = {0xed, 0xd3, 0xf5, 0x5c, 0x1a, 0x63, 0x12, 0x58,
                                    0xd6, 0x9c, 0xf7, 0xa2, 0xde, 0xf9, 0xde, 0x14,
                                    0,    0,    0,    0,    0,    0,    0,    0,
                                    0,    0,    0,    0,    0,    0,    0,    0x10};
  const Signed s = SignRandom();
  Signature shifted = s.signature;
  unsigned carry = 0;
  for (int i = 0; i < 32; ++i) {
    const unsigned sum = shifted[32 + i] + kOrder[i] + carry;
    shifted[32 + i] = static_cast<unsigned char>(sum);
    carry = sum >> 8;
  }
  EXPECT_FALSE(Ours(shifted, s.message, s.key));
  EXPECT_FALSE(Sodium(shifted, s.message, s.key));
}

// With the neutral point as key, R = [S]B "verifies" any message: small-order keys are refused,
// in every encoding libsodium knows (either sign bit, and the non-canonical ones).
TEST_F(Ed25519VerifyTest, KeysOfSmallOrderAndUndecodableKeysAreRefused) {
  std::array<unsigned char, 32> s{};
  for (int i = 0; i < 31; ++i) s[i] = static_cast<unsigned char>(random_());
  Signature forged{};
  ASSERT_EQ(crypto_scalarmult_ed25519_base_noclamp(forged.data(), s.data()), 0);
  std::copy(s.begin(), s.end(), forged.begin() + 32);
  const char* small_order[] = {
      "0100000000000000000000000000000000000000000000000000000000000000",  // neutral
      "0000000000000000000000000000000000000000000000000000000000000000",  // order 4
      "ecffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f",  // order 2
      "26e8958fc2b227b045c3f489f2ef98f0d5dfac05d3c63339b13802886d53fc05",  // order 8
      "c7176a703d4dd84fba3c0b760d10670f2a2053fa2c39ccc64ec7fd7792ac037a",  // order 8
      "edffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f",  // 0, non-canonical
      "eeffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f",  // 1, non-canonical
  };
  for (const char* hex : small_order) {
    for (const unsigned char sign : {0x00, 0x80}) {
      Key key = FromHex<32>(hex);
      key[31] |= sign;
      EXPECT_FALSE(Ours(forged, "any message", key)) << hex << " sign " << int(sign);
      EXPECT_FALSE(Sodium(forged, "any message", key)) << hex;
    }
  }
  // y = 2 has no x on the curve; y = 3 does, but p + 3 is not how it is written.
  for (const char* hex : {"0200000000000000000000000000000000000000000000000000000000000000",
                          "f0ffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f"}) {
    EXPECT_FALSE(Ours(forged, "any message", FromHex<32>(hex))) << hex;
    EXPECT_FALSE(Sodium(forged, "any message", FromHex<32>(hex))) << hex;
  }
}

}  // namespace
