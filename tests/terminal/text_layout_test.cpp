// Text as the terminal lays it out: wrapping to a width, cutting and padding by columns (wide
// and combining characters), and no control character of a package's text reaching the screen.
#include "setup/views/terminal/text_layout.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace setup_terminal {
namespace {

struct WrapCase {
  std::u32string text;
  int width;
  std::vector<std::u32string> lines;
};

void PrintTo(const WrapCase& c, std::ostream* os) {
  *os << ToUtf8(OneLine(c.text)) << " in " << c.width;
}

class WrapTextTest : public ::testing::TestWithParam<WrapCase> {};

TEST_P(WrapTextTest, BreaksAtBlanksAndLineBreaks) {
  const WrapCase& c = GetParam();
  const std::vector<std::u32string> lines = WrapText(c.text, c.width);
  EXPECT_EQ(lines, c.lines);
  for (const std::u32string& line : lines) EXPECT_LE(DisplayWidth(line), c.width);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, WrapTextTest,
    ::testing::Values(
        WrapCase{U"", 10, {}}, WrapCase{U"short", 10, {U"short"}},
        WrapCase{U"one two three four", 9, {U"one two", U"three", U"four"}},
        WrapCase{U"exactly10!", 10, {U"exactly10!"}},
        // A word longer than the line is cut; blanks at the wrapped ends go.
        WrapCase{U"abcdefghijkl mn", 5, {U"abcde", U"fghij", U"kl mn"}},
        WrapCase{U"a     b", 3, {U"a", U"b"}},
        // The display pipeline's CR, and LF and CR LF, break; empty lines stay, a last break
        // adds none; an indented first line keeps its blanks.
        WrapCase{U"a\rb\r\rc\r", 10, {U"a", U"b", U"", U"c"}},
        WrapCase{U"a\r\nb\nc", 10, {U"a", U"b", U"c"}},
        WrapCase{U"  indented text", 10, {U"  indented", U"text"}},
        // Wide characters take two columns.
        WrapCase{U"\u6f22\u5b57\u6f22\u5b57", 5, {U"\u6f22\u5b57", U"\u6f22\u5b57"}},
        // Escape sequences in a package's text cannot reach the terminal; tabs become blanks.
        WrapCase{U"red\x1b[31m\x07x\ty", 20, {U"red[31mx y"}},
        WrapCase{U"\u009b2Jz", 20, {U"2Jz"}}));

TEST(TextLayoutTest, WidthsOfCharacters) {
  EXPECT_EQ(DisplayWidth(U"abc"), 3);
  EXPECT_EQ(DisplayWidth(U"c\u030c"), 1);       // c and a combining caron
  EXPECT_EQ(DisplayWidth(U"\u4e2d\u6587"), 4);  // CJK
  EXPECT_EQ(DisplayWidth(U"\U0001F600"), 2);    // emoji
  EXPECT_EQ(DisplayWidth(U"\x1b\x07"), 0);
}

TEST(TextLayoutTest, FitWidthCutsAndPadsByColumns) {
  EXPECT_EQ(FitWidth(U"abc", 5), U"abc  ");
  EXPECT_EQ(FitWidth(U"abcdef", 4), U"abcd");
  // A wide character that does not fit whole is left out, and the column padded.
  EXPECT_EQ(FitWidth(U"ab\u4e2d", 3), U"ab ");
  EXPECT_EQ(FitWidth(U"a\rb", 3), U"a b");
  EXPECT_EQ(FitWidth(U"x", 0), U"");
}

TEST(TextLayoutTest, ConversionsKeepCharactersAndReplaceBrokenOnes) {
  const std::u32string text = U"\u010cesky \u20ac \U0001F600";
  EXPECT_EQ(FromUtf8(ToUtf8(text)), text);
  EXPECT_EQ(FromUtf16(u"\u010c\U0001F600"), U"\u010c\U0001F600");
  EXPECT_EQ(FromUtf16(std::u16string{u'a', 0xD800, u'b'}), U"a\uFFFDb");
  EXPECT_EQ(FromUtf8("a\xff"
                     "b\xe2\x82"),
            U"a\uFFFDb\uFFFD\uFFFD");
}

}  // namespace
}  // namespace setup_terminal
