// A script that names no page sets, languages, uninstaller prefix or change log still makes an
// installer that installs; with an uninstallpages line it also uninstalls; page sets written
// with LF line ends work too.
#include <set>

#include "installer_e2e.h"
#include "platform/registry.h"
#include "setup/core/compiled_lines.h"
#include "setup/core/pak.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kPlainFolder = "C:\\Program Files\\Plain\\";

class StockDefaultsTest : public InstallerE2ETest {
 protected:
  void SetUp() override {
    InstallerE2ETest::SetUp();
    WriteText(src_ / "App" / "run.sh", "#!/bin/sh\necho plain\n");
    WriteText(src_ / "App" / "doc" / "readme.txt", "read me");
  }
  // The installer's group-0 entry names and the stored page list.
  std::set<std::string> EntryNames(const fs::path& installer, std::string* pages = nullptr) {
    TPak pak(installer.string(), false, false);
    std::set<std::string> names;
    for (const TPakFile& entry : pak.Entries()) {
      if (entry.group == 0) names.insert(entry.name);
    }
    if (pages) *pages = pak.FindEntry("Pages.txt", 0).value_or("");
    pak.Close();
    return names;
  }
};

constexpr const char kPlainScript[] =
    "name Plain\n"
    "outfile PlainSetup.exe\n"
    "installdir \"$PROGRAMFILES\\Plain\\\"\n"
    "file App\\\n";

constexpr const char kPlainUninstallKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Plain";

TEST_F(StockDefaultsTest, ScriptWithoutPagesOrLanguagesInstallsAndWritesNoUninstaller) {
  const ProgramResult compiled = Compile(kPlainScript, {"-v"});
  ASSERT_EQ(compiled.exit_code, 0) << compiled.output;
  for (const char* note : {"Default: no pages line: using the stock page set 'install'",
                           "Default: no language line: using the stock table install\\english"}) {
    EXPECT_NE(compiled.output.find(note), std::string::npos) << compiled.output;
  }
  // No uninstallpages line: a warning, and nothing of an uninstaller in the package.
  EXPECT_NE(compiled.err.find("setup.sus: warning: no uninstallpages line: the installer will "
                              "write no uninstaller, install log or Uninstall entry"),
            std::string::npos)
      << compiled.err;
  const fs::path installer = out_ / "PlainSetup.exe";
  std::string pages;
  const std::set<std::string> names = EntryNames(installer, &pages);
  EXPECT_TRUE(names.count("LANGUAGE-install\\english"));
  for (const std::string& name : names) EXPECT_NE(name.rfind("UNINSTALL_", 0), 0u) << name;
  // No change log: the change-log page and its layout are left out.
  EXPECT_FALSE(names.count("changelog.txt"));
  EXPECT_EQ(pages.find("changelog"), std::string::npos) << pages;
  EXPECT_NE(pages.find("[Pages]\r\nlayout.txt\r\nlanguage.txt\r\n"), std::string::npos) << pages;
  {
    // The compiled script keeps the script's own four lines, nothing added.
    TPak pak(installer.string(), false, false);
    const std::optional<std::string> bytes = pak.FindEntry("CompiledLines", 0);
    ASSERT_TRUE(bytes);
    TCompLines lines;
    lines.LoadFromBuffer(bytes->data(), bytes->size());
    EXPECT_EQ(lines.Count(), 4);
    pak.Close();
  }

  // A product's Uninstall entry that an installer without uninstaller (a patch) must not touch.
  ASSERT_TRUE(platform::RegSetString(platform::RootKey::kLocalMachine, kPlainUninstallKey,
                                     "UninstallString", "\"C:\\Product\\Uninstall.exe\""));
  const ProgramResult installed = RunProgram({installer.string(), "--unattended"});
  ASSERT_EQ(installed.exit_code, 0) << installed.output;
  EXPECT_EQ(installed.output.find("Missing File"), std::string::npos) << installed.output;
  EXPECT_EQ(platform::ReadFileBytes(std::string(kPlainFolder) + "doc\\readme.txt").value_or(""),
            "read me");
  EXPECT_FALSE(platform::FileExists(std::string(kPlainFolder) + "Uninstall.exe"));
  EXPECT_FALSE(platform::FileExists(std::string(kPlainFolder) + "install.log"));
  EXPECT_EQ(platform::RegGetString(platform::RootKey::kLocalMachine, kPlainUninstallKey,
                                   "UninstallString"),
            "\"C:\\Product\\Uninstall.exe\"");
  EXPECT_FALSE(platform::RegValueExists(platform::RootKey::kLocalMachine, kPlainUninstallKey,
                                        "DisplayName"));
}

