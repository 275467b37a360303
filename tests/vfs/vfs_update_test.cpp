#include "setup/commands/vfs_update.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "common/program_runner.h"
#include "platform/message_box.h"
#include "setup/archive/group_source.h"
#include "setup/core/setup_error.h"
#include "setup/vfs/vfs_contents.h"
#include "setup/vfs/vfs_file.h"
#include "setup/vfs/vfs_tree.h"
#include "vfs/vfs_test_support.h"

namespace {

using archive_test::Exists;
using archive_test::ReadBytes;
using archive_test::ScratchFolder;
using archive_test::WriteBytes;
using Files = std::vector<std::pair<std::string, std::string>>;

int RunTool(const std::string& arguments) {
  const std::string tool = setupkit_test::BinPath("setup-archive");
  EXPECT_TRUE(Exists(tool)) << "setup-archive is not built";
  const setupkit_test::ProgramResult result = setupkit_test::RunShell(tool + " " + arguments);
  EXPECT_FALSE(result.timed_out) << arguments;
  return result.exit_code;
}

class VfsUpdateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    vfs_test::MakeContainer(dir_ / "data.vfs", 128, 256, 8);
    presenter_ = std::make_shared<platform::ScriptedPresenter>();
    platform::SetPresenter(presenter_);
  }
  void TearDown() override {
    CloseOpenVfs(progress_);
    platform::SetPresenter(std::make_shared<platform::UnattendedPresenter>());
  }
  std::string Content(const std::string& path) {
    TVFSFile f;
    f.OpenContainer(dir_ / "data.vfs", true);
    int node = f.Tree().FindPath(path);
    if (node < 0) return "<missing>";
    const auto& entry = f.Tree().Node(node).entry;
    return vfs::ExpandStoredBytes(entry, f.ReadEntryData(entry).Bytes()).value_or("<damaged>");
  }

  ScratchFolder dir_;
  archive_test::RecordingProgress progress_;
  std::shared_ptr<platform::ScriptedPresenter> presenter_;
};

TEST_F(VfsUpdateTest, GroupGoesInWithProgressAndTheContainerIsFinalised) {
  TMemoryGroupSource group(
      {{"maps\\a.dat", "A"}, {"maps\\b.dat", std::string(70000, 'b')}, {"readme.txt", "R"}});
  VfsUpdate(group, dir_.str(), "data.vfs", true, progress_);
  EXPECT_EQ(OpenVfsContainer(), nullptr);
  std::vector<std::u16string> expected = {u"Loading data.vfs",
                                          u"Processing data.vfs: 0 of 3 files",
                                          u"Processing data.vfs: 0 of 3 files",
                                          u"Processing data.vfs: 1 of 3 files",
                                          u"Processing data.vfs: 2 of 3 files",
                                          u"Writing header of data.vfs"};
  EXPECT_EQ(progress_.statuses, expected);
  EXPECT_EQ(progress_.steps, (std::vector<bool>{false, true, true}));
  EXPECT_EQ(Content("maps\\b.dat"), std::string(70000, 'b'));
  EXPECT_EQ(RunTool("vfs verify " + dir_ / "data.vfs"), 0);
  EXPECT_TRUE(presenter_->Messages().empty());

  // The checker notices a changed data byte (checksum) and a changed hash file.
  std::string bytes = ReadBytes(dir_ / "data.vfs");
  bytes[bytes.size() - 1] ^= 1;
  WriteBytes(dir_ / "data.vfs", bytes);
  EXPECT_EQ(RunTool("vfs verify " + dir_ / "data.vfs"), 2);
  bytes[bytes.size() - 1] ^= 1;
  WriteBytes(dir_ / "data.vfs", bytes);
  EXPECT_EQ(RunTool("vfs verify " + dir_ / "data.vfs"), 0);
  std::string hash = ReadBytes(dir_ / "data.ht");
  hash[8] ^= 1;
  WriteBytes(dir_ / "data.ht", hash);
  EXPECT_EQ(RunTool("vfs verify " + dir_ / "data.vfs"), 2);
}

TEST_F(VfsUpdateTest, ContainerLeftOpenIsFinalisedWhenTheNextLineOpensItAgain) {
  TMemoryGroupSource first(Files{{"a.dat", "first"}});
  TMemoryGroupSource second(Files{{"b.dat", "second"}});
  const std::string header_before = ReadBytes(dir_ / "data.vfs").substr(0, 44);
  VfsUpdate(first, dir_.str(), "data.vfs", false, progress_);
  ASSERT_NE(OpenVfsContainer(), nullptr);
  // Open: blocks are written, the header (used count, checksum) and hash file are not.
  EXPECT_EQ(ReadBytes(dir_ / "data.vfs").substr(0, 44), header_before);
  EXPECT_FALSE(Exists(dir_ / "data.ht"));

  VfsUpdate(second, dir_.str(), "data.vfs", true, progress_);
  EXPECT_EQ(OpenVfsContainer(), nullptr);
  EXPECT_EQ(std::count(progress_.statuses.begin(), progress_.statuses.end(),
                       u"Writing header of data.vfs"),
            2);
  EXPECT_EQ(Content("a.dat"), "first");
  EXPECT_EQ(Content("b.dat"), "second");
  EXPECT_TRUE(vfs::VerifyContainer(dir_ / "data.vfs").empty());

  // The end of the run finalises a container the last line left open.
  VfsUpdate(first, dir_.str(), "data.vfs", false, progress_);
  CloseOpenVfs(progress_);
  EXPECT_EQ(OpenVfsContainer(), nullptr);
  EXPECT_TRUE(vfs::VerifyContainer(dir_ / "data.vfs").empty());
}

TEST_F(VfsUpdateTest, MissingContainerIsReportedOnceAndStopsTheRun) {
  TMemoryGroupSource group(Files{{"a.dat", "a"}});
  VfsUpdate(group, dir_.str(), "nothing.vfs", true, progress_);
  auto shown = presenter_->Messages();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, "Error: Unable to find <nothing.vfs>");
  EXPECT_EQ(shown[0].caption, "VFS Error");
  EXPECT_EQ(shown[0].flags & platform::kMbButtonMask, platform::kMbOk);
  EXPECT_EQ(progress_.second_statuses, std::vector<std::u16string>{u"Setup failed to install."});
  EXPECT_TRUE(progress_.stop_requested);
  EXPECT_FALSE(Exists(dir_ / "nothing.vfs"));

  VfsUpdate(group, dir_.str(), "data.vfs", true, progress_);
  EXPECT_EQ(Content("a.dat"), "a");
  EXPECT_EQ(presenter_->Messages().size(), 1u);
}

TEST_F(VfsUpdateTest, EmptyGroupDoesNothingEvenForAMissingContainer) {
  TMemoryGroupSource empty;
  VfsUpdate(empty, dir_.str(), "nothing.vfs", true, progress_);
  EXPECT_TRUE(presenter_->Messages().empty());
  EXPECT_FALSE(progress_.stop_requested);
  EXPECT_TRUE(progress_.statuses.empty());
}

TEST_F(VfsUpdateTest, ErrorDuringTheWalkLeavesAFinalisedContainerAndGoesOn) {
  archive_test::SecondEntryUnreadable group({{"a.dat", "a"}, {"b.dat", "b"}});
  EXPECT_THROW(VfsUpdate(group, dir_.str(), "data.vfs", false, progress_), SetupError);
  EXPECT_EQ(OpenVfsContainer(), nullptr);
  EXPECT_EQ(Content("a.dat"), "a");
  EXPECT_TRUE(vfs::VerifyContainer(dir_ / "data.vfs").empty());
}

}  // namespace
