// Installs that never lie, with the real programs: a failure placed at every step of a small
// install (through the platform's fault seam) stops the run with the item named and leaves the
// machine as it was; a killed installer is rolled back by the next start; the uninstaller keeps
// the product when it cannot remove it; a reinstall then an uninstall leaves nothing; the
// finaliser started by hand deletes nothing.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <map>
#include <optional>
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
#include "platform/run_lock.h"
#include "platform/shell.h"
#include "wizard/tiny_product.h"

namespace {

namespace fs = std::filesystem;
using setupkit_test::BinPath;
using setupkit_test::DrivesOnly;
using setupkit_test::kTinyFolder;
using setupkit_test::kTinyScriptHead;
using setupkit_test::kTinyUninstallKey;
using setupkit_test::MachineSnapshot;
using setupkit_test::ProgramResult;
using setupkit_test::RunProgram;
using setupkit_test::SnapshotDifference;
using setupkit_test::TakeSnapshot;
using setupkit_test::WriteBytes;

std::string RunWith(const std::string& name, const std::string& value,
                    const std::vector<std::string>& args, int& exit_code) {
  setupkit_test::ProgramOptions options;
  options.env = {{name, value}};
  ProgramResult result = RunProgram(args, options);
  exit_code = result.exit_code;
  return result.output;
}

// Every registry value of every root, by root, key and name. Keys without values are left out:
// the uninstaller removes values and leaves keys, as it is designed to.
std::map<std::string, std::string> HiveValues() {
  std::map<std::string, std::string> values;
  using platform::RootKey;
  for (RootKey root : {RootKey::kClassesRoot, RootKey::kCurrentUser, RootKey::kLocalMachine,
                       RootKey::kUsers, RootKey::kCurrentConfig}) {
    std::vector<std::string> pending = {""};
    while (!pending.empty()) {
      const std::string key = pending.back();
      pending.pop_back();
      for (const std::string& name : platform::RegValueNames(root, key)) {
        const auto data = platform::RegGetValue(root, key, name);
        values[platform::RootShortName(root) + "\\" + key + "\\" + name] =
            data ? (data->is_string ? "sz:" + data->text : data->raw) : "?";
      }
      for (const std::string& sub : platform::RegSubKeyNames(root, key)) {
        pending.push_back(key.empty() ? sub : key + "\\" + sub);
      }
    }
  }
  return values;
}

class TransactionEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = setupkit_test::FreshTestFolder("setup-tx-");
    root_ = base_ / "root";
    setenv("SETUP_ROOT", root_.c_str(), 1);
    unsetenv("SETUP_LANGID");
    unsetenv("SETUP_FAULT");
    // The desktop entries go below the root too, so the snapshots see them.
    unsetenv("SETUP_NO_DESKTOP_ENTRIES");
    setenv("XDG_DATA_HOME", (root_ / "data").c_str(), 1);
    const fs::path src = base_ / "src";
    fs::create_directories(base_ / "out");
    WriteBytes(src / "App" / "app.sh", "#!/bin/sh\necho new app\n");
    WriteBytes(src / "App" / "sub" / "data.txt", "data");
    WriteBytes(src / "Changes.txt", "Version 1\r\n");
    WriteBytes(src / "tiny.setup",
               std::string(kTinyScriptHead) +
                   "file \"App\\\"\n"
                   "writeregstr HKCU Software\\Tiny Folder $INSTDIR\n"
                   "createshortcut \"$SMPROGRAMS\\Tiny\\App.lnk\" \"$INSTDIR\\app.sh\" \"\"\n");
    ProgramResult compiled = RunProgram({BinPath("setupc"), "--source", src.string(), "-o",
                                         (base_ / "out").string(), (src / "tiny.setup").string()});
    ASSERT_EQ(compiled.exit_code, 0) << compiled.output;
    installer_ = (base_ / "out" / "TinySetup.exe").string();
    PrepareMachine(false);
  }
  void TearDown() override {
    unsetenv("SETUP_FAULT");
    unsetenv("XDG_DATA_HOME");
    std::error_code ignored;
    fs::remove_all(base_, ignored);
  }

  // A machine as a user has it: the shell folders, another program's registry value and,
  // when asked, an older app.sh in the install folder that the install replaces.
  void PrepareMachine(bool with_old_file) {
    fs::remove_all(root_);
    for (auto folder : {platform::ShellFolder::kPrograms, platform::ShellFolder::kDesktop,
                        platform::ShellFolder::kProgramFiles, platform::ShellFolder::kPersonal}) {
      platform::GetShellFolder(folder);
    }
    platform::GetTempPath();
    fs::create_directories(platform::ApplicationsFolder());
    platform::RegSetString(platform::RootKey::kCurrentUser, "Software\\Other", "Kept", "yes");
    if (with_old_file) {
      ASSERT_TRUE(platform::CreateDirectory(kTinyFolder));
      const std::string old("old app\0\xff\x01", 11);
      ASSERT_TRUE(
          platform::WriteFileBytes(std::string(kTinyFolder) + "app.sh", old.data(), old.size()));
    }
  }

  std::string Host(const std::string& windows_path) const {
    return platform::ToHostPath(windows_path).value_or("");
  }
  std::string Uninstaller() const { return Host(std::string(kTinyFolder) + "Tiny_Uninstall.exe"); }
  // The finaliser removes the uninstaller and the emptied folder just after the uninstaller ends,
  // then its own copy in the temporary folder.
  void WaitForFinaliser() {
    // The finaliser's private folder in Temp goes last, with its copy.
    for (int i = 0;
         i < 200 && (platform::DirectoryExists(kTinyFolder) ||
                     !platform::FindFiles(platform::GetTempPath(), "setup-finalise-*").empty());
         ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }
  // Number of changing operations of a clean install, counted by the fault seam, which also
  // says what each one is (kept in step_names_ for the failure messages).
  long long CountSteps() {
    const fs::path tally = base_ / "tally";
    int exit_code = -1;
    RunWith("SETUP_FAULT_TALLY", tally.string(), {installer_, "--unattended"}, exit_code);
    EXPECT_EQ(exit_code, 0);
    std::ifstream in(tally);
    long long steps = 0;
    in >> steps;
    std::string line;
    std::getline(in, line);
    step_names_.assign(1, "");
    while (std::getline(in, line)) step_names_.push_back(line);
    EXPECT_EQ(static_cast<long long>(step_names_.size()) - 1, steps);
    PrepareMachine(false);
    return steps;
  }
  std::string StepName(long long n) const {
    return "step " + (n < static_cast<long long>(step_names_.size())
                          ? step_names_[static_cast<size_t>(n)]
                          : std::to_string(n));
  }
  // Runs the install with step `n` failing; answers the exit code.
  int InstallFailingAt(long long n, const std::string& reason, std::string& output) {
    int exit_code = -1;
    output = RunWith("SETUP_FAULT", std::to_string(n) + ":" + reason, {installer_, "--unattended"},
                     exit_code);
    return exit_code;
  }

  fs::path base_, root_;
  std::string installer_;
  std::vector<std::string> step_names_;
};

