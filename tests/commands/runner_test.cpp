// The script runner: the line loop with jumps and failure, the closing steps with the install
// log and the uninstaller call point, robustness against odd compiled lines, error routing and
// the thread's idle life.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "command_test_env.h"
#include "common/machine_snapshot.h"
#include "platform/registry.h"
#include "setup/core/crc32.h"

namespace command_test {
namespace {

class RunnerTest : public CommandTest {};

TEST_F(RunnerTest, JumpsSteerTheRunAndTheClosingStepsSaveTheLog) {
  int uninstaller_calls = 0;
  CompileAndRun(
      "name Demo\n"                                     // 0
      "prefix Demo\n"                                   // 1
      "uninstallpages plain\n"                          // 2
      "createdirectory $INSTDIR\\first\n"               // 3
      "goto skip\n"                                     // 4
      "createdirectory $INSTDIR\\skipped\n"             // 5
      "skip:\n"                                         // 6
      "iffileexists $INSTDIR\\marker.txt 0 nomarker\n"  // 7
      "createdirectory $INSTDIR\\hasmarker\n"           // 8
      "nomarker:\n"                                     // 9
      "goto 10\n"                                       // 10: numeric target, runs line 11 next
      "writeregstr HKCU Software\\Flow Step done\n",    // 11
      [&uninstaller_calls] { ++uninstaller_calls; });
  ASSERT_TRUE(errors_.empty()) << errors_[0];
  EXPECT_TRUE(fs::is_directory(C("Demo/first")));
  EXPECT_FALSE(fs::exists(C("Demo/skipped")));
  EXPECT_FALSE(fs::exists(C("Demo/hasmarker")));
  EXPECT_FALSE(SetupState::Instance().StopRequested());
  EXPECT_EQ(SetupState::Instance().CurrentLine(), 11);
  EXPECT_EQ(uninstaller_calls, 1);
  // The committed run leaves no journal behind.
  EXPECT_TRUE(fs::is_empty(root_ + "/rollback"));

  // The install log was saved and reads back with what the run recorded.
  ASSERT_TRUE(fs::exists(C("Demo/Demo_install.log")));
  TUninstallList& list = TUninstallList::Instance();
  const std::vector<std::string> folders = list.Folders();
  const std::vector<std::string> records = list.RegistryEntries();
  list.Clear();
  ASSERT_TRUE(list.LoadLog("C:\\Demo", "Demo_"));
  EXPECT_EQ(list.Folders(), folders);
  EXPECT_EQ(list.RegistryEntries(), records);
  EXPECT_EQ(list.Folders().back(), "C:\\Demo\\first");
  EXPECT_EQ(records, std::vector<std::string>{"\"HKCU\" \"Software\\Flow\" \"Step\" \"done\""});
}

TEST_F(RunnerTest, AFailureLineStopsTheRunKeepsWhatItDidAndRunsTheClosingSteps) {
  platform::RegSetString(platform::RootKey::kCurrentUser, "Software\\Flow", "Step", "before");
  int uninstaller_calls = 0;
  CompileAndRun(
      "name Demo\n"
      "prefix Demo\n"
      "uninstallpages plain\n"
      "createdirectory $INSTDIR\\first\n"
      "writeregstr HKCU Software\\Flow Step done\n"
      "writeregstr HKCU Software\\Flow\\New Value x\n"
      "failure\n"
      "createdirectory $INSTDIR\\afterfailure\n",
      [&uninstaller_calls] { ++uninstaller_calls; });
  ASSERT_TRUE(errors_.empty()) << errors_[0];
  EXPECT_TRUE(SetupState::Instance().StopRequested());
  EXPECT_FALSE(SetupState::Instance().StepFailed());
  EXPECT_EQ(SetupState::Instance().CurrentLine(), 6);
  EXPECT_EQ(platform::Utf16ToUtf8(second_status_->Text()), "Setup failed to install.");
  EXPECT_TRUE(second_status_->Calls().back().repaint);
  // Kept: what the lines before did stays, the lines after did not run.
  EXPECT_TRUE(fs::is_directory(C("Demo/first")));
  EXPECT_FALSE(fs::exists(C("Demo/afterfailure")));
  EXPECT_EQ(platform::RegGetString(platform::RootKey::kCurrentUser, "Software\\Flow", "Step"),
            "done");
  EXPECT_EQ(platform::RegGetString(platform::RootKey::kCurrentUser, "Software\\Flow\\New", "Value"),
            "x");
  // The closing steps ran: the install log lists it all and the uninstaller was written; the
  // journal was committed.
  EXPECT_EQ(uninstaller_calls, 1);
  TUninstallList& list = TUninstallList::Instance();
  list.Clear();
  ASSERT_TRUE(list.LoadLog("C:\\Demo", "Demo_"));
  EXPECT_EQ(list.Folders().back(), "C:\\Demo\\first");
  EXPECT_EQ(list.RegistryEntries().size(), 2u);
  EXPECT_TRUE(fs::is_empty(root_ + "/rollback"));
  // A failure line names nothing: it shows its own text only.
  EXPECT_TRUE(presenter_->Messages().empty());
}

TEST_F(RunnerTest, AFailedClosingStepAfterAFailureLineUndoesTheRun) {
  // The install log cannot be written (a folder stands where it goes): a failed step of the
  // kit's own, so even a run the script stopped is undone.
  fs::create_directories(C("Demo/Demo_install.log"));
  const setupkit_test::MachineSnapshot before = setupkit_test::TakeSnapshot(root_);
  CompileAndRun(
      "prefix Demo\n"
      "uninstallpages plain\n"
      "createdirectory $INSTDIR\\first\n"
      "failure\n");
  ASSERT_TRUE(errors_.empty()) << errors_[0];
  EXPECT_TRUE(SetupState::Instance().StepFailed());
  const setupkit_test::MachineSnapshot after = setupkit_test::TakeSnapshot(root_);
  EXPECT_TRUE(before == after) << setupkit_test::SnapshotDifference(before, after);
  ASSERT_EQ(presenter_->Messages().size(), 1u);
  EXPECT_EQ(presenter_->Messages()[0].text.rfind("Cannot write C:\\Demo\\Demo_install.log", 0), 0u)
      << presenter_->Messages()[0].text;
}

TEST_F(RunnerTest, ConditionTakesTheExistsBranchAndALastLineLabelEndsTheRun) {
  WriteFile(C("Demo/marker.txt"), "m");
  CompileAndRun(
      "iffileexists $INSTDIR\\marker.txt present 0\n"
      "createdirectory $INSTDIR\\absent\n"
      "present:\n"
      "createdirectory $INSTDIR\\present\n"
      "goto end\n"
      "createdirectory $INSTDIR\\never\n"
      "end:\n");
  ASSERT_TRUE(errors_.empty()) << errors_[0];
  EXPECT_TRUE(fs::exists(C("Demo/present")));
  EXPECT_FALSE(fs::exists(C("Demo/absent")));
  EXPECT_FALSE(fs::exists(C("Demo/never")));
  EXPECT_FALSE(SetupState::Instance().StopRequested());
}

TEST_F(RunnerTest, WithoutCreateUninstallerNoLogAndNoUninstallerButTheFolderExists) {
  int uninstaller_calls = 0;
  CompileAndRun("name Demo\nprefix Demo\n; nothing to run\n",
                [&uninstaller_calls] { ++uninstaller_calls; });
  ASSERT_TRUE(errors_.empty()) << errors_[0];
  EXPECT_EQ(uninstaller_calls, 0);
  EXPECT_TRUE(fs::is_directory(C("Demo")));
  EXPECT_FALSE(fs::exists(C("Demo/Demo_install.log")));
}

TEST_F(RunnerTest, OnlyRegisteredIdsWithALineIndexInsideTheScriptAreDispatched) {
  TCompLines& lines = SetupState::Instance().CompiledLines();
  auto add = [&lines](int32_t id, int32_t index, std::vector<std::string> arguments) {
    TCompLine line;
    line.CommandID = id;
    line.LineIndex = index;
    line.SetArguments(std::move(arguments));
    lines.Add(line);
  };
  add(33, 0, {"C:\\Demo\\id33"});
  add(-7, 1, {"C:\\Demo\\negative"});
  add(13, 99, {"C:\\Demo\\far"});
  add(13, -2, {"C:\\Demo\\below"});
  add(13, 6, {"C:\\Demo\\unused"});      // runs with the arguments of line 6
  add(9, 5, {"HKCU", "Software\\Few"});  // missing arguments read as empty texts
  add(0, 6, {"C:\\Demo\\through6"});
  add(1, 7, {});  // goto without its argument: no jump
  add(13, 8, {"C:\\Demo\\last"});
  Run();
  ASSERT_TRUE(errors_.empty()) << errors_[0];
  EXPECT_FALSE(fs::exists(C("Demo/id33")));
  EXPECT_FALSE(fs::exists(C("Demo/negative")));
  EXPECT_FALSE(fs::exists(C("Demo/far")));
  EXPECT_FALSE(fs::exists(C("Demo/below")));
  EXPECT_FALSE(fs::exists(C("Demo/unused")));
  EXPECT_TRUE(fs::exists(C("Demo/through6")));
  EXPECT_TRUE(fs::exists(C("Demo/last")));
  EXPECT_EQ(platform::RegGetString(platform::RootKey::kCurrentUser, "Software\\Few", ""), "");
}

TEST_F(RunnerTest, AnEscapingErrorGoesToTheReportAsSetupThread) {
  // A compressed entry whose zlib stream is broken (its CRC is right) makes inflating fail.
  ExtraEntry broken;
  broken.name = "broken.bin";
  broken.group = 1;
  broken.blob.stored = std::string(64, '\x55');
  broken.blob.full_size = 1000;
  broken.blob.compressed = true;
  broken.blob.crc = ComputeCrc32(broken.blob.stored.data(), broken.blob.stored.size());
  CompileAndRun("file nothing\\\ncreatedirectory $INSTDIR\\after\n", nullptr, {broken});
  ASSERT_EQ(errors_.size(), 1u);
  EXPECT_EQ(errors_[0].rfind("Setup Thread: ", 0), 0u) << errors_[0];
  EXPECT_FALSE(fs::exists(C("Demo/after")));
}

TEST_F(RunnerTest, LogCommandsSaveAndLoadAtTheNamedPlace) {
  CompileAndRun(
      "createdirectory $INSTDIR\\kept\n"
      "createdirectory $INSTDIR\\logs\n"
      "uninstalllogsave $INSTDIR\\logs Custom_\n"
      "createdirectory $INSTDIR\\later\n"
      "uninstalllogload $INSTDIR\\nowhere Custom_\n"
      "uninstalllogload $INSTDIR\\logs Custom_\n");
  ASSERT_TRUE(errors_.empty()) << errors_[0];
  ASSERT_TRUE(fs::exists(C("Demo/logs/Custom_install.log")));
  // Loading a missing log changed nothing; loading the saved one dropped what came after it.
  const std::vector<std::string>& folders = TUninstallList::Instance().Folders();
  EXPECT_EQ(folders.back(), "C:\\Demo\\logs");
  EXPECT_NE(std::find(folders.begin(), folders.end(), "C:\\Demo\\kept"), folders.end());
  EXPECT_EQ(std::find(folders.begin(), folders.end(), "C:\\Demo\\later"), folders.end());
}

TEST_F(RunnerTest, QuitWhileIdleEndsTheThreadAndRunsCanFollowEachOther) {
  auto runner = std::make_unique<TSetupThread>();
  EXPECT_FALSE(runner->RunRequested());
  runner->RequestStop();
  runner->WaitFor();
  EXPECT_TRUE(runner->QuitRequested());

  // A run after a finished one works on the lines as they are then.
  CompileAndRun("createdirectory $INSTDIR\\one\n");
  SetupState::Instance().CompiledLines()[0].Arguments[0] = "$INSTDIR\\two";
  Run();
  EXPECT_TRUE(fs::exists(C("Demo/one")));
  EXPECT_TRUE(fs::exists(C("Demo/two")));
}

}  // namespace
}  // namespace command_test
