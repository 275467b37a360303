#include <gtest/gtest.h>

#include <cstdio>

#include "platform/ascii_case.h"
#include "platform/checksum.h"
#include "platform/text_encoding.h"

namespace platform {
namespace {

std::string AllBytes() {
  std::string bytes;
  for (int b = 0; b < 256; ++b) bytes += static_cast<char>(b);
  return bytes;
}

TEST(AsciiCaseTest, OnlyTheAsciiLettersChangeCase) {
  const std::string bytes = AllBytes();
  const std::string lower = AsciiLower(bytes);
  const std::string upper = AsciiUpper(bytes);
  for (int b = 0; b < 256; ++b) {
    const bool capital = b >= 'A' && b <= 'Z';
    const bool small = b >= 'a' && b <= 'z';
    EXPECT_EQ(static_cast<unsigned char>(lower[b]), capital ? b + 32 : b) << b;
    EXPECT_EQ(static_cast<unsigned char>(upper[b]), small ? b - 32 : b) << b;
  }
  EXPECT_TRUE(SameIgnoringAsciiCase("Program Files\\x.EXE", "PROGRAM files\\X.exe"));
  EXPECT_FALSE(SameIgnoringAsciiCase("\xC0", "\xE0"));  // accented letters are not ASCII
  EXPECT_FALSE(SameIgnoringAsciiCase("abc", "ab"));
  EXPECT_FALSE(SameIgnoringAsciiCase("[", "{"));  // 0x20 apart, but not letters
}

TEST(Cp1252Test, EveryByteRoundTripsThroughUtf16AndUtf8) {
  const std::string bytes = AllBytes();
  EXPECT_EQ(Utf16ToCp1252(Cp1252ToUtf16(bytes)), bytes);
  EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(bytes)), bytes);
  EXPECT_EQ(Utf16ToUtf8(Cp1252ToUtf16(bytes)), Cp1252ToUtf8(bytes));
}

TEST(Cp1252Test, HighControlRangeMapsAsWindowsDoes) {
  const std::u16string wide = Cp1252ToUtf16("\x80\x81\x8A\x8D\x8F\x90\x99\x9D\x9F\xA0\xFF");
  EXPECT_EQ(wide, (std::u16string{0x20AC, 0x0081, 0x0160, 0x008D, 0x008F, 0x0090, 0x2122, 0x009D,
                                  0x0178, 0x00A0, 0x00FF}));
  EXPECT_EQ(Cp1252ToUtf8("\x80"), "\xE2\x82\xAC");
  EXPECT_EQ(Utf8ToCp1252("\xC5\xBD"), "\x8E");  // Z with caron
  // Characters without a Windows-1252 byte become '?'.
  EXPECT_EQ(Utf16ToCp1252(u"a\u0416b\U0001F600c"), "a?b?c");
  EXPECT_EQ(Utf8ToCp1252("\xD0\x96"), "?");
}

TEST(UnicodeTest, SurrogatePairsAndMalformedInput) {
  const std::u16string emoji = u"x\U0001F600y";
  ASSERT_EQ(emoji.size(), 4u);
  EXPECT_EQ(Utf16ToUtf8(emoji), "x\xF0\x9F\x98\x80y");
  EXPECT_EQ(Utf8ToUtf16("x\xF0\x9F\x98\x80y"), emoji);
  // A lone surrogate, a cut sequence and an overlong form each become U+FFFD.
  EXPECT_EQ(Utf16ToUtf8(std::u16string{u'a', 0xD800, u'b'}),
            "a\xEF\xBF\xBD"
            "b");
  EXPECT_EQ(Utf8ToUtf16("a\xE2\x82"), (std::u16string{u'a', 0xFFFD, 0xFFFD}));
  EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), (std::u16string{0xFFFD, 0xFFFD}));
}

TEST(ChecksumTest, KnownValues) {
  EXPECT_EQ(Crc32(0, "123456789", 9), 0xCBF43926u);
  EXPECT_EQ(Crc32(Crc32(0, "12345", 5), "6789", 4), 0xCBF43926u);
  EXPECT_EQ(Crc32(0, "", 0), 0u);
}

}  // namespace
}  // namespace platform
