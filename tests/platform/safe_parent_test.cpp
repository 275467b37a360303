#include "platform/safe_parent.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>

#include "common/machine_snapshot.h"
#include "platform/files.h"
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

TEST(SafeParentTest, NoChangeGoesThroughALinkAtAnyFolderLevel) {
  for (const char* level : {"a", "a/b", "a/b/c"}) {
    for (const Change& change : kChanges) {
      SCOPED_TRACE(std::string(change.name) + " with a link at " + level);
      TempSetupRoot root;
      const fs::path drive = root.DriveC();
      fs::create_directories(drive / "a/b/c/d");
      std::ofstream(drive / "a/b/c/f.txt") << "mine";
      // The folder at the level moves outside and a link to it takes its place.
      const fs::path outside = fs::path(root.Path()) / "outside";
      fs::rename(drive / level, outside);
      fs::create_directory_symlink(outside, drive / level);
      const setupkit_test::MachineSnapshot before = Snapshot(outside);
      errno = 0;
      EXPECT_FALSE(change.run());
      EXPECT_EQ(errno, ELOOP);
      EXPECT_TRUE(before == Snapshot(outside))
          << setupkit_test::SnapshotDifference(before, Snapshot(outside));
    }
  }
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