struct FaultCase {
  const char* name;
  bool with_old_file;
  const char* reason;       // errno name for the seam
  const char* reason_text;  // what the system calls it
};

class FailureAtEveryStepTest : public TransactionEndToEndTest,
                               public ::testing::WithParamInterface<FaultCase> {};

TEST_P(FailureAtEveryStepTest, EachRunExits2NamesTheItemAndLeavesTheMachineAsItWas) {
  const long long steps = CountSteps();
  ASSERT_GT(steps, 20);
  PrepareMachine(GetParam().with_old_file);
  const MachineSnapshot before = TakeSnapshot(root_);
  int failed_runs = 0;
  for (long long n = 1; n <= steps; ++n) {
    std::string output;
    const int exit_code = InstallFailingAt(n, GetParam().reason, output);
    if (exit_code == 0) {
      // The step's failure was one the install works around (an open that fails before the
      // folder is made) or came after the commit (a set-aside copy that cannot be deleted yet):
      // the install is complete, the next start leaves nothing of the run behind, and the
      // uninstaller takes away all of it (so every closing step was written).
      EXPECT_NE(output.find("setup: finished"), std::string::npos) << StepName(n);
      EXPECT_TRUE(platform::FileExists(std::string(kTinyFolder) + "sub\\data.txt")) << StepName(n);
      EXPECT_TRUE(platform::FileExists(std::string(kTinyFolder) + "Tiny_Uninstall.exe"))
          << StepName(n);
      ASSERT_EQ(RunProgram({installer_, "--unattended"}).exit_code, 0) << StepName(n);
      EXPECT_TRUE(fs::is_empty(root_ / "rollback")) << StepName(n);
      for (const auto& item : fs::recursive_directory_iterator(root_)) {
        EXPECT_EQ(item.path().string().find(".setup-rollback-"), std::string::npos)
            << StepName(n) << " left " << item.path();
      }
      if (!GetParam().with_old_file) {
        ProgramResult removed = RunProgram({Uninstaller(), "--unattended"});
        EXPECT_EQ(removed.exit_code, 0) << StepName(n) << removed.output;
        WaitForFinaliser();
        const MachineSnapshot left = DrivesOnly(TakeSnapshot(root_));
        EXPECT_TRUE(DrivesOnly(before) == left)
            << StepName(n) << SnapshotDifference(DrivesOnly(before), left);
      }
      PrepareMachine(GetParam().with_old_file);
      ASSERT_TRUE(before == TakeSnapshot(root_));
      continue;
    }
    ++failed_runs;
    ASSERT_EQ(exit_code, 2) << StepName(n) << "\n" << output;
    EXPECT_NE(output.find("Setup Error: Cannot "), std::string::npos) << StepName(n) << output;
    EXPECT_NE(output.find(std::string(": ") + GetParam().reason_text), std::string::npos)
        << StepName(n) << output;
    const MachineSnapshot after = TakeSnapshot(root_);
    ASSERT_TRUE(before == after) << StepName(n) << ":\n"
                                 << output << SnapshotDifference(before, after);
    ASSERT_TRUE(!fs::exists(root_ / "rollback") || fs::is_empty(root_ / "rollback")) << StepName(n);
  }
  // Nearly every step is one whose failure must stop the install.
  EXPECT_GT(failed_runs, steps * 3 / 4);
}

