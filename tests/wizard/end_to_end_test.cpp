// The real programs end to end: setupc compiles a script, the installer runs unattended into a
// temporary SETUP_ROOT, the uninstaller removes everything again.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include "common/file_bytes.h"
#include "common/program_runner.h"
#include "common/scoped_env.h"
#include "platform/drives.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "setup/commands/uninstall_list.h"
#include "setup/core/pak.h"
#include "setup/core/setup_info.h"
#include "setup/core/setup_state.h"

namespace {

namespace fs = std::filesystem;
using setupkit_test::BinPath;
using setupkit_test::ProgramResult;
using setupkit_test::RunProgram;
using setupkit_test::WriteBytes;

constexpr const char* kTestProductUninstallKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\TestProduct";
constexpr const char* kInstallFolder = "C:\\Program Files\\Test Product\\";

class EndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = folder_.Path();
    root_ = base_ / "root";
    fs::create_directories(root_);
    setenv("SETUP_ROOT", root_.c_str(), 1);
    setenv("SETUP_NO_DESKTOP_ENTRIES", "1", 1);  // nothing into the real home folder
    unsetenv("SETUP_LANGID");
    src_ = base_ / "src";
    fs::create_directories(base_ / "out");
    WriteBytes(src_ / "App" / "app.sh", "#!/bin/sh\necho app\n");
    WriteBytes(src_ / "App" / "sub" / "data.txt", "data");
    WriteBytes(src_ / "Extra" / "note.txt", "note");
    WriteBytes(src_ / "Changes.txt", "Version 1\r\nFirst release.\r\n");
    WriteBytes(src_ / "test.setup",
               "name \"Test Product\"\n"
               "shortname TestProduct\n"
               "outfile TestSetup.exe\n"
               "installdir \"$PROGRAMFILES\\Test Product\\\"\n"
               "changelog Changes.txt\n"
               "pages install\n"
               "uninstallpages uninstall\n"
               "prefix Test\n"
               "language install\\english\n"
               "uninstalllanguage uninstall\\english\n"
               "file \"App\\\"\n"
               "file Extra\\ Extra\n"
               "createdirectory \"$INSTDIR\\Saves\"\n"
               "writeregstr HKCU Software\\TestProduct Folder $INSTDIR\n"
               "createshortcut \"$SMPROGRAMS\\Test Product\\App.lnk\" \"$INSTDIR\\app.sh\" \"\"\n");
    ProgramResult compiled = RunProgram({BinPath("setupc"), "--source", src_.string(), "-o",
                                         (base_ / "out").string(), (src_ / "test.setup").string()});
    ASSERT_EQ(compiled.exit_code, 0) << compiled.output;
    installer_ = (base_ / "out" / "TestSetup.exe").string();
  }

  std::string Host(const std::string& windows_path) {
    return platform::ToHostPath(windows_path).value_or("");
  }
  bool WaitUntilGone(const std::string& windows_path) {
    for (int i = 0; i < 200 && platform::DirectoryExists(windows_path); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return !platform::DirectoryExists(windows_path);
  }

  setupkit_test::TempFolder folder_{"setup-e2e"};
  fs::path base_, root_, src_;
  std::string installer_;
};

