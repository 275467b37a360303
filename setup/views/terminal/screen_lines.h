// Lines of a terminal screen: runs of text with a look (bold, dim, reverse), written out as
// ANSI sequences for a capable terminal or as plain text for a dumb one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace setup_terminal {

enum Look : uint8_t {
  kPlain = 0,
  kBold = 1,
  kDim = 2,
  kReverse = 4,
  kUnderline = 8,
};

struct Segment {
  std::u32string text;
  uint8_t look = kPlain;
};

struct ScreenLine {
  std::vector<Segment> segments;
  ScreenLine& Add(const std::u32string& text, uint8_t look = kPlain);
  int Width() const;
  bool operator==(const ScreenLine&) const = default;
};

inline bool operator==(const Segment& a, const Segment& b) {
  return a.text == b.text && a.look == b.look;
}

// The line cut or padded to WIDTH columns, as UTF-8 with its looks as SGR sequences (each line
// starts and ends in the plain look).
std::string AnsiLine(const ScreenLine& line, int width);
// The line's text without looks and without blanks at its end.
std::string PlainLine(const ScreenLine& line);

}  // namespace setup_terminal
