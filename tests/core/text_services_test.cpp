#include "setup/core/text_services.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "core/state_test_support.h"
#include "setup/core/run_log.h"

namespace {

using state_test::StateTest;
using TextServicesTest = StateTest;

// The replacement rule written the plain way: search from the start after every replacement.
// Answers nothing when it has not finished after `max_steps` replacements.
std::optional<std::string> NaiveReplaceAll(std::string text, const std::string& pattern,
                                           const std::string& value, int max_steps) {
  const std::string p = AsciiLower(pattern);
  for (int step = 0; step <= max_steps; ++step) {
    const size_t pos = AsciiLower(text).find(p);
    if (pos == std::string::npos) return text;
    text.replace(pos, pattern.size(), value);
  }
  return std::nullopt;
}

TEST_F(TextServicesTest, ExpandPathReplacesVariablesIgnoringCaseAndCollapsesBackslashes) {
  SetInstallDir("C:\\Games\\Tool\\");
  EXPECT_EQ(ExpandPath("$instdir\\App.exe"), "C:\\Games\\Tool\\App.exe");
  EXPECT_EQ(ExpandPath("$InstallDir\\\\\\x"), "C:\\Games\\Tool\\x");
  EXPECT_EQ(ExpandPath("C:\\\\a\\\\\\\\b"), "C:\\a\\b");
  EXPECT_EQ(ExpandPath("$LANGUAGESELECTION"), "English");
  State().language_selection = "Czech";
  EXPECT_EQ(ExpandPath("x\\$languageselection\\y"), "x\\Czech\\y");
}

TEST_F(TextServicesTest, SystemFoldersComeFromShellFoldersAndTheDriveTable) {
  State().ResolveSystemFolders();
  EXPECT_EQ(ExpandPath("$PROGRAMFILES"), "C:\\Program Files\\");
  EXPECT_EQ(ExpandPath("$SMPROGRAMS\\Tool"), "C:\\users\\tester\\Start Menu\\Programs\\Tool");
  EXPECT_EQ(ExpandPath("$DESKTOP"), "C:\\users\\tester\\Desktop\\");
  // The first CD-ROM drive in letter order, not in the order of the drives file.
  EXPECT_EQ(ExpandPath("$CDDRIVE\\setup.exe"), "E:\\setup.exe");

  state_test::WriteDrives(Root(), false);
  State().ResolveSystemFolders();
  EXPECT_EQ(State().cd_drive, "");
  EXPECT_EQ(ExpandPath("$CDDRIVE"), "");
}

TEST_F(TextServicesTest, EnvironmentVariablesExpandFromTheSnapshot) {
  state_test::ScopedEnv var("SETUPKIT_TEXT_TEST", std::string("C:\\Data"));
  State().TakeEnvironmentSnapshot();
  EXPECT_EQ(ExpandPath("%setupkit_text_test%\\x"), "C:\\Data\\x");
  EXPECT_EQ(ExpandPath("%SETUPKIT_NOT_SET%"), "%SETUPKIT_NOT_SET%");
  // The snapshot is not re-read: later changes to the environment are not seen.
  setenv("SETUPKIT_TEXT_TEST", "other", 1);
  EXPECT_EQ(ExpandPath("%SETUPKIT_TEXT_TEST%"), "C:\\Data");
  EXPECT_EQ(ExpandPath("a%%b"), "a%%b");
}

TEST_F(TextServicesTest, AnUnsetVariableIsWarnedOfOnceInTheLogAndUnattendedOnStandardError) {
  const std::string log_path = Root() + "/run.log";
  ASSERT_TRUE(TRunLog::Instance().Open(log_path));
  State().SetUnattended(true);
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(ExpandPath("%SETUPKIT_NOT_SET%\\LogTest"), "%SETUPKIT_NOT_SET%\\LogTest");
  EXPECT_EQ(ExpandPath("%setupkit_not_set%\\Again"), "%setupkit_not_set%\\Again");
  EXPECT_EQ(ExpandPath("100% sure, 50% off, %1 and %%"), "100% sure, 50% off, %1 and %%");
  const std::string err = ::testing::internal::GetCapturedStderr();
  TRunLog::Instance().Close();
  const std::string warning =
      "warning: the environment variable %SETUPKIT_NOT_SET% is not set; the text keeps it as "
      "written: %SETUPKIT_NOT_SET%\\LogTest";
  EXPECT_EQ(err, "setup: " + warning + "\n");
  std::ifstream log(log_path);
  const std::string logged((std::istreambuf_iterator<char>(log)), {});
  EXPECT_NE(logged.find(warning), std::string::npos) << logged;
  EXPECT_EQ(logged.find("Again"), std::string::npos) << logged;
}

TEST_F(TextServicesTest, ValuesHoldingTheirOwnVariableExpandOnce) {
  state_test::ScopedEnv var("SETUPKIT_LOOP", std::string("%setupkit_loop%\\x"));
  State().TakeEnvironmentSnapshot();
  EXPECT_EQ(ExpandPath("%SETUPKIT_LOOP%"), "%setupkit_loop%\\x");
  SetInstallDir("C:\\$INSTDIR\\");
  EXPECT_EQ(ExpandPath("$instdir\\a"), "C:\\$INSTDIR\\a");
}

TEST_F(TextServicesTest, ContractPathPrefersTheInstallFolderAndRoundTrips) {
  State().ResolveSystemFolders();
  SetInstallDir("C:\\Program Files\\Tool\\");
  EXPECT_EQ(ContractPath("C:\\Program Files\\Tool\\bin\\x.exe"), "$INSTDIRbin\\x.exe");
  EXPECT_EQ(ContractPath("c:\\program files\\other\\y.dll"), "$PROGRAMFILESother\\y.dll");
  EXPECT_EQ(ContractPath("C:\\users\\tester\\Desktop\\Tool.lnk"), "$DESKTOPTool.lnk");
  EXPECT_EQ(ContractPath("C:\\users\\tester\\Start Menu\\Programs\\Tool\\Tool.lnk"),
            "$SMPROGRAMSTool\\Tool.lnk");
  for (const char* path : {"C:\\Program Files\\Tool\\bin\\x.exe", "C:\\users\\tester\\Desktop\\a",
                           "D:\\elsewhere\\file.txt"}) {
    EXPECT_EQ(ExpandPath(ContractPath(path)), path);
  }
  // A folder that could not be resolved ("\") must not swallow every backslash.
  State().desktop = "\\";
  EXPECT_EQ(ContractPath("D:\\a\\b"), "D:\\a\\b");
}

TEST(ReplaceAllTest, ReplacesEveryOccurrenceIgnoringAsciiCase) {
  EXPECT_EQ(ReplaceAll("a$X b$x", "$x", "1"), "a1 b1");
  EXPECT_EQ(ReplaceAll("abc", "", "zz"), "abc");
  EXPECT_EQ(ReplaceAll("", "a", "b"), "");
  // Text a replacement produced is searched again from the start.
  EXPECT_EQ(ReplaceAll("aab", "ab", "b"), "b");
  EXPECT_EQ(ReplaceAll("a\\\\\\\\b", "\\\\", "\\"), "a\\b");
  // Only A-Z fold: Windows-1252 letters keep their case.
  EXPECT_EQ(ReplaceAll(u"\u00C4x\u00E4X", u"\u00E4x", u"-"), u"\u00C4x-");
  EXPECT_EQ(ReplaceAll(u"<%NAME%> \u0160", u"<%name%>", u"Tool"), u"Tool \u0160");
  EXPECT_EQ(ReplaceAll(u"5 \u20AC \u0160", u"\u20AC \u0160", u"EUR"), u"5 EUR");
}

TEST(ReplaceAllTest, EndsWhenTheValueHoldsItsOwnPattern) {
  // Replaced once per original occurrence; inserted text is not searched again.
  EXPECT_EQ(ReplaceAll("a$X b$x", "$x", "[$X]"), "a[$X] b[$X]");
  EXPECT_EQ(ReplaceAll("ab", "a", "A"), "Ab");
  EXPECT_EQ(ReplaceAll(u"%P%", u"%p%", u"x%P%"), u"x%P%");
  // Without an occurrence nothing changes.
  EXPECT_EQ(ReplaceAll("none", "$x", "$x$x"), "none");
}

TEST(ReplaceAllTest, EndsWhenReplacementsKeepCreatingOccurrences) {
  // "ab" -> "bbaa" never holds "ab", yet each replacement creates a new one forever.
  ASSERT_FALSE(NaiveReplaceAll("aab", "ab", "bbaa", 2000).has_value());
  EXPECT_EQ(ReplaceAll("aab", "ab", "bbaa"), "abbaa");
  EXPECT_EQ(ReplaceAll(u"aab", u"AB", u"bbaa"), u"abbaa");
}

TEST(ReplaceAllTest, MatchesThePlainRuleWheneverThatEnds) {
  std::mt19937 random(20261209);
  const char alphabet[] = {'a', 'b', 'A', 'B'};
  auto make = [&](int max_length) {
    std::string s(random() % (max_length + 1), ' ');
    for (char& c : s) c = alphabet[random() % 4];
    return s;
  };
  int compared = 0;
  for (int i = 0; i < 8000; ++i) {
    const std::string text = make(12);
    const std::string pattern = make(3);
    const std::string value = make(5);
    const std::string result = ReplaceAll(text, pattern, value);
    if (pattern.empty()) continue;
    if (auto naive = NaiveReplaceAll(text, pattern, value, 100)) {
      ASSERT_EQ(result, *naive) << text << " / " << pattern << " / " << value;
      ++compared;
    }
  }
  EXPECT_GT(compared, 4000);
}

TEST(FormatSizeTest, ChoosesTheUnitAndWritesTwoDecimals) {
  EXPECT_EQ(FormatSize(0), "0.00 Bytes");
  EXPECT_EQ(FormatSize(1023), "1023.00 Bytes");
  EXPECT_EQ(FormatSize(1024), "1.00 KB");
  EXPECT_EQ(FormatSize(1536), "1.50 KB");
  EXPECT_EQ(FormatSize(1048575), "1024.00 KB");
  EXPECT_EQ(FormatSize(5242880), "5.00 MB");
  EXPECT_EQ(FormatSize(int64_t{3} << 30), "3.00 GB");
  EXPECT_EQ(FormatSize(int64_t{5} << 40), "5120.00 GB");
  EXPECT_EQ(FormatSize(-1), "-1.00 Bytes");
  EXPECT_EQ(FormatSize(-2048), "-2.00 KB");
}

TEST(FloatToStrDotTest, GeneralFormatWithAPoint) {
  EXPECT_EQ(FloatToStrDot(3), "3.0");
  EXPECT_EQ(FloatToStrDot(2.5), "2.5");
  EXPECT_EQ(FloatToStrDot(100), "100.0");
  EXPECT_EQ(FloatToStrDot(0), "0.0");
  EXPECT_EQ(FloatToStrDot(-0.125), "-0.125");
  EXPECT_EQ(FloatToStrDot(0.1), "0.1");
  EXPECT_EQ(FloatToStrDot(0.00001L), "0.00001");
  EXPECT_EQ(FloatToStrDot(123456789012345.0L), "123456789012345.0");
  EXPECT_EQ(FloatToStrDot(1e15L), "1E15.0");
  EXPECT_EQ(FloatToStrDot(-1.5e-7L), "-1.5E-7");
  // 15 significant digits, rounded.
  EXPECT_EQ(FloatToStrDot(2.0L / 3.0L), "0.666666666666667");
  EXPECT_EQ(FloatToStrDot(1.0L / 3.0L * 1e5L), "33333.3333333333");
}

// Switches LC_ALL to a locale whose decimal separator is a comma; builds one with localedef in
// a private folder when the system has none installed.
class DecimalCommaLocale {
 public:
  DecimalCommaLocale() {
    old_ = std::setlocale(LC_ALL, nullptr);
    for (const char* name : {"de_DE.UTF-8", "cs_CZ.UTF-8", "de_DE.utf8", "cs_CZ.utf8"}) {
      if (std::setlocale(LC_ALL, name) && HasDecimalComma()) return;
    }
    if (std::system("command -v localedef >/dev/null 2>&1") == 0) {
      folder_ = state_test::MakeTempFolder();
      const std::string command =
          "localedef -i de_DE -f UTF-8 '" + folder_ + "/de_DE.UTF-8' >/dev/null 2>&1";
      if (std::system(command.c_str()) >= 0) {
        setenv("LOCPATH", folder_.c_str(), 1);
        if (std::setlocale(LC_ALL, "de_DE.UTF-8") && HasDecimalComma()) return;
      }
    }
    std::setlocale(LC_ALL, old_.c_str());
    active_ = false;
  }
  ~DecimalCommaLocale() {
    std::setlocale(LC_ALL, old_.c_str());
    if (!folder_.empty()) {
      unsetenv("LOCPATH");
      std::error_code ignored;
      std::filesystem::remove_all(folder_, ignored);
    }
  }
  bool Active() const { return active_; }