TEST_F(EndToEndTest, InstallThenUninstallLeavesNothingBehind) {
  ProgramResult installed = RunProgram({installer_, "--unattended"});
  ASSERT_EQ(installed.exit_code, 0) << installed.output;
  const std::string folder = kInstallFolder;

  // Files of both groups, the subfolder, the created folder.
  EXPECT_TRUE(platform::FileExists(folder + "app.sh"));
  EXPECT_TRUE(platform::FileExists(folder + "sub\\data.txt"));
  EXPECT_TRUE(platform::FileExists(folder + "Extra\\note.txt"));
  EXPECT_TRUE(platform::DirectoryExists(folder + "Saves"));
  EXPECT_EQ(platform::ReadFileBytes(folder + "sub\\data.txt").value_or(""), "data");

  // Registry value, shortcut.
  EXPECT_EQ(
      platform::RegGetString(platform::RootKey::kCurrentUser, "Software\\TestProduct", "Folder")
          .value_or(""),
      folder);
  const std::string link =
      platform::GetShellFolder(platform::ShellFolder::kPrograms) + "\\Test Product\\App.lnk";
  std::optional<platform::ShellLink> read = platform::ReadShellLink(link);
  ASSERT_TRUE(read.has_value());
  EXPECT_EQ(read->target, folder + "app.sh");

  // The install log lists what the uninstaller will remove.
  TUninstallList log;
  ASSERT_TRUE(log.LoadLog("C:\\Program Files\\Test Product", "Test_"));
  // Three extracted files, the shortcut, and the uninstaller's icon beside it (.ico and .png).
  EXPECT_EQ(log.Files().size(), 6u);
  EXPECT_EQ(log.RegistryEntries().size(), 1u);
  EXPECT_FALSE(log.Folders().empty());

  // The uninstaller: the installer's UNINSTALL_ entries without the prefix (no icon entry),
  // the installer's window program, a setup record marked for uninstalling, its own digest, and
  // no compiled script.
  std::set<std::string> expected = {"SetupInfo", "Integrity", "WINDOW.EXE"};
  {
    TPak pak(installer_, false, false);
    for (const TPakFile& entry : pak.Entries()) {
      if (entry.group == 0 && entry.name.rfind("UNINSTALL_", 0) == 0 &&
          entry.name != "UNINSTALL_ICON.ICO") {
        expected.insert(entry.name.substr(10));
      }
    }
  }
  // The runtime is its own finaliser: no program of that name is carried.
  EXPECT_FALSE(expected.count("FINALISE.EXE"));
  std::optional<std::string> installer_window;
  {
    TPak pak(installer_, false, false);
    installer_window = pak.FindEntry("WINDOW.EXE", 0);
    ASSERT_TRUE(installer_window.has_value());
  }
  const std::string uninstaller = folder + "Test_Uninstall.exe";
  {
    TPak pak(Host(uninstaller), false, false);
    ASSERT_TRUE(pak.Trailer().HasMagic());
    std::set<std::string> names;
    for (const TPakFile& entry : pak.Entries()) names.insert(entry.name);
    EXPECT_EQ(names, expected);
    EXPECT_EQ(pak.FindEntry("WINDOW.EXE", 0), installer_window);
    std::optional<std::string> record = pak.FindEntry("SetupInfo", 0);
    ASSERT_TRUE(record.has_value());
    TSetupInfoFile info;
    info.ReadFromBuffer(record->data(), record->size());
    EXPECT_EQ(info.IsUninstaller, 1);
    EXPECT_EQ(info.ShortName, "TestProduct");
    for (int i = 0; i < pak.EntryCount(); ++i) EXPECT_TRUE(pak.VerifyEntry(i)) << i;
  }
  // The key and DisplayName are the short name; the command is quoted.
  EXPECT_EQ(platform::RegGetString(platform::RootKey::kLocalMachine, kTestProductUninstallKey,
                                   "DisplayName")
                .value_or(""),
            "TestProduct");
  EXPECT_EQ(platform::RegGetString(platform::RootKey::kLocalMachine, kTestProductUninstallKey,
                                   "UninstallString")
                .value_or(""),
            "\"" + uninstaller + "\"");

  ProgramResult removed = RunProgram({Host(uninstaller), "--unattended"});
  ASSERT_EQ(removed.exit_code, 0) << removed.output;
  EXPECT_FALSE(platform::FileExists(folder + "app.sh"));
  EXPECT_FALSE(platform::FileExists(folder + "Extra\\note.txt"));
  EXPECT_FALSE(platform::DirectoryExists(folder + "Saves"));
  EXPECT_FALSE(platform::FileExists(link));
  EXPECT_FALSE(platform::FileExists(folder + "Test_install.log"));
  EXPECT_FALSE(
      platform::RegValueExists(platform::RootKey::kCurrentUser, "Software\\TestProduct", "Folder"));
  EXPECT_FALSE(platform::RegKeyExists(platform::RootKey::kLocalMachine, kTestProductUninstallKey));
  // Other programs' entries under the Uninstall key are untouched: the key itself stays.
  EXPECT_TRUE(platform::RegKeyExists(platform::RootKey::kLocalMachine,
                                     "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall"));
  // The finaliser deletes the uninstaller and then the emptied install folder.
  EXPECT_TRUE(WaitUntilGone(folder));
}

