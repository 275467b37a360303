// The system commands run through the library: registry values and URL protocols in the hive and
// their records, shell links read back, execute waiting for its child, message and messagebox.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "command_test_env.h"
#include "common/machine_snapshot.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "setup/commands/cmd_execute.h"
#include "setup/commands/cmd_message.h"
#include "setup/commands/cmd_writeregstr.h"

namespace command_test {
namespace {

using platform::RootKey;

class SystemCommandsTest : public CommandTest {
 protected:
  // A shell script in the install folder that the platform starts as a program.
  void WriteProgram(const std::string& name, const std::string& body) {
    WriteFile(C("Demo/" + name), "#!/bin/sh\n" + body + "\n");
    fs::permissions(C("Demo/" + name), fs::perms::owner_all, fs::perm_options::add);
  }
};

TEST_F(SystemCommandsTest, WriteRegStrWritesExpandedAndRecordsAsWritten) {
  CompileAndRun(
      "writeregstr HKCU Software\\Test Path $INSTDIR\\bin\n"
      "writeregstr HKXX Software\\Odd \"\" value\n");
  ASSERT_TRUE(errors_.empty()) << errors_[0];
  EXPECT_EQ(platform::RegGetString(RootKey::kCurrentUser, "Software\\Test", "Path"),
            "C:\\Demo\\bin");
  // An unknown root writes under HKEY_LOCAL_MACHINE but keeps its name in the record.
  EXPECT_EQ(platform::RegGetString(RootKey::kLocalMachine, "Software\\Odd", ""), "value");
  EXPECT_EQ(TUninstallList::Instance().RegistryEntries(),
            (std::vector<std::string>{"\"HKCU\" \"Software\\Test\" \"Path\" \"$INSTDIR\\bin\"",
                                      "\"HKXX\" \"Software\\Odd\" \"\" \"value\""}));
}

TEST_F(SystemCommandsTest, WriteRegStrRunTwiceIsRecordedOnceAndMissingArgumentsAreEmpty) {
  TWriteRegStrCommand command;
  TCompLine line;
  line.SetArguments({"HKCU", "Software\\Twice", "N", "v"});
  command.SFXProcess(line, 0);
  command.SFXProcess(line, 0);
  TCompLine short_line;
  short_line.SetArguments({"HKCU", "Software\\Short"});
  command.SFXProcess(short_line, 0);
  EXPECT_EQ(TUninstallList::Instance().RegistryEntries(),
            (std::vector<std::string>{"\"HKCU\" \"Software\\Twice\" \"N\" \"v\"",
                                      "\"HKCU\" \"Software\\Short\" \"\" \"\""}));
  EXPECT_EQ(platform::RegGetString(RootKey::kCurrentUser, "Software\\Short", ""), "");
}

TEST_F(SystemCommandsTest, WriteRegStrUrlRegistersTheProtocolAndRecordsRemovableValues) {
  CompileAndRun(
      "writeregstr_url badge $INSTDIR\\badge.ico $INSTDIR\\Medalor.exe %1 --open\n"
      "writeregstr_url plain $INSTDIR\\p.ico $INSTDIR\\p.exe\n");
  ASSERT_TRUE(errors_.empty()) << errors_[0];
  const RootKey hkcr = RootKey::kClassesRoot;
  EXPECT_EQ(platform::RegGetString(hkcr, "badge", ""), "URL:badge Protocol");
  EXPECT_EQ(platform::RegGetString(hkcr, "badge", "URL Protocol"), "");
  EXPECT_EQ(platform::RegGetString(hkcr, "badge\\DefaultIcon", ""), "C:\\Demo\\badge.ico");
  EXPECT_EQ(platform::RegGetString(hkcr, "badge\\shell\\open\\command", ""),
            "\"C:\\Demo\\Medalor.exe\" \"%1\" \"--open\"");
  EXPECT_EQ(platform::RegGetString(hkcr, "plain\\shell\\open\\command", ""), "\"C:\\Demo\\p.exe\"");

  const std::vector<std::string> records(TUninstallList::Instance().RegistryEntries().begin(),
                                         TUninstallList::Instance().RegistryEntries().begin() + 4);
  EXPECT_EQ(records, (std::vector<std::string>{
                         "\"HKCR\" \"badge\" \"\" \"\"", "\"HKCR\" \"badge\" \"URL Protocol\" \"\"",
                         "\"HKCR\" \"badge\\DefaultIcon\\\" \"\" \"\"",
                         "\"HKCR\" \"badge\\shell\\open\\command\\\" \"\" \"\""}));
  // The records name exactly the values the protocol wrote, so removal deletes them.
  for (const std::string& record : records) {
    EXPECT_TRUE(TUninstallList::DeleteRegistryEntry(record)) << record;
  }
  EXPECT_FALSE(platform::RegValueExists(hkcr, "badge\\DefaultIcon", ""));
  EXPECT_FALSE(platform::RegValueExists(hkcr, "badge\\shell\\open\\command", ""));
  EXPECT_FALSE(platform::RegValueExists(hkcr, "badge", "URL Protocol"));
}

TEST_F(SystemCommandsTest, WriteRegStrUrlWhoseKeyCannotBeWrittenEndsInTheErrorReportUndone) {
  platform::RegSetString(RootKey::kCurrentUser, "Software\\Before", "Kept", "old");
  // A registry root that is a folder cannot be written.
  fs::create_directories(root_ + "/registry/HKCR.reg");
  const setupkit_test::MachineSnapshot before = setupkit_test::TakeSnapshot(root_);
  CompileAndRun(
      "writeregstr HKCU Software\\Before Kept new\n"
      "writeregstr_url badge $INSTDIR\\badge.ico $INSTDIR\\Medalor.exe\n"
      "createdirectory $INSTDIR\\after\n");
  ASSERT_EQ(errors_.size(), 1u);
  EXPECT_EQ(errors_[0], "Setup Thread: Cannot write registry key HKCR\\badge: Is a directory");
  EXPECT_EQ(raised_[0].Ending(), ErrorEnding::kErrorReport);
  const setupkit_test::MachineSnapshot after = setupkit_test::TakeSnapshot(root_);
  EXPECT_TRUE(before == after) << setupkit_test::SnapshotDifference(before, after);
}

// Values are texts, not paths: a '/' in them stays, while paths given to the file system take
// it as a separator.
TEST_F(SystemCommandsTest, ValuesKeepTheirSlashesAndPathsTakeThemAsSeparators) {
  const std::string out = C("Demo/args.out").string();
  WriteProgram("args.sh", "printf '%s|' \"$@\" > '" + out + "'");
  CompileAndRun(
      "writeregstr HKCU Software\\X Cmd \"$INSTDIR\\app.exe /min\"\n"
      "writeregstr_url badge $INSTDIR\\b.ico $INSTDIR\\b.exe /open\n"
      "createshortcut $INSTDIR\\Go.lnk $INSTDIR/args.sh \"/min /x:a/b\"\n"
      "messagebox \"Read C:/docs/a.txt\" \"1/2\" 0 0\n"
      "createdirectory $INSTDIR/made/deeper\n"
      "execute $INSTDIR/args.sh \"/S /D=C:/x\"\n");
  ASSERT_TRUE(errors_.empty()) << errors_[0];
  EXPECT_EQ(platform::RegGetString(RootKey::kCurrentUser, "Software\\X", "Cmd"),
            "C:\\Demo\\app.exe /min");
  EXPECT_EQ(platform::RegGetString(RootKey::kClassesRoot, "badge\\shell\\open\\command", ""),
            "\"C:\\Demo\\b.exe\" \"/open\"");
  std::optional<platform::ShellLink> link = platform::ReadShellLink("C:\\Demo\\Go.lnk");
  ASSERT_TRUE(link.has_value());
  EXPECT_EQ(link->target, "C:\\Demo\\args.sh");
  EXPECT_EQ(link->arguments, "/min /x:a/b");
  ASSERT_EQ(presenter_->Messages().size(), 1u);
  EXPECT_EQ(presenter_->Messages()[0].text, "Read C:/docs/a.txt");
  EXPECT_EQ(presenter_->Messages()[0].caption, "1/2");
  EXPECT_TRUE(fs::is_directory(C("Demo/made/deeper")));
  EXPECT_EQ(TUninstallList::Instance().Folders().back(), "C:\\Demo\\made\\deeper");
  EXPECT_EQ(ReadFile(out), "/S|/D=C:/x|");
}

TEST_F(SystemCommandsTest, CreateShortcutWritesALinkWithItsFields) {
  SetupState::Instance().sm_programs = "C:\\users\\tester\\Start Menu\\Programs\\";
  CompileAndRun(
      "createshortcut \"$SMPROGRAMS\\Badges\\Editor.lnk\" $INSTDIR\\Medalor.exe \"--sheet a.png\" "
      "$INSTDIR\\editor.ico\n"
      "createshortcut $INSTDIR\\Plain.lnk $INSTDIR\\Medalor.exe \"\"\n"
      "createshortcut $INSTDIR\\Same.lnk $INSTDIR\\Medalor.exe \"\" $INSTDIR\\Medalor.exe\n");
  ASSERT_TRUE(errors_.empty()) << errors_[0];
  std::optional<platform::ShellLink> link =
      platform::ReadShellLink("C:\\users\\tester\\Start Menu\\Programs\\Badges\\Editor.lnk");
  ASSERT_TRUE(link.has_value());
  EXPECT_EQ(link->target, "C:\\Demo\\Medalor.exe");
  EXPECT_EQ(link->arguments, "--sheet a.png");
  EXPECT_EQ(link->working_directory, "C:\\Demo\\");
  EXPECT_EQ(link->show_command, 1);
  EXPECT_EQ(link->icon_location, "C:\\Demo\\editor.ico");
  EXPECT_EQ(link->icon_index, 0);
  for (const char* name : {"C:\\Demo\\Plain.lnk", "C:\\Demo\\Same.lnk"}) {
    std::optional<platform::ShellLink> plain = platform::ReadShellLink(name);
    ASSERT_TRUE(plain.has_value()) << name;
    EXPECT_EQ(plain->icon_location, "") << name;
  }
  const TUninstallList& list = TUninstallList::Instance();
  // The Start-menu folder value ends in a backslash, so none follows the variable.
  EXPECT_EQ(list.Files().front(), "$SMPROGRAMSBadges\\Editor.lnk");
  EXPECT_NE(std::find(list.Folders().begin(), list.Folders().end(),
                      "C:\\users\\tester\\Start Menu\\Programs\\Badges\\"),
            list.Folders().end());
}

TEST_F(SystemCommandsTest, ExecuteWaitsForTheChildAndPassesParameters) {
  const std::string out = C("Demo/child.out").string();
  WriteProgram("child.sh", "sleep 0.2\nprintf '%s|%s' \"$1\" \"$2\" > '" + out + "'");
  CompileAndRun(
      "execute $INSTDIR\\child.sh \"first second\"\n"
      "createdirectory $INSTDIR\\after\n");
  ASSERT_TRUE(errors_.empty()) << errors_[0];
  // The file exists when execute returned, so the run waited for the child to end.
  EXPECT_EQ(ReadFile(out), "first|second");
  EXPECT_TRUE(fs::exists(C("Demo/after")));
  EXPECT_EQ(SetupState::Instance().CompiledLines()[0].Arguments[0], "C:\\Demo\\child.sh");
}

TEST_F(SystemCommandsTest, ExecuteLeavesItsWaitWhenTheRunIsStopped) {
  const std::string out = C("Demo/late.out").string();
  WriteProgram("slow.sh", "sleep 4\n{ echo late > '" + out + "'; } 2>/dev/null");
  TExecuteCommand command;
  TCompLine line;
  line.SetArguments({"$INSTDIR\\slow.sh"});
  std::thread stopper([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    SetupState::Instance().RequestStop();
  });
  command.SFXProcess(line, 0);
  stopper.join();
  // Back before the child wrote its file.
  EXPECT_FALSE(fs::exists(out));
}

TEST_F(SystemCommandsTest, MessageExpandsLanguageTokensAndMessageboxShowsThemLiterally) {
  CompileAndRun(
      "message <LANG21>\n"
      "message \"<LANG22> at $INSTDIR\"\n"
      "message \"broken <LANG\"\n"
      "messagebox <LANG21> \"Setup of $INSTDIR\" 0 0\n");
  ASSERT_TRUE(errors_.empty()) << errors_[0];
  const std::vector<std::string> texts = StatusTexts();
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[0], "Installing the badge editor");
  EXPECT_EQ(texts[1], "Text with Installing the badge editor inside at $INSTDIR");
  EXPECT_EQ(texts[2], "broken <LANG");
  const std::vector<platform::ScriptedPresenter::Shown> shown = presenter_->Messages();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, "<LANG21>");
  EXPECT_EQ(shown[0].caption, "Setup of C:\\Demo");
  EXPECT_EQ(shown[0].flags, platform::kMbOkCancel | platform::kMbIconQuestion);
}

