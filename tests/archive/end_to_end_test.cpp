// The archive commands end to end: a script compiled with setupc, the installer run unattended
// by the real runtime, against a pak archive and a VFS container already in the install folder.
#include <gtest/gtest.h>

#include <filesystem>

#include "archive/archive_test_support.h"
#include "archive/pak_read_back.h"
#include "common/program_runner.h"
#include "setup/archive/pak_contents.h"
#include "setup/vfs/vfs_contents.h"
#include "setup/vfs/vfs_file.h"
#include "setup/vfs/vfs_tree.h"

namespace {

using archive_test::Exists;
using archive_test::ReadBytes;
using archive_test::ScratchFolder;
using archive_test::WriteBytes;

class ArchiveEndToEndTest : public ::testing::Test {
 protected:
  // Runs a command line in the scratch folder; answers the exit code, keeps stdout and stderr.
  int Run(const std::string& command) {
    setupkit_test::ProgramOptions options;
    options.working_folder = dir_.str();
    // No desktop entries: they would go into the real home folder.
    options.env = {{"SETUP_ROOT", dir_ / "root"},
                   {"QT_QPA_PLATFORM", "offscreen"},
                   {"SETUP_NO_DESKTOP_ENTRIES", "1"}};
    const setupkit_test::ProgramResult result = setupkit_test::RunShell(command, options);
    EXPECT_FALSE(result.timed_out) << command;
    out_ = result.out;
    err_ = result.err;
    return result.exit_code;
  }
  std::string Bin(const std::string& program) {
    const std::string path = setupkit_test::BinPath(program);
    EXPECT_TRUE(Exists(path)) << program << " is not built";
    return setupkit_test::ShellQuote(path);
  }

  ScratchFolder dir_;
  std::string out_, err_;
};

TEST_F(ArchiveEndToEndTest, ScriptUpdatesArchiveAndContainerInTheInstallFolder) {
  const std::string install = dir_ / "root/drive_c/Games/Demo";
  std::filesystem::create_directories(install);
  pak::NewArchiveOptions options;
  options.password = "Secret7";
  WriteBytes(install + "/game.qxp", pak::BuildArchive({{"old.txt", "old"}}, options));
  TVFSFile::CreateEmptyContainer(install + "/data.vfs", {'G', 'V', 'F', 'S'}, "demo", 256, 512, 8);

  std::filesystem::create_directories(dir_ / "update/textures");
  WriteBytes(dir_ / "update/a.txt", "alpha");
  WriteBytes(dir_ / "update/textures/t.dds", std::string(9000, 't'));
  std::filesystem::create_directories(dir_ / "levels/maps");
  WriteBytes(dir_ / "levels/maps/one.dat", "one");
  std::filesystem::create_directories(dir_ / "levels2/maps");
  WriteBytes(dir_ / "levels2/maps/two.dat", std::string(60000, '2'));
  WriteBytes(dir_ / "archives.setup",
             "name \"Archive Demo\"\r\n"
             "shortname ArchiveDemo\r\n"
             "outfile demo.exe\r\n"
             "installdir \"C:\\Games\\Demo\\\"\r\n"
             "pages install\r\n"
             "language install\\english\r\n"
             "qxpupdate update\\ Secret7 game.qxp\r\n"
             "qxpofficial game.qxp PELKRAV true\r\n"
             "duplicateentry game.qxp a.txt textures\\copy.txt\r\n"
             "vfsupdate levels\\ data.vfs 0\r\n"
             "vfsupdate levels2\\ data.vfs\r\n");
  std::filesystem::create_directories(dir_ / "out");
  ASSERT_EQ(Run(Bin("setupc") + " -o out archives.setup"), 0) << err_;
  ASSERT_TRUE(Exists(dir_ / "out/demo.exe")) << out_;
  ASSERT_EQ(Run("./out/demo.exe --unattended --dir='C:\\Games\\Demo'"), 0) << out_ << err_;

  const std::string bytes = ReadBytes(install + "/game.qxp");
  auto archive = archive_test::ReadArchiveBytes(bytes);
  ASSERT_TRUE(archive);
  EXPECT_EQ(archive->password, "Secret7");
  EXPECT_EQ(archive->official, 1);
  ASSERT_NE(archive->Find("textures\\t.dds"), nullptr);
  EXPECT_EQ(archive_test::ReadZlibEntry(bytes, *archive->Find("textures\\t.dds")),
            std::string(9000, 't'));
  ASSERT_NE(archive->Find("textures\\copy.txt"), nullptr);
  EXPECT_EQ(archive->Find("textures\\copy.txt")->offset, archive->Find("a.txt")->offset);
  EXPECT_NE(archive->Find("old.txt"), nullptr);
  EXPECT_FALSE(Exists(install + "/game.qxp.journal"));

  EXPECT_TRUE(vfs::VerifyContainer(install + "/data.vfs").empty());
  TVFSFile container;
  container.OpenContainer(install + "/data.vfs", true);
  EXPECT_GE(container.Tree().FindPath("maps\\one.dat"), 0);
  EXPECT_GE(container.Tree().FindPath("maps\\two.dat"), 0);
}

// The errors that end an update reach the runtime's top, which shows their message and ends
// with their exit code; the archive is as it was.
TEST_F(ArchiveEndToEndTest, ArchiveErrorsEndTheInstallerWithTheirMessageAndCode) {
  struct Case {
    std::string archive_name;  // the archive the script names; only game.qxp exists
    std::string password;
    int exit_code;
    std::string shown;
  } cases[] = {
      // On the console the box's \r is a line break and the caption is not said twice.
      {"game.qxp", "Wrong1", 2, "Error Incorrect Password\nFile: game.qxp\n"},
      {"gone.qxp", "Secret7", 1, "Error: File not found: \"C:\\Games\\Demo\\gone.qxp\"."},
  };
  std::filesystem::create_directories(dir_ / "update");
  WriteBytes(dir_ / "update/a.txt", "alpha");
  std::filesystem::create_directories(dir_ / "out");
  const std::string install = dir_ / "root/drive_c/Games/Demo";
  pak::NewArchiveOptions options;
  options.password = "Secret7";
  const std::string archive = pak::BuildArchive({{"old.txt", "old"}}, options);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.archive_name);
    std::filesystem::remove_all(install);
    std::filesystem::create_directories(install);
    WriteBytes(install + "/game.qxp", archive);
    WriteBytes(dir_ / "archives.setup",
               "name \"Archive Demo\"\r\n"
               "outfile demo.exe\r\n"
               "installdir \"C:\\Games\\Demo\\\"\r\n"
               "pages install\r\n"
               "language install\\english\r\n"
               "qxpupdate update\\ " +
                   c.password + " " + c.archive_name + "\r\n");
    ASSERT_EQ(Run(Bin("setupc") + " -o out archives.setup"), 0) << err_;
    EXPECT_EQ(Run("./out/demo.exe --unattended"), c.exit_code) << out_ << err_;
    EXPECT_NE(err_.find(c.shown), std::string::npos) << err_;
    EXPECT_EQ(err_.find("Error Report"), std::string::npos) << err_;
    EXPECT_EQ(ReadBytes(install + "/game.qxp"), archive);
    EXPECT_FALSE(Exists(install + "/game.qxp.journal"));
  }
}

}  // namespace
