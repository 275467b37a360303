// The compile side: script text, definition commands, labels, groups, folder scans, the stored
// compiled lines and the ciphered archive arguments.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "command_test_env.h"
#include "setup/archive/pak_system.h"
#include "setup/core/ciphers.h"

namespace command_test {
namespace {

using Kind = TScriptLine::Kind;

TEST(ScriptTextTest, SplitsWordsLabelsCommentsAndLineEnds) {
  const std::vector<TScriptLine> lines = ParseScriptText(
      "name \"Badge Editor\"\r\n"
      "; a comment\n"
      "\n"
      "  # another\r"
      "start:\n"
      "FILE \"Program Files\"\\a  b\t\"\"\n"
      "\"quoted:\"\n"
      "last line without end");
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_EQ(lines[0].kind, Kind::kCommand);
  EXPECT_EQ(lines[0].words, (std::vector<std::string>{"name", "Badge Editor"}));
  EXPECT_EQ(lines[1].kind, Kind::kNone);
  EXPECT_EQ(lines[2].kind, Kind::kNone);
  EXPECT_EQ(lines[3].kind, Kind::kNone);
  EXPECT_EQ(lines[4].kind, Kind::kLabel);
  EXPECT_EQ(lines[4].words, (std::vector<std::string>{"start"}));
  EXPECT_EQ(lines[5].words, (std::vector<std::string>{"FILE", "Program Files\\a", "b", ""}));
  // A quoted word ending in a colon is a command word, not a label.
  EXPECT_EQ(lines[6].kind, Kind::kCommand);
  EXPECT_EQ(lines[7].words.size(), 4u);
}

TEST(ScriptTextTest, Utf8ScriptsBecomeWindows1252) {
  const std::vector<TScriptLine> lines =
      ParseScriptText("name \"Editor \xC4\x8C\x65sky \xC3\xA9\"\n");
  ASSERT_EQ(lines.size(), 1u);
  // U+00E9 exists in Windows-1252; U+010C does not and becomes '?'.
  EXPECT_EQ(lines[0].words[1], "Editor ?esky \xE9");
}

TEST(ScriptTextTest, SplitFirstWordKeepsTheRestFromTheSeparator) {
  std::string word;
  std::string rest;
  SplitFirstWord("  \"Program Files\"\\a b  ", word, rest);
  EXPECT_EQ(word, "Program Files\\a");
  EXPECT_EQ(rest, " b");
  SplitFirstWord("single", word, rest);
  EXPECT_EQ(word, "single");
  EXPECT_EQ(rest, "");
}

class CompilerTest : public CommandTest {
 protected:
  void MakeSource(const std::string& relative, const std::string& content = "x") {
    WriteFile(Host("src/" + relative), content);
  }
  static std::vector<std::string> Entries(const TScriptCompiler& compiler, uint16_t group) {
    std::vector<std::string> names;
    for (const TPackFile& file : compiler.FilesToPack()) {
      if (file.group == group) names.push_back(file.entry_name);
    }
    return names;
  }
  static std::string ErrorList(const TScriptCompiler& compiler) {
    std::string text;
    for (const TCompileMessage& error : compiler.Errors()) {
      text += std::to_string(error.line) + ": " + error.text + "\n";
    }
    return text;
  }
};

TEST_F(CompilerTest, DefinitionCommandsFillTheRecord) {
  MakeSource("changes.txt");
  auto compiler = CompileText(
      "shortname Short\n"
      "name \"Badge Editor\"\n"
      "shortname Badges\n"
      "outfile BadgeSetup.exe\n"
      "installdir $PROGRAMFILES\\Badges\n"
      "installdirregkey HKCU Software\\A Dir1\n"
      "installdirregkey hklm Software\\B Dir2\n"
      "installdirregkey HKCR Software\\C Dir3\n"
      "installdirregkey HKXX Software\\D Dir4\n"
      "installdirregkey HKU Software\\E Dir5\n"
      "installdirregkey HKCC Software\\F Dir6\n"
      "changelog changes.txt\n"
      "pages modern\n"
      "uninstallpages plain\n"
      "prefix Demo\n");
  ASSERT_TRUE(compiler->Errors().empty()) << ErrorList(*compiler);
  const TSetupInfoFile& info = compiler->SetupInfo();
  EXPECT_EQ(info.SetupName, "Badge Editor");
  EXPECT_EQ(info.ShortName, "Badges");
  EXPECT_EQ(info.SetupExeName, "BadgeSetup.exe");
  EXPECT_EQ(info.InstallDir, "$PROGRAMFILES\\Badges");
  EXPECT_EQ(info.Changelog, "changes.txt");
  EXPECT_EQ(info.PagesName, "modern");
  EXPECT_EQ(info.UninstallPagesName, "plain");
  EXPECT_EQ(info.CreateUninstaller, 1);
  EXPECT_EQ(info.IsUninstaller, 0);
  EXPECT_EQ(info.UninstallPrefix, "Demo_");
  EXPECT_EQ(info.UninstallExeName, "Demo_Uninstall.exe");
  // Slots 0-3 hold the first four lines; the last line overwrote slot 4.
  const std::vector<std::pair<int, std::string>> slots = {
      {1, "Dir1"}, {0, "Dir2"}, {2, "Dir3"}, {0, "Dir4"}, {4, "Dir6"}};
  for (size_t i = 0; i < slots.size(); ++i) {
    EXPECT_EQ(info.InstallDirRegKey[i].HKEY, slots[i].first) << i;
    EXPECT_EQ(info.InstallDirRegKey[i].Key, slots[i].second) << i;
  }
  EXPECT_EQ(info.InstallDirRegKey[4].Path, "Software\\F");
  // The change log is packed in group 0 under its entry name.
  EXPECT_EQ(Entries(*compiler, 0), std::vector<std::string>{"changes.txt"});
  EXPECT_EQ(compiler->ChangelogSource(), Host("src/changes.txt").string());
  // Definition lines are stored empty; the record is the same after its own round trip.
  const TCompLines stored = compiler->StoredLines();
  for (const TCompLine& line : stored.Lines) EXPECT_EQ(line, TCompLine::Empty());
  TSetupInfoFile read;
  const std::string bytes = compiler->SetupInfoBytes();
  read.ReadFromBuffer(bytes.data(), bytes.size());
  EXPECT_EQ(read, info);
}

TEST_F(CompilerTest, ChangelogWithoutSourceFolderGetsALeadingBackslash) {
  WriteFile(Host("scripts/notes.txt"), "changes");
  TScriptCompiler compiler;
  compiler.WorkingFolder = root_ + "/scripts";
  compiler.DataFolder = root_ + "/data";
  ASSERT_TRUE(compiler.Compile(ParseScriptText("changelog notes.txt\n"))) << ErrorList(compiler);
  EXPECT_EQ(compiler.SetupInfo().Changelog, "\\notes.txt");
  ASSERT_EQ(compiler.FilesToPack().size(), 1u);
  EXPECT_EQ(compiler.FilesToPack()[0].entry_name, "\\notes.txt");
  EXPECT_EQ(compiler.FilesToPack()[0].source_path, Host("scripts/notes.txt").string());

  TScriptCompiler missing;
  missing.WorkingFolder = root_ + "/scripts";
  EXPECT_FALSE(missing.Compile(ParseScriptText("changelog gone.txt\n")));
}

TEST_F(CompilerTest, LabelsResolveFirstForGotoAndLastForConditions) {
  auto compiler = CompileText(
      "goto end\n"                         // 0
      "iffileexists C:\\x.txt End end\n"   // 1
      "messagebox text caption end End\n"  // 2
      "end:\n"                             // 3
      "name X\n"                           // 4
      "End:\n"                             // 5
      "goto 5\n"                           // 6
      "iffileexists C:\\x.txt 0 0\n"       // 7
      "messagebox a b 0 start\n"           // 8
      "start:\n"                           // 9
      "goto nowhere\n");                   // 10
  const TCompLines& lines = compiler->Lines();
  EXPECT_EQ(lines[0].Arguments[0], "3");
  EXPECT_EQ(lines[1].Arguments[1], "5");
  EXPECT_EQ(lines[1].Arguments[2], "5");
  EXPECT_EQ(lines[2].Arguments[2], "5");
  EXPECT_EQ(lines[2].Arguments[3], "5");
  EXPECT_EQ(lines[6].Arguments[0], "5");
  EXPECT_EQ(lines[7].Arguments[1], "-1");
  EXPECT_EQ(lines[7].Arguments[2], "-1");
  EXPECT_EQ(lines[8].Arguments[2], "-1");
  EXPECT_EQ(lines[8].Arguments[3], "9");
  // Label lines keep id 0 with the name as their only argument.
  EXPECT_EQ(lines[3].CommandID, 0);
  EXPECT_EQ(lines[3].Arguments, std::vector<std::string>{"end"});
  ASSERT_EQ(compiler->Errors().size(), 1u) << ErrorList(*compiler);
  EXPECT_EQ(compiler->Errors()[0].line, 11);
  EXPECT_EQ(compiler->Errors()[0].text, "Label not found - nowhere");
  EXPECT_EQ(compiler->ErrorText(), "Label not found - nowhere");
  EXPECT_EQ(compiler->ErrorLine(), 11);
}

TEST_F(CompilerTest, EveryErrorIsReportedWithItsLine) {
  auto compiler = CompileText(
      "name Demo\n"
      "frobnicate now\n"
      "writeregstr HKCU Software\\X Name\n"
      "goto\n"
      "iffileexists a.txt missing 0\n"
      "FILE\n"
      "failure whatever it says\n");
  EXPECT_FALSE(compiler->Errors().empty());
  ASSERT_EQ(compiler->Errors().size(), 5u) << ErrorList(*compiler);
  EXPECT_EQ(compiler->Errors()[0].line, 2);
  EXPECT_EQ(compiler->Errors()[0].text, "Unknown command - frobnicate");
  EXPECT_EQ(compiler->Errors()[1].line, 3);
  EXPECT_EQ(compiler->Errors()[1].text, "Too few arguments for writeregstr - needs 4, has 3");
  EXPECT_EQ(compiler->Errors()[2].line, 4);
  EXPECT_EQ(compiler->Errors()[2].text, "Too few arguments for goto - needs 1, has 0");
  EXPECT_EQ(compiler->Errors()[3].line, 5);
  EXPECT_EQ(compiler->Errors()[3].text, "Label not found - missing");
  EXPECT_EQ(compiler->Errors()[4].line, 6);
}

TEST_F(CompilerTest, GroupsAreNumberedAcrossFileQxpupdateAndVfsupdate) {
  MakeSource("app/a.txt");
  MakeSource("pak/b.txt");
  MakeSource("vfs/c.txt");
  MakeSource("single.dat");
  auto compiler = CompileText(
      "file app\\\n"
      "name X\n"
      "qxpupdate pak\\ secret Data.pak\n"
      "vfsupdate vfs\\ Game.vfs 0\n"
      "File single.dat Sub HKCU Software\\X Val expected 1\n");
  ASSERT_TRUE(compiler->Errors().empty()) << ErrorList(*compiler);
  const TCompLines& lines = compiler->Lines();
  EXPECT_EQ(lines[0].Arguments, (std::vector<std::string>{"app\\", "1"}));
  EXPECT_EQ(lines[2].Arguments.back(), "2");
  EXPECT_EQ(lines[2].ArgCount, 4);
  EXPECT_EQ(lines[3].Arguments, (std::vector<std::string>{"vfs\\", "Game.vfs", "0", "3"}));
  EXPECT_EQ(lines[4].Arguments.size(), 8u);
  EXPECT_EQ(lines[4].Arguments.back(), "4");
  EXPECT_EQ(Entries(*compiler, 1), std::vector<std::string>{"a.txt"});
  EXPECT_EQ(Entries(*compiler, 2), std::vector<std::string>{"b.txt"});
  EXPECT_EQ(Entries(*compiler, 3), std::vector<std::string>{"c.txt"});
  EXPECT_EQ(Entries(*compiler, 4), std::vector<std::string>{"single.dat"});
  EXPECT_EQ(compiler->Groups().size(), 5u);
  EXPECT_EQ(compiler->Groups()[2].name, "data.pak");
}

TEST_F(CompilerTest, NamedGroupsMergeAndTheLastSourceWins) {
  MakeSource("one/a.txt", "a1");
  MakeSource("one/b.txt", "b1");
  MakeSource("two/B.TXT", "b2");
  MakeSource("two/c.txt", "c2");
  std::vector<std::string> notices;
  TScriptCompiler compiler;
  compiler.SourceFolder = root_ + "/src";
  compiler.DataFolder = root_ + "/data";
  compiler.OnNotice = [&notices](const std::string& text) { notices.push_back(text); };
  ASSERT_TRUE(
      compiler.Compile(ParseScriptText("qxpupdate one\\ pw Data.pak\n"
                                       "qxpupdate two\\ pw data.PAK\n"
                                       "file one\\\n"
                                       "file one\\\n")))
      << ErrorList(compiler);
  EXPECT_EQ(Entries(compiler, 1), (std::vector<std::string>{"a.txt", "B.TXT", "c.txt"}));
  EXPECT_TRUE(Entries(compiler, 2).empty());
  std::string b_source;
  for (const TPackFile& file : compiler.FilesToPack()) {
    if (file.entry_name == "B.TXT") b_source = file.source_path;
  }
  EXPECT_EQ(b_source, Host("src/two/B.TXT").string());
  EXPECT_EQ(notices, std::vector<std::string>{"Replacing Previous Instance of B.TXT"});
  ASSERT_EQ(compiler.Notices().size(), 1u);
  EXPECT_EQ(compiler.Notices()[0].line, 2);
  // Unnamed file groups never merge: the same folder is packed once per line.
  EXPECT_EQ(Entries(compiler, 3), (std::vector<std::string>{"a.txt", "b.txt"}));
  EXPECT_EQ(Entries(compiler, 4), (std::vector<std::string>{"a.txt", "b.txt"}));
}

TEST_F(CompilerTest, FolderScanIsBreadthFirstInNtfsOrder) {
  MakeSource("tree/Zeta.txt");
  MakeSource("tree/alpha.txt");
  MakeSource("tree/.hidden");
  MakeSource("tree/sub/inner.txt");
  MakeSource("tree/Beta/x.txt");
  MakeSource("tree/Beta/deep/y.txt");
  std::vector<std::string> progress;
  TScriptCompiler compiler;
  compiler.SourceFolder = root_ + "/src";
  compiler.OnProgress = [&progress](const std::string& text) { progress.push_back(text); };
  ASSERT_TRUE(compiler.Compile(ParseScriptText("file tree\\\n"))) << ErrorList(compiler);
  EXPECT_EQ(Entries(compiler, 1),
            (std::vector<std::string>{".hidden", "alpha.txt", "Zeta.txt", "Beta\\x.txt",
                                      "sub\\inner.txt", "Beta\\deep\\y.txt"}));
  ASSERT_EQ(progress.size(), 6u);
  EXPECT_EQ(progress[1], "Adding To List alpha.txt Current Count: 1");
}

TEST_F(CompilerTest, FolderWithoutFinalBackslashIsAnError) {
  MakeSource("tree/a.txt");
  auto compiler = CompileText("file tree\n");
  ASSERT_EQ(compiler->Errors().size(), 1u);
  EXPECT_EQ(compiler->Errors()[0].text, "Folder needs a final backslash - tree");
  // A missing source would make an installer that installs nothing: each is an error.
  auto missing = CompileText("file nothing\\\nfile none.txt\n");
  ASSERT_EQ(missing->Errors().size(), 2u);
  EXPECT_EQ(missing->Errors()[0].text.rfind("Source not found - nothing\\ (", 0), 0u);
  EXPECT_EQ(missing->Errors()[1].line, 2);
}

TEST_F(CompilerTest, HostFileNameThatWouldClimbOutIsAnError) {
  // On this file system a backslash is an ordinary character of a name.
  MakeSource("tree/..\\..\\escape.txt");
  MakeSource("tree/fine.txt");
  auto compiler = CompileText("name X\nfile tree\\\n");
  ASSERT_EQ(compiler->Errors().size(), 1u);
  EXPECT_EQ(compiler->Errors()[0].line, 2);
  EXPECT_EQ(compiler->Errors()[0].text, "Entry name leaves its folder - ..\\..\\escape.txt");
  EXPECT_EQ(Entries(*compiler, 1), std::vector<std::string>{"fine.txt"});
}

TEST_F(CompilerTest, PageSetIconIsNotPackedAndLanguagesGoToGroupZero) {
  WriteFile(Host("data/layout/modern/icon.ico"), "icon");
  WriteFile(Host("data/layout/modern/Pages.txt"), "pages");
  WriteFile(Host("data/languages/install/english.wri"), EnglishTable());
  WriteFile(Host("data/languages/uninstall/english.wri"), EnglishTable());
  auto compiler = CompileText("pages modern\nfile \"" + root_ +
                              "/data/layout/modern/\"\nlanguage install\\english\n"
                              "uninstalllanguage uninstall\\english\nlanguage czech\n");
  ASSERT_EQ(compiler->Errors().size(), 1u) << ErrorList(*compiler);
  EXPECT_EQ(compiler->Errors()[0].line, 5);
  EXPECT_EQ(Entries(*compiler, 1), std::vector<std::string>{"Pages.txt"});
  EXPECT_EQ(Entries(*compiler, 0),
            (std::vector<std::string>{"LANGUAGE-install\\english",
                                      "UNINSTALL_LANGUAGE-uninstall\\english"}));
  EXPECT_EQ(compiler->Languages(), std::vector<std::string>{"install\\english"});
  EXPECT_EQ(compiler->UninstallLanguages(), std::vector<std::string>{"uninstall\\english"});
  // Language lines keep their ids in the stored script.
  EXPECT_EQ(compiler->StoredLines()[2].CommandID, 18);
  EXPECT_EQ(compiler->StoredLines()[3].CommandID, 23);
}

TEST_F(CompilerTest, StoredLinesHaveTheExactFormat) {
  // One definition line alone: 2 bytes of count and 12 bytes of id, index and count.
  EXPECT_EQ(CompileText("name Demo\n")->StoredLinesBytes(), std::string("\x01\x00"
                                                                        "\xFF\xFF\xFF\xFF"
                                                                        "\xFF\xFF\xFF\xFF"
                                                                        "\x00\x00\x00\x00",
                                                                        14));

  MakeSource("app/a.txt");
  auto compiler = CompileText("; comment\nname Demo\nstart:\nfile app\\\n");
  ASSERT_TRUE(compiler->Errors().empty()) << ErrorList(*compiler);
  const std::string expected = std::string(
      "\x04\x00"
      "\x00\x00\x00\x00"
      "\x00\x00\x00\x00"
      "\x00\x00\x00\x00"
      "\xFF\xFF\xFF\xFF"
      "\xFF\xFF\xFF\xFF"
      "\x00\x00\x00\x00"
      "\x00\x00\x00\x00"
      "\x02\x00\x00\x00"
      "\x01\x00\x00\x00"
      "\x05\x00"
      "start"
      "\x07\x00\x00\x00"
      "\x03\x00\x00\x00"
      "\x02\x00\x00\x00"
      "\x04\x00"
      "app\\"
      "\x01\x00"
      "1",
      2 + 12 + 12 + 12 + 2 + 5 + 12 + 2 + 4 + 2 + 1);
  EXPECT_EQ(compiler->StoredLinesBytes(), expected);
  TCompLines loaded;
  loaded.LoadFromBuffer(expected.data(), expected.size());
  EXPECT_EQ(loaded, compiler->StoredLines());
}

TEST_F(CompilerTest, ArchivePasswordsTravelEncipheredAndSurviveTheRoundTrip) {
  MakeSource("pak/a.txt");
  const std::string password = "p\xE4ss\xFF\x80 w";
  const std::string code = "\xC8\xE9\xFE";
  auto compiler =
      CompileText("qxpupdate pak\\ \"" + password + "\" Data.pak\n" + "qxpofficial Data.pak \"" +
                  code + "\" true\n" + "duplicateentry Data.pak a.txt b.txt\n");
  ASSERT_TRUE(compiler->Errors().empty()) << ErrorList(*compiler);
  const std::string bytes = compiler->StoredLinesBytes();
  EXPECT_EQ(bytes.find(password), std::string::npos);
  TCompLines loaded;
  loaded.LoadFromBuffer(bytes.data(), bytes.size());
  EXPECT_NE(loaded[0].Arguments[1], password);
  EXPECT_EQ(DecryptWithDigitKey(kUpdateKey, loaded[0].Arguments[1]), password);
  EXPECT_EQ(DecryptWithDigitKey(kUpdateKey, loaded[1].Arguments[1]), code);
  EXPECT_EQ(loaded[2].Arguments, (std::vector<std::string>{"Data.pak", "a.txt", "b.txt"}));

  const std::string longest(kMaxPakPassword, 'k');
  EXPECT_TRUE(CompileText("qxpupdate pak\\ " + longest + " D.pak\n")->Errors().empty());
  auto too_long = CompileText("qxpupdate pak\\ " + longest + "k D.pak\n");
  ASSERT_EQ(too_long->Errors().size(), 1u);
  EXPECT_EQ(too_long->Errors()[0].line, 1);
}

TEST(EntryNameTest, NamesThatLeaveTheirFolderAreUnsafe) {
  for (const char* good : {"a.txt", "sub\\b.dat", "x..y", "..hidden", "a\\. .\\b"}) {
    EXPECT_TRUE(TScriptCompiler::IsSafeEntryName(good)) << good;
  }
  for (const char* bad : {"", "..", "..\\x", "a\\..\\..\\x", "a/../x", "\\root.txt", "/etc/passwd",
                          "C:x", "D:\\y", "a\\...\\b", "a\\.. \\b", "a\\..\\"}) {
    EXPECT_FALSE(TScriptCompiler::IsSafeEntryName(bad)) << bad;
  }
}

}  // namespace
}  // namespace command_test