class MessageBoxAnswerTest : public SystemCommandsTest,
                             public ::testing::WithParamInterface<int> {};

TEST_P(MessageBoxAnswerTest, EachAnswerJumpsToItsLabel) {
  presenter_->QueueAnswer(GetParam());
  CompileAndRun(
      "messagebox \"Install the extras?\" Extras yes no\n"
      "no:\n"
      "createdirectory $INSTDIR\\declined\n"
      "goto end\n"
      "yes:\n"
      "createdirectory $INSTDIR\\accepted\n"
      "end:\n");
  ASSERT_TRUE(errors_.empty()) << errors_[0];
  const bool ok = GetParam() == platform::kIdOk;
  EXPECT_EQ(fs::exists(C("Demo/accepted")), ok);
  EXPECT_EQ(fs::exists(C("Demo/declined")), !ok);
}

INSTANTIATE_TEST_SUITE_P(OkAndCancel, MessageBoxAnswerTest,
                         ::testing::Values(platform::kIdOk, platform::kIdCancel));

TEST_F(SystemCommandsTest, MessageboxTargetOnLineZeroNeverJumps) {
  presenter_->QueueAnswer(platform::kIdOk);
  CompileAndRun(
      "top:\n"
      "messagebox question caption top 0\n"
      "createdirectory $INSTDIR\\reached\n");
  ASSERT_TRUE(errors_.empty()) << errors_[0];
  EXPECT_TRUE(fs::exists(C("Demo/reached")));
  EXPECT_EQ(presenter_->Messages().size(), 1u);
}

}  // namespace
}  // namespace command_test