 private:
  static bool HasDecimalComma() {
    char buffer[16];
    std::snprintf(buffer, sizeof(buffer), "%.2f", 1.5);
    return std::string(buffer) == "1,50";
  }
  std::string old_;
  std::string folder_;
  bool active_ = true;
};

TEST(NumberFormattingTest, IgnoresTheProcessLocale) {
  DecimalCommaLocale locale;
  if (!locale.Active()) GTEST_SKIP() << "no locale with a decimal comma can be set up here";
  EXPECT_EQ(FormatSize(1536), "1.50 KB");
  EXPECT_EQ(FormatSize(int64_t{5} << 40), "5120.00 GB");
  EXPECT_EQ(FloatToStrDot(2.5), "2.5");
  EXPECT_EQ(FloatToStrDot(-1.5e-7L), "-1.5E-7");
}

TEST(RootNamesTest, ShortNamesLongNamesAndKeys) {
  EXPECT_EQ(RootIndexFromName("hkcu"), 1);
  EXPECT_EQ(RootIndexFromName("HKCR"), 2);
  EXPECT_EQ(RootIndexFromName("HkU"), 3);
  EXPECT_EQ(RootIndexFromName("hkcc"), 4);
  EXPECT_EQ(RootIndexFromName("HKEY_CURRENT_USER"), 0);
  EXPECT_EQ(RootIndexFromName("HKXX"), 0);
  EXPECT_EQ(RootLongName(0), "HKEY_LOCAL_MACHINE");
  EXPECT_EQ(RootLongName(4), "HKEY_CURRENT_CONFIG");
  EXPECT_EQ(RootLongName(5), "!ERROR!");
  EXPECT_EQ(RootLongName(-1), "!ERROR!");
  EXPECT_EQ(RootKeyFromIndex(1), platform::RootKey::kCurrentUser);
  EXPECT_EQ(RootKeyFromIndex(2), platform::RootKey::kClassesRoot);
  EXPECT_FALSE(RootKeyFromIndex(5).has_value());
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(RootIndexFromName(RootShortName(i)), i);
    EXPECT_EQ(platform::RootLongName(*RootKeyFromIndex(i)), RootLongName(i));
  }
}