TEST_F(EndToEndTest, SecondInstallReplacesTheUninstaller) {
  ASSERT_EQ(RunProgram({installer_, "--unattended"}).exit_code, 0);
  const std::string uninstaller = std::string(kInstallFolder) + "Test_Uninstall.exe";
  std::optional<uint64_t> first = platform::GetFileSize(uninstaller);
  ASSERT_TRUE(first.has_value());
  ASSERT_EQ(RunProgram({installer_, "--unattended"}).exit_code, 0);
  EXPECT_EQ(platform::GetFileSize(uninstaller), first);
  TPak pak(Host(uninstaller), false, false);
  ASSERT_TRUE(pak.Trailer().HasMagic());
  for (int i = 0; i < pak.EntryCount(); ++i) EXPECT_TRUE(pak.VerifyEntry(i)) << i;
}

TEST_F(EndToEndTest, UnattendedRunsStartNoWindowSystem) {
  // A window system would read the font configuration (and complain about a missing one); an
  // unattended install and removal never start one.
  setupkit_test::ScopedEnv fonts("FONTCONFIG_FILE", std::string("/nonexistent/fonts.conf"));
  ProgramResult installed = RunProgram({installer_, "--unattended"});
  ASSERT_EQ(installed.exit_code, 0) << installed.output;
  EXPECT_EQ(installed.output.find("ontconfig"), std::string::npos) << installed.output;
  EXPECT_NE(installed.out.find("Extracting app.sh\n"), std::string::npos) << installed.out;
  EXPECT_NE(installed.out.find("setup: finished\n"), std::string::npos) << installed.out;
  ProgramResult removed =
      RunProgram({Host(std::string(kInstallFolder) + "Test_Uninstall.exe"), "--unattended"});
  ASSERT_EQ(removed.exit_code, 0) << removed.output;
  EXPECT_EQ(removed.output.find("ontconfig"), std::string::npos) << removed.output;
  EXPECT_NE(removed.out.find("Removing folders: 1 of "), std::string::npos) << removed.out;
  EXPECT_FALSE(platform::FileExists(std::string(kInstallFolder) + "app.sh"));
}

TEST_F(EndToEndTest, DirOptionChoosesTheInstallFolder) {
  const fs::path target = base_ / "elsewhere";
  const fs::path shots = base_ / "shots";
  ProgramResult installed = RunProgram(
      {installer_, "--unattended", "--dir=" + target.string(), "--screenshot-dir", shots.string()});
  ASSERT_EQ(installed.exit_code, 0) << installed.output;
  EXPECT_TRUE(fs::exists(shots / "01-welcome.png"));
  EXPECT_TRUE(fs::exists(shots / "02-changelog.png"));
  EXPECT_TRUE(fs::exists(target / "app.sh"));
  EXPECT_TRUE(fs::exists(target / "Extra" / "note.txt"));
  EXPECT_FALSE(platform::DirectoryExists(kInstallFolder));
}

