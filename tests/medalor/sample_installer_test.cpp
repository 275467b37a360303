// The sample installer end to end: compiled with setupc from the staged sample, installed and
// removed unattended in a private setup root, and the installed Medalor renders a sheet.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "common/file_bytes.h"
#include "common/program_runner.h"
#include "medalor/png_codec.h"
#include "medalor/test_pictures.h"
#include "platform/files.h"

namespace medalor {
namespace {

namespace fs = std::filesystem;

using setupkit_test::ReadBytes;
using setupkit_test::ShellQuote;

int Shell(const std::string& command) {
  const setupkit_test::ProgramResult result = setupkit_test::RunShell(command);
  EXPECT_FALSE(result.timed_out) << command;
  return result.exit_code;
}

TEST(SampleInstallerTest, InstallsRendersAndUninstallsMedalor) {
  const fs::path bin = SETUPKIT_BIN_DIR;
  const fs::path stage = bin.parent_path() / "samples" / "medalor";
  ASSERT_TRUE(fs::exists(bin / "setupc")) << "setupc is not built";
  ASSERT_TRUE(fs::exists(bin / "setup")) << "setup is not built";
  ASSERT_TRUE(fs::exists(stage / "medalor.setup")) << "the sample is not staged";
  testing::TempFolder temp;
  const fs::path root = temp.Path() / "root";
  const std::string env = "SETUP_ROOT=" + ShellQuote(root.string()) +
                          " QT_QPA_PLATFORM=offscreen SETUP_NO_DESKTOP_ENTRIES=1 ";

  ASSERT_EQ(
      Shell(ShellQuote((bin / "setupc").string()) + " -o " + ShellQuote(temp.Path().string()) +
            " " + ShellQuote((stage / "medalor.setup").string())),
      0);
  const fs::path installer = temp.Path() / "MedalorSetup.exe";
  ASSERT_TRUE(fs::exists(installer));

  // First install into a folder of our own choice.
  ASSERT_EQ(
      Shell(env + ShellQuote(installer.string()) + " --unattended '--dir=C:\\Tools\\Medalor'"), 0);
  const fs::path folder = root / "drive_c" / "Tools" / "Medalor";
  EXPECT_TRUE(fs::exists(folder / "Medalor"));
  EXPECT_TRUE(fs::exists(folder / "Badges" / "gold-medal.png"));
  EXPECT_TRUE(fs::exists(folder / "BadgeLayout" / "none.png"));
  int links = 0;  // Start menu and Desktop
  for (const auto& entry : fs::recursive_directory_iterator(root / "drive_c" / "users")) {
    links += entry.path().filename() == "Medalor Studio.lnk";
  }
  EXPECT_EQ(links, 2);
  EXPECT_NE(ReadBytes(root / "registry" / "HKCU.reg").find("C:\\\\Tools\\\\Medalor"),
            std::string::npos);

  // The installed program renders a sheet from its own folders, without a display.
  const fs::path sheet = temp.Path() / "sheet.png";
  ASSERT_EQ(Shell("env -u DISPLAY -u WAYLAND_DISPLAY " + ShellQuote((folder / "Medalor").string()) +
                  " --sheet " + ShellQuote(sheet.string()) +
                  " --badges gold-medal,ruby-star,blue-shield --background Walnut"),
            0);
  const auto bytes = platform::ReadFileBytes(sheet.string());
  ASSERT_TRUE(bytes);
  EXPECT_EQ(DecodePng(*bytes, sheet.string()).Width(), 177);

  // The uninstaller removes it all; its finaliser deletes the folder after it has ended.
  ASSERT_TRUE(fs::exists(folder / "Medalor_Uninstall.exe"));
  ASSERT_EQ(Shell(env + ShellQuote((folder / "Medalor_Uninstall.exe").string()) + " --unattended"),
            0);
  for (int i = 0; i < 100 && fs::exists(folder); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  EXPECT_FALSE(fs::exists(folder));
  EXPECT_EQ(ReadBytes(root / "registry" / "HKCU.reg").find("InstallDir"), std::string::npos);

  // In a fresh setup root: a second run finds the first install's folder through the registry.
  const fs::path root2 = temp.Path() / "root2";
  const std::string env2 = "SETUP_ROOT=" + ShellQuote(root2.string()) +
                           " QT_QPA_PLATFORM=offscreen SETUP_NO_DESKTOP_ENTRIES=1 ";
  ASSERT_EQ(
      Shell(env2 + ShellQuote(installer.string()) + " --unattended '--dir=C:\\Tools\\Medalor'"), 0);
  ASSERT_EQ(Shell(env2 + ShellQuote(installer.string()) + " --unattended"), 0);
  EXPECT_TRUE(fs::exists(root2 / "drive_c" / "Tools" / "Medalor" / "Medalor"));
  EXPECT_FALSE(fs::exists(root2 / "drive_c" / "Program Files" / "Medalor"));
}

}  // namespace
}  // namespace medalor