INSTANTIATE_TEST_SUITE_P(
    SmallInstall, FailureAtEveryStepTest,
    ::testing::Values(FaultCase{"OnACleanMachine", false, "ENOSPC", "No space left on device"},
                      FaultCase{"ReplacingAFileThatComesBackByteForByte", true, "EACCES",
                                "Permission denied"}),
    [](const ::testing::TestParamInfo<FaultCase>& info) { return info.param.name; });

TEST_F(TransactionEndToEndTest, AKilledInstallIsRolledBackByTheNextStartAndUninstallEndsAsItBegan) {
  const long long steps = CountSteps();
  const MachineSnapshot start = TakeSnapshot(root_);
  const auto start_values = HiveValues();
  for (long long at : {steps / 4, steps / 2, steps * 3 / 4}) {
    SCOPED_TRACE("killed at step " + std::to_string(at));
    // Each kill starts from the first machine: the registry keys an uninstall leaves would
    // make a later run shorter than the count.
    PrepareMachine(false);
    std::string output;
    EXPECT_NE(InstallFailingAt(at, "kill", output), 0) << output;
    ASSERT_FALSE(fs::is_empty(root_ / "rollback"));  // the killed run's journal
    ASSERT_FALSE(start == TakeSnapshot(root_));      // and its half-done work

    ProgramResult next = RunProgram({installer_, "--unattended"});
    ASSERT_EQ(next.exit_code, 0) << next.output;
    EXPECT_NE(next.output.find("Setup rolled back 1 install that did not finish"),
              std::string::npos)
        << next.output;
    EXPECT_TRUE(fs::is_empty(root_ / "rollback"));
    EXPECT_TRUE(platform::FileExists(std::string(kTinyFolder) + "sub\\data.txt"));

    ProgramResult removed = RunProgram({Uninstaller(), "--unattended"});
    ASSERT_EQ(removed.exit_code, 0) << removed.output;
    WaitForFinaliser();
    EXPECT_EQ(HiveValues(), start_values);
    // Only keys (which the uninstaller leaves by design) may differ in the hive files.
    MachineSnapshot drives = TakeSnapshot(root_);
    MachineSnapshot start_drives = start;
    std::erase_if(drives, [](const auto& item) { return item.first.rfind("registry/", 0) == 0; });
    std::erase_if(start_drives,
                  [](const auto& item) { return item.first.rfind("registry/", 0) == 0; });
    EXPECT_TRUE(start_drives == drives) << SnapshotDifference(start_drives, drives);
  }
}

