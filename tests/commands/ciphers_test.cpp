#include "setup/core/ciphers.h"

#include <gtest/gtest.h>

#include <random>

namespace {

std::string AllBytes() {
  std::string bytes;
  for (int i = 0; i < 256; ++i) bytes.push_back(static_cast<char>(i));
  return bytes;
}

TEST(DigitKeyCipherTest, KeysAre244Digits) {
  for (std::string_view key : {kInstallLogKey, kUpdateKey}) {
    EXPECT_EQ(key.size(), 244u);
    EXPECT_EQ(key.find_first_not_of("0123456789"), std::string_view::npos);
  }
  EXPECT_NE(kInstallLogKey, kUpdateKey);
}

TEST(DigitKeyCipherTest, ShiftsEachByteByTheNextDigitModulo256) {
  EXPECT_EQ(EncryptWithDigitKey("9", ""), "");
  EXPECT_EQ(EncryptWithDigitKey("9", "\xFA"), "\x03");
  EXPECT_EQ(DecryptWithDigitKey("9", "\x03"), "\xFA");
  EXPECT_EQ(EncryptWithDigitKey("102", "aaaa"), "bacb");
  // The key restarts with every text, so equal texts give equal ciphertexts.
  EXPECT_EQ(EncryptWithDigitKey(kInstallLogKey, "abc"), EncryptWithDigitKey(kInstallLogKey, "abc"));

  // Byte 245 uses the first key digit again.
  const std::string text(245, 'A');
  const std::string cipher = EncryptWithDigitKey(kInstallLogKey, text);
  ASSERT_EQ(cipher.size(), 245u);
  EXPECT_EQ(cipher[0], cipher[244]);
  EXPECT_EQ(cipher[0], static_cast<char>('A' + (kInstallLogKey[0] - '0')));
  EXPECT_EQ(cipher[243], static_cast<char>('A' + (kInstallLogKey[243] - '0')));
}

TEST(DigitKeyCipherTest, RoundTripsEveryByte) {
  std::string text = AllBytes() + AllBytes() + "tail";
  for (std::string_view key :
       {kInstallLogKey, kUpdateKey, std::string_view("0"), std::string_view("")}) {
    const std::string cipher = EncryptWithDigitKey(key, text);
    EXPECT_EQ(cipher.size(), text.size());
    EXPECT_EQ(DecryptWithDigitKey(key, cipher), text);
  }
  EXPECT_NE(EncryptWithDigitKey(kInstallLogKey, text), text);
  EXPECT_EQ(EncryptWithDigitKey("0", text), text);
}

TEST(QuillCipherTest, KeysAreTheDigitsOfSineAndCosine) {
  TQuillEncryptionType quill;
  quill.SineSeed = 1;    // sin 1 = 0.841470984807897
  quill.CosineSeed = 1;  // cos 1 = 0.54030230586814
  EXPECT_EQ(quill.MakeKey(TQuillEncryptionType::Key::kA), "8414798487897");
  EXPECT_EQ(quill.MakeKey(TQuillEncryptionType::Key::kB), "54323586814");
  quill.SineSeed = 0;
  quill.CosineSeed = 0;
  EXPECT_EQ(quill.MakeKey(TQuillEncryptionType::Key::kA), "");
  EXPECT_EQ(quill.MakeKey(TQuillEncryptionType::Key::kB), "1");
  EXPECT_EQ(TQuillEncryptionType::KeepDigits("-1.05E-7.0"), "157");
}

TEST(QuillCipherTest, KeysUseExtendedPrecision) {
  // These seeds render differently in the last of 15 digits when computed in double.
  TQuillEncryptionType quill;
  quill.SineSeed = 114;   // 0.784980388681311 (double: 0.78498038868131)
  quill.CosineSeed = 91;  // -0.994367460928202 (double: ...201)
  EXPECT_EQ(quill.MakeKey(TQuillEncryptionType::Key::kA), "78498388681311");
  EXPECT_EQ(quill.MakeKey(TQuillEncryptionType::Key::kB), "9943674692822");
}

TEST(QuillCipherTest, EncipheringFollowsTheTwoPassFormula) {
  TQuillEncryptionType quill;
  quill.SineSeed = 3;
  quill.CosineSeed = 200;
  const std::string a = quill.MakeKey(TQuillEncryptionType::Key::kA);
  const std::string b = quill.MakeKey(TQuillEncryptionType::Key::kB);
  ASSERT_FALSE(a.empty());
  ASSERT_FALSE(b.empty());
  const std::string s = "Header text \xE9\xFF" + std::string(40, 'z');
  const std::string c = quill.Encrypt(s);
  ASSERT_EQ(c.size(), s.size());
  const size_t n = s.size();
  for (size_t p = 0; p < n; ++p) {
    const int expected = static_cast<uint8_t>(s[n - 1 - p]) + (a[(n - 1 - p) % a.size()] - '0') +
                         (b[p % b.size()] - '0');
    EXPECT_EQ(static_cast<uint8_t>(c[p]), expected % 256) << p;
  }
}

TEST(QuillCipherTest, DecryptUndoesEncryptForEverySeedPair) {
  std::mt19937 random(7);
  TQuillEncryptionType quill;
  EXPECT_EQ(quill.Encrypt(""), "");
  EXPECT_EQ(quill.Decrypt(""), "");
  for (int sine = 0; sine < 256; ++sine) {
    for (int cosine = 0; cosine < 256; cosine += 5) {
      quill.SineSeed = static_cast<uint8_t>(sine);
      quill.CosineSeed = static_cast<uint8_t>(cosine);
      std::string text(random() % 40, '\0');
      for (char& ch : text) ch = static_cast<char>(random());
      ASSERT_EQ(quill.Decrypt(quill.Encrypt(text)), text) << sine << " " << cosine;
    }
  }
  // Keys never hold a 0.
  for (int seed = 0; seed < 256; ++seed) {
    quill.SineSeed = quill.CosineSeed = static_cast<uint8_t>(seed);
    EXPECT_EQ(quill.MakeKey(TQuillEncryptionType::Key::kA).find('0'), std::string::npos);
    EXPECT_EQ(quill.MakeKey(TQuillEncryptionType::Key::kB).find('0'), std::string::npos);
  }
}

}  // namespace
