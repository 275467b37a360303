// The real programs end to end for what Linux desktops and package tools see of an install:
// desktop entries, the Uninstall entry's values and their types, --list-installed, --log, and an
// installer compiled before the product-detail lines existed. Desktop entries go to a temporary
// HOME and XDG_DATA_HOME, never to the real home folder.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "common/file_bytes.h"
#include "common/program_runner.h"
#include "common/remove_tree.h"
#include "platform/drives.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/shell.h"

namespace {

namespace fs = std::filesystem;
using platform::RootKey;
using platform::ValueType;
using setupkit_test::BinPath;
using setupkit_test::ProgramResult;
using setupkit_test::RunProgram;
using setupkit_test::WriteBytes;

constexpr const char* kDemoUninstallKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Demo";
constexpr const char* kDemoFolder = "C:\\Program Files\\Demo Product\\";

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

bool HaveValidator() {
  return std::system("command -v desktop-file-validate >/dev/null 2>&1") == 0;
}

class DesktopEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = fs::temp_directory_path() /
            ("setup-desktop-" + std::to_string(::getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(base_);
    setenv("SETUP_ROOT", (base_ / "root").c_str(), 1);
    setenv("HOME", (base_ / "home").c_str(), 1);
    setenv("XDG_DATA_HOME", (base_ / "home" / "data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (base_ / "home" / "config").c_str(), 1);
    unsetenv("SETUP_NO_DESKTOP_ENTRIES");
    unsetenv("SETUP_LANGID");
    WriteBytes(base_ / "src" / "App" / "demo.sh", "#!/bin/sh\necho demo\n");
    WriteBytes(base_ / "src" / "App" / "readme.txt", "read me");
  }
  void TearDown() override { setupkit_test::RemoveTestTree(base_); }

  // Compiles a script (definition lines first, then `body`) into base_/out/DemoSetup.exe.
  std::string Compile(const std::string& header, const std::string& body) {
    WriteBytes(base_ / "src" / "demo.setup",
               "name \"Demo Product\"\nshortname Demo\n" + header +
                   "outfile DemoSetup.exe\ninstalldir \"$PROGRAMFILES\\Demo Product\\\"\n"
                   "pages install\nuninstallpages uninstall\nprefix Demo\n"
                   "language install\\english\nuninstalllanguage uninstall\\english\n"
                   "file \"App\\\"\n" +
                   body);
    fs::create_directories(base_ / "out");
    ProgramResult compiled =
        RunProgram({BinPath("setupc"), "--source", (base_ / "src").string(), "-o",
                    (base_ / "out").string(), (base_ / "src" / "demo.setup").string()});
    EXPECT_EQ(compiled.exit_code, 0) << compiled.output;
    return (base_ / "out" / "DemoSetup.exe").string();
  }
  std::string Host(const std::string& windows_path) {
    return platform::ToHostPath(windows_path).value_or("");
  }
  fs::path Applications() { return base_ / "home" / "data" / "applications"; }

  fs::path base_;
};

TEST_F(DesktopEndToEndTest, EntriesUninstallValuesAndListingFollowTheInstall) {
  WriteBytes(base_ / "home" / "config" / "user-dirs.dirs",
             "# from xdg-user-dirs\nXDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n");
  const std::string installer =
      Compile("version 2.1\npublisher \"Demo Makers\"\nurl https://example.org/demo\n",
              "createshortcut \"$SMPROGRAMS\\Demo Product\\Demo.lnk\" \"$INSTDIR\\demo.sh\" "
              "\"--greet $HOME\"\n"
              "createshortcut \"$DESKTOP\\Read me.lnk\" \"$INSTDIR\\readme.txt\" \"\" \"\" "
              "Utility\n");
  ProgramResult installed = RunProgram({installer, "--unattended"});
  ASSERT_EQ(installed.exit_code, 0) << installed.output;

  // One entry per link (menu and the desktop folder user-dirs.dirs names) and the uninstaller's.
  const fs::path menu = Applications() / "setupkit-demo-product-demo.desktop";
  const fs::path desktop = base_ / "home" / "Schreibtisch" / "setupkit-read-me.desktop";
  const fs::path uninstall_entry = Applications() / "setupkit-uninstall-demo-product.desktop";
  for (const fs::path& entry : {menu, desktop, uninstall_entry}) {
    ASSERT_TRUE(fs::exists(entry)) << entry;
    if (HaveValidator()) {
      ProgramResult valid = RunProgram({"desktop-file-validate", entry.string()});
      EXPECT_EQ(valid.exit_code, 0) << valid.output;
      EXPECT_EQ(valid.output, "") << valid.output;
    }
  }
  const std::string program = Host(std::string(kDemoFolder) + "demo.sh");
  const std::string menu_text = ReadText(menu);
  EXPECT_NE(menu_text.find("Name=Demo\n"), std::string::npos) << menu_text;
  EXPECT_NE(menu_text.find("Exec=\"" + program + "\" --greet \"\\\\$HOME\"\n"), std::string::npos)
      << menu_text;
  EXPECT_EQ(menu_text.find("Categories="), std::string::npos);
  const std::string desktop_text = ReadText(desktop);
  EXPECT_NE(desktop_text.find("Exec=xdg-open \"" + Host(std::string(kDemoFolder) + "readme.txt")),
            std::string::npos)
      << desktop_text;
  EXPECT_NE(desktop_text.find("Categories=Utility;\n"), std::string::npos);
  // Icons are PNG files installed with the product.
  const std::string uninstall_text = ReadText(uninstall_entry);
  EXPECT_NE(uninstall_text.find("Name=Uninstall Demo Product\n"), std::string::npos);
  const std::string png = Host(std::string(kDemoFolder) + "Demo_Uninstall.png");
  EXPECT_NE(uninstall_text.find("Icon=" + png + "\n"), std::string::npos) << uninstall_text;
  EXPECT_EQ(ReadText(png).substr(1, 3), "PNG");

  // The Uninstall entry: every value with its type.
  const std::string uninstaller = std::string(kDemoFolder) + "Demo_Uninstall.exe";
  struct Expected {
    const char* name;
    std::string text;
  };
  const Expected strings[] = {
      {"DisplayName", "Demo"},  // the short name, as the key
      {"UninstallString", "\"" + uninstaller + "\""},
      {"QuietUninstallString", "\"" + uninstaller + "\" --unattended"},
      {"InstallLocation", kDemoFolder},
      {"DisplayIcon", std::string(kDemoFolder) + "Demo_Uninstall.ico"},
      {"DisplayVersion", "2.1"},
      {"Publisher", "Demo Makers"},
      {"URLInfoAbout", "https://example.org/demo"},
  };
  for (const Expected& value : strings) {
    EXPECT_EQ(platform::RegGetValueType(RootKey::kLocalMachine, kDemoUninstallKey, value.name),
              ValueType::kString)
        << value.name;
    EXPECT_EQ(
        platform::RegGetString(RootKey::kLocalMachine, kDemoUninstallKey, value.name).value_or(""),
        value.text);
  }
  const std::string date =
      platform::RegGetString(RootKey::kLocalMachine, kDemoUninstallKey, "InstallDate").value_or("");
  EXPECT_EQ(date.size(), 8u);
  EXPECT_EQ(date.find_first_not_of("0123456789"), std::string::npos) << date;
  EXPECT_EQ(platform::RegGetDword(RootKey::kLocalMachine, kDemoUninstallKey, "NoModify"), 1u);
  EXPECT_EQ(platform::RegGetDword(RootKey::kLocalMachine, kDemoUninstallKey, "NoRepair"), 1u);
  // The installed bytes, the uninstaller included, in KB rounded up.
  const uint64_t uninstaller_bytes = fs::file_size(Host(uninstaller));
  const std::optional<uint32_t> size =
      platform::RegGetDword(RootKey::kLocalMachine, kDemoUninstallKey, "EstimatedSize");
  ASSERT_TRUE(size.has_value());
  EXPECT_GT(*size, uninstaller_bytes / 1024);
  EXPECT_LT(*size, uninstaller_bytes / 1024 + 64);
  EXPECT_EQ(platform::RegGetValueType(RootKey::kLocalMachine, kDemoUninstallKey, "EstimatedSize"),
            ValueType::kDword);

  // --list-installed, from any runtime: one line with the full name the uninstaller carries,
  // and the same as JSON.
  const std::string folder_host = Host(kDemoFolder);
  ProgramResult listed = RunProgram({BinPath("setup"), "--list-installed"});
  EXPECT_EQ(listed.exit_code, 0);
  EXPECT_EQ(listed.output, "Demo Product\t2.1\t" + folder_host + "\t'" + Host(uninstaller) +
                               "' --unattended\tuser\n");
  ProgramResult json = RunProgram({Host(uninstaller), "--list-installed", "--json"});
  EXPECT_EQ(json.exit_code, 0);
  EXPECT_EQ(json.out.rfind("[\n  {\"key\": \"Demo\", \"name\": \"Demo Product\", "
                           "\"version\": \"2.1\", \"publisher\": \"Demo Makers\"",
                           0),
            0u)
      << json.output;

  // The uninstaller takes the entries, their icons and the Uninstall entry away again.
  ProgramResult removed = RunProgram({Host(uninstaller), "--unattended"});
  ASSERT_EQ(removed.exit_code, 0) << removed.output;
  for (const fs::path& entry : {menu, desktop, uninstall_entry}) EXPECT_FALSE(fs::exists(entry));
  EXPECT_FALSE(fs::exists(png));
  EXPECT_FALSE(platform::DirectoryExists(std::string(kDemoFolder) + "desktop-icons"));
  EXPECT_FALSE(platform::RegKeyExists(RootKey::kLocalMachine, kDemoUninstallKey));
  EXPECT_EQ(RunProgram({BinPath("setup"), "--list-installed", "--json"}).out, "[]\n");
}

TEST_F(DesktopEndToEndTest, EnvironmentSwitchTurnsEntriesOff) {
  const std::string installer =
      Compile("",
              "createshortcut \"$SMPROGRAMS\\Demo Product\\Demo.lnk\" \"$INSTDIR\\demo.sh\" "
              "\"\"\n");
  setenv("SETUP_NO_DESKTOP_ENTRIES", "1", 1);
  ProgramResult installed = RunProgram({installer, "--unattended"});
  ASSERT_EQ(installed.exit_code, 0) << installed.output;
  EXPECT_FALSE(fs::exists(Applications()));
  // The link itself is made as before.
  EXPECT_TRUE(platform::FileExists(platform::GetShellFolder(platform::ShellFolder::kPrograms) +
                                   "\\Demo Product\\Demo.lnk"));
}

TEST_F(DesktopEndToEndTest, InstallerCompiledBeforeProductDetailsStillInstalls) {
  // Compiled by the kit before the version, publisher and url lines existed, with a text stub
  // in place of the runtime: the package is run by today's runtime as `setup FILE`.
  const std::string old = std::string(SETUPKIT_TEST_DATA) + "/old_product_setup.bin";
  ProgramResult installed = RunProgram({BinPath("setup"), old, "--unattended"});
  ASSERT_EQ(installed.exit_code, 0) << installed.output;
  const std::string folder = "C:\\Program Files\\Old Product\\";
  EXPECT_EQ(platform::ReadFileBytes(folder + "readme.txt").value_or(""), "readme\n");
  EXPECT_TRUE(platform::FileExists(folder + "Old_Uninstall.exe"));
  const std::string key = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\OldProduct";
  EXPECT_EQ(platform::RegGetString(RootKey::kLocalMachine, key, "DisplayName").value_or(""),
            "OldProduct");
  EXPECT_EQ(platform::RegGetDword(RootKey::kLocalMachine, key, "NoModify"), 1u);
  // No product details in the old package, so none are made up.
  EXPECT_FALSE(platform::RegValueExists(RootKey::kLocalMachine, key, "DisplayVersion"));
  EXPECT_FALSE(platform::RegValueExists(RootKey::kLocalMachine, key, "Publisher"));
  EXPECT_TRUE(fs::exists(Applications() / "setupkit-old-product-app.desktop"));
  ProgramResult listed = RunProgram({BinPath("setup"), "--list-installed"});
  EXPECT_EQ(listed.out.rfind("Old Product\t-\t", 0), 0u) << listed.output;
}

TEST_F(DesktopEndToEndTest, LogHoldsEveryFileOfAnInstallAndTheFailureOfAnother) {
  const std::string installer = Compile("", "");
  const fs::path log = base_ / "install.log";
  ProgramResult installed = RunProgram({installer, "--unattended", "--log", log.string()});
  ASSERT_EQ(installed.exit_code, 0) << installed.output;
  const std::string text = ReadText(log);
  for (const char* expected :
       {"file written: C:\\Program Files\\Demo Product\\demo.sh (20 bytes)",
        "file written: C:\\Program Files\\Demo Product\\readme.txt (7 bytes)",
        "uninstaller written: C:\\Program Files\\Demo Product\\Demo_Uninstall.exe",
        "script line 10: file App\\", "mode: install of Demo Product", "exit code: 0"}) {
    EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
  }
  // Every line starts with a time stamp.
  size_t lines = 0;
  for (size_t at = 0; at < text.size(); at = text.find('\n', at) + 1, ++lines) {
    EXPECT_EQ(text.substr(at, 4), text.substr(0, 4));
    EXPECT_EQ(text[at + 10], ' ');
  }
  EXPECT_GT(lines, 8u);

  // A failing install: a failure line stops it after the files; the log says so and ends with
  // the exit code.
  fs::remove_all(base_ / "root");
  const std::string failing = Compile("", "failure\n");
  const fs::path failed_log = base_ / "failed.log";
  ProgramResult failed = RunProgram({failing, "--unattended", "--log=" + failed_log.string()});
  EXPECT_EQ(failed.exit_code, 2) << failed.output;
  const std::string failed_text = ReadText(failed_log);
  EXPECT_NE(failed_text.find("file written: C:\\Program Files\\Demo Product\\demo.sh"),
            std::string::npos)
      << failed_text;
  EXPECT_NE(failed_text.find("script line 11: failure"), std::string::npos) << failed_text;
  EXPECT_NE(failed_text.find("run stopped"), std::string::npos) << failed_text;
  EXPECT_EQ(failed_text.substr(failed_text.size() - 13), "exit code: 2\n") << failed_text;
}

}  // namespace