TEST_F(TransactionEndToEndTest, AKillDuringAnyAtomicWriteLeavesNoTemporaryAfterTheNextStart) {
  const long long steps = CountSteps();
  int replaces = 0;
  for (long long n = 1; n <= steps; ++n) {
    if (StepName(n).find(" replace ") == std::string::npos) continue;
    ++replaces;
    PrepareMachine(false);
    std::string output;
    EXPECT_NE(InstallFailingAt(n, "kill", output), 0) << StepName(n) << output;
    ProgramResult next = RunProgram({installer_, "--unattended"});
    ASSERT_EQ(next.exit_code, 0) << StepName(n) << next.output;
    EXPECT_TRUE(fs::is_empty(root_ / "rollback")) << StepName(n);
    for (const auto& item : fs::recursive_directory_iterator(root_)) {
      EXPECT_EQ(item.path().filename().string().find(".setup-tmp-"), std::string::npos)
          << StepName(n) << " left " << item.path();
    }
  }
  // The hive's values, the install log and the desktop entries are each written that way.
  EXPECT_GT(replaces, 3);
}

TEST_F(TransactionEndToEndTest, ReinstallThenUninstallLeavesNothing) {
  const MachineSnapshot start = TakeSnapshot(root_);
  const auto start_values = HiveValues();
  ASSERT_EQ(RunProgram({installer_, "--unattended"}).exit_code, 0);
  ASSERT_EQ(RunProgram({installer_, "--unattended"}).exit_code, 0);
  ProgramResult removed = RunProgram({Uninstaller(), "--unattended"});
  ASSERT_EQ(removed.exit_code, 0) << removed.output;
  WaitForFinaliser();
  EXPECT_EQ(HiveValues(), start_values);
  MachineSnapshot after = TakeSnapshot(root_);
  std::erase_if(after, [](const auto& item) { return item.first.rfind("registry/", 0) == 0; });
  MachineSnapshot start_drives = start;
  std::erase_if(start_drives,
                [](const auto& item) { return item.first.rfind("registry/", 0) == 0; });
  EXPECT_TRUE(start_drives == after) << SnapshotDifference(start_drives, after);
}

struct LogDamage {
  const char* name;
  void (*damage)(std::string& log);
};

class DamagedLogTest : public TransactionEndToEndTest,
                       public ::testing::WithParamInterface<LogDamage> {};

TEST_P(DamagedLogTest, IsRefusedWithExitCode2AndTheProductStaysRemovable) {
  ASSERT_EQ(RunProgram({installer_, "--unattended"}).exit_code, 0);
  const std::string log_path = Host(std::string(kTinyFolder) + "Tiny_install.log");
  std::string log = platform::ReadFileBytes(log_path).value();
  GetParam().damage(log);
  ASSERT_TRUE(platform::WriteFileBytes(log_path, log.data(), log.size()));
  const MachineSnapshot installed = TakeSnapshot(root_);

  ProgramResult refused = RunProgram({Uninstaller(), "--unattended"});
  EXPECT_EQ(refused.exit_code, 2) << refused.output;
  EXPECT_NE(refused.output.find("install log is damaged"), std::string::npos) << refused.output;
  // Nothing removed: the product, the uninstaller, the log and the Uninstall entry all stay.
  const MachineSnapshot after = TakeSnapshot(root_);
  EXPECT_TRUE(installed == after) << SnapshotDifference(installed, after);
}

