// The command line of setup: each option form, refusals, and the program's answers to them.
#include "setup/app/options.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "common/program_runner.h"

namespace {

using setup_app::ParsedOptions;
using setup_app::ParseSetupOptions;
using setupkit_test::BinPath;
using setupkit_test::ProgramResult;
using setupkit_test::RunProgram;

struct AcceptedCase {
  std::vector<std::string> args;
  bool unattended;
  std::string dir;
  std::string screenshot_dir;
  std::vector<std::string> params;
};

void PrintTo(const AcceptedCase& c, std::ostream* os) {
  for (const std::string& arg : c.args) *os << arg << ' ';
}

class AcceptedOptionsTest : public ::testing::TestWithParam<AcceptedCase> {};

TEST_P(AcceptedOptionsTest, YieldsTheOptions) {
  const AcceptedCase& c = GetParam();
  const ParsedOptions parsed = ParseSetupOptions(c.args);
  ASSERT_TRUE(parsed.ok()) << parsed.error;
  EXPECT_EQ(parsed.options.unattended, c.unattended);
  EXPECT_EQ(parsed.options.dir, c.dir);
  EXPECT_EQ(parsed.options.screenshot_dir, c.screenshot_dir);
  EXPECT_EQ(parsed.options.params, c.params);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, AcceptedOptionsTest,
    ::testing::Values(AcceptedCase{{}, false, "", "", {}},
                      AcceptedCase{{"--unattended", "--dir=/x y"}, true, "/x y", "", {}},
                      AcceptedCase{{"--unattended", "--dir", "/x"}, true, "/x", "", {}},
                      AcceptedCase{{"--dir", "C:\\Games\\Demo"}, false, "C:\\Games\\Demo", "", {}},
                      AcceptedCase{{"--screenshot-dir", "shots"}, false, "", "shots", {}},
                      AcceptedCase{{"--screenshot-dir=shots"}, false, "", "shots", {}},
                      // The package stays parameter 1 wherever it stands among the options.
                      AcceptedCase{{"demo.pak", "--unattended"}, true, "", "", {"demo.pak"}},
                      AcceptedCase{{"--unattended", "demo.pak"}, true, "", "", {"demo.pak"}},
                      AcceptedCase{{"/home/u/demo.pak"}, false, "", "", {"/home/u/demo.pak"}},
                      // After "--" a name that starts with a dash is a package.
                      AcceptedCase{{"--", "-odd.pak"}, false, "", "", {"-odd.pak"}},
                      // Words that are not "--" options are parameters, never refused: the
                      // first may name the package, the others are kept for the error report.
                      AcceptedCase{{"/S"}, false, "", "", {"/S"}},
                      AcceptedCase{{"-S", "/D=C:\\x"}, false, "", "", {"-S", "/D=C:\\x"}},
                      AcceptedCase{{"a.pak", "/J", "host", "1.2.3.4", "--unattended"},
                                   true,
                                   "",
                                   "",
                                   {"a.pak", "/J", "host", "1.2.3.4"}}));

struct RefusedCase {
  std::vector<std::string> args;
  std::string error;
};

void PrintTo(const RefusedCase& c, std::ostream* os) {
  for (const std::string& arg : c.args) *os << arg << ' ';
}

class RefusedOptionsTest : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedOptionsTest, NamesTheFault) {
  const ParsedOptions parsed = ParseSetupOptions(GetParam().args);
  EXPECT_EQ(parsed.error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, RefusedOptionsTest,
    ::testing::Values(
        RefusedCase{{"--silent"}, "unknown option --silent"},
        RefusedCase{{"--unattended=yes"}, "unknown option --unattended=yes"},
        RefusedCase{{"--directory=/x"}, "unknown option --directory=/x"},
        RefusedCase{{"--dir"}, "--dir needs a value"},
        RefusedCase{{"--dir="}, "--dir needs a value"},
        RefusedCase{{"--screenshot-dir"}, "--screenshot-dir needs a value"},
        RefusedCase{{"--log"}, "--log needs a value"},
        RefusedCase{{"--json"}, "--json goes with --list-installed or --list-contents"},
        RefusedCase{{"--wait=-1"}, "--wait takes whole seconds from 0 to 86400: -1"},
        RefusedCase{{"--wait", "99999999999"},
                    "--wait takes whole seconds from 0 to 86400: 99999999999"},
        RefusedCase{{"--wait=1s"}, "--wait takes whole seconds from 0 to 86400: 1s"},
        RefusedCase{{"--require-signature"}, "--require-signature needs a value"},
        RefusedCase{{"--text", "--unattended"}, "--text and --unattended exclude each other"},
        RefusedCase{{"--text", "--screenshot-dir=x"},
                    "--screenshot-dir goes with the window, not with --text"},
        // A refusal wins over --help given before it.
        RefusedCase{{"--help", "--bogus"}, "unknown option --bogus"}));

TEST(SetupOptionsTest, LogAndListingOptions) {
  ParsedOptions parsed = ParseSetupOptions({"--unattended", "--log", "run log.txt"});
  ASSERT_TRUE(parsed.ok()) << parsed.error;
  EXPECT_EQ(parsed.options.log_file, "run log.txt");
  parsed = ParseSetupOptions({"--log=x.log", "demo.pak"});
  EXPECT_EQ(parsed.options.log_file, "x.log");
  EXPECT_EQ(parsed.options.params, std::vector<std::string>{"demo.pak"});
  parsed = ParseSetupOptions({"--json", "--list-installed"});
  ASSERT_TRUE(parsed.ok()) << parsed.error;
  EXPECT_TRUE(parsed.options.list_installed && parsed.options.json);
  parsed = ParseSetupOptions({"demo.pak", "--list-contents", "--json"});
  ASSERT_TRUE(parsed.ok()) << parsed.error;
  EXPECT_TRUE(parsed.options.list_contents && parsed.options.json);
  parsed = ParseSetupOptions({"--show-log", "Demo", "--allow-downgrade"});
  ASSERT_TRUE(parsed.ok()) << parsed.error;
  EXPECT_EQ(parsed.options.show_log, "Demo");
  EXPECT_TRUE(parsed.options.allow_downgrade);
}

TEST(SetupOptionsTest, WaitVerifyAndRequiredSignature) {
  ParsedOptions parsed = ParseSetupOptions({"--unattended"});
  EXPECT_EQ(parsed.options.wait_seconds, -1);  // no limit
  parsed = ParseSetupOptions({"--wait=0", "--verify", "--require-signature", "k.pub"});
  ASSERT_TRUE(parsed.ok()) << parsed.error;
  EXPECT_EQ(parsed.options.wait_seconds, 0);
  EXPECT_TRUE(parsed.options.verify);
  EXPECT_EQ(parsed.options.require_signature, "k.pub");
  parsed = ParseSetupOptions({"--wait", "86400"});
  EXPECT_EQ(parsed.options.wait_seconds, 86400);
}

TEST(SetupOptionsTest, TextAsksForTheTerminalWizard) {
  ParsedOptions parsed = ParseSetupOptions({"demo.pak", "--text", "--dir=/opt/demo"});
  ASSERT_TRUE(parsed.ok()) << parsed.error;
  EXPECT_TRUE(parsed.options.text);
  EXPECT_FALSE(parsed.options.unattended);
  EXPECT_EQ(parsed.options.dir, "/opt/demo");
  EXPECT_EQ(parsed.options.params, std::vector<std::string>{"demo.pak"});
  EXPECT_FALSE(ParseSetupOptions({}).options.text);
  EXPECT_NE(setup_app::SetupHelpText().find("--text"), std::string::npos);
}

// Who decides the scope: an uninstaller's own install first, then the option and SETUP_SCOPE,
// then root without a private root.
TEST(SetupOptionsTest, ScopeOfTheRun) {
  EXPECT_TRUE(ParseSetupOptions({"--all-users", "--unattended"}).options.all_users);
  EXPECT_FALSE(ParseSetupOptions({"--unattended"}).options.all_users);
  struct Case {
    bool all_users;
    const char* setting;
    bool root;
    bool setup_root_set;
    std::optional<bool> uninstaller_for_machine;
    bool machine;
  };
  const Case cases[] = {
      {false, "", false, false, std::nullopt, false},
      {false, "", true, false, std::nullopt, true},  // root installs for the machine
      {false, "", true, true, std::nullopt, false},  // ... but not into a private root
      {true, "", false, true, std::nullopt, true},
      {false, "machine", false, false, std::nullopt, true},
      {false, "user", true, false, std::nullopt, false},
      {false, "other", true, true, std::nullopt, false},
      // An uninstaller removes in its install's scope, whatever it is told.
      {true, "machine", true, false, false, false},
      {false, "user", false, true, true, true},
  };
  for (const Case& c : cases) {
    setup_app::ScopeFacts facts;
    facts.all_users = c.all_users;
    facts.scope_setting = c.setting;
    facts.root = c.root;
    facts.setup_root_set = c.setup_root_set;
    facts.uninstaller_for_machine = c.uninstaller_for_machine;
    EXPECT_EQ(setup_app::ChooseMachineScope(facts), c.machine)
        << c.all_users << " '" << c.setting << "' " << c.root << c.setup_root_set;
  }
}

// The program itself: refusals and answers come before any window, package or display check,
// so they behave the same with no display and no package.
TEST(SetupCommandLineTest, ProgramAnswersBeforeAnythingElse) {
  const std::string setup = BinPath("setup");
  struct Case {
    std::vector<std::string> args;
    int exit_code;
    std::string output;
  };
  const Case cases[] = {
      {{"--help"}, 0, "usage: setup [PACKAGE]"},
      {{"--help"}, 0, "--dir=PATH"},
      // Every environment setting, and where the documentation is.
      {{"--help"}, 0, "--all-users"},
      {{"--help"}, 0, "  SETUP_ROOT  "},
      {{"--help"}, 0, "  SETUP_SCOPE  "},
      {{"--help"}, 0, "  SETUP_LANGID  "},
      {{"--help"}, 0, "  SETUP_NO_DESKTOP_ENTRIES  "},
      {{"--help"}, 0, "share/doc/setupkit"},
      {{"--version"}, 0, "setup "},
      {{"--silent"}, 2, "setup: unknown option --silent\nusage: setup"},
      {{"--unattended", "--dir"}, 2, "--dir needs a value"},
      // Standard input here is no terminal: the terminal wizard cannot be asked for.
      {{"--text"}, 2, "setup: --text needs a terminal on standard input"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args{
        "env", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "-u", "QT_QPA_PLATFORM", setup};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const ProgramResult result = RunProgram(args);
    EXPECT_EQ(result.exit_code, c.exit_code) << c.args[0] << ": " << result.output;
    EXPECT_NE(result.output.find(c.output), std::string::npos)
        << c.args[0] << ": " << result.output;
    EXPECT_EQ(result.output.find("display"), std::string::npos) << result.output;
  }
  // A Windows-style switch is ignored; without a display and without --unattended the one-line
  // message ends the run at once, so nothing waits for a click.
  const ProgramResult silent = RunProgram(
      {"env", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "-u", "QT_QPA_PLATFORM", setup, "/S"});
  EXPECT_EQ(silent.exit_code, 2) << silent.output;
  EXPECT_EQ(silent.output.rfind("setup: no display found", 0), 0u) << silent.output;
  EXPECT_EQ(silent.output.find("unknown option"), std::string::npos) << silent.output;
}

}  // namespace
