#include "setup/text/languages.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "common/file_bytes.h"
#include "platform/text_encoding.h"
#include "setup/core/pak.h"
#include "setup/core/setup_error.h"

namespace {
using setupkit_test::ReadBytes;

// A language blob: byte-order mark (unless left out) and the text as UTF-16LE.
std::string Blob(const std::u16string& text, bool with_bom = true) {
  std::string bytes = with_bom ? std::string("\xFF\xFE") : std::string();
  for (char16_t c : text) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  }
  return bytes;
}

std::u16string U(const std::string& utf8) { return platform::Utf8ToUtf16(utf8); }

TLanguage Load(const std::u16string& text) {
  TLanguage language;
  const std::string blob = Blob(text);
  language.LoadFromBuffer(blob.data(), blob.size());
  return language;
}

// A TLanguages holding one table with the given text lines, made current.
TLanguages WithTexts(const std::u16string& text_lines) {
  TLanguages languages;
  const std::string blob = Blob(u"Test\r\n0409;\r\n" + text_lines);
  languages.AddLanguage(blob.data(), blob.size());
  languages.Current = 0;
  return languages;
}

TEST(UnicodeStringListTest, SplitsAtCrLfAndCrAndDropsTextBeforeBareLf) {
  TUnicodeStringList list;
  const std::string blob = Blob(u"one\r\ntwo\rthree\r\n\r\nlost\nfour\r\n");
  list.LoadFromBuffer(blob.data(), blob.size());
  ASSERT_EQ(list.Count(), 5);
  EXPECT_EQ(list.Get(0), u"one");
  EXPECT_EQ(list.Get(1), u"two");
  EXPECT_EQ(list.Get(2), u"three");
  EXPECT_EQ(list.Get(3), u"");  // an empty line in the middle stays
  EXPECT_EQ(list.Get(4), u"four");
  EXPECT_EQ(list.Get(5), u"");  // out of range
}

TEST(UnicodeStringListTest, LastLineWithoutEndShortAndAbsentBlobs) {
  TUnicodeStringList list;
  std::string blob = Blob(u"a\r\nlast");
  blob.push_back('x');  // an odd trailing byte is not a code unit
  list.LoadFromBuffer(blob.data(), blob.size());
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Get(1), u"last");

  list.LoadFromBuffer("\xFF", 1);
  EXPECT_EQ(list.Count(), 0);
  try {
    list.LoadFromBuffer(nullptr, 0);
    FAIL() << "an absent blob must raise";
  } catch (const SetupError& error) {
    EXPECT_STREQ(error.what(), "Cannot open file");
  }
}

TEST(LanguageTest, ReadsNameIdsAndTexts) {
  const TLanguage language =
      Load(U("Česky\r\n0405;0c09;\r\n1 Vítejte v <%SETUPTITLE%>\r\n26 \r\n5   Click on the Install "
             "button  \r\n\"30\"\tquoted number\r\n  7 \"kept\" quotes\r\n5 second five\r\n"));
  EXPECT_EQ(language.Name, U("Česky"));
  EXPECT_EQ(language.LanguageIds, (std::vector<uint16_t>{0x0405, 0x0c09}));
  ASSERT_EQ(language.Texts.size(), 6u);
  EXPECT_EQ(*language.FindText(1), U("Vítejte v <%SETUPTITLE%>"));
  EXPECT_EQ(*language.FindText(26), u"");
  // Leading blanks go, trailing blanks stay, the first line of a number wins.
  EXPECT_EQ(*language.FindText(5), u"Click on the Install button  ");
  EXPECT_EQ(*language.FindText(30), u"quoted number");  // quotes removed from the number token
  EXPECT_EQ(*language.FindText(7), u"\"kept\" quotes");
  EXPECT_EQ(language.FindText(2), nullptr);
}

TEST(LanguageTest, SingleIdWithoutSemicolonAndMissingByteOrderMark) {
  EXPECT_EQ(Load(u"English\r\n0809\r\n").LanguageIds, (std::vector<uint16_t>{0x0809}));
  TLanguage language;
  const std::string blob = Blob(u"English\r\n0409;\r\n", /*with_bom=*/false);
  language.LoadFromBuffer(blob.data(), blob.size());
  EXPECT_EQ(language.Name, u"nglish");  // the first character takes the mark's place
}

TEST(LanguageTest, MalformedTablesRaise) {
  const std::u16string bad[] = {
      u"Name\r\n0409;0809\r\n",         // last id of several without ';'
      u"Name\r\nzz;\r\n",               // not hexadecimal
      u"Name\r\n10000;\r\n",            // not a 16-bit id
      u"Name\r\n0409;\r\nx text\r\n",   // text line without a number
      u"Name\r\n0409;\r\n1 a\r\n\r\n",  // empty line among the text lines
      u"Name\r\n0409;\r\n65536 a\r\n",  // number out of range
  };
  for (const std::u16string& text : bad) {
    EXPECT_THROW(Load(text), SetupError) << platform::Utf16ToUtf8(text);
  }
  // The table is still counted when its parsing fails.
  TLanguages languages;
  const std::string blob = Blob(bad[0]);
  EXPECT_THROW(languages.AddLanguage(blob.data(), blob.size()), SetupError);
  EXPECT_EQ(languages.Items.size(), 1u);
}

