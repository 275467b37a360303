// The terminal wizard of a real installer, typed at through a pseudo terminal: Enter alone
// installs (and then removes with the uninstaller), Esc and "yes" leave nothing (Enter on the
// question is No), a host path typed at the dumb terminal's prompts is where the product goes.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/file_bytes.h"
#include "common/program_runner.h"
#include "common/scoped_env.h"
#include "platform/drives.h"
#include "platform/files.h"
#include "pty_session.h"

namespace {

namespace fs = std::filesystem;
using setupkit_test::BinPath;
using setupkit_test::PtySession;
using setupkit_test::RunProgram;
using setupkit_test::WriteBytes;

constexpr const char* kInstallFolder = "C:\\Program Files\\Tally\\";

// The headings of the stock install pages in the English table, in order.
const std::vector<std::string> kInstallHeadings = {
    "Welcome to the Tally Setup", "What is new in Tally", "Choose the language",
    "Choose the Install Folder",  "Ready to Install",     "Tally Is Installed"};

class TerminalEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = folder_.Path();
    fs::create_directories(base_ / "root");
    fs::create_directories(base_ / "out");
    WriteBytes(base_ / "src" / "App" / "tally.txt", "counts things");
    WriteBytes(base_ / "src" / "App" / "sub" / "data.txt", "data");
    WriteBytes(base_ / "src" / "Changes.txt", "1.0\r\nFirst release.\r\n");
    WriteBytes(base_ / "src" / "tally.setup",
               "name Tally\n"
               "shortname Tally\n"
               "outfile TallySetup.exe\n"
               "installdir \"$PROGRAMFILES\\Tally\\\"\n"
               "changelog Changes.txt\n"
               "pages install\n"
               "uninstallpages uninstall\n"
               "prefix Tally\n"
               "language install\\english\n"
               "language install\\czech\n"
               "uninstalllanguage uninstall\\english\n"
               "file \"App\\\"\n");
    const auto compiled =
        RunProgram({BinPath("setupc"), "--source", (base_ / "src").string(), "-o",
                    (base_ / "out").string(), (base_ / "src" / "tally.setup").string()});
    ASSERT_EQ(compiled.exit_code, 0) << compiled.output;
    installer_ = (base_ / "out" / "TallySetup.exe").string();
  }

  // The program on an 80x24 terminal; with TEXT, asked for the terminal wizard, else left to
  // choose it (no display is set).
  std::unique_ptr<PtySession> Start(const std::string& program, const std::string& term,
                                    bool text = true) {
    std::vector<std::string> args = {program};
    if (text) args.push_back("--text");
    auto session = std::make_unique<PtySession>(
        args,
        std::vector<std::pair<std::string, std::string>>{{"SETUP_ROOT", (base_ / "root").string()},
                                                         {"SETUP_NO_DESKTOP_ENTRIES", "1"},
                                                         {"SETUP_LANGID", "0409"},
                                                         {"LANG", "C.UTF-8"},
                                                         {"TERM", term}},
        std::vector<std::string>{"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "LC_ALL"});
    EXPECT_TRUE(session->Started());
    return session;
  }

  // Presses Enter on each page once its heading shows, the last one included.
  static void EnterThrough(PtySession& session, const std::vector<std::string>& headings) {
    for (const std::string& heading : headings) {
      ASSERT_TRUE(session.WaitFor(heading)) << "no \"" << heading << "\" in:\n" << session.Output();
      session.Send("\r");
    }
  }

  std::string Host(const std::string& windows_path) {
    setupkit_test::ScopedEnv root("SETUP_ROOT", (base_ / "root").string());
    return platform::ToHostPath(windows_path).value_or("");
  }

  setupkit_test::TempFolder folder_{"setup-terminal"};
  fs::path base_;
  std::string installer_;
};

TEST_F(TerminalEndToEndTest, EnterAloneInstallsAndTheUninstallerRemoves) {
  auto install = Start(installer_, "xterm-256color");
  EnterThrough(*install, kInstallHeadings);
  EXPECT_EQ(install->Wait(), 0) << install->Output();
  // The terminal was given back: normal screen, cursor shown.
  EXPECT_NE(install->Output().find("\x1b[?1049l"), std::string::npos);
  EXPECT_NE(install->Output().find("setup: finished"), std::string::npos);
  const std::string folder = Host(kInstallFolder);
  EXPECT_EQ(setupkit_test::ReadBytes(fs::path(folder) / "tally.txt"), "counts things");
  EXPECT_EQ(setupkit_test::ReadBytes(fs::path(folder) / "sub" / "data.txt"), "data");

  auto remove = Start(folder + "/Tally_Uninstall.exe", "xterm-256color");
  EnterThrough(*remove, {"Uninstall Tally", "Ready to Uninstall", "Tally Is Removed"});
  EXPECT_EQ(remove->Wait(), 0) << remove->Output();
  EXPECT_FALSE(fs::exists(fs::path(folder) / "tally.txt"));
  EXPECT_FALSE(fs::exists(fs::path(folder) / "sub"));
}

TEST_F(TerminalEndToEndTest, EnterOnTheQuitQuestionStaysAndYesLeavesNothing) {
  // No --text: with no display and a terminal, the terminal wizard is chosen.
  auto install = Start(installer_, "xterm", false);
  ASSERT_TRUE(install->WaitFor(kInstallHeadings[0])) << install->Output();
  install->Send("\r");
  ASSERT_TRUE(install->WaitFor(kInstallHeadings[1])) << install->Output();
  // The question's default is No: Enter keeps the wizard, which asks again on the next Esc. (An
  // Esc that reaches the box together with the Enter goes with the box, so it is sent again.)
  for (const char* answer : {"\r", "y"}) {
    bool asked = false;
    for (int attempt = 0; attempt < 10 && !asked; ++attempt) {
      install->Send("\x1b");
      asked = install->WaitFor("Are you sure you want to quit the installation?",
                               std::chrono::seconds(3));
    }
    ASSERT_TRUE(asked) << install->Output();
    install->Send(answer);
  }
  EXPECT_EQ(install->Wait(), 1) << install->Output();
  EXPECT_NE(install->Output().find("setup: cancelled"), std::string::npos);
  EXPECT_FALSE(fs::exists(base_ / "root" / "drive_c" / "Program Files" / "Tally"));
}

TEST_F(TerminalEndToEndTest, AnOlderVersionIsAskedAboutBeforeTheFirstPage) {
  // The same product as version 2.0 (installed) and 1.0 (started in the terminal).
  auto compile = [&](const std::string& version) {
    const std::string script = setupkit_test::ReadBytes(base_ / "src" / "tally.setup");
    WriteBytes(base_ / "src" / ("v" + version + ".setup"), "version " + version + "\n" + script);
    const fs::path out = base_ / ("out-" + version);
    fs::create_directories(out);
    const auto compiled =
        RunProgram({BinPath("setupc"), "--source", (base_ / "src").string(), "-o", out.string(),
                    (base_ / "src" / ("v" + version + ".setup")).string()});
    EXPECT_EQ(compiled.exit_code, 0) << compiled.output;
    return (out / "TallySetup.exe").string();
  };
  const std::string newer = compile("2.0");
  const std::string older = compile("1.0");
  {
    setupkit_test::ScopedEnv root("SETUP_ROOT", (base_ / "root").string());
    setupkit_test::ScopedEnv entries("SETUP_NO_DESKTOP_ENTRIES", "1");
    ASSERT_EQ(RunProgram({newer, "--unattended"}).exit_code, 0);
  }
  // Asked before the wizard takes the screen, as a numbered prompt. No keeps version 2.0 (exit
  // code 1, no page shown); Yes installs 1.0.
  auto declined = Start(older, "xterm-256color");
  ASSERT_TRUE(declined->WaitFor("Install it anyway?")) << declined->Output();
  ASSERT_TRUE(declined->WaitFor("2) No")) << declined->Output();
  declined->Send("2\r");
  EXPECT_EQ(declined->Wait(), 1) << declined->Output();
  EXPECT_EQ(declined->Output().find(kInstallHeadings[0]), std::string::npos);
  auto accepted = Start(older, "xterm-256color");
  ASSERT_TRUE(accepted->WaitFor("Install it anyway?")) << accepted->Output();
  ASSERT_TRUE(accepted->WaitFor("1) Yes")) << accepted->Output();
  accepted->Send("1\r");
  EnterThrough(*accepted, kInstallHeadings);
  EXPECT_EQ(accepted->Wait(), 0) << accepted->Output();
}

TEST_F(TerminalEndToEndTest, HostFolderTypedAtTheDumbTerminalsPrompts) {
  const fs::path target = base_ / "opt" / "tally";
  auto install = Start(installer_, "dumb");
  for (size_t i = 0; i < 3; ++i) {
    ASSERT_TRUE(install->WaitFor(kInstallHeadings[i])) << install->Output();
    ASSERT_TRUE(install->WaitFor("1) Next >")) << install->Output();
    install->Send("\r");
  }
  ASSERT_TRUE(install->WaitFor(kInstallHeadings[3])) << install->Output();
  ASSERT_TRUE(install->WaitFor("4) Folder...")) << install->Output();
  install->Send("4\r");
  ASSERT_TRUE(install->WaitFor("Folder (")) << install->Output();
  install->Send(target.string() + "\r");
  // The page again, with the folder's Windows name under it.
  ASSERT_TRUE(install->WaitFor("[" + target.string() + "]")) << install->Output();
  ASSERT_TRUE(install->WaitFor("= Z:\\")) << install->Output();
  ASSERT_TRUE(install->WaitFor("1) Next >")) << install->Output();
  install->Send("\r");
  EnterThrough(*install, {kInstallHeadings[4], "1) Install", kInstallHeadings[5], "1) Finish"});
  EXPECT_EQ(install->Wait(), 0) << install->Output();
  // Progress came as lines, the last at 100%; no cursor movement on a dumb terminal.
  EXPECT_NE(install->Output().find("100%"), std::string::npos);
  EXPECT_EQ(install->Output().find("\x1b["), std::string::npos);
  EXPECT_EQ(setupkit_test::ReadBytes(target / "tally.txt"), "counts things");
  EXPECT_FALSE(fs::exists(base_ / "root" / "drive_c" / "Program Files" / "Tally"));
}

TEST_F(TerminalEndToEndTest, TheLicensePageGoesOnOnlyOnceAccepted) {
  WriteBytes(base_ / "src" / "Terms.txt", "Count responsibly.\n");
  std::string script = setupkit_test::ReadBytes(base_ / "src" / "tally.setup");
  script += "license Terms.txt\noutfile Licensed.exe\n";
  WriteBytes(base_ / "src" / "licensed.setup", script);
  const auto compiled =
      RunProgram({BinPath("setupc"), "--source", (base_ / "src").string(), "-o",
                  (base_ / "out").string(), (base_ / "src" / "licensed.setup").string()});
  ASSERT_EQ(compiled.exit_code, 0) << compiled.output;
  auto install = Start((base_ / "out" / "Licensed.exe").string(), "xterm-256color");
  EnterThrough(*install, {kInstallHeadings[0]});
  ASSERT_TRUE(install->WaitFor("Count responsibly.")) << install->Output();
  // Enter alone does nothing here; Tab reaches "I accept", Space checks it, Enter goes on.
  install->Send("\r");
  install->Send("\t ");
  ASSERT_TRUE(install->WaitFor("(*) I accept the agreement")) << install->Output();
  const size_t accepted_at = install->Output().size();
  install->Send("\r");
  ASSERT_TRUE(install->WaitFor(kInstallHeadings[1])) << install->Output();
  EXPECT_EQ(install->Output().rfind(kInstallHeadings[1], accepted_at), std::string::npos);
  install->Send("\r");
  EnterThrough(*install, {kInstallHeadings.begin() + 2, kInstallHeadings.end()});
  EXPECT_EQ(install->Wait(), 0) << install->Output();
  EXPECT_TRUE(fs::exists(fs::path(Host(kInstallFolder)) / "tally.txt"));
}

}  // namespace
