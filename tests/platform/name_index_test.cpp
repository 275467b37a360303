// Path lookups inside a name-index scope answer exactly as lookups without one, while the scope's
// thread creates, deletes and moves files and folders whose names differ only in letter case.
#include "platform/name_index.h"

#include <gtest/gtest.h>

#include <future>
#include <random>
#include <string>
#include <vector>

#include "platform/drives.h"
#include "platform/files.h"
#include "test_root.h"

namespace {

using platform_test::TempSetupRoot;

// The same lookup on a thread of its own, which has no scope: the model answer.
std::optional<std::string> Unindexed(const std::string& path) {
  return std::async(std::launch::async, [&] { return platform::ToHostPath(path); }).get();
}

TEST(NameIndexTest, ScopedLookupsMatchUnindexedOnesThroughRandomChanges) {
  TempSetupRoot root;
  std::mt19937 random(20240611);
  const std::vector<std::string> folders = {"C:\\T", "C:\\T\\Sub", "C:\\t\\SUB\\deep"};
  const std::vector<std::string> names = {"a.txt", "A.TXT", "b.dat", "B.dat", "Sub", "sub"};
  auto random_path = [&] {
    return folders[random() % folders.size()] + "\\" + names[random() % names.size()];
  };

  platform::NameIndexScope scope;
  for (int step = 0; step < 400; ++step) {
    const std::string path = random_path();
    // A path looked up just before the change (as a file is before it is written) and again
    // after it.
    const std::string primed = random_path();
    platform::ToHostPath(primed);
    switch (random() % 6) {
      case 0:
      case 1:
        platform::File::Open(path, platform::File::Mode::kCreate);
        break;
      case 2:
        platform::CreateDirectory(path);
        break;
      case 3:
        platform::DeleteFile(path);
        break;
      case 4:
        platform::RemoveDirectory(path);
        break;
      case 5:
        platform::MoveFile(path, random_path());
        break;
    }
    for (int probe = 0; probe < 4; ++probe) {
      const std::string looked_up = probe == 0 ? primed : random_path();
      ASSERT_EQ(platform::ToHostPath(looked_up), Unindexed(looked_up))
          << "step " << step << " after changing " << path;
    }
    const bool exists =
        std::async(std::launch::async, [&] { return platform::FileExists(path); }).get();
    EXPECT_EQ(platform::FileExists(path), exists) << "step " << step;
  }
}

TEST(NameIndexTest, NewNamesFindTheExistingSpellingAndScopesNest) {
  TempSetupRoot root;
  ASSERT_TRUE(platform::CreateDirectory("C:\\Data"));
  platform::NameIndexScope outer;
  ASSERT_TRUE(platform::File::Open("C:\\data\\Read.Me", platform::File::Mode::kCreate));
  {
    platform::NameIndexScope inner;  // shares the outer index
    ASSERT_TRUE(platform::File::Open("C:\\DATA\\other", platform::File::Mode::kCreate));
  }
  EXPECT_EQ(platform::ToHostPath("C:\\DATA\\READ.ME"), root.DriveC() + "/Data/Read.Me");
  EXPECT_EQ(platform::ToHostPath("c:\\data\\OTHER"), root.DriveC() + "/Data/other");
  EXPECT_EQ(platform::FindFiles("C:\\Data").size(), 2u);
}

TEST(NameIndexTest, ARememberedLookupDoesNotOutliveAChange) {
  TempSetupRoot root;
  ASSERT_TRUE(platform::CreateDirectory("C:\\T"));
  ASSERT_TRUE(platform::File::Open("C:\\T\\A.TXT", platform::File::Mode::kCreate));
  platform::NameIndexScope scope;
  // Deleted under another spelling, the name maps as spelled again.
  EXPECT_EQ(platform::ToHostPath("C:\\T\\a.txt"), root.DriveC() + "/T/A.TXT");
  ASSERT_TRUE(platform::DeleteFile("C:\\T\\a.txt"));
  EXPECT_EQ(platform::ToHostPath("C:\\T\\a.txt"), root.DriveC() + "/T/a.txt");
  // Created through its host path, the name maps to the new file's spelling.
  EXPECT_EQ(platform::ToHostPath("C:\\T\\b.txt"), root.DriveC() + "/T/b.txt");
  ASSERT_TRUE(platform::File::Open(root.DriveC() + "/T/B.TXT", platform::File::Mode::kCreate));
  EXPECT_EQ(platform::ToHostPath("C:\\T\\b.txt"), root.DriveC() + "/T/B.TXT");
  EXPECT_TRUE(platform::FileExists("C:\\T\\b.txt"));
}

TEST(NameIndexTest, ARememberedFolderFollowsChangesAboveItButNotInsideIt) {
  TempSetupRoot root;
  ASSERT_TRUE(platform::CreateDirectory("C:\\T"));
  platform::NameIndexScope scope;
  // Missing, the folder maps as spelled; made in another spelling, its files follow it there.
  EXPECT_EQ(platform::ToHostPath("C:\\T\\sub\\a.txt"), root.DriveC() + "/T/sub/a.txt");
  ASSERT_TRUE(platform::CreateDirectory(root.DriveC() + "/T/SUB"));
  EXPECT_EQ(platform::ToHostPath("C:\\T\\sub\\b.txt"), root.DriveC() + "/T/SUB/b.txt");
  // A file made in it is found under any spelling by the next lookup in the same folder.
  ASSERT_TRUE(platform::File::Open("C:\\T\\sub\\b.txt", platform::File::Mode::kCreate));
  EXPECT_EQ(platform::ToHostPath("C:\\T\\sub\\B.TXT"), root.DriveC() + "/T/SUB/b.txt");
  // Gone, the folder maps as spelled again.
  ASSERT_TRUE(platform::DeleteFile(root.DriveC() + "/T/SUB/b.txt"));
  ASSERT_TRUE(platform::RemoveDirectory(root.DriveC() + "/T/SUB"));
  EXPECT_EQ(platform::ToHostPath("C:\\T\\sub\\c.txt"), root.DriveC() + "/T/sub/c.txt");
}

}  // namespace
