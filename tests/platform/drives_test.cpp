#include "platform/drives.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "common/file_bytes.h"
#include "platform/desktop_entry.h"
#include "platform/files.h"
#include "platform/name_index.h"
#include "platform/shell.h"
#include "test_root.h"

namespace platform {
namespace {

namespace fs = std::filesystem;
using platform_test::TempSetupRoot;
using setupkit_test::WriteBytes;

TEST(DrivesTest, DefaultTableHasDriveCUnderTheRootAndZAtHostRoot) {
  TempSetupRoot root;
  const auto c = FindDrive('c');
  ASSERT_TRUE(c);
  EXPECT_EQ(c->letter, 'C');
  EXPECT_EQ(c->type, DriveType::kFixed);
  EXPECT_EQ(c->host_folder, root.DriveC());
  EXPECT_TRUE(fs::is_directory(root.DriveC()));
  const auto z = FindDrive('Z');
  ASSERT_TRUE(z);
  EXPECT_EQ(z->host_folder, "/");
  EXPECT_EQ(GetDriveType("C:\\"), DriveType::kFixed);
  EXPECT_EQ(GetDriveType("Q:\\"), DriveType::kNoRootDir);
  const auto roots = GetLogicalDriveStrings();
  ASSERT_GE(roots.size(), 2u);
  EXPECT_EQ(roots.front(), "C:\\");
  EXPECT_EQ(roots.back(), "Z:\\");
}

TEST(DrivesTest, DrivesFileReplacesTheTable) {
  TempSetupRoot root;
  fs::create_directories(root.Path() + "/my cd/disc one");
  WriteBytes(root.Path() + "/drives",
             "# test drives\r\n"
             "e: cdrom " +
                 root.Path() +
                 "/my cd/disc one  \r\n"
                 "C: fixed " +
                 root.Path() +
                 "/sys/\n"
                 "\n"
                 "R: ramdisk relative/ram\n"
                 "N: remote /mnt/net\n"
                 "X: floppy /nowhere\n"  // unknown type: skipped
                 "Y:fixed /nowhere\n");  // no blank after the colon: skipped
  const auto drives = Drives();
  ASSERT_EQ(drives.size(), 4u);
  EXPECT_EQ(drives[0].letter, 'C');
  EXPECT_EQ(drives[0].host_folder, root.Path() + "/sys");
  EXPECT_EQ(drives[1].letter, 'E');
  EXPECT_EQ(drives[1].type, DriveType::kCdRom);
  EXPECT_EQ(drives[1].host_folder, root.Path() + "/my cd/disc one");
  EXPECT_EQ(drives[2].letter, 'N');
  EXPECT_EQ(drives[2].type, DriveType::kRemote);
  EXPECT_EQ(drives[3].letter, 'R');
  EXPECT_EQ(drives[3].host_folder, root.Path() + "/relative/ram");
  EXPECT_FALSE(FindDrive('Z'));
  EXPECT_EQ(GetDriveType("e:\\"), DriveType::kCdRom);
  EXPECT_EQ(ToHostPath("E:\\setup.exe"), root.Path() + "/my cd/disc one/setup.exe");
  EXPECT_EQ(ToWindowsPath(root.Path() + "/my cd/disc one/a/b"), "E:\\a\\b");

  // Changes to the file show at once, also when the size stays the same.
  WriteBytes(root.Path() + "/drives", "F: fixed /f\n");
  ASSERT_EQ(Drives().size(), 1u);
  WriteBytes(root.Path() + "/drives", "G: fixed /g\n");
  EXPECT_EQ(Drives().at(0).letter, 'G');
  fs::remove(root.Path() + "/drives");
  EXPECT_TRUE(FindDrive('C'));
  // The default C: folder is made again when it was removed.
  fs::remove_all(root.DriveC());
  EXPECT_EQ(ToHostPath("C:\\x"), root.DriveC() + "/x");
  EXPECT_TRUE(fs::is_directory(root.DriveC()));
}

TEST(DrivesTest, WindowsPathResolvesExistingComponentsIgnoringCase) {
  TempSetupRoot root;
  fs::create_directories(root.DriveC() + "/Program Files/MyApp");
  EXPECT_EQ(ToHostPath("c:\\PROGRAM FILES\\myapp\\New Folder\\x.TXT"),
            root.DriveC() + "/Program Files/MyApp/New Folder/x.TXT");
  EXPECT_EQ(ToHostPath("C:/program files//MyApp/"), root.DriveC() + "/Program Files/MyApp");
  EXPECT_EQ(ToHostPath("C:\\"), root.DriveC());
  // An exact match wins over another spelling of the same name.
  fs::create_directories(root.DriveC() + "/program files");
  EXPECT_EQ(ToHostPath("C:\\program files"), root.DriveC() + "/program files");
  EXPECT_EQ(ToHostPath("C:\\PROGRAM files"), root.DriveC() + "/Program Files");
}

TEST(DrivesTest, DotDotNeverLeavesTheDrive) {
  TempSetupRoot root;
  EXPECT_EQ(ToHostPath("C:\\a\\..\\..\\..\\etc\\passwd"), root.DriveC() + "/etc/passwd");
  EXPECT_EQ(ToHostPath("C:\\a\\.\\b\\..\\c"), root.DriveC() + "/a/c");
}

TEST(DrivesTest, UnmappablePathsAnswerNothing) {
  TempSetupRoot root;
  EXPECT_FALSE(ToHostPath("relative\\path"));
  EXPECT_FALSE(ToHostPath("C:relative"));
  EXPECT_FALSE(ToHostPath("Q:\\no\\such\\drive"));
  EXPECT_FALSE(ToHostPath(""));
  EXPECT_EQ(ToHostPath("/already/host"), "/already/host");
  EXPECT_FALSE(ToWindowsPath("not/absolute"));
}

TEST(DrivesTest, PathsBelowAHostFolderAreFoundIgnoringCase) {
  TempSetupRoot root;
  const std::string base = root.DriveC() + "/layout";
  fs::create_directories(base + "/Install/Pictures");
  WriteBytes(base + "/Install/Pages.txt", "");
  WriteBytes(base + "/Install/Pictures/Logo.PNG", "");
  EXPECT_EQ(FindHostPathIgnoringCase(base, "install\\pictures\\logo.png"),
            base + "/Install/Pictures/Logo.PNG");
  EXPECT_EQ(FindHostPathIgnoringCase(base + "/", "INSTALL/pages.TXT"), base + "/Install/Pages.txt");
  EXPECT_EQ(FindHostPathIgnoringCase(base, "install"), base + "/Install");
  // The exact spelling wins over another one of the same name.
  WriteBytes(base + "/Install/pages.txt", "");
  EXPECT_EQ(FindHostPathIgnoringCase(base, "Install\\pages.txt"), base + "/Install/pages.txt");
  // Nothing for what is missing, for no name at all, and for a way out of the folder.
  EXPECT_FALSE(FindHostPathIgnoringCase(base, "install\\missing.png"));
  EXPECT_FALSE(FindHostPathIgnoringCase(base, "missing\\pages.txt"));
  EXPECT_FALSE(FindHostPathIgnoringCase(base, ""));
  EXPECT_FALSE(FindHostPathIgnoringCase(base + "/Install", "..\\Install\\Pages.txt"));
  EXPECT_FALSE(FindHostPathIgnoringCase(base, "install/./pages.txt"));
}

TEST(DrivesTest, HostPathMapsBackThroughTheLongestDriveFolder) {
  TempSetupRoot root;
  EXPECT_EQ(ToWindowsPath(root.DriveC() + "/Program Files/x.exe"), "C:\\Program Files\\x.exe");
  EXPECT_EQ(ToWindowsPath(root.DriveC()), "C:\\");
  EXPECT_EQ(ToWindowsPath("/usr/share/doc"), "Z:\\usr\\share\\doc");
  EXPECT_EQ(ToWindowsPath("/"), "Z:\\");
  // A folder that merely starts with the drive folder's name is not inside it.
  const auto sibling = ToWindowsPath(root.DriveC() + "_other/x");
  ASSERT_TRUE(sibling);
  EXPECT_EQ(sibling->substr(0, 3), "Z:\\");
  // Round trip of a new path.
  const auto host = ToHostPath("C:\\Games\\Tool\\App.exe");
  ASSERT_TRUE(host);
  EXPECT_EQ(ToWindowsPath(*host), "C:\\Games\\Tool\\App.exe");
}

// A per-machine run has the machine's table below SETUP_ROOT/machine: C: there, with its
// Program Files in machine/opt, both ways and with or without a name index; the per-user table
// and its folders stay as they were, and a look at the machine's table makes nothing there.
TEST(DrivesTest, MachineScopeKeepsProgramFilesInOpt) {
  TempSetupRoot root;
  const std::string machine = root.Path() + "/machine";
  {
    ScopeSwitch scope(true);
    EXPECT_EQ(SetupRoot(), machine);
    EXPECT_EQ(FindDrive('C')->host_folder, machine + "/drive_c");
    EXPECT_FALSE(fs::exists(machine));
    EXPECT_EQ(ApplicationsFolder(), machine + "/applications");
    EXPECT_EQ(DesktopFolder(), "");
  }
  EXPECT_EQ(SetupRoot(), root.Path());
  EXPECT_EQ(ToHostPath("C:\\Program Files\\x"), root.DriveC() + "/Program Files/x");

  ScopeSwitch scope(true);
  fs::create_directories(machine + "/opt/Demo");
  struct Case {
    const char* windows;
    std::string host;
    const char* back;  // the Windows path the host path maps back to
  };
  const Case cases[] = {
      {"C:\\Program Files", machine + "/opt", "C:\\Program Files"},
      {"C:\\program files\\DEMO\\a.exe", machine + "/opt/Demo/a.exe",
       "C:\\Program Files\\Demo\\a.exe"},
      {"C:\\Program Files\\..\\x", machine + "/drive_c/x", "C:\\x"},
      {"C:\\Program Filesx\\y", machine + "/drive_c/Program Filesx/y", "C:\\Program Filesx\\y"},
      {"C:\\a\\Program Files", machine + "/drive_c/a/Program Files", "C:\\a\\Program Files"},
  };
  for (const bool indexed : {false, true}) {
    std::optional<NameIndexScope> index;
    if (indexed) index.emplace();
    ToHostPath("C:\\y");  // the root folder of C: is now known to an index
    for (const Case& c : cases) {
      EXPECT_EQ(ToHostPath(c.windows), c.host) << c.windows << (indexed ? " indexed" : "");
      EXPECT_EQ(ToWindowsPath(c.host), c.back) << c.host;
    }
  }
  EXPECT_EQ(GetShellFolder(ShellFolder::kPrograms), "C:\\users\\Public\\Start Menu\\Programs");
}

}  // namespace
}  // namespace platform