TEST(LanguagesTest, GetTextAndChoiceByLanguageId) {
  TLanguages languages;
  EXPECT_EQ(languages.GetText(3), u"NOT FOUND 3");
  EXPECT_EQ(languages.ExpandLangTokens(u"<LANG1>"), u"<LANG1>");
  languages.ChooseForLanguageId(0x0409);
  EXPECT_EQ(languages.Current, -1);

  const std::string english = Blob(u"English\r\n0809;0409;\r\n13 Next >\r\n");
  const std::string czech = Blob(U("Česky\r\n0405;0409;\r\n13 Další >\r\n"));
  languages.AddLanguage(english.data(), english.size());
  languages.AddLanguage(czech.data(), czech.size());
  EXPECT_EQ(languages.FindByLanguageId(0x0409), 0);  // first table listing the id
  EXPECT_EQ(languages.FindByLanguageId(0x0405), 1);
  EXPECT_EQ(languages.FindByLanguageId(0x0407), -1);
  languages.ChooseForLanguageId(0x0405);
  EXPECT_EQ(languages.GetText(13), U("Další >"));
  EXPECT_EQ(languages.GetText(31), u"NOT FOUND 31");
  EXPECT_EQ(languages.GetText(-2), u"NOT FOUND -2");
  languages.ChooseForLanguageId(0x0407);
  EXPECT_EQ(languages.Current, 0);
}

TEST(LanguagesTest, ExpandsNestedTokens) {
  const TLanguages languages = WithTexts(u"4 Install\r\n5 Click on the <LANG4> button\r\n");
  EXPECT_EQ(languages.ExpandLangTokens(u"<LANG5>!"), u"Click on the Install button!");
  EXPECT_EQ(languages.ExpandLangTokens(u"<LANG9>"), u"NOT FOUND 9");
  EXPECT_EQ(languages.ExpandLangTokens(u"<lang4>"), u"<lang4>");  // the token is case-sensitive
  EXPECT_THROW(languages.ExpandLangTokens(u"<LANG4"), SetupError);
  EXPECT_THROW(languages.ExpandLangTokens(u"<LANGx>"), SetupError);
  EXPECT_THROW(languages.ExpandLangTokens(u"<LANG>"), SetupError);
}

TEST(LanguagesTest, TextsThatLeadBackToThemselvesStop) {
  // Directly, through another text, and doubling at every step.
  const TLanguages languages = WithTexts(
      u"1 a<LANG1>\r\n2 <LANG3>\r\n3 <LANG2>\r\n4 <LANG5><LANG5>\r\n5 <LANG4><LANG4>\r\n");
  const std::u16string self = languages.ExpandLangTokens(u"<LANG1>");
  EXPECT_EQ(self, std::u16string(TLanguages::kMaxTokenReplacements, u'a') + u"<LANG1>");
  EXPECT_NE(languages.ExpandLangTokens(u"x<LANG2>y").find(u"<LANG"), std::u16string::npos);
  const std::u16string doubled = languages.ExpandLangTokens(u"<LANG4>");
  // Every replacement adds at most one token's text, so the result stays small.
  EXPECT_LT(doubled.size(), 20u * TLanguages::kMaxTokenReplacements);
}

TEST(LanguagesTest, ReplacementsCanCompleteATokenBeforeThem) {
  const TLanguages languages = WithTexts(u"1 G2>\r\n2 two\r\n3 <LAN\r\n");
  // "<LAN" + "<LANG1>" becomes "<LAN" + "G2>", which is the token <LANG2>.
  EXPECT_EQ(languages.ExpandLangTokens(u"<LAN<LANG1>!"), u"two!");
  EXPECT_EQ(languages.ExpandLangTokens(u"<LANG3><LANG1>"), u"two");
}

TEST(LanguagesTest, LongTextsThatLeadBackToThemselvesStopGrowing) {
  // Each step adds a 50,000-character text; the length bound stops the expansion.
  const std::u16string big(50000, u'x');
  const TLanguages languages = WithTexts(u"1 " + big + u"<LANG1>\r\n");
  const std::u16string result = languages.ExpandLangTokens(u"<LANG1>");
  EXPECT_LE(result.size(), TLanguages::kMaxExpandedLength + big.size() + 7);
  EXPECT_NE(result.find(u"<LANG1>"), std::u16string::npos);
}