INSTANTIATE_TEST_SUITE_P(
    Damages, DamagedLogTest,
    ::testing::Values(LogDamage{"CutShort", [](std::string& log) { log.resize(log.size() - 3); }},
                      LogDamage{"BytesAppended", [](std::string& log) { log += "junk"; }},
                      LogDamage{"CountRaised", [](std::string& log) { log[0] = log[0] + 1; }},
                      LogDamage{"TextGarbled",
                                [](std::string& log) {
                                  for (size_t i = 8; i < log.size(); ++i) log[i] ^= 0x35;
                                }},
                      // Deciphers to another plain name, which only the checksum shows.
                      LogDamage{"OneBitOfANameFlipped",
                                [](std::string& log) { log[log.size() / 2] ^= 0x01; }},
                      LogDamage{"SwappedForAnotherValidLog",
                                [](std::string& log) {
                                  const uint16_t files = static_cast<uint8_t>(log[0]) |
                                                         static_cast<uint8_t>(log[1]) << 8;
                                  // The file list without its last name is a well-formed log.
                                  size_t at = 6;
                                  for (uint16_t i = 0; i + 1 < files; ++i) {
                                    at += 2 + (static_cast<uint8_t>(log[at]) |
                                               static_cast<uint8_t>(log[at + 1]) << 8);
                                  }
                                  const size_t length =
                                      2 + (static_cast<uint8_t>(log[at]) |
                                           static_cast<uint8_t>(log[at + 1]) << 8);
                                  log.erase(at, length);
                                  log[0] = static_cast<char>(files - 1);
                                  log[1] = static_cast<char>((files - 1) >> 8);
                                }}),
    [](const ::testing::TestParamInfo<LogDamage>& info) { return info.param.name; });

// A flipped bit anywhere in the log (a sample of its bytes) is refused: the uninstaller removes
// nothing and ends with exit code 2.
TEST_F(TransactionEndToEndTest, EverySampledBitFlipOfTheLogIsRefused) {
  ASSERT_EQ(RunProgram({installer_, "--unattended"}).exit_code, 0);
  const std::string log_path = Host(std::string(kTinyFolder) + "Tiny_install.log");
  const std::string log = platform::ReadFileBytes(log_path).value();
  for (size_t at = 0; at < log.size(); at += 7) {
    for (const char flip : {'\x01', '\x80'}) {
      std::string damaged = log;
      damaged[at] ^= flip;
      ASSERT_TRUE(platform::WriteFileBytes(log_path, damaged.data(), damaged.size()));
      ProgramResult result = RunProgram({Uninstaller(), "--unattended"});
      ASSERT_EQ(result.exit_code, 2) << "flip at byte " << at << ": " << result.output;
      ASSERT_TRUE(platform::FileExists(std::string(kTinyFolder) + "sub\\data.txt")) << at;
      ASSERT_TRUE(platform::RegKeyExists(platform::RootKey::kLocalMachine, kTinyUninstallKey))
          << at;
    }
  }
}

// Links planted inside the install folder, at a folder's place or a file's, before the install
// or before the uninstall: nothing outside is written or deleted; the install either refuses
// (exit code 2, nothing changed) or replaces the link itself; the uninstaller leaves the link and
// reports it (exit code 2).
TEST_F(TransactionEndToEndTest, NothingIsWrittenOrDeletedThroughAPlantedLink) {
  const fs::path victim = base_ / "victim";
  for (const char* planted : {"sub", "sub\\data.txt", "app.sh"}) {
    for (const bool before_install : {true, false}) {
      SCOPED_TRACE(std::string(planted) +
                   (before_install ? " before install" : " before uninstall"));
      PrepareMachine(false);
      fs::remove_all(victim);
      WriteBytes(victim / "data.txt", "mine");
      WriteBytes(victim / "app.sh", "mine");
      const std::string link = Host(std::string(kTinyFolder) + planted);
      const fs::path target =
          std::string(planted) == "sub" ? victim : victim / fs::path(link).filename();
      if (before_install) {
        fs::create_directories(fs::path(link).parent_path());
        fs::create_symlink(target, link);
        const ProgramResult install = RunProgram({installer_, "--unattended"});
        EXPECT_TRUE(install.exit_code == 0 || install.exit_code == 2) << install.output;
      } else {
        ASSERT_EQ(RunProgram({installer_, "--unattended"}).exit_code, 0);
        fs::remove_all(link);
        fs::create_symlink(target, link);
        const ProgramResult removed = RunProgram({Uninstaller(), "--unattended"});
        EXPECT_EQ(removed.exit_code, 2) << removed.output;
        EXPECT_NE(removed.output.find("Could not remove"), std::string::npos) << removed.output;
        EXPECT_TRUE(fs::is_symlink(link));
      }
      EXPECT_EQ(platform::ReadFileBytes((victim / "data.txt").string()), "mine");
      EXPECT_EQ(platform::ReadFileBytes((victim / "app.sh").string()), "mine");
      EXPECT_EQ(std::distance(fs::directory_iterator(victim), fs::directory_iterator()), 2);
    }
  }
}