TEST_F(EndToEndTest, StartUpFailuresEndWithTheirMessageAndExitCode2) {
  // A runtime without a package.
  ProgramResult bare = RunProgram({BinPath("setup"), "--unattended"});
  EXPECT_EQ(bare.exit_code, 2);
  EXPECT_NE(bare.output.find("Invalid Setup Header. No Contents or Corrupted Contents."),
            std::string::npos)
      << bare.output;

  // A corrupt entry: its index and name are reported.
  const std::string corrupt = (base_ / "out" / "corrupt" / "TestSetup.exe").string();
  fs::create_directories(fs::path(corrupt).parent_path());
  fs::copy_file(installer_, corrupt);
  int index = -1;
  uint32_t offset = 0;
  {
    TPak pak(corrupt, false, false);
    for (int i = 0; i < pak.EntryCount(); ++i) {
      if (pak.Entry(i)->name == "Pages.txt") {
        index = i;
        offset = pak.Entry(i)->offset;
      }
    }
  }
  ASSERT_GE(index, 0);
  {
    std::fstream file(corrupt, std::ios::in | std::ios::out | std::ios::binary);
    file.seekg(offset + 3);
    char byte = 0;
    file.read(&byte, 1);
    byte = static_cast<char>(byte ^ 0x5A);
    file.seekp(offset + 3);
    file.write(&byte, 1);
  }
  ProgramResult damaged = RunProgram({corrupt, "--unattended"});
  EXPECT_EQ(damaged.exit_code, 2);
  EXPECT_NE(damaged.output.find("ID: " + std::to_string(index) + " Filename: Pages.txt"),
            std::string::npos)
      << damaged.output;

  // A package without its setup record, named on the command line.
  const std::string no_info = (base_ / "noinfo.pak").string();
  {
    TPak pak(no_info, true, false);
    int i = pak.AddEntry("CompiledLines", "", 0);
    std::string bytes(2, '\0');
    pak.StoreFromMemory(i, bytes.data(), bytes.size());
    pak.WriteDirectory();
    pak.Close();
  }
  ProgramResult missing = RunProgram({BinPath("setup"), no_info, "--unattended"});
  EXPECT_EQ(missing.exit_code, 2);
  EXPECT_NE(missing.output.find("Error: Setup Information Missing. Setup is corrupt"),
            std::string::npos)
      << missing.output;
}

TEST_F(EndToEndTest, RenamedInstallerPassesOnlyWithCopyNumbers) {
  auto run_as = [&](const std::string& name) {
    const fs::path copy = base_ / "renamed" / name;
    fs::create_directories(copy.parent_path());
    fs::copy_file(installer_, copy, fs::copy_options::overwrite_existing);
    ProgramResult result =
        RunProgram({copy.string(), "--unattended", "--dir=" + (base_ / "t").string()});
    fs::remove(copy);
    return result;
  };
  EXPECT_EQ(run_as("TestSetup(2).exe").exit_code, 0);
  EXPECT_EQ(run_as("testsetup[1].exe").exit_code, 0);
  ProgramResult ten = run_as("TestSetup(10).exe");
  EXPECT_EQ(ten.exit_code, 2);
  EXPECT_NE(ten.output.find("Error: Setup`s filename has been renamed"), std::string::npos)
      << ten.output;
  EXPECT_NE(ten.output.find("TestSetup(10).exe"), std::string::npos);
  EXPECT_EQ(run_as("TestSetup (2).exe").exit_code, 2);
}

TEST_F(EndToEndTest, UninstallerWithoutItsLogStops) {
  ASSERT_EQ(RunProgram({installer_, "--unattended"}).exit_code, 0);
  const std::string folder = kInstallFolder;
  ASSERT_TRUE(platform::DeleteFile(folder + "Test_install.log"));
  ProgramResult result = RunProgram({Host(folder + "Test_Uninstall.exe"), "--unattended"});
  EXPECT_EQ(result.exit_code, 2);
  EXPECT_NE(result.output.find("Error: install log is missing"), std::string::npos)
      << result.output;
  EXPECT_TRUE(platform::FileExists(folder + "app.sh"));  // nothing was removed
}

TEST_F(EndToEndTest, DirOptionDoesNotRetargetTheUninstaller) {
  ASSERT_EQ(RunProgram({installer_, "--unattended"}).exit_code, 0);
  const std::string folder = kInstallFolder;
  // Another install's log with the same prefix in the folder the option names.
  const fs::path other = base_ / "other";
  WriteBytes(other / "Test_install.log", "another product's log");
  ProgramResult result =
      RunProgram({Host(folder + "Test_Uninstall.exe"), "--unattended", "--dir=" + other.string()});
  ASSERT_EQ(result.exit_code, 0) << result.output;
  EXPECT_TRUE(fs::exists(other / "Test_install.log"));
  EXPECT_FALSE(platform::FileExists(folder + "Test_install.log"));
  EXPECT_TRUE(WaitUntilGone(folder));
}

