// ASCII letter case: A-Z and a-z only, every other byte as it is. Windows matches file names,
// registry keys and the kit's own keywords this way; this is the one copy for every layer.
#pragma once

#include <string>
#include <string_view>

namespace platform {

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
