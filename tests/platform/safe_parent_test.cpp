#include "platform/safe_parent.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>

#include "common/machine_snapshot.h"
#include "platform/desktop_entry.h"
#include "platform/files.h"
#include "platform/path_util.h"
#include "platform/shell.h"
#include "test_root.h"

namespace platform {
namespace {

namespace fs = std::filesystem;
using platform_test::TempSetupRoot;

setupkit_test::MachineSnapshot Snapshot(const fs::path& folder) {
  setupkit_test::MachineSnapshot snapshot;
  setupkit_test::AddTreeToSnapshot(folder, "", snapshot);
  return snapshot;
}

// Every changing operation, aimed at C:\a\b\c\f.txt or its folder: with a link at any folder level
// below drive C: it fails with ELOOP and the link's target is left as it was.
struct Change {
  const char* name;
  std::function<bool()> run;
};

const Change kChanges[] = {
    {"CreateDirectory", [] { return CreateDirectory("C:\\a\\b\\c\\new"); }},
    {"RemoveDirectory", [] { return RemoveDirectory("C:\\a\\b\\c\\d"); }},
    {"DeleteFile", [] { return DeleteFile("C:\\a\\b\\c\\f.txt"); }},
    {"DeleteRegularFile", [] { return DeleteRegularFile("C:\\a\\b\\c\\f.txt"); }},
    {"MoveFile", [] { return MoveFile("C:\\a\\b\\c\\f.txt", "C:\\a\\b\\c\\g.txt"); }},
    {"CreateFile", [] { return WriteFileBytes("C:\\a\\b\\c\\f.txt", "new", 3); }},
    {"ReplaceAtomically", [] { return WriteFileAtomically("C:\\a\\b\\c\\f.txt", "new", 3); }},
    {"SetReadOnly", [] { return SetFileAttributes("C:\\a\\b\\c\\f.txt", kFileAttributeReadOnly); }},
};

// Runs every change with a link at each folder level below drive C:, in a fresh root where
// C:\a\b\c\d and C:\a\b\c\f.txt exist. `plant` puts the link at `level` and answers the
// folder it leads to, which no change may touch.
void ExpectEveryChangeRefused(
    const std::function<fs::path(const TempSetupRoot&, const fs::path&, const char*)>& plant) {
  for (const char* level : {"a", "a/b", "a/b/c"}) {
    for (const Change& change : kChanges) {
      SCOPED_TRACE(std::string(change.name) + " with a link at " + level);
      TempSetupRoot root;
      const fs::path drive = root.DriveC();
      fs::create_directories(drive / "a/b/c/d");
      std::ofstream(drive / "a/b/c/f.txt") << "mine";
      const fs::path outside = plant(root, drive, level);
      const setupkit_test::MachineSnapshot before = Snapshot(outside);
      errno = 0;
      EXPECT_FALSE(change.run());
      EXPECT_EQ(errno, ELOOP);
      EXPECT_TRUE(before == Snapshot(outside))
          << setupkit_test::SnapshotDifference(before, Snapshot(outside));
    }
  }
}

TEST(SafeParentTest, NoChangeGoesThroughALinkAtAnyFolderLevel) {
  // The folder at the level moves outside and a link to it takes its place.
  ExpectEveryChangeRefused([](const TempSetupRoot& root, const fs::path& drive, const char* level) {
    const fs::path outside = fs::path(root.Path()) / "outside";
    fs::rename(drive / level, outside);
    fs::create_directory_symlink(outside, drive / level);
    return outside;
  });
}

// The same after earlier walks of this thread reached the folders (which it keeps for the walks
// that follow) and a link to another folder took the place of one of them.
TEST(SafeParentTest, FoldersWalkedBeforeNeverLeadThroughALinkPlantedLater) {
  ExpectEveryChangeRefused([](const TempSetupRoot& root, const fs::path& drive, const char* level) {
    fs::create_directories(drive / "a/other");
    EXPECT_TRUE(SafeParent::Open((drive / "a/b/c/d/x").string()));
    EXPECT_TRUE(SafeParent::Open((drive / "a/other/x").string()));
    const fs::path outside = fs::path(root.Path()) / "outside";
    fs::rename(drive / level, fs::path(root.Path()) / "aside");
    fs::copy(fs::path(root.Path()) / "aside", outside, fs::copy_options::recursive);
    fs::create_directory_symlink(outside, drive / level);
    return outside;
  });
}

// The platform's own folder making (mkdir -p of shell folders, the temporary folder, desktop
// entries' folders): with a link at a level below a guarded folder nothing is made in the link's
// target, and the link is refused with ELOOP. Each case names the folder to replace by a link
// (below SETUP_ROOT) and the call that makes folders below it.
struct FolderMaking {
  const char* name;
  const char* level;
  std::function<bool(const std::string& root)> run;
};

const FolderMaking kFolderMakings[] = {
    {"GuardedMkdirP", "drive_c/a",
     [](const std::string& root) {
       return internal::MakeHostFolders(root + "/drive_c/a/b/c", true);
     }},
    {"ShellFolder", "drive_c/users",
     [](const std::string&) { return DirectoryExists(GetShellFolder(ShellFolder::kDesktop)); }},
    {"TempFolder", "drive_c/users/tester",
     [](const std::string&) { return DirectoryExists(GetTempPath()); }},
    {"DesktopEntryFolder", "applications/kit",
     [](const std::string& root) {
       return WriteDesktopEntry(root + "/applications/kit/sub/x.desktop", DesktopEntry{});
     }},
};

TEST(SafeParentTest, FoldersAreNeverMadeThroughALink) {
  for (const FolderMaking& making : kFolderMakings) {
    SCOPED_TRACE(making.name);
    TempSetupRoot root;
    const platform_test::ScopedEnv entries_below_root("XDG_DATA_HOME", std::nullopt);
    fs::create_directories(fs::path(root.Path()) / making.level);
    const fs::path outside = fs::path(root.Path()) / "outside";
    fs::create_directories(outside);
    fs::remove_all(fs::path(root.Path()) / making.level);
    fs::create_directory_symlink(outside, fs::path(root.Path()) / making.level);
    EXPECT_FALSE(making.run(root.Path()));
    EXPECT_TRUE(fs::is_empty(outside));
  }
}

// A move to another file system copies, then deletes the original, in the folders the walks
// opened: content and mode arrive, and a link at the target's folder is refused with nothing
// written through it. The target lies in a trusted folder of the run on a second file system.
TEST(SafeParentTest, MoveToAnotherFileSystemStaysInTheOpenedFolders) {
  TempSetupRoot root;
  const fs::path other = fs::path("/dev/shm") / ("setupkit-move-" + std::to_string(getpid()));
  struct stat here {};
  struct stat there {};
  if (stat(root.Path().c_str(), &here) != 0 || stat("/dev/shm", &there) != 0 ||
      here.st_dev == there.st_dev) {
    GTEST_SKIP() << "no second file system at /dev/shm";
  }
  fs::create_directories(other / "in");
  fs::create_directories(other / "outside");
  const TrustedFolderScope trusted(other.string());
  const fs::path source = fs::path(root.DriveC()) / "a" / "f.sh";
  const auto write_source = [&] {
    fs::create_directories(source.parent_path());
    std::ofstream(source) << "#!/bin/sh\n";
    fs::permissions(source, fs::perms(0750));
  };
  write_source();
  EXPECT_TRUE(MoveFile(source.string(), (other / "in/f.sh").string()));
  EXPECT_FALSE(fs::exists(source));
  EXPECT_EQ(ReadFileBytes((other / "in/f.sh").string()), "#!/bin/sh\n");
  EXPECT_EQ(fs::status(other / "in/f.sh").permissions(), fs::perms(0750));

  write_source();
  fs::rename(other / "in", other / "moved");
  fs::create_directory_symlink(other / "outside", other / "in");
  errno = 0;
  EXPECT_FALSE(MoveFile(source.string(), (other / "in/g.sh").string()));
  EXPECT_EQ(errno, ELOOP);
  EXPECT_TRUE(fs::exists(source));
  EXPECT_TRUE(fs::is_empty(other / "outside"));
  fs::remove_all(other);
}

// A folder swapped for a link after the walk: the change lands in the folder the walk opened
// (moved aside), never in the link's target.
TEST(SafeParentTest, AChangeAfterTheWalkStaysInTheFolderItOpened) {
  TempSetupRoot root;
  const fs::path folder = fs::path(root.DriveC()) / "a" / "b";
  fs::create_directories(folder);
  fs::create_directories(fs::path(root.Path()) / "outside");
  std::optional<SafeParent> parent = SafeParent::Open((folder / "new").string());
  ASSERT_TRUE(parent && parent->Guarded());
  fs::rename(folder, folder.string() + ".moved");
  fs::create_directory_symlink(fs::path(root.Path()) / "outside", folder);
  ASSERT_EQ(mkdirat(parent->Fd(), parent->Leaf(), 0777), 0);
  EXPECT_TRUE(fs::is_directory(folder.string() + ".moved/new"));
  EXPECT_TRUE(fs::is_empty(fs::path(root.Path()) / "outside"));
}

// ".." is resolved on the text before the walk, so it never climbs out through a folder.
TEST(SafeParentTest, DotDotNeverLeadsOutOfTheTrustedFolder) {
  TempSetupRoot root;
  std::optional<SafeParent> below = SafeParent::Open(root.DriveC() + "/a/../x");
  ASSERT_TRUE(below && below->Guarded());
  EXPECT_STREQ(below->Leaf(), "x");
  EXPECT_FALSE(SafeParent::OpenBelow(root.DriveC(), root.DriveC() + "/../x"));
  EXPECT_EQ(errno, EXDEV);
}

}  // namespace
}  // namespace platform
