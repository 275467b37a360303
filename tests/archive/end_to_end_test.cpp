// The archive commands end to end: a script compiled with setupc, the installer run unattended
// by the real runtime, against a pak archive and a VFS container already in the install folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

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

// The archive commands inside the run's transaction: a failure placed at every step of an
// install that updates a pak archive and a VFS container, and a kill at a sample of them, leave
// both (and the container's hash file) byte for byte as they were, once the run is undone or the
// next start has recovered it; a script's own failure line keeps the updates.
class ArchiveTransactionTest : public ArchiveEndToEndTest {
 protected:
  void SetUp() override {
    install_ = dir_ / "root/drive_c/Games/Demo";
    std::filesystem::create_directories(dir_ / "update/textures");
    WriteBytes(dir_ / "update/a.txt", "alpha");
    WriteBytes(dir_ / "update/textures/t.dds", std::string(9000, 't'));
    std::filesystem::create_directories(dir_ / "levels/maps");
    WriteBytes(dir_ / "levels/maps/one.dat", "one");
    std::filesystem::create_directories(dir_ / "out");
  }
  void Compile(const std::string& last_line) {
    WriteBytes(dir_ / "archives.setup",
               "name \"Archive Demo\"\r\nshortname ArchiveDemo\r\noutfile demo.exe\r\n"
               "installdir \"C:\\Games\\Demo\\\"\r\npages install\r\n"
               "language install\\english\r\n"
               "qxpupdate update\\ Secret7 game.qxp\r\n"
               "qxpofficial game.qxp PELKRAV true\r\n"
               "vfsupdate levels\\ data.vfs 0\r\n" +
                   last_line);
    ASSERT_EQ(Run(Bin("setupc") + " -o out archives.setup"), 0) << err_;
  }
  // The archives as a user has them; answers their bytes (archive, container, hash file).
  std::vector<std::string> PlaceArchives() {
    std::filesystem::remove_all(dir_ / "root");
    std::filesystem::create_directories(install_);
    pak::NewArchiveOptions options;
    options.password = "Secret7";
    WriteBytes(install_ + "/game.qxp", pak::BuildArchive({{"old.txt", "old"}}, options));
    TVFSFile::CreateEmptyContainer(install_ + "/data.vfs", {'G', 'V', 'F', 'S'}, "demo", 256, 64,
                                   8);
    TVFSFile container;
    container.OpenContainer(install_ + "/data.vfs", true);
    container.FinaliseContainer(false);
    container.CloseContainer();
    return Archives();
  }
  std::vector<std::string> Archives() const {
    std::vector<std::string> bytes;
    for (const char* name : {"/game.qxp", "/data.vfs", "/data.ht"}) {
      bytes.push_back(Exists(install_ + name) ? ReadBytes(install_ + name) : "(none)");
    }
    return bytes;
  }
  std::vector<std::string> FolderNames() const {
    std::vector<std::string> names;
    for (const auto& item : std::filesystem::directory_iterator(install_)) {
      names.push_back(item.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  int Install(const std::string& fault) {
    return Run((fault.empty() ? std::string() : "SETUP_FAULT=" + fault + " ") +
               "./out/demo.exe --unattended");
  }

  std::string install_;
};

TEST_F(ArchiveTransactionTest, EveryFailedOrKilledStepPutsTheArchivesBackExactly) {
  Compile("writeregstr HKCU Software\\Demo Done yes\r\n");
  const std::vector<std::string> original = PlaceArchives();
  const std::vector<std::string> names = FolderNames();
  ASSERT_EQ(Run("SETUP_FAULT_TALLY=" + (dir_ / "tally") + " ./out/demo.exe --unattended"), 0)
      << err_;
  const std::vector<std::string> updated_names = FolderNames();
  ASSERT_TRUE(Archives() != original);
  long long steps = 0;
  // Steps after the last record written to the run's journal (its commit) only finish a run
  // that is complete.
  long long commit_step = 0;
  {
    std::ifstream tally(dir_ / "tally");
    tally >> steps;
    std::string line;
    for (long long n = 0; std::getline(tally, line); ++n) {
      if (line.find(" write ") != std::string::npos && line.find(".journal") != std::string::npos &&
          line.find("/rollback/") != std::string::npos) {
        commit_step = n;
      }
    }
  }
  ASSERT_GT(steps, 5);
  ASSERT_GT(commit_step, 0);
  int failed = 0;
  for (long long n = 1; n <= steps; ++n) {
    SCOPED_TRACE("step " + std::to_string(n));
    PlaceArchives();
    const int code = Install(std::to_string(n) + ":ENOSPC");
    if (code == 0) continue;  // a failure the run works around, or one after its commit
    ++failed;
    // 2 for a failed step; 1 where the archive cannot be opened (its Retry/Cancel box is
    // answered Cancel when unattended).
    EXPECT_TRUE(code == 1 || code == 2) << err_;
    EXPECT_TRUE(Archives() == original);
    EXPECT_EQ(FolderNames(), names);
  }
  EXPECT_GT(failed, steps / 2);
  // Killed: the next start puts the archives back before its own run, says so, and its run
  // (failed at once here) leaves them as they were.
  int said_put_back = 0;
  for (long long n = 1; n <= steps; n += 3) {
    SCOPED_TRACE("killed at step " + std::to_string(n));
    PlaceArchives();
    EXPECT_NE(Install(std::to_string(n) + ":kill"), 0);
    EXPECT_EQ(Install("1:EIO"), 2) << err_;
    // A kill after the commit record leaves a finished install, which the next start completes.
    if (n > commit_step) {
      EXPECT_TRUE(vfs::VerifyContainer(install_ + "/data.vfs").empty());
      EXPECT_EQ(FolderNames(), updated_names);
    } else {
      EXPECT_TRUE(Archives() == original);
      EXPECT_EQ(FolderNames(), names);
    }
    if (err_.find(" archive files put back as they were") != std::string::npos) ++said_put_back;
  }
  EXPECT_GT(said_put_back, 0);
}

TEST_F(ArchiveTransactionTest, TheScriptsOwnFailureLineKeepsTheUpdates) {
  Compile("failure\r\n");
  const std::vector<std::string> original = PlaceArchives();
  EXPECT_EQ(Install(""), 2) << err_;
  const std::vector<std::string> kept = Archives();
  EXPECT_NE(kept[0], original[0]);
  EXPECT_NE(kept[1], original[1]);
  EXPECT_TRUE(vfs::VerifyContainer(install_ + "/data.vfs").empty());
  EXPECT_FALSE(Exists(install_ + "/game.qxp.journal"));
  for (const std::string& name : FolderNames()) {
    EXPECT_EQ(name.find(".setup-rollback-"), std::string::npos) << name;
  }
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
