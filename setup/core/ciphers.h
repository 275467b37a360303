// The two length-keeping byte ciphers: the digit-key cipher (install log, the archive update
// commands' passwords) and the seeded two-pass cipher of the pak archive header. Neither is
// cryptography; they keep texts from being readable at a glance.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Key of the install log: 244 decimal digits.
inline constexpr std::string_view kInstallLogKey =
    "4568495033333242604966464362799911364009208193858359148622974134620259587249893487855041"
    "4123337136166314356085467783099615176888640813112288452983086917080017745943855096232143"
    "71695895886018298056416993637016477741260859542011359975474054858589";
// Key shared by the compile side and the runtime for the archive update commands' arguments.
inline constexpr std::string_view kUpdateKey =
    "4343601845384183617604197572526293075166269978560609611048691837538440329943848313170025"
    "8051748464844443276804098251040843922390748915604464465198548302924957516351488109022958"
    "21539878511962722105257072365924495833100987704945894325888675148529";

// Byte p of the result is byte p of the text raised (lowered) by the value of key digit
// p mod |key|, modulo 256; the key restarts with every text. A key character that is not a
// digit counts as 0; an empty key leaves the text unchanged.
std::string EncryptWithDigitKey(std::string_view key, std::string_view text);
std::string DecryptWithDigitKey(std::string_view key, std::string_view text);

// A reversible text cipher that keeps the length.
class TEncryptionType {
 public:
  virtual ~TEncryptionType() = default;
  virtual std::string Encrypt(const std::string& text) = 0;
  virtual std::string Decrypt(const std::string& text) = 0;
};

// Two passes with keys made of the digits of sin(SineSeed) and cos(CosineSeed):
// c[p] = s[n-1-p] + A[(n-1-p) mod |A|] + B[p mod |B|] (mod 256). A key that comes out empty
// (a seed whose value has no digit 1-9, such as sine seed 0) leaves its pass's bytes unchanged.
class TQuillEncryptionType : public TEncryptionType {
 public:
  enum class Key { kA, kB };

  uint8_t SineSeed = 7;
  uint8_t CosineSeed = 11;

  std::string Encrypt(const std::string& text) override;
  std::string Decrypt(const std::string& text) override;

  // Digits 1-9 of the seed's sine (A) or cosine (B), computed in long double and rendered with
  // 15 significant digits (FloatToStrDot).
  std::string MakeKey(Key which) const;
  // The characters "1" to "9" of the text, in order.
  static std::string KeepDigits(std::string_view text);
  // Each byte (taken from the end when `from_end`) raised by the next key digit.
  static std::string AddKeyPass(std::string_view key, std::string_view text, bool from_end);
  // Each byte lowered by the next key digit, put in front of the result when `prepend`.
  static std::string SubtractKeyPass(std::string_view key, std::string_view text, bool prepend);
};
