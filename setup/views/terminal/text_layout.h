// Text as a terminal shows it: characters and their column widths, word-wrapping to a width,
// cutting and padding. Texts come from packages, so every control character is dropped here
// before it could reach the terminal as part of an escape sequence.
#pragma once

#include <string>
#include <vector>

namespace setup_terminal {

// UTF-16 (lone surrogates become U+FFFD) and UTF-8 to code points, and back to UTF-8.
std::u32string FromUtf16(const std::u16string& text);
std::u32string FromUtf8(const std::string& text);
std::string ToUtf8(const std::u32string& text);

// Columns a character takes: 0 for combining marks and control characters, 2 for East Asian
// wide characters and emoji, 1 otherwise.
int CharWidth(char32_t c);
int DisplayWidth(const std::u32string& text);

// Splits TEXT into lines of at most WIDTH columns. CR, LF and CR LF break lines (an empty line
// stays); lines break at blanks, a word longer than the width is cut; blanks at the ends of
// wrapped lines go. Tabs become blanks, other control characters are dropped. An empty text
// gives no lines.
std::vector<std::u32string> WrapText(const std::u32string& text, int width);

// The text cut to WIDTH columns (a wide character that does not fit is left out) and padded
// with blanks to exactly WIDTH columns.
std::u32string FitWidth(const std::u32string& text, int width);

// The text with control characters dropped and line breaks as blanks: one line.
std::u32string OneLine(const std::u32string& text);

}  // namespace setup_terminal
