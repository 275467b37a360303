#include "setup/core/base64.h"

#include <cstdint>

namespace {

// The 6-bit value of a character of the alphabet, or -1.
int SextetOf(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

}  // namespace

std::optional<std::string> DecodeBase64(std::string_view text) {
  if (text.size() % 4 != 0) return std::nullopt;
  size_t padding = 0;
  while (padding < 2 && padding < text.size() && text[text.size() - 1 - padding] == '=') {
    ++padding;
  }
  const std::string_view digits = text.substr(0, text.size() - padding);
  std::string bytes;
  bytes.reserve(digits.size() / 4 * 3 + 2);
  uint32_t bits = 0;
  int bit_count = 0;
  for (const char c : digits) {
    const int sextet = SextetOf(c);
    if (sextet < 0) return std::nullopt;  // another character, or '=' before the end
    bits = (bits << 6) | static_cast<uint32_t>(sextet);
    bit_count += 6;
    if (bit_count >= 8) {
      bit_count -= 8;
      bytes += static_cast<char>(bits >> bit_count);
      bits &= (1u << bit_count) - 1;
    }
  }
  // The padding makes the last group whole, so only its spare bits are left: they must be zero.
  if (bits != 0) return std::nullopt;
  return bytes;
}