TEST_F(EndToEndTest, DirOptionStandsInForAFolderTheScriptDoesNotName) {
  WriteBytes(src_ / "nofolder.setup",
             "name \"Test Product\"\n"
             "shortname TestProduct\n"
             "outfile NoFolder.exe\n"
             "pages install\n"
             "language install\\english\n"
             "file Extra\\ Extra\n");
  ProgramResult compiled =
      RunProgram({BinPath("setupc"), "--source", src_.string(), "-o", (base_ / "out").string(),
                  (src_ / "nofolder.setup").string()});
  ASSERT_EQ(compiled.exit_code, 0) << compiled.output;
  const fs::path target = base_ / "chosen";
  ProgramResult installed = RunProgram(
      {(base_ / "out" / "NoFolder.exe").string(), "--unattended", "--dir=" + target.string()});
  ASSERT_EQ(installed.exit_code, 0) << installed.output;
  EXPECT_TRUE(fs::exists(target / "Extra" / "note.txt"));
  // Without the option nothing names a folder.
  installed = RunProgram({(base_ / "out" / "NoFolder.exe").string(), "--unattended"});
  EXPECT_EQ(installed.exit_code, 2);
  EXPECT_NE(installed.output.find("Error: Registry Key Not Found. Please Install Software"),
            std::string::npos)
      << installed.output;
}

TEST_F(EndToEndTest, AFailureLineEndsWithExitCode2AndKeepsThePartialInstallRemovable) {
  WriteBytes(src_ / "fail.setup",
             "name Fail\nshortname Fail\noutfile FailSetup.exe\ninstalldir \"C:\\Fail\\\"\n"
             "pages install\nuninstallpages uninstall\nprefix Fail\nlanguage install\\english\n"
             "changelog Changes.txt\nfile Extra\\\nfailure\ncreatedirectory \"$INSTDIR\\Never\"\n");
  ProgramResult compiled = RunProgram({BinPath("setupc"), "--source", src_.string(), "-o",
                                       (base_ / "out").string(), (src_ / "fail.setup").string()});
  ASSERT_EQ(compiled.exit_code, 0) << compiled.output;
  ProgramResult run = RunProgram({(base_ / "out" / "FailSetup.exe").string(), "--unattended"});
  EXPECT_EQ(run.exit_code, 2) << run.output;
  EXPECT_NE(run.output.find("Setup failed to install."), std::string::npos) << run.output;
  EXPECT_NE(run.out.find("setup: failed"), std::string::npos) << run.output;
  // The line before ran and stays; the line after never ran; the closing steps wrote the log,
  // the uninstaller and its Uninstall entry, so the partial install can be removed.
  EXPECT_TRUE(platform::FileExists("C:\\Fail\\note.txt"));
  EXPECT_FALSE(platform::DirectoryExists("C:\\Fail\\Never"));
  EXPECT_TRUE(platform::FileExists("C:\\Fail\\Fail_install.log"));
  const std::string key = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Fail";
  EXPECT_TRUE(platform::RegKeyExists(platform::RootKey::kLocalMachine, key));
  ProgramResult removed = RunProgram({Host("C:\\Fail\\Fail_Uninstall.exe"), "--unattended"});
  ASSERT_EQ(removed.exit_code, 0) << removed.output;
  EXPECT_TRUE(WaitUntilGone("C:\\Fail"));
  EXPECT_FALSE(platform::RegKeyExists(platform::RootKey::kLocalMachine, key));
}

TEST_F(EndToEndTest, NoDisplayWithoutUnattendedSaysSoInOneLine) {
  const char* display = std::getenv("DISPLAY");
  std::string saved_display = display ? display : "";
  const char* qpa = std::getenv("QT_QPA_PLATFORM");
  std::string saved_qpa = qpa ? qpa : "";
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  unsetenv("QT_QPA_PLATFORM");
  ProgramResult result = RunProgram({installer_});
  if (!saved_display.empty()) setenv("DISPLAY", saved_display.c_str(), 1);
  if (!saved_qpa.empty()) setenv("QT_QPA_PLATFORM", saved_qpa.c_str(), 1);
  EXPECT_EQ(result.exit_code, 2);
  EXPECT_NE(result.output.find("--unattended"), std::string::npos);
  EXPECT_EQ(std::count(result.output.begin(), result.output.end(), '\n'), 1) << result.output;
}

}  // namespace
