#include "setup/io/cp1252_case.h"

#include <gtest/gtest.h>

#include <map>

namespace {

TEST(Cp1252CaseTest, CapitalsFoldToTheirSmallLettersAndNothingElseChanges) {
  std::map<int, int> small;  // capital -> small letter of the code page
  for (int c = 'A'; c <= 'Z'; ++c) small[c] = c + 0x20;
  for (int c = 0xC0; c <= 0xDE; ++c) {
    if (c != 0xD7) small[c] = c + 0x20;  // the multiplication sign has no small letter
  }
  small[0x8A] = 0x9A;  // S caron
  small[0x8C] = 0x9C;  // OE
  small[0x8E] = 0x9E;  // Z caron
  small[0x9F] = 0xFF;  // Y diaeresis
  for (int b = 0; b < 256; ++b) {
    const auto it = small.find(b);
    EXPECT_EQ(static_cast<unsigned char>(LowerCp1252(static_cast<char>(b))),
              it == small.end() ? b : it->second)
        << "byte " << b;
  }
}

TEST(Cp1252CaseTest, TextsAreTheSameWhenTheirFoldedBytesAre) {
  struct Case {
    const char* a;
    const char* b;
    bool same;
  } cases[] = {
      {"Data\\Map.DAT", "data\\map.dat", true},
      {"\xC0\xC9\x8A\x9F", "\xE0\xE9\x9A\xFF", true},  // À É Š Ÿ
      {"\xD7", "\xF7", false},                         // × is not ÷
      {"\xDF", "SS", false},                           // ß stays one byte
      {"abc", "ab", false},
      {"", "", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SameTextCp1252(c.a, c.b), c.same) << c.a << " / " << c.b;
    EXPECT_EQ(LowerCp1252(c.a) == LowerCp1252(c.b), c.same) << c.a << " / " << c.b;
  }
}

}  // namespace