// A stop signal cancels a run that waits for its turn (the handlers are in place before the lock
// is asked for, the first step that may lead to a change): exit code 1, nothing changed.
TEST_F(TransactionEndToEndTest, HangUpInterruptAndTerminateEachCancelAndChangeNothing) {
  const MachineSnapshot before = TakeSnapshot(root_);
  std::optional<platform::RunLock> held;
  ASSERT_EQ(platform::RunLock::Acquire(platform::RunLock::DefaultPath(), "test", std::nullopt,
                                       nullptr, nullptr, held),
            platform::RunLock::Outcome::kTaken);
  for (const char* signal : {"INT", "TERM", "HUP"}) {
    // A file per run: the shell may look for "waiting" before the new run has emptied a shared
    // one, see the last run's line and signal this one before its handlers are in place.
    const std::string err =
        setupkit_test::ShellQuote((base_ / (std::string("err-") + signal + ".txt")).string());
    setupkit_test::ProgramOptions options;
    options.timeout = std::chrono::seconds(60);
    ProgramResult run = setupkit_test::RunShell(
        setupkit_test::ShellQuote(installer_) + " --unattended 2>" + err + " & pid=$!; " +
            "until grep -q waiting " + err + "; do sleep 0.05; done; kill -" + signal +
            " $pid; wait $pid; echo \"code $?\"",
        options);
    EXPECT_NE(run.out.find("code 1\n"), std::string::npos) << signal << ": " << run.output;
  }
  held.reset();
  EXPECT_TRUE(before == TakeSnapshot(root_)) << SnapshotDifference(before, TakeSnapshot(root_));
}

