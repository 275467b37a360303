// The window as the program an installer carries: where a display is found the runtime starts
// it (off screen here) and installs through it; a window program that cannot start is named
// with what it printed, and the run ends with exit code 2 instead of in silence.
#include <sys/stat.h>

#include "common/file_bytes.h"
#include "installer_e2e.h"

namespace {

namespace fs = std::filesystem;

constexpr const char kScript[] =
    "name Small\noutfile SmallSetup.exe\ninstalldir \"$PROGRAMFILES\\Small\\\"\nfile Product\\\n";

class WindowProgramTest : public InstallerE2ETest {
 protected:
  void SetUp() override {
    InstallerE2ETest::SetUp();
    WriteText(src_ / "Product" / "readme.txt", "hello");
  }
  // What is left in the per-user temporary folder of the window programs' private folders.
  size_t PrivateFoldersLeft() const {
    size_t left = 0;
    const fs::path temp = Host(platform::GetTempPath());
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(temp, error)) {
      left += entry.path().filename().string().rfind("setup-window.", 0) == 0;
    }
    return left;
  }
};

TEST_F(WindowProgramTest, WithADisplayTheWindowProgramShowsThePagesAndTheInstallIsDone) {
  ASSERT_EQ(Compile(kScript).exit_code, 0);
  const fs::path shots = base_ / "shots";
  setupkit_test::ProgramOptions options;
  options.env = {{"DISPLAY", ":97"}, {"QT_QPA_PLATFORM", "offscreen"}};
  const ProgramResult run = RunProgram(
      {(out_ / "SmallSetup.exe").string(), "--unattended", "--screenshot-dir", shots.string()},
      options);
  ASSERT_EQ(run.exit_code, 0) << run.output;
  // Only the window program draws: the runtime links no Qt.
  EXPECT_TRUE(fs::exists(shots / "01-welcome.png"));
  bool finish_shown = false;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(shots, error)) {
    const std::string name = entry.path().filename().string();
    finish_shown = finish_shown || name.find("-finish.png") != std::string::npos;
  }
  EXPECT_TRUE(finish_shown) << run.output;
  EXPECT_EQ(platform::ReadFileBytes("C:\\Program Files\\Small\\readme.txt"), "hello");
  EXPECT_EQ(PrivateFoldersLeft(), 0u);
}

// Window programs that cannot be shown: one that ends as the loader ends a program whose library
// is missing, and an entry that is no program at all.
struct BrokenWindow {
  const char* what;
  std::string bytes;
  const char* said;  // what the runtime must pass on
};

TEST_F(WindowProgramTest, AWindowThatCannotStartIsNamedAndTheRunFailsWithoutATerminal) {
  const std::vector<BrokenWindow> windows = {
      {"library missing",
       "#!/bin/sh\necho \"$0: error while loading shared libraries: libQt6Widgets.so.6: cannot "
       "open shared object file: No such file or directory\" >&2\nexit 127\n",
       "error while loading shared libraries: libQt6Widgets.so.6"},
      {"not a program",
       std::string("\x7f"
                   "ELF garbage that no loader takes",
                   32),
       "cannot start the program"},
      {"ends at once", "#!/bin/sh\nexit 3\n", "the window program ended with exit code 3"},
  };
  for (const BrokenWindow& window : windows) {
    SCOPED_TRACE(window.what);
    const fs::path program = base_ / "broken-window";
    WriteText(program, window.bytes);
    fs::permissions(program, fs::perms::owner_all);
    ASSERT_EQ(Compile(kScript, {"--window", program.string()}).exit_code, 0);
    setupkit_test::ProgramOptions options;
    // No terminal emulator to open either.
    options.env = {
        {"DISPLAY", ":97"}, {"PATH", (base_ / "no-programs").string()}, {"TERMINAL", ""}};
    const ProgramResult run = RunProgram({(out_ / "SmallSetup.exe").string()}, options);
    EXPECT_EQ(run.exit_code, 2) << run.output;
    EXPECT_NE(run.err.find("setup: the window cannot be shown:"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(window.said), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("no terminal window can be opened"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("--unattended"), std::string::npos) << run.err;
    EXPECT_FALSE(platform::DirectoryExists("C:\\Program Files\\Small"));
    EXPECT_EQ(PrivateFoldersLeft(), 0u);
  }
}

TEST_F(WindowProgramTest, StartedWithoutATerminalTheWizardMovesToATerminalWindow) {
  const fs::path program = base_ / "broken-window";
  WriteText(program, "#!/bin/sh\nexit 127\n");
  fs::permissions(program, fs::perms::owner_all);
  ASSERT_EQ(Compile(kScript, {"--window", program.string()}).exit_code, 0);
  // A terminal emulator that writes down what it was asked to run, one word per line.
  const fs::path bin = base_ / "bin";
  const fs::path asked = base_ / "asked.txt";
  WriteText(bin / "x-terminal-emulator",
            "#!/bin/sh\nfor word in \"$@\"; do printf '%s\\n' \"$word\"; done > '" +
                asked.string() + "'\n");
  fs::permissions(bin / "x-terminal-emulator", fs::perms::owner_all);
  setupkit_test::ProgramOptions options;
  options.env = {{"DISPLAY", ":97"}, {"PATH", bin.string()}, {"TERMINAL", ""}};
  const fs::path installer = out_ / "SmallSetup.exe";
  const ProgramResult run = RunProgram({installer.string(), "--dir=/tmp/x y"}, options);
  EXPECT_EQ(run.exit_code, 0) << run.output;
  EXPECT_EQ(setupkit_test::ReadBytes(asked),
            "-e\n" + fs::canonical(installer).string() + "\n--dir=/tmp/x y\n--text\n");
  EXPECT_FALSE(platform::DirectoryExists("C:\\Program Files\\Small"));
}

TEST_F(WindowProgramTest, WithoutADisplayTheMessageNamesTheFileStartedAndItsOwnOptions) {
  ASSERT_EQ(Compile(std::string(kScript) + "prefix Small\nuninstallpages uninstall\n").exit_code,
            0);
  const std::string installer = (out_ / "SmallSetup.exe").string();
  auto without_display = [](const std::string& program) {
    return RunProgram(
        {"env", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "-u", "QT_QPA_PLATFORM", program});
  };
  ProgramResult run = without_display(installer);
  EXPECT_EQ(run.exit_code, 2);
  EXPECT_NE(run.err.find("; run \"" + installer +
                         " --unattended [--dir=PATH] [--log=FILE]\" to install without a window"),
            std::string::npos)
      << run.err;
  ASSERT_EQ(RunProgram({installer, "--unattended"}).exit_code, 0);
  const std::string uninstaller = Host("C:\\Program Files\\Small\\Small_Uninstall.exe");
  run = without_display(uninstaller);
  EXPECT_EQ(run.exit_code, 2);
  // The folder's blank makes the path a quoted word of the command.
  EXPECT_NE(run.err.find("; run \"'" + uninstaller +
                         "' --unattended [--log=FILE]\" to uninstall without a window"),
            std::string::npos)
      << run.err;
  EXPECT_TRUE(fs::exists(uninstaller));
}

TEST_F(WindowProgramTest, TheWindowProgramStartedByHandOnlySaysHowItIsStarted) {
  const ProgramResult run = RunProgram({BinPath("setup-window"), "package.exe"});
  EXPECT_EQ(run.exit_code, 2);
  EXPECT_NE(run.err.find("usage: setup-window"), std::string::npos) << run.err;
}

}  // namespace
