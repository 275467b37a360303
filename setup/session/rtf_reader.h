// A small reader for the rich text that change logs are written in: paragraphs, bold, italic,
// underline, font size, the colour table, escaped and Unicode characters. Everything else
// (font tables, pictures, styles, ignorable destinations) is skipped. No Qt here.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace setup_session {

struct RtfRun {
  std::u16string text;
  bool bold = false;
  bool italic = false;
  bool underline = false;
  int font_size_half_points = 0;  // 0: the box's own font size
  std::optional<uint32_t> colour;  // 0xRRGGBB; none: the box's own text colour
};

enum class RtfAlignment { kLeft, kCentre, kRight, kJustify };

struct RtfParagraph {
  std::vector<RtfRun> runs;
  RtfAlignment alignment = RtfAlignment::kLeft;
  std::u16string PlainText() const;
};

struct RtfDocument {
  std::vector<RtfParagraph> paragraphs;
  std::u16string PlainText() const;  // paragraphs joined with '\n'
};

// True when the data start (after blanks) with "{\rtf".
bool LooksLikeRtf(std::string_view data);
// Parses rich text; nothing when the data are not rich text. Damaged input (unbalanced braces,
// truncated escapes, absurd nesting) still yields what could be read.
std::optional<RtfDocument> ParseRtf(std::string_view data);

}  // namespace setup_session
