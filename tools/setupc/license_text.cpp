#include "tools/setupc/license_text.h"

#include "setup/commands/script_compiler.h"

namespace setupc {
namespace {

bool IsRtf(const std::string& bytes) {
  size_t at = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  while (at < bytes.size() && static_cast<unsigned char>(bytes[at]) <= ' ') ++at;
  return bytes.compare(at, 5, "{\\rtf") == 0;
}

}  // namespace

std::string LicenseRtf(const std::string& file_bytes) {
  if (IsRtf(file_bytes)) return file_bytes;
  const std::u16string text = TextFileToUtf16(file_bytes);
  std::string rtf = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1\r\n";
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c == u'\r' || c == u'\n') {
      if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
      rtf += "\\par\r\n";
    } else if (c == u'\\' || c == u'{' || c == u'}') {
      rtf += '\\';
      rtf += static_cast<char>(c);
    } else if (c == u'\t') {
      rtf += "\\tab ";
    } else if (c >= 0x20 && c < 0x7F) {
      rtf += static_cast<char>(c);
    } else if (c >= 0x80) {
      // \uN takes a signed 16-bit number; '?' stands for it where Unicode is not read.
      rtf += "\\u" + std::to_string(static_cast<int16_t>(c)) + "?";
    }
  }
  rtf += "}\r\n";
  return rtf;
}

}  // namespace setupc
