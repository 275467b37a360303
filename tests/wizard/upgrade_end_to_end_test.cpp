// Upgrades with the real programs: version 2 over version 1 takes away what version 2 no longer
// has (a file, a folder, a link and its desktop entry) and keeps the user's own files; the
// uninstaller then leaves nothing; an older version is refused unattended unless allowed; a
// failure or a kill after the clean-up started puts version 1 back whole; --show-log prints the
// log the uninstaller will follow; --log names the values as they were written.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "common/file_bytes.h"
#include "common/machine_snapshot.h"
#include "common/program_runner.h"
#include "common/test_folder.h"
#include "platform/desktop_entry.h"
#include "platform/drives.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "wizard/tiny_product.h"

namespace {

namespace fs = std::filesystem;
using setupkit_test::BinPath;
using setupkit_test::DrivesOnly;
using setupkit_test::kTinyFolder;
using setupkit_test::kTinyUninstallKey;
using setupkit_test::MachineSnapshot;
using setupkit_test::ProgramResult;
using setupkit_test::ReadBytes;
using setupkit_test::RunProgram;
using setupkit_test::SnapshotDifference;
using setupkit_test::TakeSnapshot;
using setupkit_test::WriteBytes;

class UpgradeEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = setupkit_test::FreshTestFolder("setup-upgrade-");
    root_ = base_ / "root";
    setenv("SETUP_ROOT", root_.c_str(), 1);
    unsetenv("SETUP_LANGID");
    unsetenv("SETUP_FAULT");
    unsetenv("SETUP_NO_DESKTOP_ENTRIES");
    setenv("XDG_DATA_HOME", (root_ / "data").c_str(), 1);  // desktop entries below the root
    // Version 1: two programs with a link each, a file beside them, one in a folder of its own.
    v1_ = Compile("v1", "1.0",
                  {{"app.sh", "#!/bin/sh\necho one\n"},
                   {"gone.txt", "gone"},
                   {"olddir/gone2.txt", "gone too"},
                   {"old.sh", "#!/bin/sh\necho old\n"}},
                  "createshortcut \"$SMPROGRAMS\\Tiny\\Old.lnk\" \"$INSTDIR\\old.sh\" \"\"\n");
    // Version 2: the first program only.
    v2_ = Compile("v2", "2.0", {{"app.sh", "#!/bin/sh\necho two\n"}}, "");
    for (auto folder : {platform::ShellFolder::kPrograms, platform::ShellFolder::kDesktop,
                        platform::ShellFolder::kProgramFiles}) {
      platform::GetShellFolder(folder);
    }
    platform::GetTempPath();
    fs::create_directories(platform::ApplicationsFolder());
  }
  void TearDown() override {
    unsetenv("SETUP_FAULT");
    unsetenv("XDG_DATA_HOME");
    std::error_code ignored;
    fs::remove_all(base_, ignored);
  }

  std::string Compile(const std::string& name, const std::string& version,
                      const std::vector<std::pair<std::string, std::string>>& files,
                      const std::string& extra) {
    const fs::path src = base_ / ("src-" + name);
    for (const auto& [file, text] : files) WriteBytes(src / "App" / file, text);
    WriteBytes(src / "tiny.setup",
               "name Tiny\nshortname Tiny\nversion " + version +
                   "\noutfile TinySetup.exe\ninstalldir \"$PROGRAMFILES\\Tiny\\\"\n"
                   "pages install\nuninstallpages uninstall\nprefix Tiny\n"
                   "language install\\english\nuninstalllanguage uninstall\\english\n"
                   "file \"App\\\"\n"
                   "writeregstr HKCU Software\\Tiny Folder $INSTDIR\n"
                   "createshortcut \"$SMPROGRAMS\\Tiny\\App.lnk\" \"$INSTDIR\\app.sh\" \"\"\n" +
                   extra);
    const fs::path out = base_ / ("out-" + name);
    fs::create_directories(out);
    ProgramResult compiled = RunProgram({BinPath("setupc"), "--source", src.string(), "-o",
                                         out.string(), (src / "tiny.setup").string()});
    EXPECT_EQ(compiled.exit_code, 0) << compiled.output;
    return (out / "TinySetup.exe").string();
  }

  static std::string Host(const std::string& windows_path) {
    return platform::ToHostPath(windows_path).value_or("");
  }
  static std::string In(const std::string& name) { return std::string(kTinyFolder) + name; }
  static std::string Menu(const std::string& name) {
    return platform::GetShellFolder(platform::ShellFolder::kPrograms) + "\\Tiny\\" + name;
  }
  int Run(const std::vector<std::string>& args, std::string& output,
          const std::string& fault = "") {
    setupkit_test::ProgramOptions options;
    if (!fault.empty()) options.env = {{"SETUP_FAULT", fault}};
    ProgramResult result = RunProgram(args, options);
    output = result.output;
    return result.exit_code;
  }
  void Uninstall() {
    ProgramResult removed = RunProgram({Host(In("Tiny_Uninstall.exe")), "--unattended"});
    ASSERT_EQ(removed.exit_code, 0) << removed.output;
    for (int i = 0; i < 200 && platform::DirectoryExists(kTinyFolder); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }

  fs::path base_, root_;
  std::string v1_, v2_;
};

