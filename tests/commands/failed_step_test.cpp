// Failed steps: each kind of step that cannot do its work stops the run, names the item with the
// system's reason, and the run is undone, so the machine is exactly as before it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "command_test_env.h"
#include "common/machine_snapshot.h"
#include "platform/registry.h"

namespace command_test {
namespace {

struct FailedStepCase {
  const char* name;
  const char* line;     // the failing line, between two lines that succeed
  const char* message;  // what the message box says
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
  EXPECT_EQ(presenter_->Messages()[0].text, GetParam().message);
  // Everything the lines before made or changed is undone, the replaced file byte for byte.
  const setupkit_test::MachineSnapshot after = setupkit_test::TakeSnapshot(root_);
  EXPECT_TRUE(before == after) << setupkit_test::SnapshotDifference(before, after);
  EXPECT_TRUE(fs::is_empty(root_ + "/rollback"));
}

INSTANTIATE_TEST_SUITE_P(
    EachKindOfStep, FailedStepTest,
    ::testing::Values(
        FailedStepCase{"CopyOfAMissingFile", "copyfile $INSTDIR\\missing.dat $INSTDIR\\copy.dat",
                       "Cannot copy C:\\Demo\\missing.dat to C:\\Demo\\copy.dat: No such file or "
                       "directory"},
        FailedStepCase{"RenameOntoAFileThatIsThere",
                       "rename $INSTDIR\\keep.txt $INSTDIR\\locked.txt",
                       "Cannot rename C:\\Demo\\keep.txt to C:\\Demo\\locked.txt: File exists"},
        FailedStepCase{"DeleteOfAReadOnlyFile", "delete $INSTDIR\\locked.txt",
                       "Cannot delete C:\\Demo\\locked.txt: Permission denied"},
        FailedStepCase{"FolderWhereAFileStands", "createdirectory $INSTDIR\\blocker\\sub",
                       "Cannot create folder C:\\Demo\\blocker\\sub: File exists"},
        FailedStepCase{"LinkWhereAFolderStands",
                       "createshortcut $INSTDIR\\Link.lnk $INSTDIR\\keep.txt \"\"",
                       "Cannot create link C:\\Demo\\Link.lnk: Is a directory"},
        FailedStepCase{"RegistryValueThatCannotBeWritten", "writeregstr HKCC Software\\X V 1",
                       "Cannot write registry value HKCC\\Software\\X\\V: Is a directory"},
        FailedStepCase{"ProgramThatCannotStart", "execute $INSTDIR\\absent.exe",
                       "Cannot start C:\\Demo\\absent.exe: No such file or directory"}),
    [](const ::testing::TestParamInfo<FailedStepCase>& info) { return info.param.name; });

TEST_F(CommandTest, MissingThingsThatMayBeMissingDoNotFailTheRun) {
  CompileAndRun(
      "rename $INSTDIR\\absent.txt $INSTDIR\\other.txt\n"
      "delete $INSTDIR\\absent.txt\n"
      "rmdir $INSTDIR\\AbsentFolder 1\n"
      "createdirectory $INSTDIR\\After\n");
  ASSERT_TRUE(errors_.empty()) << errors_[0];
  EXPECT_FALSE(SetupState::Instance().StopRequested());
  EXPECT_TRUE(fs::is_directory(C("Demo/After")));
  EXPECT_TRUE(presenter_->Messages().empty());
}

}  // namespace
}  // namespace command_test
