// Per-machine and per-user installs of one product side by side in one test root: where each
// puts its files, hive and menu entries, that each scope has its own run lock, that the listing
// shows both with their scope and that each printed command removes its own install; and, run as
// an ordinary user, that a per-user run cannot change the machine's state.
#include <unistd.h>

#include <optional>

#include "common/machine_snapshot.h"
#include "common/scoped_env.h"
#include "installer_e2e.h"
#include "platform/run_lock.h"

namespace {

namespace fs = std::filesystem;
using setupkit_test::ScopedEnv;

constexpr const char* kScript =
    "name \"Demo Product\"\n"
    "shortname Demo\n"
    "outfile DemoSetup.exe\n"
    "installdir \"$PROGRAMFILES\\Demo Product\\\"\n"
    "prefix Demo\n"
    "uninstallpages uninstall\n"
    "file \"App\\\"\n"
    "createshortcut \"$SMPROGRAMS\\Demo Product\\Demo.lnk\" \"$INSTDIR\\demo.sh\" \"\"\n";

class MachineInstallTest : public InstallerE2ETest {
 protected:
  void SetUp() override {
    InstallerE2ETest::SetUp();
    unsetenv("SETUP_NO_DESKTOP_ENTRIES");  // menu entries are made, into the test root
    WriteText(src_ / "App" / "demo.sh", "#!/bin/sh\necho demo\n");
    const ProgramResult compiled = Compile(kScript);
    ASSERT_EQ(compiled.exit_code, 0) << compiled.output;
    installer_ = (out_ / "DemoSetup.exe").string();
  }

  fs::path Machine() const { return root_ / "machine"; }
  setupkit_test::MachineSnapshot MachineState() const {
    setupkit_test::MachineSnapshot snapshot;
    setupkit_test::AddTreeToSnapshot(Machine(), "machine", snapshot);
    return snapshot;
  }
  std::string installer_;
  ScopedEnv data_home_{"XDG_DATA_HOME", std::nullopt};  // would send menu entries elsewhere
};

TEST_F(MachineInstallTest, BothScopesInstallListAndUninstallApart) {
  const ProgramResult machine = RunProgram({installer_, "--all-users", "--unattended"});
  ASSERT_EQ(machine.exit_code, 0) << machine.output;
  const fs::path program = Machine() / "opt" / "Demo Product" / "demo.sh";
  EXPECT_TRUE(fs::exists(program));
  EXPECT_TRUE(fs::exists(Machine() / "registry" / "HKLM.reg"));
  const fs::path menu = Machine() / "applications" / "setupkit-demo-product-demo.desktop";
  ASSERT_TRUE(fs::exists(menu));
  EXPECT_NE(platform::ReadFileBytes(menu.string())
                .value_or("")
                .find("Exec=\"" + program.string() + "\"\n"),
            std::string::npos)
      << menu;
  EXPECT_TRUE(fs::exists(Machine() / "drive_c/users/Public/Start Menu/Programs/Demo Product"));
  EXPECT_FALSE(fs::exists(root_ / "registry"));
  EXPECT_FALSE(fs::exists(root_ / "applications"));

  // Each scope has its own run lock: with the machine's held, a per-user run goes on and a
  // per-machine one waits (here: not at all).
  const setupkit_test::MachineSnapshot machine_state = MachineState();
  std::optional<platform::RunLock> lock;
  ASSERT_EQ(platform::RunLock::Acquire((Machine() / "setup.lock").string(), "test",
                                       std::chrono::milliseconds(0), nullptr, nullptr, lock),
            platform::RunLock::Outcome::kTaken);
  const ProgramResult user = RunProgram({installer_, "--unattended", "--wait=0"});
  ASSERT_EQ(user.exit_code, 0) << user.output;
  EXPECT_EQ(RunProgram({installer_, "--all-users", "--unattended", "--wait=0"}).exit_code, 2);
  lock.reset();
  EXPECT_TRUE(fs::exists(root_ / "drive_c/Program Files/Demo Product/demo.sh"));
  EXPECT_TRUE(fs::exists(root_ / "applications" / "setupkit-demo-product-demo.desktop"));
  EXPECT_EQ(setupkit_test::SnapshotDifference(machine_state, MachineState()), "");

  // The machine's product first, then the user's; the last field says which is which.
  const std::string machine_command =
      "'" + (Machine() / "opt/Demo Product/Demo_Uninstall.exe").string() + "' --unattended";
  const std::string user_command =
      "'" + (root_ / "drive_c/Program Files/Demo Product/Demo_Uninstall.exe").string() +
      "' --unattended";
  EXPECT_EQ(RunProgram({BinPath("setup"), "--list-installed"}).out,
            "Demo Product\t-\t" + (Machine() / "opt/Demo Product").string() + "\t" +
                machine_command + "\tmachine\nDemo Product\t-\t" +
                (root_ / "drive_c/Program Files/Demo Product").string() + "\t" + user_command +
                "\tuser\n");
  const std::string json = RunProgram({BinPath("setup"), "--list-installed", "--json"}).out;
  EXPECT_NE(json.find("\"scope\": \"machine\"}"), std::string::npos) << json;
  EXPECT_NE(json.find("\"scope\": \"user\"}"), std::string::npos) << json;

  // Each printed command removes its own install and nothing of the other.
  const ProgramResult removed_machine = RunProgram({"sh", "-c", machine_command});
  ASSERT_EQ(removed_machine.exit_code, 0) << removed_machine.output;
  EXPECT_TRUE(WaitUntilGone((Machine() / "opt" / "Demo Product").string()));
  EXPECT_FALSE(fs::exists(menu));
  EXPECT_TRUE(fs::exists(root_ / "drive_c/Program Files/Demo Product/demo.sh"));
  const ProgramResult removed_user = RunProgram({"sh", "-c", user_command});
  ASSERT_EQ(removed_user.exit_code, 0) << removed_user.output;
  EXPECT_TRUE(WaitUntilGone((root_ / "drive_c/Program Files/Demo Product").string()));
  EXPECT_FALSE(fs::exists(root_ / "applications" / "setupkit-demo-product-demo.desktop"));
  EXPECT_EQ(RunProgram({BinPath("setup"), "--list-installed"}).out, "");
}

// Permissions do not stop root, so the per-user half runs as an ordinary user (through setpriv),
// with the per-user part of the test root handed to that user and the machine's part not.
TEST_F(MachineInstallTest, OrdinaryUserCannotChangeTheMachinesState) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to run the per-user half as another user";
  const ProgramResult machine =
      RunProgram({installer_, "--unattended"}, {{}, {{"SETUP_SCOPE", "machine"}}});
  ASSERT_EQ(machine.exit_code, 0) << machine.output;
  std::vector<std::string> chown = {"chown", "-R", "65534:65534", "--"};
  for (const fs::directory_entry& entry : fs::directory_iterator(root_)) {
    if (entry.path() != Machine()) chown.push_back(entry.path().string());
  }
  ASSERT_EQ(RunProgram(chown).exit_code, 0);
  ASSERT_EQ(RunProgram({"chown", "65534:65534", "--", root_.string()}).exit_code, 0);
  const setupkit_test::MachineSnapshot machine_state = MachineState();

