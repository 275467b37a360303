#include "setup/vfs/vfs_hash_file.h"

#include <gtest/gtest.h>

#include "setup/vfs/vfs_file.h"
#include "setup/vfs/vfs_tree.h"
#include "vfs/vfs_test_support.h"

namespace {

using archive_test::Exists;
using archive_test::ReadBytes;
using archive_test::ScratchFolder;
using archive_test::U32At;
using archive_test::WriteBytes;

uint32_t Sdbm(const std::string& key) {
  uint32_t h = 0;
  for (unsigned char c : key) h = h * 65599u + c;
  return h;
}

struct Record {
  uint32_t hash, flags, stored, full, first;
  uint8_t unique;
};

std::vector<Record> ReadHashFile(const std::string& path) {
  std::string b = ReadBytes(path);
  std::vector<Record> out;
  uint32_t n = U32At(b, 0);
  EXPECT_EQ(b.size(), 4 + 21ull * n);
  for (uint32_t i = 0; i < n && 4 + 21 * (i + 1) <= b.size(); ++i) {
    size_t at = 4 + 21 * i;
    out.push_back({U32At(b, at), U32At(b, at + 4), U32At(b, at + 8), U32At(b, at + 12),
                   U32At(b, at + 16), static_cast<uint8_t>(b[at + 20])});
  }
  return out;
}

TEST(VfsHashFileTest, KeysUseTheLastSeparatorAsASlashAndKeepCase) {
  EXPECT_EQ(TVFSHashFile::PathHash("a.dat", "a.dat"), Sdbm("a.dat"));
  EXPECT_EQ(TVFSHashFile::PathHash("maps\\a.dat", "a.dat"), Sdbm("maps/a.dat"));
  EXPECT_EQ(TVFSHashFile::PathHash("a\\b\\c.dat", "c.dat"), Sdbm("a\\b/c.dat"));
  EXPECT_NE(TVFSHashFile::PathHash("maps\\a.dat", "a.dat"),
            TVFSHashFile::PathHash("Maps\\a.dat", "a.dat"));
  EXPECT_EQ(TVFSHashFile::HashFilePath("C:\\game\\data.vfs"), "C:\\game\\data.ht");
  EXPECT_EQ(TVFSHashFile::HashFilePath("C:\\game.v2\\data"), "C:\\game.v2\\data.ht");
}

class VfsHashBuildTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = dir_ / "data.vfs";
    vfs_test::MakeContainer(path_, 32, 200, 8);
    file_.OpenContainer(path_, true);
  }
  void Put(const std::string& path, const std::string& bytes) {
    file_.Tree().PutFile(path, bytes.data(), bytes.size());
  }
  ScratchFolder dir_;
  std::string path_;
  TVFSFile file_;
};

TEST_F(VfsHashBuildTest, RecordsComeInAscendingHashOrderWhateverTheNodeOrder) {
  const std::vector<std::string> names = {"zeta.dat", "m\\a.dat", "alpha.dat", "m\\n\\q.dat",
                                          "b.dat"};
  for (const std::string& n : names) Put(n, "content of " + n);
  file_.FinaliseContainer(false);
  std::vector<Record> records = ReadHashFile(dir_ / "data.ht");
  ASSERT_EQ(records.size(), names.size());
  for (size_t i = 1; i < records.size(); ++i) EXPECT_LT(records[i - 1].hash, records[i].hash);
  for (const std::string& n : names) {
    int node = file_.Tree().FindPath(n);
    ASSERT_GE(node, 0);
    const auto& entry = file_.Tree().Node(node).entry;
    size_t sep = n.rfind('\\');
    std::string key = sep == std::string::npos ? n : n.substr(0, sep) + "/" + n.substr(sep + 1);
    auto it = std::find_if(records.begin(), records.end(),
                           [&](const Record& r) { return r.hash == Sdbm(key); });
    ASSERT_NE(it, records.end()) << n;
    EXPECT_EQ(it->flags, entry.flags);
    EXPECT_EQ(it->stored, entry.stored_size);
    EXPECT_EQ(it->full, entry.full_size);
    EXPECT_EQ(it->first, static_cast<uint32_t>(entry.first_block));
    EXPECT_EQ(it->unique, 1);
  }
}

TEST_F(VfsHashBuildTest, CollidingPathsKeepTheFirstFileMarkedAndLeaveTheOtherOut) {
  // Two names below folder c whose keys hash alike (found by a search over random names).
  const std::string first = "jtpattmj.d", second = "e6nd56td.d";
  ASSERT_EQ(Sdbm("c/" + first), Sdbm("c/" + second));
  Put("c\\" + first, "first");
  Put("c\\" + second, "second");
  Put("other.dat", "other");
  file_.FinaliseContainer(false);
  std::vector<Record> records = ReadHashFile(dir_ / "data.ht");
  ASSERT_EQ(records.size(), 2u);
  auto hit = std::find_if(records.begin(), records.end(),
                          [&](const Record& r) { return r.hash == Sdbm("c/" + first); });
  ASSERT_NE(hit, records.end());
  EXPECT_EQ(hit->unique, 0);
  int node = file_.Tree().FindPath("c\\" + first);
  EXPECT_EQ(hit->first, static_cast<uint32_t>(file_.Tree().Node(node).entry.first_block));
}

TEST_F(VfsHashBuildTest, ContainerWithoutFilesHasNoHashFile) {
  WriteBytes(dir_ / "data.ht", "stale");
  file_.Tree().CreateNewFileDir(-1, "empty folder", 0, 0, 0, 0, true, vfs::kFlagFolder);
  file_.FinaliseContainer(false);
  EXPECT_FALSE(Exists(dir_ / "data.ht"));
}

TEST_F(VfsHashBuildTest, ContainerOpenedWithoutItsTreeWritesItsHashFileBack) {
  Put("a.dat", "a");
  Put("b.dat", "b");
  file_.FinaliseContainer(false);
  file_.CloseContainer();
  const std::string before = ReadBytes(dir_ / "data.ht");
  TVFSFile shallow;
  shallow.OpenContainer(path_, false);
  EXPECT_TRUE(shallow.HashFile().Loaded());
  EXPECT_EQ(shallow.HashFile().Records().size(), 2u);
  shallow.FinaliseContainer(false);
  EXPECT_EQ(ReadBytes(dir_ / "data.ht"), before);

  WriteBytes(dir_ / "data.ht", std::string("\xFF\xFF\xFF\x0F", 4));  // count beyond the file
  TVFSFile damaged;
  EXPECT_THROW(damaged.OpenContainer(path_, false), std::exception);
}

}  // namespace