// Folders made for an install folder deep below the drive go with the product; a folder that was
// there before (empty or not) stays.
TEST_F(TransactionEndToEndTest, FoldersMadeAboveTheInstallFolderGoWithTheProduct) {
  ASSERT_TRUE(platform::CreateDirectory("C:\\Games"));
  ASSERT_EQ(RunProgram({installer_, "--unattended", "--dir=C:\\Games\\L1\\L2\\Hello"}).exit_code,
            0);
  ASSERT_TRUE(platform::FileExists("C:\\Games\\L1\\L2\\Hello\\sub\\data.txt"));
  ProgramResult removed =
      RunProgram({Host("C:\\Games\\L1\\L2\\Hello\\Tiny_Uninstall.exe"), "--unattended"});
  ASSERT_EQ(removed.exit_code, 0) << removed.output;
  for (int i = 0; i < 200 && platform::DirectoryExists("C:\\Games\\L1"); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_FALSE(platform::DirectoryExists("C:\\Games\\L1"));
  EXPECT_TRUE(platform::DirectoryExists("C:\\Games"));
}

TEST_F(TransactionEndToEndTest, UninstallOfAReadOnlyTreeKeepsTheProductAndARerunFinishesIt) {
  ASSERT_EQ(RunProgram({installer_, "--unattended"}).exit_code, 0);
  const std::string folder = Host(kTinyFolder);
  // As root, only a read-only mount stops a deletion; anyone else is stopped by folder modes.
  const bool as_root = geteuid() == 0;
  bool made_read_only = false;
  if (as_root) {
    made_read_only =
        mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) == 0 &&
        mount(nullptr, folder.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    if (!made_read_only) umount(folder.c_str());
  } else {
    made_read_only =
        chmod(folder.c_str(), 0555) == 0 && chmod((folder + "/sub").c_str(), 0555) == 0;
  }
  if (!made_read_only) GTEST_SKIP() << "cannot make the install folder read-only here";

  ProgramResult stuck = RunProgram({Uninstaller(), "--unattended"});
  if (as_root) {
    umount(folder.c_str());
  } else {
    chmod((folder + "/sub").c_str(), 0755);
    chmod(folder.c_str(), 0755);
  }
  EXPECT_EQ(stuck.exit_code, 2) << stuck.output;
  EXPECT_NE(stuck.output.find("Could not remove"), std::string::npos) << stuck.output;
  EXPECT_NE(stuck.output.find("sub\\data.txt"), std::string::npos) << stuck.output;
  EXPECT_TRUE(platform::FileExists(std::string(kTinyFolder) + "sub\\data.txt"));
  EXPECT_TRUE(platform::FileExists(Uninstaller()));
  EXPECT_TRUE(platform::FileExists(std::string(kTinyFolder) + "Tiny_install.log"));
  EXPECT_TRUE(platform::RegKeyExists(platform::RootKey::kLocalMachine, kTinyUninstallKey));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // no finaliser may be running
  EXPECT_TRUE(platform::FileExists(Uninstaller()));

  ProgramResult rerun = RunProgram({Uninstaller(), "--unattended"});
  EXPECT_EQ(rerun.exit_code, 0) << rerun.output;
  WaitForFinaliser();
  EXPECT_FALSE(platform::DirectoryExists(kTinyFolder));
  EXPECT_FALSE(platform::RegKeyExists(platform::RootKey::kLocalMachine, kTinyUninstallKey));
  EXPECT_FALSE(
      platform::RegValueExists(platform::RootKey::kCurrentUser, "Software\\Tiny", "Folder"));
}

TEST_F(TransactionEndToEndTest, TheFinaliserStartedByHandDeletesNothing) {
  ASSERT_EQ(RunProgram({installer_, "--unattended"}).exit_code, 0);
  // A copy where the uninstaller would put it, and the kit's own program file.
  const std::string temp_copy = Host(platform::GetTempPath() + "FINALISE.exe");
  fs::copy_file(BinPath("setup-finalise"), temp_copy);
  // The runtime is the uninstaller's own finaliser (--finalise), under the same rules.
  const std::string temp_runtime = Host(platform::GetTempPath() + "FINALISE-runtime.exe");
  fs::copy_file(BinPath("setup"), temp_runtime);
  const fs::path other = base_ / "other.txt";
  WriteBytes(other, "keep me");
  const MachineSnapshot before = TakeSnapshot(root_, {base_ / "out"});
  struct Start {
    std::string program;
    std::vector<std::string> args;
  };
  const std::vector<Start> starts = {
      {BinPath("setup-finalise"), {"--help"}},
      {BinPath("setup-finalise"), {}},
      {BinPath("setup-finalise"), {other.string()}},
      {BinPath("setup-finalise"), {Uninstaller()}},  // a real uninstaller, but not from Temp
      {temp_copy, {"--help"}},
      {temp_copy, {other.string()}},
      {temp_copy, {installer_}},  // a kit installer is not an uninstaller
      {temp_copy, {Uninstaller(), "extra"}},
      {BinPath("setup"), {"--finalise", Uninstaller()}},  // not from Temp
      {temp_runtime, {"--finalise", other.string()}},
      {temp_runtime, {"--finalise", installer_}},
      {temp_runtime, {"--finalise", Uninstaller(), "--unattended"}},
      {temp_runtime, {"--finalise="}},
  };
  for (const Start& start : starts) {
    std::vector<std::string> command = {start.program};
    command.insert(command.end(), start.args.begin(), start.args.end());
    ProgramResult result = RunProgram(command);
    EXPECT_EQ(result.exit_code, 2) << start.program << " " << result.output;
    EXPECT_TRUE(result.output.find("usage: setup-finalise") != std::string::npos ||
                result.output.find("--finalise") != std::string::npos)
        << result.output;
  }
  EXPECT_TRUE(fs::exists(BinPath("setup-finalise")));
  EXPECT_TRUE(fs::exists(BinPath("setup")));
  EXPECT_TRUE(fs::exists(other));
  const MachineSnapshot after = TakeSnapshot(root_, {base_ / "out"});
  EXPECT_TRUE(before == after) << SnapshotDifference(before, after);
}

}  // namespace