TEST_F(UpgradeEndToEndTest, DropsWhatVersion2LacksShowsTheLogAndUninstallLeavesNothing) {
  const MachineSnapshot start = DrivesOnly(TakeSnapshot(root_));
  std::string output;
  ASSERT_EQ(Run({v1_, "--unattended"}, output), 0) << output;
  const fs::path old_entry = fs::path(platform::ApplicationsFolder()) / "setupkit-tiny-old.desktop";
  ASSERT_TRUE(fs::exists(old_entry));
  WriteBytes(Host(kTinyFolder) + "/notes.txt", "mine");

  const fs::path log = base_ / "run.log";
  ASSERT_EQ(Run({v2_, "--unattended", "--log=" + log.string()}, output), 0) << output;
  for (const std::string& gone :
       {In("gone.txt"), In("old.sh"), In("olddir\\gone2.txt"), Menu("Old.lnk")}) {
    EXPECT_FALSE(platform::FileExists(gone)) << gone;
  }
  EXPECT_FALSE(platform::DirectoryExists(In("olddir")));
  EXPECT_EQ(platform::ReadFileBytes(In("app.sh")).value_or(""), "#!/bin/sh\necho two\n");
  EXPECT_TRUE(platform::FileExists(Menu("App.lnk")));
  EXPECT_EQ(platform::ReadFileBytes(In("notes.txt")).value_or(""), "mine");
  EXPECT_FALSE(fs::exists(old_entry));
  EXPECT_EQ(
      platform::RegGetString(platform::RootKey::kLocalMachine, kTinyUninstallKey, "DisplayVersion"),
      "2.0");

  // The run log names what went, and the registry value as written.
  const std::string text = ReadBytes(log);
  for (const std::string& expected :
       {"file of the earlier install removed: " + In("gone.txt"),
        "file of the earlier install removed: " + Menu("Old.lnk"),
        "folder of the earlier install removed: " + In("olddir"),
        std::string("upgrade: 6 files of the earlier install that this one does not have removed"),
        "registry value written: HKCU\\Software\\Tiny\\Folder = " + std::string(kTinyFolder),
        "install folder: " + std::string(kTinyFolder)}) {
    EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
  }

  // --show-log: what the uninstaller will remove, by product or by the log's path.
  const std::string install_log = Host(In("Tiny_install.log"));
  for (const std::string& what : {std::string("tiny"), install_log}) {
    SCOPED_TRACE(what);
    ProgramResult shown = RunProgram({BinPath("setup"), "--show-log", what});
    ASSERT_EQ(shown.exit_code, 0) << shown.output;
    for (const std::string& expected :
         {"Install log: " + std::string(kTinyFolder) + "Tiny_install.log", std::string("Files ("),
          "  " + In("app.sh") + " (" + Host(In("app.sh")) + ")\n", "  " + Menu("App.lnk"),
          std::string("  HKCU\\Software\\Tiny\\Folder\n"),
          std::string("Folders, removed when empty (")}) {
      EXPECT_NE(shown.out.find(expected), std::string::npos) << expected << "\n" << shown.out;
    }
    EXPECT_EQ(shown.out.find("gone.txt"), std::string::npos) << shown.out;
    EXPECT_EQ(shown.out.find('$'), std::string::npos) << shown.out;
  }

  // An unknown product and a damaged log: exit 2 and one line that says which.
  const std::string bytes = ReadBytes(install_log);
  std::string damaged = bytes;
  damaged[damaged.size() / 2] ^= 0x01;
  WriteBytes(install_log, damaged);
  struct Refusal {
    std::string what;
    std::string says;
  };
  for (const Refusal& r : {Refusal{"Nothing", "no installed product is named Nothing"},
                           Refusal{"Tiny", "is damaged (its checksum does not match)"},
                           Refusal{install_log, "is damaged (its checksum does not match)"}}) {
    ProgramResult refused = RunProgram({BinPath("setup"), "--show-log=" + r.what});
    EXPECT_EQ(refused.exit_code, 2) << refused.output;
    EXPECT_NE(refused.err.find(r.says), std::string::npos) << refused.err;
    EXPECT_EQ(refused.out, "");
  }
  WriteBytes(install_log, bytes);

  // The uninstaller follows the merged log: nothing of either version is left.
  fs::remove(Host(kTinyFolder) + "/notes.txt");
  Uninstall();
  const MachineSnapshot left = DrivesOnly(TakeSnapshot(root_));
  EXPECT_TRUE(start == left) << SnapshotDifference(start, left);
}

