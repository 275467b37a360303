// The run side of the archive commands on compiled lines, against a real package and archives
// in a Windows-style install folder.
#include "setup/commands/archive_runs.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "archive/archive_test_support.h"
#include "archive/pak_read_back.h"
#include "platform/message_box.h"
#include "setup/archive/pak_contents.h"
#include "setup/commands/vfs_update.h"
#include "setup/core/ciphers.h"
#include "setup/core/compiled_lines.h"
#include "setup/core/pak.h"
#include "setup/core/setup_info.h"
#include "setup/core/setup_state.h"
#include "setup/vfs/vfs_contents.h"
#include "setup/vfs/vfs_file.h"
#include "setup/vfs/vfs_tree.h"

namespace {

using archive_test::ReadArchiveBytes;
using archive_test::ReadBytes;
using archive_test::ScratchFolder;
using archive_test::WriteBytes;

TCompLine Line(std::vector<std::string> arguments) {
  TCompLine line;
  line.CommandID = 1;
  line.SetArguments(std::move(arguments));
  return line;
}

class ArchiveRunsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    old_root_ = getenv("SETUP_ROOT") ? getenv("SETUP_ROOT") : "";
    setenv("SETUP_ROOT", root_.str().c_str(), 1);
    std::filesystem::create_directories(root_ / "drive_c/Games/Test");
    std::ofstream(root_ / "drives") << "C: fixed " << root_ / "drive_c"
                                    << "\n";
    install_ = root_ / "drive_c/Games/Test";

    SetupState& state = SetupState::Instance();
    state.Reset();
    state.SetupInfo().InstallDir = "C:\\Games\\Test";
    // Group 1 for the pak archive, groups 2 and 3 for the VFS container.
    const std::string package = root_ / "package.bin";
    {
      TPak writer(package, true, false);
      auto add = [&](const std::string& name, uint16_t group, const std::string& content) {
        int index = writer.AddEntry(name, "", group);
        ASSERT_TRUE(writer.StoreFromMemory(index, content.data(), content.size()));
      };
      add("SetupInfo", 0, "x");
      add("a.txt", 1, "alpha");
      add("sub\\b.txt", 1, std::string(5000, 'b'));
      add("maps\\one.dat", 2, "one");
      add("maps\\two.dat", 3, "two");
      ASSERT_TRUE(writer.WriteDirectory());
    }
    state.package = std::make_unique<TPak>(package, false, false);
    ASSERT_EQ(state.package->CountInGroup(1), 2);

    WriteBytes(install_ + "/game.qxp", pak::BuildArchive({{"old.txt", "old"}}, {}));
    vfs_test_container_ = install_ + "/data.vfs";
    TVFSFile::CreateEmptyContainer(vfs_test_container_, {'V', 'F', 'S', '1'}, "", 128, 64, 4);
  }
  void TearDown() override {
    CloseOpenVfsContainer();
    SetupState::Instance().Reset();
    if (old_root_.empty()) {
      unsetenv("SETUP_ROOT");
    } else {
      setenv("SETUP_ROOT", old_root_.c_str(), 1);
    }
  }
  archive_test::ReadArchive Archive() {
    auto a = ReadArchiveBytes(ReadBytes(install_ + "/game.qxp"));
    EXPECT_TRUE(a);
    return a ? *a : archive_test::ReadArchive();
  }

  ScratchFolder root_;
  std::string old_root_, install_, vfs_test_container_;
};

TEST_F(ArchiveRunsTest, QxpLinesUpdateTheArchiveWithDecipheredArguments) {
  const std::string password = "p\xE4ss\xFF";  // bytes above 127 survive the round trip
  const std::string enciphered = EncryptWithDigitKey(kUpdateKey, password);
  TCompLine update = Line({"files", enciphered, "game.qxp", "1"});
  RunQxpUpdate(update);
  auto a = Archive();
  EXPECT_EQ(a.password, password);
  ASSERT_EQ(a.records.size(), 3u);
  EXPECT_EQ(a.records[2].name, "sub\\b.txt");
  // The line keeps its enciphered argument, so reaching it again works the same way.
  EXPECT_EQ(update.Arg(1), enciphered);
  RunQxpUpdate(update);
  EXPECT_EQ(Archive().records.size(), 3u);

  TCompLine official = Line({"game.qxp", EncryptWithDigitKey(kUpdateKey, "PELKRAV"), "true"});
  RunQxpOfficial(official);
  EXPECT_EQ(Archive().official, 1);
  TCompLine plain_code = Line({"game.qxp", "pelkrav", "0"});  // not enciphered: wrong code
  RunQxpOfficial(plain_code);
  EXPECT_EQ(Archive().official, 1);

  TCompLine duplicate = Line({"game.qxp", "A.TXT", "Copy.txt"});
  RunDuplicateEntry(duplicate);
  a = Archive();
  ASSERT_NE(a.Find("copy.txt"), nullptr);
  EXPECT_EQ(a.Find("copy.txt")->offset, a.Find("a.txt")->offset);
  EXPECT_EQ(a.password, password);
}

TEST_F(ArchiveRunsTest, VfsLinesKeepTheContainerOpenOnlyWhenAsked) {
  TCompLine first = Line({"maps1", "data.vfs", "0", "2"});
  RunVfsUpdate(first);
  ASSERT_NE(OpenVfsContainer(), nullptr);
  TCompLine second = Line({"maps2", "DATA.VFS", "3"});  // no flag: closed after the line
  RunVfsUpdate(second);
  EXPECT_EQ(OpenVfsContainer(), nullptr);
  for (const std::string& p : vfs::VerifyContainer(vfs_test_container_)) ADD_FAILURE() << p;
  TVFSFile f;
  f.OpenContainer(vfs_test_container_, true);
  EXPECT_GE(f.Tree().FindPath("maps\\one.dat"), 0);
  EXPECT_GE(f.Tree().FindPath("maps\\two.dat"), 0);
  f.CloseContainer();

  // A container the last line left open is finalised when the run ends.
  TCompLine last = Line({"maps1", "data.vfs", "0", "3"});
  RunVfsUpdate(last);
  ASSERT_NE(OpenVfsContainer(), nullptr);
  CloseOpenVfsContainer();
  EXPECT_EQ(OpenVfsContainer(), nullptr);
  EXPECT_TRUE(vfs::VerifyContainer(vfs_test_container_).empty());
}

TEST_F(ArchiveRunsTest, MissingContainerStopsTheRun) {
  auto presenter = std::make_shared<platform::ScriptedPresenter>();
  platform::SetPresenter(presenter);
  TCompLine line = Line({"maps1", "other.vfs", "2"});
  RunVfsUpdate(line);
  platform::SetPresenter(std::make_shared<platform::UnattendedPresenter>());
  ASSERT_EQ(presenter->Messages().size(), 1u);
  EXPECT_EQ(presenter->Messages()[0].caption, "VFS Error");
  EXPECT_TRUE(SetupState::Instance().StopRequested());
}

}  // namespace
