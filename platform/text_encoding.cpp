// Windows-1252 <-> UTF-16 <-> UTF-8 conversions.
#include "platform/text_encoding.h"

#include <cstdint>
#include <cstdio>

namespace platform {
namespace {

// Code points of bytes 0x80..0x9F in Windows-1252. The five bytes Windows leaves undefined
// (81, 8D, 8F, 90, 9D) map to the C1 control with the same number, as MultiByteToWideChar does.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80..87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88..8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90..97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98..9F
};

char16_t ByteToUnit(unsigned char byte) {
  if (byte >= 0x80 && byte <= 0x9F) return kHighControls[byte - 0x80];
  return byte;
}

// Answers the Windows-1252 byte of a code point, or nothing when it has none.
std::optional<char> ExactByte(uint32_t code_point) {
  if (code_point < 0x80 || (code_point >= 0xA0 && code_point <= 0xFF)) {
    return static_cast<char>(code_point);
  }
  for (int i = 0; i < 32; ++i) {
    if (kHighControls[i] == code_point) return static_cast<char>(0x80 + i);
  }
  return std::nullopt;
}

char CodePointToByte(uint32_t code_point) { return ExactByte(code_point).value_or('?'); }

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

constexpr uint32_t kReplacement = 0xFFFD;

// Decodes one UTF-8 sequence at `pos`, advancing it. Malformed input (bad lead byte, missing
// continuation, overlong form, surrogate or out-of-range value) yields U+FFFD for one byte.
uint32_t DecodeUtf8(const std::string& s, size_t& pos) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char lead = byte(pos);
  if (lead < 0x80) {
    ++pos;
    return lead;
  }
  size_t length = 0;
  uint32_t cp = 0;
  uint32_t minimum = 0;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, cp = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, cp = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, cp = lead & 0x07, minimum = 0x10000;
  } else {
    ++pos;
    return kReplacement;
  }
  if (length > s.size() - pos) {
    ++pos;
    return kReplacement;
  }
  for (size_t i = 1; i < length; ++i) {
    const unsigned char c = byte(pos + i);
    if ((c & 0xC0) != 0x80) {
      ++pos;
      return kReplacement;
    }
    cp = (cp << 6) | (c & 0x3F);
  }
  if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++pos;
    return kReplacement;
  }
  pos += length;
  return cp;
}

// Decodes one UTF-16 code point at `pos`, advancing it; a lone surrogate yields U+FFFD.
uint32_t DecodeUtf16(const std::u16string& s, size_t& pos) {
  const char16_t unit = s[pos++];
  if (unit >= 0xD800 && unit <= 0xDBFF) {
    if (pos < s.size() && s[pos] >= 0xDC00 && s[pos] <= 0xDFFF) {
      const char16_t low = s[pos++];
      return 0x10000 + ((static_cast<uint32_t>(unit) - 0xD800) << 10) + (low - 0xDC00);
    }
    return kReplacement;
  }
  if (unit >= 0xDC00 && unit <= 0xDFFF) return kReplacement;
  return unit;
}

}  // namespace

std::u16string Cp1252ToUtf16(const std::string& text) {
  std::u16string out;
  out.reserve(text.size());
  for (char c : text) out += ByteToUnit(static_cast<unsigned char>(c));
  return out;
}

std::string Utf16ToCp1252(const std::u16string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t pos = 0; pos < text.size();) out += CodePointToByte(DecodeUtf16(text, pos));
  return out;
}

std::string Cp1252ToUtf8(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) AppendUtf8(out, ByteToUnit(static_cast<unsigned char>(c)));
  return out;
}

std::string Utf8ToCp1252(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t pos = 0; pos < text.size();) out += CodePointToByte(DecodeUtf8(text, pos));
  return out;
}

std::optional<std::string> Utf8ToCp1252Exact(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t pos = 0; pos < text.size();) {
    // Malformed input decodes to U+FFFD, which has no byte either.
    const std::optional<char> byte = ExactByte(DecodeUtf8(text, pos));
    if (!byte) return std::nullopt;
    out += *byte;
  }
  return out;
}

std::string Utf8ToCp1252Escaped(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t pos = 0; pos < text.size();) {
    const size_t start = pos;
    const uint32_t cp = DecodeUtf8(text, pos);
    if (const std::optional<char> byte = ExactByte(cp)) {
      out += *byte;
      continue;
    }
    char escaped[16];
    if (cp == kReplacement && pos - start == 1) {
      std::snprintf(escaped, sizeof escaped, "<%02X>", static_cast<unsigned char>(text[start]));
    } else {
      std::snprintf(escaped, sizeof escaped, "<U+%04X>", static_cast<unsigned>(cp));
    }
    out += escaped;
  }
  return out;
}

std::string Utf16ToUtf8(const std::u16string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t pos = 0; pos < text.size();) AppendUtf8(out, DecodeUtf16(text, pos));
  return out;
}

std::u16string Utf8ToUtf16(const std::string& text) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t pos = 0; pos < text.size();) {
    const uint32_t cp = DecodeUtf8(text, pos);
    if (cp >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
  return out;
}

}  // namespace platform