  auto as_user = [&](std::vector<std::string> args) {
    args.insert(args.begin(), {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "env",
                               "HOME=" + root_.string()});
    return RunProgram(args);
  };
  const ProgramResult user = as_user({installer_, "--unattended"});
  ASSERT_EQ(user.exit_code, 0) << user.output;
  EXPECT_TRUE(fs::exists(root_ / "drive_c/Program Files/Demo Product/demo.sh"));
  // It reads the machine's products for the list, ...
  const std::string listed = as_user({BinPath("setup"), "--list-installed"}).out;
  EXPECT_NE(listed.find("\tmachine\n"), std::string::npos) << listed;
  EXPECT_NE(listed.find("\tuser\n"), std::string::npos) << listed;
  // ... but neither installs for the machine nor removes the machine's install: one line, exit 2.
  const std::string state = Machine().string();
  const struct {
    std::vector<std::string> args;
    std::string line;
  } refusals[] = {
      {{installer_, "--all-users", "--unattended"},
       "setup: installing for all users needs the rights of root (" + state +
           " cannot be written)\n"},
      {{(Machine() / "opt/Demo Product/Demo_Uninstall.exe").string(), "--unattended"},
       "setup: removing this install for all users needs the rights of root (" + state +
           " cannot be written)\n"},
  };
  for (const auto& refusal : refusals) {
    const ProgramResult refused = as_user(refusal.args);
    EXPECT_EQ(refused.exit_code, 2) << refused.output;
    EXPECT_EQ(refused.err, refusal.line);
  }
  EXPECT_EQ(setupkit_test::SnapshotDifference(machine_state, MachineState()), "");
}

}  // namespace