TEST_F(UpgradeEndToEndTest, AnOlderVersionIsRefusedUnattendedUnlessAllowed) {
  std::string output;
  ASSERT_EQ(Run({v2_, "--unattended"}, output), 0) << output;
  const MachineSnapshot installed = TakeSnapshot(root_);
  struct Case {
    std::vector<std::string> args;
    int exit_code;
    const char* version_after;
  };
  const Case cases[] = {
      {{v1_, "--unattended"}, 2, "2.0"},
      {{v1_, "--unattended", "--allow-downgrade"}, 0, "1.0"},
      {{v2_, "--unattended"}, 0, "2.0"},  // a newer one is an upgrade again
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.back());
    ASSERT_EQ(Run(c.args, output), c.exit_code) << output;
    EXPECT_EQ(platform::RegGetString(platform::RootKey::kLocalMachine, kTinyUninstallKey,
                                     "DisplayVersion"),
              c.version_after);
    if (c.exit_code == 2) {
      EXPECT_NE(output.find("setup: version 1.0 of Tiny is older than the installed version 2.0; "
                            "--allow-downgrade installs it anyway\n"),
                std::string::npos)
          << output;
      EXPECT_TRUE(installed == TakeSnapshot(root_));
    }
  }
  // Version 2 again took away the files version 1 brought back.
  EXPECT_FALSE(platform::FileExists(In("gone.txt")));
}

TEST_F(UpgradeEndToEndTest, AFailureOrKillAfterTheCleanUpStartedPutsVersion1BackWhole) {
  std::string output;
  ASSERT_EQ(Run({v1_, "--unattended"}, output), 0) << output;
  const fs::path saved = base_ / "v1-root";
  fs::copy(root_, saved, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
  const MachineSnapshot v1 = TakeSnapshot(root_);

  // The upgrade's steps, and the first one that takes a file of version 1 away.
  const fs::path tally = base_ / "tally";
  setupkit_test::ProgramOptions options;
  options.env = {{"SETUP_FAULT_TALLY", tally.string()}};
  ASSERT_EQ(RunProgram({v2_, "--unattended"}, options).exit_code, 0);
  std::ifstream in(tally);
  long long steps = 0;
  in >> steps;
  std::string line;
  std::getline(in, line);
  long long first_cleanup = 0;
  for (long long n = 1; std::getline(in, line); ++n) {
    if (first_cleanup == 0 && line.find("gone.txt") != std::string::npos &&
        line.find(".setup-rollback-") != std::string::npos) {
      first_cleanup = n;
    }
  }
  ASSERT_GT(first_cleanup, 0) << "no step sets gone.txt aside";
  fs::remove_all(root_);
  fs::copy(saved, root_, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
  ASSERT_TRUE(v1 == TakeSnapshot(root_));

  long long failed_runs = 0;
  for (long long n = first_cleanup; n <= steps; ++n) {
    SCOPED_TRACE("step " + std::to_string(n));
    const int exit_code = Run({v2_, "--unattended"}, output, std::to_string(n) + ":EIO");
    if (exit_code == 0) break;  // past the commit: only set-aside copies were left to delete
    ++failed_runs;
    ASSERT_EQ(exit_code, 2) << output;
    const MachineSnapshot after = TakeSnapshot(root_);
    ASSERT_TRUE(v1 == after) << output << SnapshotDifference(v1, after);
  }
  // The clean-up of six files, the log written again and the commit record all fail the run.
  EXPECT_GT(failed_runs, 6);
  fs::remove_all(root_);
  fs::copy(saved, root_, fs::copy_options::recursive | fs::copy_options::copy_symlinks);

  // Killed in the middle of the clean-up: the next start rolls the run back (and its own run,
  // failing at once, changes nothing).
  EXPECT_NE(Run({v2_, "--unattended"}, output, std::to_string(first_cleanup + 1) + ":kill"), 0);
  EXPECT_NE(Run({v2_, "--unattended"}, output, "1:EIO"), 0);
  EXPECT_NE(output.find("Setup rolled back 1 install that did not finish"), std::string::npos)
      << output;
  const MachineSnapshot after = TakeSnapshot(root_);
  EXPECT_TRUE(v1 == after) << SnapshotDifference(v1, after);
}

}  // namespace
