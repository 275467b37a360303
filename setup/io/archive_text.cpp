#include "setup/io/archive_text.h"

#include <ctime>

namespace archive_io {

namespace {

unsigned char LowerByte(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 32);
  // Windows-1252 capitals with a small letter 0x20 above (multiplication sign excluded).
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<unsigned char>(c + 32);
  switch (c) {
    case 0x8A:
      return 0x9A;  // S caron
    case 0x8C:
      return 0x9C;  // OE
    case 0x8E:
      return 0x9E;  // Z caron
    case 0x9F:
      return 0xFF;  // Y diaeresis
    default:
      return c;
  }
}

}  // namespace

std::string LowerName(std::string_view name) {
  std::string out(name);
  for (char& c : out) c = static_cast<char>(LowerByte(static_cast<unsigned char>(c)));
  return out;
}

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (LowerByte(static_cast<unsigned char>(a[i])) != LowerByte(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

uint32_t TodayDosDate() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  int year = local.tm_year + 1900 - 1980;
  if (year < 0) year = 0;
  if (year > 127) year = 127;
  uint32_t date = (static_cast<uint32_t>(year) << 9) |
                  (static_cast<uint32_t>(local.tm_mon + 1) << 5) |
                  static_cast<uint32_t>(local.tm_mday);
  return date << 16;
}

}  // namespace archive_io
