#include "setup/io/cp1252_case.h"

#include "platform/ascii_case.h"

char LowerCp1252(char c) {
  const auto byte = static_cast<unsigned char>(c);
  // Capitals with their small letter 0x20 above (the multiplication sign 0xD7 has none).
  if (byte >= 0xC0 && byte <= 0xDE && byte != 0xD7) return static_cast<char>(byte + 0x20);
  switch (byte) {
    case 0x8A:  // S caron
    case 0x8C:  // OE
    case 0x8E:  // Z caron
      return static_cast<char>(byte + 0x10);
    case 0x9F:  // Y diaeresis
      return static_cast<char>(0xFF);
    default:
      return platform::AsciiLowerChar(c);
  }
}

std::string LowerCp1252(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = LowerCp1252(c);
  return out;
}

bool SameTextCp1252(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (LowerCp1252(a[i]) != LowerCp1252(b[i])) return false;
  }
  return true;
}
