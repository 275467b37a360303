#include "setup/session/uninstall.h"

#include "platform/drives.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "setup/core/text_services.h"
#include "setup/session/temp_files.h"
#include "common/package_fixture.h"

namespace setup_session {
namespace {

class UninstallTest : public PackageFixture {};

TEST_F(UninstallTest, ProgressTextsAndSteps) {
  AddStockLanguage("uninstall\\english");
  OpenPackage();
  EXPECT_EQ(FormatProgressText(u"folders: ", 3, 7), u"Removing folders: 3 of 7");
  EXPECT_FALSE(ProgressStep(1, 150, 0));  // 1 of 150 is below one per cent
  EXPECT_TRUE(ProgressStep(2, 150, 0));
  EXPECT_TRUE(ProgressStep(1, 50, 0));
  EXPECT_FALSE(ProgressStep(0, 0, 0));
}

TEST_F(UninstallTest, PathsGetOneSeparator) {
  EXPECT_EQ(JoinPath("C:\\Demo\\", "x.exe"), "C:\\Demo\\x.exe");
  EXPECT_EQ(JoinPath("C:\\Demo", "x.exe"), "C:\\Demo\\x.exe");
  EXPECT_EQ(JoinPath("C:\\Demo\\", "\\x.exe"), "C:\\Demo\\x.exe");
  EXPECT_EQ(TempFilePath("icon.ico"), platform::GetTempPath() + "icon.ico");
}

TEST_F(UninstallTest, FreshFilesReplaceStaleFilesAndLinksWithoutFollowingThem) {
  const std::string path = TempFilePath("SIF.temp");
  const std::string host = platform::ToHostPath(path).value();
  const std::filesystem::path victim = base_ / "victim.txt";
  std::ofstream(victim) << "keep";
  std::filesystem::create_directories(std::filesystem::path(host).parent_path());
  std::filesystem::create_symlink(victim, host);
  ASSERT_TRUE(WriteFreshFile(path, "new", 3));
  EXPECT_FALSE(std::filesystem::is_symlink(host));
  EXPECT_EQ(setupkit_test::ReadBytes(host), "new");
  EXPECT_EQ(setupkit_test::ReadBytes(victim), "keep");
}

TEST_F(UninstallTest, EmptyShortNameNeverTouchesTheUninstallKey) {
  const std::string other = UninstallKeyPath("OtherProgram");
  ASSERT_TRUE(platform::RegSetString(platform::RootKey::kLocalMachine, other, "DisplayName", "x"));
  entries_["UNINSTALL_Pages.txt"] = "[Pages]\r\n";
  OpenPackage();
  TSetupInfoFile& info = SetupState::Instance().SetupInfo();
  info.InstallDir = "C:\\Product\\";
  info.UninstallExeName = "Product_Uninstall.exe";
  info.ShortName = "";
  RegisterUninstaller();
  // The uninstaller is written, but no entry under the Uninstall key appears.
  EXPECT_TRUE(platform::FileExists("C:\\Product\\Product_Uninstall.exe"));
  EXPECT_EQ(platform::RegSubKeyNames(platform::RootKey::kLocalMachine, UninstallKeyPath("")),
            std::vector<std::string>{"OtherProgram"});
  EXPECT_TRUE(
      platform::RegValueNames(platform::RootKey::kLocalMachine, UninstallKeyPath("")).empty());
}

}  // namespace
}  // namespace setup_session
