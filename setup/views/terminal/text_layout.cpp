#include "setup/views/terminal/text_layout.h"

#include "platform/text_encoding.h"

namespace setup_terminal {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsControl(char32_t c) { return c < 0x20 || (c >= 0x7F && c < 0xA0); }

bool IsBreak(char32_t c) { return c == U'\r' || c == U'\n'; }

// Combining marks of the common scripts, zero-width characters and variation selectors.
bool IsZeroWidth(char32_t c) {
  return (c >= 0x0300 && c <= 0x036F) || (c >= 0x0483 && c <= 0x0489) ||
         (c >= 0x0591 && c <= 0x05BD) || (c >= 0x0610 && c <= 0x061A) ||
         (c >= 0x064B && c <= 0x065F) || (c >= 0x1AB0 && c <= 0x1AFF) ||
         (c >= 0x1DC0 && c <= 0x1DFF) || (c >= 0x200B && c <= 0x200F) ||
         (c >= 0x20D0 && c <= 0x20FF) || (c >= 0xFE00 && c <= 0xFE0F) ||
         (c >= 0xFE20 && c <= 0xFE2F) || c == 0xFEFF;
}

bool IsWide(char32_t c) {
  return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) ||
         (c >= 0x3041 && c <= 0x33FF) || (c >= 0x3400 && c <= 0x4DBF) ||
         (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF) ||
         (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
         (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
         (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F300 && c <= 0x1F64F) ||
         (c >= 0x1F900 && c <= 0x1F9FF) || (c >= 0x20000 && c <= 0x3FFFD);
}

// Tabs as a blank, other control characters dropped; line breaks kept when KEEP_BREAKS.
std::u32string Clean(const std::u32string& text, bool keep_breaks) {
  std::u32string clean;
  clean.reserve(text.size());
  for (char32_t c : text) {
    if (c == U'\t') {
      clean += U' ';
    } else if (IsBreak(c)) {
      if (keep_breaks) {
        clean += c;
      } else {
        clean += U' ';
      }
    } else if (!IsControl(c)) {
      clean += c;
    }
  }
  return clean;
}

void WrapParagraph(const std::u32string& paragraph, int width, std::vector<std::u32string>& lines) {
  std::u32string line;
  int line_width = 0;
  bool wrapped = false;  // a line of this paragraph has been given
  size_t i = 0;
  auto flush = [&] {
    wrapped = true;
    while (!line.empty() && line.back() == U' ') line.pop_back();
    lines.push_back(line);
    line.clear();
    line_width = 0;
  };
  if (paragraph.empty()) {
    lines.emplace_back();
    return;
  }
  while (i < paragraph.size()) {
    if (paragraph[i] == U' ') {
      // Blanks at the start of a wrapped line are dropped; others stay.
      if (line_width < width && !(line.empty() && wrapped)) {
        line += U' ';
        ++line_width;
      }
      ++i;
      continue;
    }
    size_t end = i;
    int word_width = 0;
    while (end < paragraph.size() && paragraph[end] != U' ') {
      word_width += CharWidth(paragraph[end]);
      ++end;
    }
    if (line_width + word_width > width && line_width > 0) flush();
    for (; i < end; ++i) {
      const int w = CharWidth(paragraph[i]);
      if (line_width + w > width) flush();  // a word longer than a line is cut
      line += paragraph[i];
      line_width += w;
    }
  }
  if (!line.empty()) flush();
}

}  // namespace

std::u32string FromUtf16(const std::u16string& text) {
  std::u32string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      out += 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      out += kReplacement;
    } else {
      out += c;
    }
  }
  return out;
}

std::u32string FromUtf8(const std::string& text) { return FromUtf16(platform::Utf8ToUtf16(text)); }

std::string ToUtf8(const std::u32string& text) {
  std::u16string wide;
  wide.reserve(text.size());
  for (char32_t c : text) {
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = kReplacement;
    if (c >= 0x10000) {
      wide += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      wide += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      wide += static_cast<char16_t>(c);
    }
  }
  return platform::Utf16ToUtf8(wide);
}

int CharWidth(char32_t c) {
  if (IsControl(c) || IsZeroWidth(c)) return 0;
  return IsWide(c) ? 2 : 1;
}

int DisplayWidth(const std::u32string& text) {
  int width = 0;
  for (char32_t c : text) width += CharWidth(c);
  return width;
}

std::vector<std::u32string> WrapText(const std::u32string& text, int width) {
  std::vector<std::u32string> lines;
  if (text.empty() || width < 1) return lines;
  const std::u32string clean = Clean(text, true);
  size_t start = 0;
  while (true) {
    size_t end = start;
    while (end < clean.size() && !IsBreak(clean[end])) ++end;
    WrapParagraph(clean.substr(start, end - start), width, lines);
    if (end >= clean.size()) break;
    start = end + 1;
    if (clean[end] == U'\r' && start < clean.size() && clean[start] == U'\n') ++start;
    if (start >= clean.size()) break;  // a final break adds no empty line
  }
  return lines;
}

std::u32string FitWidth(const std::u32string& text, int width) {
  std::u32string out;
  int used = 0;
  for (char32_t c : Clean(text, false)) {
    const int w = CharWidth(c);
    if (used + w > width) break;
    out += c;
    used += w;
  }
  if (used < width) out.append(static_cast<size_t>(width - used), U' ');
  return out;
}

std::u32string OneLine(const std::u32string& text) { return Clean(text, false); }

}  // namespace setup_terminal
