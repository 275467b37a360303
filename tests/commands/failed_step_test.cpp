// Failed steps: each kind of step that cannot do its work stops the run, names the item with the
// system's reason, and the run is undone, so the machine is exactly as before it. Steps that
// meet a machine as it may be (a name taken, a file missing) go on with a warning instead.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "command_test_env.h"
#include "common/machine_snapshot.h"
#include "platform/registry.h"
#include "setup/core/run_log.h"

namespace command_test {
namespace {

struct FailedStepCase {
  const char* name;
  const char* line;     // the failing line, between two lines that succeed
  const char* message;  // what the message box says; "@" stands for the host folder of C:
};

class FailedStepTest : public CommandTest, public ::testing::WithParamInterface<FailedStepCase> {
 protected:
  // The machine before the run: an install folder with files (one read-only), a file where a
  // folder is wanted, a folder where a link is wanted, and a registry value.
  void PrepareMachine() {
    WriteFile(C("Demo/keep.txt"), "keep");
    WriteFile(C("Demo/taken.txt"), "taken");
    WriteFile(C("Demo/locked.txt"), "locked");
    chmod(C("Demo/locked.txt").c_str(), 0444);
    WriteFile(C("Demo/blocker"), "a file");
    fs::create_directories(C("Demo/Link.lnk"));
    platform::RegSetString(platform::RootKey::kCurrentUser, "Software\\Demo", "Kept", "old");
    // A registry root that is a folder cannot be written.
    fs::create_directories(root_ + "/registry/HKCC.reg");
  }
};

TEST_P(FailedStepTest, StopsNamesTheItemAndLeavesTheMachineAsItWas) {
  PrepareMachine();
  const setupkit_test::MachineSnapshot before = setupkit_test::TakeSnapshot(root_);
  CompileAndRun(std::string("prefix Demo\n"
                            "createdirectory $INSTDIR\\Made\\Deeper\n"
                            "writeregstr HKCU Software\\Demo Kept new\n"
                            "writeregstr HKCU Software\\Demo\\Sub Added x\n"
                            "copyfile $INSTDIR\\keep.txt $INSTDIR\\taken.txt\n") +
                GetParam().line + "\ncreatedirectory $INSTDIR\\After\n");
  ASSERT_TRUE(errors_.empty()) << errors_[0];
  EXPECT_TRUE(SetupState::Instance().StopRequested());
  EXPECT_FALSE(SetupState::Instance().CancelRequested());
  EXPECT_EQ(platform::Utf16ToUtf8(second_status_->Text()), "Setup failed to install.");
  ASSERT_EQ(presenter_->Messages().size(), 1u);
  EXPECT_EQ(presenter_->Messages()[0].caption, "Setup Error");
  EXPECT_EQ(presenter_->Messages()[0].text, WithHostFolder(GetParam().message));
  // Everything the lines before made or changed is undone, the replaced file byte for byte.
  const setupkit_test::MachineSnapshot after = setupkit_test::TakeSnapshot(root_);
  EXPECT_TRUE(before == after) << setupkit_test::SnapshotDifference(before, after);
  EXPECT_TRUE(fs::is_empty(root_ + "/rollback"));
}

INSTANTIATE_TEST_SUITE_P(
    EachKindOfStep, FailedStepTest,
    ::testing::Values(
        FailedStepCase{"DeleteOfAReadOnlyFile", "delete $INSTDIR\\locked.txt",
                       "Cannot delete C:\\Demo\\locked.txt (@/Demo/locked.txt): Permission denied"},
        FailedStepCase{
            "FolderWhereAFileStands", "createdirectory $INSTDIR\\blocker\\sub",
            "Cannot create folder C:\\Demo\\blocker\\sub (@/Demo/blocker/sub): File exists"},
        FailedStepCase{"LinkWhereAFolderStands",
                       "createshortcut $INSTDIR\\Link.lnk $INSTDIR\\keep.txt \"\"",
                       "Cannot create link C:\\Demo\\Link.lnk (@/Demo/Link.lnk): Is a directory"},
        FailedStepCase{"RegistryValueThatCannotBeWritten", "writeregstr HKCC Software\\X V 1",
                       "Cannot write registry value HKCC\\Software\\X\\V: Is a directory"}),
    [](const ::testing::TestParamInfo<FailedStepCase>& info) { return info.param.name; });

struct GoesOnCase {
  const char* name;
  const char* line;     // the line, between one before and one after it
  const char* warning;  // what the run log and standard error say ("" for nothing); "@" as above
};

class GoesOnTest : public CommandTest, public ::testing::WithParamInterface<GoesOnCase> {};

// Things a script meets on a machine as it is: the run goes on to its end (exit code 0), and
// what did not happen is a warning in the run log and, unattended, on standard error.
TEST_P(GoesOnTest, TheRunGoesOnAndSaysWhatWasNotDone) {
  WriteFile(C("Demo/keep.txt"), "keep");
  WriteFile(C("Demo/taken.txt"), "user's settings");
  const std::string log_path = root_ + "/run.log";
  ASSERT_TRUE(TRunLog::Instance().Open(log_path));
  SetupState::Instance().SetUnattended(true);
  ::testing::internal::CaptureStderr();
  CompileAndRun(std::string("prefix Demo\ncreatedirectory $INSTDIR\\Before\n") + GetParam().line +
                "\ncreatedirectory $INSTDIR\\After\n");
  const std::string err = ::testing::internal::GetCapturedStderr();
  TRunLog::Instance().Close();
  ASSERT_TRUE(errors_.empty()) << errors_[0];
  EXPECT_FALSE(SetupState::Instance().StopRequested());
  EXPECT_TRUE(fs::is_directory(C("Demo/Before")));
  EXPECT_TRUE(fs::is_directory(C("Demo/After")));
  EXPECT_TRUE(presenter_->Messages().empty());
  // The settings file stays as the user left it, and nothing the run did not write is recorded.
  EXPECT_EQ(ReadFile(C("Demo/taken.txt")).value_or(""), "user's settings");
  EXPECT_EQ(ReadFile(C("Demo/keep.txt")).value_or(""), "keep");
  EXPECT_TRUE(TUninstallList::Instance().Files().empty());
  const std::string log = ReadFile(log_path).value_or("");
  const std::string warning = WithHostFolder(GetParam().warning);
  if (warning.empty()) {
    EXPECT_EQ(err, "");
    EXPECT_EQ(log.find("warning: "), std::string::npos) << log;
  } else {
    EXPECT_EQ(err, "setup: warning: " + warning + "\n");
    EXPECT_NE(log.find("  warning: " + warning + "\n"), std::string::npos) << log;
  }
}

INSTANTIATE_TEST_SUITE_P(
    ThingsThatMayBeSo, GoesOnTest,
    ::testing::Values(
        GoesOnCase{"RenameOntoANameThatIsTaken", "rename $INSTDIR\\keep.txt $INSTDIR\\taken.txt",
                   "Cannot rename C:\\Demo\\keep.txt (@/Demo/keep.txt) to C:\\Demo\\taken.txt "
                   "(@/Demo/taken.txt): File exists"},
        GoesOnCase{
            "RenameIntoAMissingFolder", "rename $INSTDIR\\keep.txt $INSTDIR\\Absent\\keep.txt",
            "Cannot rename C:\\Demo\\keep.txt (@/Demo/keep.txt) to C:\\Demo\\Absent\\keep.txt "
            "(@/Demo/Absent/keep.txt): No such file or directory"},
        GoesOnCase{"CopyOfAMissingFile", "copyfile $INSTDIR\\missing.dat $INSTDIR\\taken.txt",
                   "Cannot copy C:\\Demo\\missing.dat (@/Demo/missing.dat) to C:\\Demo\\taken.txt "
                   "(@/Demo/taken.txt): No such file or directory"},
        GoesOnCase{
            "ProgramThatCannotStart", "execute $INSTDIR\\absent.exe",
            "Cannot start C:\\Demo\\absent.exe (@/Demo/absent.exe): No such file or directory"},
        GoesOnCase{"RenameOfAMissingFile", "rename $INSTDIR\\absent.txt $INSTDIR\\other.txt", ""},
        GoesOnCase{"DeleteOfAMissingFile", "delete $INSTDIR\\absent.txt", ""},
        GoesOnCase{"RemovalOfAMissingFolder", "rmdir $INSTDIR\\AbsentFolder 1", ""}),
    [](const ::testing::TestParamInfo<GoesOnCase>& info) { return info.param.name; });

}  // namespace
}  // namespace command_test
