// ASCII letter case: A-Z and a-z only, every other byte as it is. Windows matches file names,
// registry keys and the kit's own keywords this way; this is the one copy for every layer.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// A-Z or a-z, whatever the C locale says (std::isalpha takes the locale's letters, which
// Qt sets from the environment, so drive letters and keywords would depend on it).
constexpr bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

constexpr char AsciiLowerChar(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
constexpr char AsciiUpperChar(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string AsciiLower(std::string_view text);
std::string AsciiUpper(std::string_view text);
// Whether the texts are equal once both are lower-cased.
bool SameIgnoringAsciiCase(std::string_view a, std::string_view b);

}  // namespace platform
