#include "setup/core/ciphers.h"

#include <cmath>

#include "setup/core/text_services.h"

namespace {

int DigitValue(char c) { return (c >= '0' && c <= '9') ? c - '0' : 0; }

// Shifts every byte by the next key digit (up or down), restarting the key with each text.
std::string ShiftWithDigitKey(std::string_view key, std::string_view text, int direction) {
  std::string result(text);
  if (key.empty()) return result;
  size_t j = 0;
  for (char& c : result) {
    const int shifted = static_cast<uint8_t>(c) + direction * DigitValue(key[j]);
    c = static_cast<char>(static_cast<uint8_t>(shifted & 0xFF));
    if (++j == key.size()) j = 0;
  }
  return result;
}

}  // namespace

std::string EncryptWithDigitKey(std::string_view key, std::string_view text) {
  return ShiftWithDigitKey(key, text, +1);
}

std::string DecryptWithDigitKey(std::string_view key, std::string_view text) {
  return ShiftWithDigitKey(key, text, -1);
}

std::string TQuillEncryptionType::KeepDigits(std::string_view text) {
  std::string digits;
  for (char c : text) {
    if (c >= '1' && c <= '9') digits.push_back(c);
  }
  return digits;
}

std::string TQuillEncryptionType::MakeKey(Key which) const {
  // Extended precision matters: the keys must agree digit for digit with archives written by
  // other tools, which compute in the 80-bit format.
  const long double value = which == Key::kA ? std::sin(static_cast<long double>(SineSeed))
                                             : std::cos(static_cast<long double>(CosineSeed));
  return KeepDigits(FloatToStrDot(value));
}

std::string TQuillEncryptionType::AddKeyPass(std::string_view key, std::string_view text,
                                             bool from_end) {
  std::string result;
  result.reserve(text.size());
  const size_t n = text.size();
  size_t j = 0;
  for (size_t p = 0; p < n; ++p) {
    const uint8_t byte = static_cast<uint8_t>(from_end ? text[n - 1 - p] : text[p]);
    const int digit = key.empty() ? 0 : DigitValue(key[j]);
    result.push_back(static_cast<char>(static_cast<uint8_t>((byte + digit) & 0xFF)));
    if (!key.empty() && ++j == key.size()) j = 0;
  }
  return result;
}

std::string TQuillEncryptionType::SubtractKeyPass(std::string_view key, std::string_view text,
                                                  bool prepend) {
  const size_t n = text.size();
  std::string result(n, '\0');
  size_t j = 0;
  for (size_t p = 0; p < n; ++p) {
    const int digit = key.empty() ? 0 : DigitValue(key[j]);
    const char v =
        static_cast<char>(static_cast<uint8_t>((static_cast<uint8_t>(text[p]) - digit) & 0xFF));
    // Prepending each byte in turn leaves the bytes in reverse order.
    result[prepend ? n - 1 - p : p] = v;
    if (!key.empty() && ++j == key.size()) j = 0;
  }
  return result;
}

std::string TQuillEncryptionType::Encrypt(const std::string& text) {
  const std::string a = MakeKey(Key::kA);
  const std::string b = MakeKey(Key::kB);
  return AddKeyPass(b, AddKeyPass(a, text, false), true);
}

std::string TQuillEncryptionType::Decrypt(const std::string& text) {
  const std::string a = MakeKey(Key::kA);
  const std::string b = MakeKey(Key::kB);
  return SubtractKeyPass(a, SubtractKeyPass(b, text, true), false);
}