TEST_F(StockDefaultsTest, WithUninstallpagesTheStockUninstallerRemovesWhatTheInstallMade) {
  // APPDATA is not set: the folder below it is recorded as written, and the uninstaller still
  // accepts the log. A copy of a missing file is a warning; the install still finishes.
  const ProgramResult compiled = Compile(std::string(kPlainScript) +
                                             "uninstallpages uninstall\n"
                                             "createdirectory %APPDATA%\\LogTest\n"
                                             "copyfile $INSTDIR\\absent.txt $INSTDIR\\copy.txt\n",
                                         {"-v"});
  ASSERT_EQ(compiled.exit_code, 0) << compiled.output;
  EXPECT_EQ(compiled.err.find("warning"), std::string::npos) << compiled.err;
  EXPECT_NE(compiled.output.find("Default: no uninstalllanguage line: using the stock table "
                                 "uninstall\\english"),
            std::string::npos)
      << compiled.output;
  const fs::path installer = out_ / "PlainSetup.exe";
  const std::set<std::string> names = EntryNames(installer);
  EXPECT_TRUE(names.count("UNINSTALL_LANGUAGE-uninstall\\english"));
  EXPECT_TRUE(names.count("UNINSTALL_Pages.txt"));

  const ProgramResult installed =
      RunProgram({"env", "-u", "APPDATA", installer.string(), "--unattended"});
  ASSERT_EQ(installed.exit_code, 0) << installed.output;
  const std::string folder = (root_ / "drive_c/Program Files/Plain/").string();
  EXPECT_NE(
      installed.err.find("setup: warning: Cannot copy C:\\Program Files\\Plain\\absent.txt (" +
                         folder + "absent.txt) to C:\\Program Files\\Plain\\copy.txt (" + folder +
                         "copy.txt): No such file or directory"),
      std::string::npos)
      << installed.err;
  const std::string uninstaller = std::string(kPlainFolder) + "Uninstall.exe";
  ASSERT_TRUE(platform::FileExists(uninstaller));
  ASSERT_TRUE(platform::FileExists(std::string(kPlainFolder) + "install.log"));
  EXPECT_EQ(
      platform::RegGetString(platform::RootKey::kLocalMachine, kPlainUninstallKey, "DisplayName"),
      "Plain");

  const ProgramResult removed = RunProgram({Host(uninstaller), "--unattended"});
  ASSERT_EQ(removed.exit_code, 0) << removed.output;
  EXPECT_FALSE(platform::FileExists(std::string(kPlainFolder) + "run.sh"));
  EXPECT_TRUE(WaitUntilGone(kPlainFolder));
}

TEST_F(StockDefaultsTest, QuietCompilePrintsNothingAndTheSummaryLineOtherwise) {
  const std::string script = std::string(kPlainScript) + "uninstallpages uninstall\n";
  ProgramResult compiled = Compile(script);
  ASSERT_EQ(compiled.exit_code, 0) << compiled.output;
  EXPECT_EQ(compiled.output.rfind("Wrote " + (out_ / "PlainSetup.exe").string() + ": ", 0), 0u)
      << compiled.output;
  EXPECT_NE(compiled.output.find(" entries, "), std::string::npos) << compiled.output;
  EXPECT_NE(compiled.output.find(" bytes in, "), std::string::npos) << compiled.output;
  compiled = Compile(script, {"-q"});
  ASSERT_EQ(compiled.exit_code, 0) << compiled.output;
  EXPECT_EQ(compiled.output, "");
}

// Turns every CR LF of the page sets of a copied data folder into LF, as a Linux editor writes.
void ToLineFeeds(const fs::path& folder) {
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (!entry.is_regular_file() || entry.path().extension() != ".txt") continue;
    std::string text = platform::ReadFileBytes(entry.path().string()).value_or("");
    std::string lf;
    for (char c : text) {
      if (c != '\r') lf += c;
    }
    std::ofstream(entry.path(), std::ios::binary) << lf;
  }
}

TEST_F(StockDefaultsTest, PageSetsWithLineFeedsOnlyWork) {
  const fs::path data = base_ / "data";
  fs::create_directories(data);
  fs::copy(BinPath("languages"), data / "languages", fs::copy_options::recursive);
  fs::copy(BinPath("layout"), data / "layout", fs::copy_options::recursive);
  ToLineFeeds(data / "layout");
  WriteText(src_ / "Changes.txt", "Version 1\n");
  const ProgramResult compiled =
      Compile(std::string(kPlainScript) + "changelog Changes.txt\n", {"--data", data.string()});
  ASSERT_EQ(compiled.exit_code, 0) << compiled.output;
  std::string pages;
  const std::set<std::string> names = EntryNames(out_ / "PlainSetup.exe", &pages);
  // With a change log its page stays; every line ends in CR LF.
  EXPECT_TRUE(names.count("changelog.txt"));
  EXPECT_NE(pages.find("layout.txt\r\nchangelog.txt\r\n"), std::string::npos) << pages;
  for (size_t i = 0; i < pages.size(); ++i) {
    if (pages[i] == '\n') {
      ASSERT_TRUE(i > 0 && pages[i - 1] == '\r') << pages;
    }
  }

  const fs::path shots = base_ / "shots";
  const ProgramResult installed = RunProgram(
      {(out_ / "PlainSetup.exe").string(), "--unattended", "--screenshot-dir", shots.string()});
  ASSERT_EQ(installed.exit_code, 0) << installed.output;
  EXPECT_TRUE(fs::exists(shots / "02-changelog.png"));
  EXPECT_TRUE(platform::FileExists(std::string(kPlainFolder) + "run.sh"));
}

TEST_F(StockDefaultsTest, RenamedInstallerSaysOnTheConsoleHowToRunIt) {
  ASSERT_EQ(Compile(kPlainScript).exit_code, 0);
  const fs::path renamed = out_ / "plain-1.0.run";
  fs::copy_file(out_ / "PlainSetup.exe", renamed);
  const ProgramResult refused = RunProgram({renamed.string(), "--unattended"});
  EXPECT_EQ(refused.exit_code, 2);
  // The box's text, each \r a line break, the caption once.
  EXPECT_NE(refused.err.find("Error: Setup`s filename has been renamed\n\nExpected:\n"
                             "PlainSetup.exe\n\nFound:\nplain-1.0.run\n"),
            std::string::npos)
      << refused.err;
  EXPECT_EQ(refused.err.find("Error: Error:"), std::string::npos) << refused.err;
  EXPECT_NE(refused.err.find("\"" + renamed.string() + "\" \"" + renamed.string() + "\""),
            std::string::npos)
      << refused.err;
  // And the way it names works.
  const ProgramResult installed = RunProgram({renamed.string(), renamed.string(), "--unattended"});
  EXPECT_EQ(installed.exit_code, 0) << installed.output;
}

}  // namespace