TEST(LanguageStringsTest, PlaceholdersReadTheirVariablesWhenApplied) {
  std::string title = "Medalor";
  std::string short_title = "Med";
  std::string changelog = "\\Changes.rtf";
  std::string required = "1.00 MB";
  std::string available = "2.00 GB";
  TLanguageStrings strings;
  RegisterStandardPlaceholders(strings, title, short_title, changelog, required, available);
  EXPECT_EQ(strings.Count(), 5u);
  EXPECT_EQ(strings.ApplyPlaceholders(u"<%setuptitle%> / <%SETUPSHORTTITLE%> <%SpaceAva%>"),
            u"Medalor / Med 2.00 GB");
  available = "3.50 GB";
  EXPECT_EQ(strings.ApplyPlaceholders(u"<%SPACEAVA%>"), u"3.50 GB");
  title =
      "\xC8"
      "esky";  // Windows-1252 bytes become UTF-16
  EXPECT_EQ(strings.ApplyPlaceholders(u"<%SETUPTITLE%>"), U("Èesky"));
}

TEST(DisplayTextTest, TokensThenLineBreaksThenPlaceholders) {
  const TLanguages languages = WithTexts(u"1 Welcome to <%SETUPTITLE%><BR>go on\r\n2 two\r\n");
  std::string title = "X<LANG2><br>";
  TLanguageStrings strings;
  strings.RegisterPlaceholder("<%SETUPTITLE%>", title);
  // The placeholder value is not expanded further: its token and break stay as written.
  EXPECT_EQ(DisplayText(languages, strings, u"<LANG1>|a<br>b"),
            u"Welcome to X<LANG2><br>\rgo on|a\rb");
}

class StockTableTest : public ::testing::TestWithParam<const char*> {};

TEST_P(StockTableTest, HoldsEveryRuntimeTextAndExpandsCleanly) {
  const std::string blob = ReadBytes(std::string(SETUPKIT_BIN_DIR) + "/languages/" + GetParam());
  ASSERT_GT(blob.size(), 2u);
  EXPECT_EQ(blob.substr(0, 2), "\xFF\xFE");
  TLanguages languages;
  languages.AddLanguage(blob.data(), blob.size());
  languages.Current = 0;
  for (int number = 1; number <= 30; ++number) {
    const std::u16string text = languages.GetText(number);
    EXPECT_EQ(text.find(u"NOT FOUND"), std::u16string::npos) << number;
    EXPECT_EQ(languages.ExpandLangTokens(text).find(u"<LANG"), std::u16string::npos) << number;
  }
}

INSTANTIATE_TEST_SUITE_P(Shipped, StockTableTest,
                         ::testing::Values("install/english.wri", "install/czech.wri",
                                           "uninstall/english.wri", "uninstall/czech.wri"));

TEST(StockTableTest, SystemLanguageChoosesTheTable) {
  TLanguages languages;
  for (const char* name : {"install/english.wri", "install/czech.wri"}) {
    const std::string blob = ReadBytes(std::string(SETUPKIT_BIN_DIR) + "/languages/" + name);
    languages.AddLanguage(blob.data(), blob.size());
  }
  languages.ChooseForLanguageId(0x0405);
  EXPECT_EQ(languages.Items[languages.Current]->Name, U("Česky"));
  EXPECT_EQ(languages.GetText(kTextCancel), u"Storno");
  languages.ChooseForLanguageId(0x0809);
  EXPECT_EQ(languages.GetText(kTextNext), u"Next >");
  languages.ChooseForLanguageId(0x0411);
  EXPECT_EQ(languages.Current, 0);
}

TEST(LoadLanguagesFromPackageTest, TakesGroupZeroLanguageEntriesInDirectoryOrder) {
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("setupkit_text_languages_" + std::to_string(getpid()) + ".pak"))
                               .string();
  const std::string english = Blob(u"English\r\n0409;\r\n1 one\r\n");
  const std::string czech = Blob(U("Česky\r\n0405;\r\n1 jedna\r\n"));
  const std::string other = Blob(u"Other\r\n0407;\r\n");
  {
    TPak pak(path, true, false);
    ASSERT_TRUE(pak.IsOpen());
    pak.StoreFromMemory(pak.AddEntry("LANGUAGE-install\\english", "", 0), english.data(),
                        english.size());
    pak.StoreFromMemory(pak.AddEntry("SetupInfo", "", 0), other.data(), other.size());
    pak.StoreFromMemory(pak.AddEntry("LANGUAGE-x", "", 1), other.data(), other.size());
    pak.StoreFromMemory(pak.AddEntry("language-install\\czech", "", 0), czech.data(), czech.size());
    pak.StoreFromMemory(pak.AddEntry("UNINSTALL_LANGUAGE-y", "", 0), other.data(), other.size());
    ASSERT_TRUE(pak.WriteDirectory());
    pak.Close();
  }
  TPak pak(path, false, false);
  TLanguages languages;
  LoadLanguagesFromPackage(pak, languages, 0x0405);
  pak.Close();
  std::filesystem::remove(path);
  ASSERT_EQ(languages.Items.size(), 2u);
  EXPECT_EQ(languages.Items[0]->Name, u"English");
  EXPECT_EQ(languages.Current, 1);
  EXPECT_EQ(languages.GetText(1), u"jedna");
}

}  // namespace