TEST(SmallHelpersTest, BackslashSplitAndIntegerParsing) {
  EXPECT_EQ(IncludeTrailingBackslash(""), "");
  EXPECT_EQ(IncludeTrailingBackslash("C:\\x"), "C:\\x\\");
  EXPECT_EQ(IncludeTrailingBackslash("C:\\x\\"), "C:\\x\\");

  EXPECT_EQ(SplitNameValue("a=b=c").name, "a");
  EXPECT_EQ(SplitNameValue("a=b=c").value, "b=c");
  EXPECT_EQ(SplitNameValue("plain").name, "");
  EXPECT_EQ(SplitNameValue("plain").value, "plain");
  EXPECT_EQ(SplitNameValueStrict("plain").value, "");
  EXPECT_EQ(SplitNameValueStrict("=C:=C:\\").name, "");
  EXPECT_EQ(SplitNameValueStrict("=C:=C:\\").value, "C:=C:\\");

  EXPECT_EQ(StrToIntOrMinusOne("42"), 42);
  EXPECT_EQ(StrToIntOrMinusOne(" -7 "), -7);
  EXPECT_EQ(StrToIntOrMinusOne("+5"), 5);
  EXPECT_EQ(StrToIntOrMinusOne("2147483647"), 2147483647);
  EXPECT_EQ(StrToIntOrMinusOne("2147483648"), -1);
  EXPECT_EQ(StrToIntOrMinusOne(""), -1);
  EXPECT_EQ(StrToIntOrMinusOne("12a"), -1);
  EXPECT_EQ(StrToIntOrMinusOne("+"), -1);
  EXPECT_EQ(StrToIntOrMinusOne("+-5"), -1);
  EXPECT_EQ(StrToIntOrMinusOne("- 5"), -1);
}

}  // namespace
