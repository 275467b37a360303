// Runs that overlap: two installers of one product, and an installer with the product's
// uninstaller, started at random (seeded) offsets. One run at a time holds the machine, so
// every run that exits 0 leaves a complete product that its uninstaller removes, and the
// machine ends as a single run would leave it. SETUP_TEST_ROUNDS sets the rounds of each.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <thread>

#include "common/machine_snapshot.h"
#include "installer_e2e.h"
#include "platform/registry.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kRaceFolder = "C:\\Program Files\\Race\\";
constexpr const char* kRaceUninstallKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Race";
constexpr int kFiles = 40;

int Rounds() {
  const char* value = std::getenv("SETUP_TEST_ROUNDS");
  const int rounds = value ? std::atoi(value) : 0;
  return rounds > 0 ? rounds : 3;
}

class ConcurrentRunsTest : public InstallerE2ETest {
 protected:
  void SetUp() override {
    InstallerE2ETest::SetUp();
    // Enough files that a run lasts long enough for the other to start in its middle.
    for (int i = 0; i < kFiles; ++i) {
      WriteText(src_ / "App" / ("part" + std::to_string(i) + ".bin"),
                std::string(200000 + i, static_cast<char>('a' + i % 26)));
    }
    ProgramResult compiled = Compile(
        "name Race\nshortname Race\noutfile RaceSetup.exe\n"
        "installdir \"$PROGRAMFILES\\Race\\\"\npages install\nuninstallpages uninstall\n"
        "prefix Race\nlanguage install\\english\nuninstalllanguage uninstall\\english\n"
        "file \"App\\\"\nwriteregstr HKCU Software\\Race Folder $INSTDIR\n",
        {"--source", src_.string()});
    ASSERT_EQ(compiled.exit_code, 0) << compiled.output;
    installer_ = (out_ / "RaceSetup.exe").string();
    // The machine as one install and its removal leave it (the shell folders made, keys
    // whose values went): where every round must end.
    ASSERT_EQ(RunProgram({installer_, "--unattended"}).exit_code, 0);
    ASSERT_EQ(RunProgram({Uninstaller(), "--unattended"}).exit_code, 0);
    ASSERT_TRUE(WaitUntilGone(kRaceFolder));
    WaitForTempCopy();
    clean_ = setupkit_test::TakeSnapshot(root_);
  }

  bool Registered() const {
    return platform::RegKeyExists(platform::RootKey::kLocalMachine, kRaceUninstallKey);
  }

  // Every file of the product as packed, the uninstaller and its registration.
  ::testing::AssertionResult Complete() const {
    for (int i = 0; i < kFiles; ++i) {
      const std::string name = "part" + std::to_string(i) + ".bin";
      std::ifstream in(Host(std::string(kRaceFolder) + name), std::ios::binary);
      const std::string bytes{std::istreambuf_iterator<char>(in), {}};
      if (bytes != std::string(200000 + i, static_cast<char>('a' + i % 26))) {
        return ::testing::AssertionFailure() << name << " is missing or wrong";
      }
    }
    if (!fs::exists(Uninstaller())) return ::testing::AssertionFailure() << "no uninstaller";
    if (!Registered()) return ::testing::AssertionFailure() << "not registered";
    return ::testing::AssertionSuccess();
  }

  std::string Uninstaller() const { return Host(std::string(kRaceFolder) + "Race_Uninstall.exe"); }

  // Removes the product with its own uninstaller, then proves the machine is as it was.
  void RemoveAndCompare(const std::string& round) {
    if (Registered()) {
      ProgramResult removed = RunProgram({Uninstaller(), "--unattended"});
      EXPECT_EQ(removed.exit_code, 0) << round << removed.output;
    }
    EXPECT_TRUE(WaitUntilGone(kRaceFolder)) << round;
    WaitForTempCopy();
    const setupkit_test::MachineSnapshot after = setupkit_test::TakeSnapshot(root_);
    EXPECT_TRUE(after == clean_) << round << setupkit_test::SnapshotDifference(clean_, after);
  }

