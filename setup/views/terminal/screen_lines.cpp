#include "setup/views/terminal/screen_lines.h"

#include <algorithm>

#include "setup/views/terminal/text_layout.h"

namespace setup_terminal {

ScreenLine& ScreenLine::Add(const std::u32string& text, uint8_t look) {
  segments.push_back(Segment{text, look});
  return *this;
}

int ScreenLine::Width() const {
  int width = 0;
  for (const Segment& segment : segments) width += DisplayWidth(segment.text);
  return width;
}

std::string AnsiLine(const ScreenLine& line, int width) {
  std::string out = "\x1b[0m";
  int left = width;
  for (const Segment& segment : line.segments) {
    if (left <= 0) break;
    // The segment's own columns, as far as the line has room for them.
    const std::u32string text =
        FitWidth(segment.text, std::min(DisplayWidth(OneLine(segment.text)), left));
    if (segment.look != kPlain) {
      out += "\x1b[";
      bool first = true;
      auto add = [&](const char* code) {
        if (!first) out += ';';
        out += code;
        first = false;
      };
      if (segment.look & kBold) add("1");
      if (segment.look & kDim) add("2");
      if (segment.look & kUnderline) add("4");
      if (segment.look & kReverse) add("7");
      out += 'm';
    }
    out += ToUtf8(text);
    if (segment.look != kPlain) out += "\x1b[0m";
    left -= DisplayWidth(text);
  }
  if (left > 0) out += "\x1b[K";  // the rest of the line cleared
  return out;
}

std::string PlainLine(const ScreenLine& line) {
  std::u32string text;
  for (const Segment& segment : line.segments) text += OneLine(segment.text);
  while (!text.empty() && text.back() == U' ') text.pop_back();
  return ToUtf8(text);
}

}  // namespace setup_terminal
