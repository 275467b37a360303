// Links planted in the kit's own folders, with the real programs: at every folder level of an
// install and of an uninstall, before the run and, through the fault seam's stop, at every step
// between the run's checks and its change. Nothing outside the kit's folders is ever written or
// deleted; the uninstaller leaves and reports what is no longer the object it made.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "common/file_bytes.h"
#include "common/machine_snapshot.h"
#include "common/program_runner.h"
#include "common/stopped_run.h"
#include "common/test_folder.h"
#include "platform/desktop_entry.h"
#include "platform/drives.h"
#include "platform/files.h"
#include "platform/safe_parent.h"
#include "platform/shell.h"
#include "wizard/tiny_product.h"

namespace {

namespace fs = std::filesystem;
using setupkit_test::BinPath;
using setupkit_test::kTinyFolder;
using setupkit_test::kTinyScriptHead;
using setupkit_test::MachineSnapshot;
using setupkit_test::RunProgram;
using setupkit_test::RunStoppedAt;
using setupkit_test::WriteBytes;

MachineSnapshot Snapshot(const fs::path& folder) {
  MachineSnapshot snapshot;
  setupkit_test::AddTreeToSnapshot(folder, "", snapshot);
  return snapshot;
}

// Where the run installs: the default folder below drive C:, a folder outside SETUP_ROOT (given to
// --dir as a host path, reached through Z:) or, per machine, the machine's /opt: the last two only
// the run itself knows to trust.
enum class Place { kDriveC, kOutsideSetupRoot, kMachineOpt };
constexpr const char* kPlaceNames[] = {"OnDriveC", "OutsideSetupRoot", "MachineOpt"};

class PlantedLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = setupkit_test::FreshTestFolder("setup-links-");
    root_ = base_ / "root";
    victim_ = base_ / "victim";
    setenv("SETUP_ROOT", root_.c_str(), 1);
    setenv("XDG_DATA_HOME", (root_ / "data").c_str(), 1);
    unsetenv("SETUP_FAULT");
    unsetenv("SETUP_NO_DESKTOP_ENTRIES");
    const fs::path src = base_ / "src";
    WriteBytes(src / "App" / "app.sh", "#!/bin/sh\necho app\n");
    WriteBytes(src / "App" / "sub" / "data.txt", "data");
    WriteBytes(src / "App" / "sub" / "deeper" / "more.txt", "more");
    WriteBytes(src / "Changes.txt", "Version 1\r\n");
    WriteBytes(src / "tiny.setup",
               std::string(kTinyScriptHead) +
                   "file \"App\\\"\ncreatedirectory \"$INSTDIR\\made\\inner\"\n"
                   "createshortcut \"$SMPROGRAMS\\Tiny\\App.lnk\" \"$INSTDIR\\app.sh\" \"\"\n");
    fs::create_directories(base_ / "out");
    const auto compiled = RunProgram({BinPath("setupc"), "--source", src.string(), "-o",
                                      (base_ / "out").string(), (src / "tiny.setup").string()});
    ASSERT_EQ(compiled.exit_code, 0) << compiled.output;
    installer_ = (base_ / "out" / "TinySetup.exe").string();
    PrepareMachine();
  }
  void TearDown() override {
    unsetenv("XDG_DATA_HOME");
    std::error_code ignored;
    fs::remove_all(base_, ignored);
  }

  void PrepareMachine() {
    fs::remove_all(root_);
    fs::remove_all(victim_);
    for (auto folder : {platform::ShellFolder::kPrograms, platform::ShellFolder::kProgramFiles}) {
      platform::GetShellFolder(folder);
    }
    platform::GetTempPath();
    fs::create_directories(platform::ApplicationsFolder());
  }
  std::string Host(const std::string& windows_path) const {
    return platform::ToHostPath(windows_path).value_or("");
  }
  fs::path InstallHost(Place place) const {
    if (place == Place::kOutsideSetupRoot) return base_ / "games" / "Tiny";
    if (place == Place::kMachineOpt) return root_ / "machine" / "opt" / "Tiny";
    return Host(kTinyFolder);
  }
  std::vector<std::string> InstallArgs(Place place) const {
    std::vector<std::string> args = {installer_, "--unattended"};
    if (place == Place::kOutsideSetupRoot) args.push_back("--dir=" + InstallHost(place).string());
    if (place == Place::kMachineOpt) args.push_back("--all-users");
    return args;
  }
  std::string Uninstaller(Place place = Place::kDriveC) const {
    return (InstallHost(place) / "Tiny_Uninstall.exe").string();
  }
  // The finaliser the uninstaller starts works on after it ends, from the temporary folder of
  // the uninstall's scope.
  void WaitForFinaliser(Place place = Place::kDriveC) const {
    std::string temp;
    {
      const platform::ScopeSwitch scope(place == Place::kMachineOpt);
      temp = Host(platform::GetTempPath());
    }
    for (int i = 0; i < 200 && !platform::FindFiles(temp, "setup-finalise-*").empty(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }
  // The folder at `host` moves out to the victim's place and a link to it takes its place: what
  // the run then writes or deletes there lands outside unless the link is refused.
  void SwapForLink(const fs::path& host) {
    fs::rename(host, victim_);
    fs::create_directory_symlink(victim_, host);
  }
  // The steps of a clean run of `args` that change something in a folder below the kit's own
  // folders, as the tally names them ("N operation path").
  std::vector<std::pair<long long, fs::path>> GuardedSteps(const std::vector<std::string>& args,
                                                           std::vector<std::string> tops) {
    const fs::path tally = base_ / "tally";
    setupkit_test::ProgramOptions options;
    options.env = {{"SETUP_FAULT_TALLY", tally.string()}};
    EXPECT_EQ(RunProgram(args, options).exit_code, 0);
    std::vector<std::pair<long long, fs::path>> steps;
    for (const setupkit_test::TalliedStep& step : setupkit_test::ReadTally(tally.string())) {
      const fs::path parent = fs::path(step.path).parent_path();
      for (const std::string& top : tops) {
        if (parent.string().rfind(top + "/", 0) == 0) {
          steps.emplace_back(step.number, parent);
          break;
        }
      }
    }
    return steps;
  }

  fs::path base_, root_, victim_;
  std::string installer_;
};

struct Level {
  const char* name;
  const char* path;  // below C:\, or "" for the Start-menu folder of the product
  // Whether the install has to write below the level (and so refuses with exit code 2); a
  // folder the script only asks for is there already, through the link, and needs no change.
  bool written_below;
};

const Level kLevels[] = {
    {"AboveTheInstallFolder", "Program Files", true},
    {"InstallFolder", "Program Files\\Tiny", true},
    {"FolderOfFiles", "Program Files\\Tiny\\sub", true},
    {"DeepestFolder", "Program Files\\Tiny\\sub\\deeper", true},
    {"MadeFolder", "Program Files\\Tiny\\made\\inner", false},
    {"StartMenuFolder", "", true},
};

class LinkAtLevelTest : public PlantedLinkTest, public ::testing::WithParamInterface<Level> {
 protected:
  fs::path LevelHost() const {
    const std::string path = GetParam().path;
    return path.empty() ? fs::path(Host(platform::GetShellFolder(platform::ShellFolder::kPrograms)))
                              .append("Tiny")
                        : fs::path(Host("C:\\" + path));
  }
};

// Planted before the install: nothing is written outside; a run that has to write there
// refuses with exit code 2.
TEST_P(LinkAtLevelTest, InstallWritesNothingThroughIt) {
  WriteBytes(base_ / "mine" / "keep.txt", "mine");
  fs::create_directories(LevelHost().parent_path());
  fs::remove_all(LevelHost());
  fs::create_directory_symlink(base_ / "mine", LevelHost());
  const MachineSnapshot before = Snapshot(base_ / "mine");
  const auto install = RunProgram({installer_, "--unattended"});
  EXPECT_EQ(install.exit_code, GetParam().written_below ? 2 : 0) << install.output;
  EXPECT_TRUE(fs::is_symlink(LevelHost()));
  EXPECT_TRUE(before == Snapshot(base_ / "mine"))
      << setupkit_test::SnapshotDifference(before, Snapshot(base_ / "mine"));
}

// Swapped for a link to its own content before the uninstall: all of it stays, and the
// uninstaller says so (exit code 2).
TEST_P(LinkAtLevelTest, UninstallDeletesNothingThroughIt) {
  ASSERT_EQ(RunProgram({installer_, "--unattended"}).exit_code, 0);
  SwapForLink(LevelHost());
  const MachineSnapshot before = Snapshot(victim_);
  const auto removed = RunProgram({Uninstaller(), "--unattended"});
  EXPECT_EQ(removed.exit_code, 2) << removed.output;
  EXPECT_NE(removed.output.find("Could not remove"), std::string::npos) << removed.output;
  WaitForFinaliser();
  EXPECT_TRUE(before == Snapshot(victim_))
      << setupkit_test::SnapshotDifference(before, Snapshot(victim_));
}

INSTANTIATE_TEST_SUITE_P(EveryFolderLevel, LinkAtLevelTest, ::testing::ValuesIn(kLevels),
                         [](const auto& info) { return std::string(info.param.name); });

// A recorded file that is no longer a plain file (a link, a fifo) is left and reported.
TEST_F(PlantedLinkTest, UninstallLeavesARecordedFileThatIsNoLongerAPlainFile) {
  WriteBytes(base_ / "mine.txt", "mine");
  for (const bool fifo : {false, true}) {
    PrepareMachine();
    ASSERT_EQ(RunProgram({installer_, "--unattended"}).exit_code, 0);
    const std::string host = Host(std::string(kTinyFolder) + "sub\\data.txt");
    fs::remove(host);
    if (fifo) {
      ASSERT_EQ(mkfifo(host.c_str(), 0644), 0);
    } else {
      fs::create_symlink(base_ / "mine.txt", host);
    }
    const auto removed = RunProgram({Uninstaller(), "--unattended"});
    EXPECT_EQ(removed.exit_code, 2) << removed.output;
    EXPECT_NE(removed.output.find("sub\\data.txt"), std::string::npos) << removed.output;
    EXPECT_TRUE(fs::is_symlink(host) || fs::is_fifo(host));
    EXPECT_EQ(platform::ReadFileBytes((base_ / "mine.txt").string()), "mine");
  }
}

// The race: at every step of an install and of an uninstall that changes something below the
// kit's folders (or below the install folder outside SETUP_ROOT), the run stops after its checks;
// the step's folder moves aside and a link to a copy of it outside takes its place; the run goes
// on. The copy is never changed.
class RaceTest : public PlantedLinkTest, public ::testing::WithParamInterface<Place> {};

TEST_P(RaceTest, ALinkPlantedAfterTheChecksOfAnyStepIsNeverFollowed) {
  const Place place = GetParam();
  std::vector<std::string> tops;
  {
    const platform::ScopeSwitch scope(place == Place::kMachineOpt);
    tops = platform::GuardedFolders();
  }
  if (place != Place::kDriveC) tops.push_back(InstallHost(place).string());
  int cases = 0, broken = 0, not_stopped = 0;
  for (const bool uninstall : {false, true}) {
    PrepareMachine();
    fs::remove_all(InstallHost(place));
    if (uninstall) {
      ASSERT_EQ(RunProgram(InstallArgs(place)).exit_code, 0);
    }
    const std::vector<std::string> args =
        uninstall ? std::vector<std::string>{Uninstaller(place), "--unattended"}
                  : InstallArgs(place);
    const auto steps = GuardedSteps(args, tops);
    EXPECT_GT(steps.size(), uninstall ? 5u : 10u);
    WaitForFinaliser(place);
    for (const auto& [step, folder] : steps) {
      PrepareMachine();
      fs::remove_all(InstallHost(place));
      if (uninstall) {
        ASSERT_EQ(RunProgram(InstallArgs(place)).exit_code, 0);
      }
      MachineSnapshot before;
      bool stopped = false;
      RunStoppedAt(
          args, step,
          [&] {
            if (!fs::is_directory(folder)) return;
            fs::copy(folder, victim_, fs::copy_options::recursive);
            fs::rename(folder, folder.string() + ".moved");
            fs::create_directory_symlink(victim_, folder);
            before = Snapshot(victim_);
          },
          stopped);
      if (uninstall) WaitForFinaliser(place);
      ++cases;
      not_stopped += stopped ? 0 : 1;
      const MachineSnapshot after = Snapshot(victim_);
      if (before != after) ++broken;
      EXPECT_TRUE(before == after)
          << (uninstall ? "uninstall" : "install") << " step " << step << " at " << folder << "\n"
          << setupkit_test::SnapshotDifference(before, after);
    }
  }
  std::printf("planted after the checks (%s): %d cases, %d held, %d broken (%d never stopped)\n",
              kPlaceNames[static_cast<int>(place)], cases, cases - broken, broken, not_stopped);
  EXPECT_EQ(not_stopped, 0);
}

INSTANTIATE_TEST_SUITE_P(InstallFolder, RaceTest,
                         ::testing::Values(Place::kDriveC, Place::kOutsideSetupRoot,
                                           Place::kMachineOpt),
                         [](const auto& info) {
                           return std::string(kPlaceNames[static_cast<int>(info.param)]);
                         });

}  // namespace