  void WaitForTempCopy() {
    // The finaliser's private folder in Temp goes last, with its copy.
    for (int i = 0;
         i < 200 && !platform::FindFiles(platform::GetTempPath(), "setup-finalise-*").empty();
         ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }

  // Runs A at once and B after `offset`, both to their end.
  static std::pair<ProgramResult, ProgramResult> Overlap(const std::vector<std::string>& a,
                                                         const std::vector<std::string>& b,
                                                         std::chrono::milliseconds offset) {
    std::pair<ProgramResult, ProgramResult> results;
    std::thread first([&] { results.first = RunProgram(a); });
    std::this_thread::sleep_for(offset);
    results.second = RunProgram(b);
    first.join();
    return results;
  }

  std::string installer_;
  setupkit_test::MachineSnapshot clean_;
};

TEST_F(ConcurrentRunsTest, TwoInstallersBothFinishAndLeaveOneCompleteRemovableProduct) {
  std::mt19937 random(2101);
  std::uniform_int_distribution<int> offset_ms(0, 400);
  for (int round = 0; round < Rounds(); ++round) {
    const std::string label = "round " + std::to_string(round) + ": ";
    const auto [first, second] = Overlap({installer_, "--unattended"}, {installer_, "--unattended"},
                                         std::chrono::milliseconds(offset_ms(random)));
    EXPECT_EQ(first.exit_code, 0) << label << first.output;
    EXPECT_EQ(second.exit_code, 0) << label << second.output;
    EXPECT_TRUE(Complete()) << label;
    RemoveAndCompare(label);
  }
}

TEST_F(ConcurrentRunsTest, AnInstallerAndTheUninstallerEndInOneWholeState) {
  std::mt19937 random(2102);
  std::uniform_int_distribution<int> offset_ms(0, 400);
  std::bernoulli_distribution uninstaller_first(0.5);
  int both_finished = 0;
  for (int round = 0; round < Rounds(); ++round) {
    const std::string label = "round " + std::to_string(round) + ": ";
    ProgramResult installed = RunProgram({installer_, "--unattended"});
    ASSERT_EQ(installed.exit_code, 0) << label << installed.output;
    const std::vector<std::string> install = {installer_, "--unattended"};
    const std::vector<std::string> remove = {Uninstaller(), "--unattended"};
    const bool remove_first = uninstaller_first(random);
    auto [a, b] = Overlap(remove_first ? remove : install, remove_first ? install : remove,
                          std::chrono::milliseconds(offset_ms(random)));
    const ProgramResult& installer_run = remove_first ? b : a;
    const ProgramResult& uninstaller_run = remove_first ? a : b;
    EXPECT_EQ(installer_run.exit_code, 0) << label << installer_run.output;
    // An uninstaller whose file the installer replaced and removed while it waited for its
    // turn no longer finds its own package: it refuses to run and changes nothing. Started at
    // the instant the installer has set the old file aside and not yet renamed the new one into
    // place, it cannot be started at all (exit code 127 from the launch): nothing changes then
    // either, which the checks below hold it to.
    EXPECT_TRUE(uninstaller_run.exit_code == 0 || uninstaller_run.exit_code == 2 ||
                uninstaller_run.exit_code == 127)
        << label << uninstaller_run.output;
    if (installer_run.exit_code == 0 && uninstaller_run.exit_code == 0) ++both_finished;
    WaitForTempCopy();
    if (Registered()) {
      EXPECT_TRUE(Complete()) << label;
    } else {
      EXPECT_TRUE(WaitUntilGone(kRaceFolder)) << label << "not registered, yet files are left";
    }
    RemoveAndCompare(label);
  }
  EXPECT_GT(both_finished, 0);
}

}  // namespace
