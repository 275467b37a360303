#include <gtest/gtest.h>

#include <random>

#include "platform/checksum.h"
#include "setup/core/setup_error.h"
#include "setup/vfs/vfs_contents.h"
#include "setup/vfs/vfs_file.h"
#include "setup/vfs/vfs_tree.h"
#include "vfs/vfs_test_support.h"

namespace {

using archive_test::Exists;
using archive_test::ReadBytes;
using archive_test::ScratchFolder;
using archive_test::WriteBytes;
using vfs_test::MakeContainer;
using vfs_test::Noise;
using vfs_test::RawContainer;
using vfs_test::ReadRaw;

class VfsContainerTest : public ::testing::Test {
 protected:
  void Open(uint32_t block_size = 256, uint32_t blocks = 64, uint32_t roots = 4) {
    path_ = dir_ / "data.vfs";
    MakeContainer(path_, block_size, blocks, roots);
    file_.OpenContainer(path_, true);
  }
  void Put(const std::string& path, const std::string& bytes) {
    file_.Tree().PutFile(path, bytes.empty() ? nullptr : bytes.data(), bytes.size());
  }
  RawContainer Raw() { return ReadRaw(path_); }

  ScratchFolder dir_;
  std::string path_;
  TVFSFile file_;
};

TEST_F(VfsContainerTest, FilesTakeRootSlotsAndFoldersGetTablesOfTheirChildren) {
  Open();
  Put("a.dat", "0123456789");  // compresses to more than 10 bytes: stored plain
  RawContainer raw = Raw();
  auto a = raw.Root(0);
  EXPECT_EQ(a.name, "a.dat");
  EXPECT_EQ(a.flags, 1u);
  EXPECT_EQ(a.first, 1);
  EXPECT_EQ(a.stored, 10u);
  EXPECT_EQ(a.full, 0u);
  EXPECT_EQ(raw.Block(1), "0123456789" + std::string(246, '\0'));
  EXPECT_EQ(raw.Next(1), -1);
  EXPECT_EQ(raw.InUse(1), 1u);

  // maps is created in the next slot with one zero block, then the file goes below it and the
  // folder's table grows from 0 to 88 bytes, so the folder moves to a new chain.
  Put("maps\\a.dat", "first");
  Put("maps\\b.dat", "second");
  raw = Raw();
  auto maps = raw.Root(1);
  EXPECT_EQ(maps.name, "maps");
  EXPECT_EQ(maps.flags, 2u);
  EXPECT_EQ(maps.stored, 176u);
  auto children = raw.Children(maps);
  ASSERT_EQ(children.size(), 2u);
  EXPECT_EQ(children[0].name, "a.dat");
  EXPECT_EQ(children[1].name, "b.dat");
  EXPECT_EQ(raw.Data(children[0]), "first");
  EXPECT_EQ(raw.Data(children[1]), "second");
  EXPECT_EQ(file_.Tree().FindPath("MAPS\\B.DAT") >= 0, true);

  file_.FinaliseContainer(false);
  raw = Raw();
  EXPECT_EQ(raw.used, 4u);  // a.dat, maps' table, two children
  EXPECT_EQ(raw.FreeBlocks(), 60u);
  EXPECT_TRUE(vfs::VerifyContainer(path_).empty());
}

TEST_F(VfsContainerTest, FolderTableSpanningBlocksMovesToTheFirstFreeBlocks) {
  Open(/*block_size=*/100, /*blocks=*/32, /*roots=*/2);
  Put("d\\one.x", "1");  // folder table 88 bytes: one block
  Put("d\\two.x", "2");  // 176 bytes: two blocks, a new chain
  RawContainer raw = Raw();
  auto d = raw.Root(0);
  EXPECT_EQ(d.stored, 176u);
  // Blocks: 1 = folder's zero block (freed), 2 = one.x, then the 88-byte table took 1,
  // 3 = two.x, and the 176-byte table freed 1 and took 1 and 4.
  EXPECT_EQ(d.first, 1);
  EXPECT_EQ(raw.Next(1), 4);
  EXPECT_EQ(raw.Next(4), -1);
  EXPECT_EQ(raw.Children(d).size(), 2u);
}

TEST_F(VfsContainerTest, ReplacingAFileFreesItsOldChainFirst) {
  Open();
  Put("big.bin", Noise(700, 1));  // three blocks
  Put("after.bin", "x");
  EXPECT_EQ(Raw().Root(0).first, 1);
  EXPECT_EQ(Raw().Root(1).first, 4);
  Put("BIG.bin", "small now");
  RawContainer raw = Raw();
  // The old slot was cleared and is the first free one again; the new bytes take block 1.
  auto big = raw.Root(0);
  EXPECT_EQ(big.name, "BIG.bin");
  EXPECT_EQ(big.first, 1);
  EXPECT_EQ(raw.Next(1), -1);
  EXPECT_EQ(raw.Next(2), 0);
  EXPECT_EQ(raw.Next(3), 0);
  EXPECT_EQ(raw.InUse(2), 0u);
  EXPECT_EQ(file_.Tree().FindPath("big.bin"), file_.Tree().FindPath("Big.Bin"));
}

TEST_F(VfsContainerTest, CompressionIsUsedOnlyWhenItSaves) {
  Open(/*block_size=*/512, /*blocks=*/64);
  Put("zeros.dat", std::string(100000, '\0'));
  Put("noise.dat", Noise(3000, 2));
  Put("one.dat", "x");
  RawContainer raw = Raw();
  auto zeros = raw.Root(0);
  EXPECT_EQ(zeros.flags, 9u);
  EXPECT_EQ(zeros.full, 100000u);
  std::string stored = raw.Data(zeros);
  ASSERT_EQ(stored.size(), zeros.stored);
  uint32_t first = archive_test::U32At(stored, 0);
  EXPECT_EQ(vfs_test::Inflate(stored.substr(4, first), 50000), std::string(50000, '\0'));
  uint32_t second = archive_test::U32At(stored, 4 + first);
  EXPECT_EQ(4 + first + 4 + second, stored.size());
  EXPECT_EQ(vfs_test::Inflate(stored.substr(8 + first, second), 50000), std::string(50000, '\0'));

  for (uint32_t slot : {1u, 2u}) {
    auto e = raw.Root(slot);
    EXPECT_EQ(e.flags, 1u);
    EXPECT_EQ(e.full, 0u);
  }
  EXPECT_EQ(raw.Data(raw.Root(1)), Noise(3000, 2));
}

TEST_F(VfsContainerTest, PathsWithoutADotAndExistingFoldersOfAnotherCase) {
  Open();
  Put("maps\\README", "root file");
  Put("Maps\\x.dat", "x");
  Put("maps\\level\\a.dat", "a");
  RawContainer raw = Raw();
  EXPECT_EQ(raw.Root(0).name, "README");
  auto maps = raw.Root(1);
  EXPECT_EQ(maps.name, "Maps");
  EXPECT_EQ(raw.Root(2).name, "");  // no second folder
  auto children = raw.Children(maps);
  ASSERT_EQ(children.size(), 2u);
  EXPECT_EQ(children[1].name, "level");
  EXPECT_EQ(raw.Children(children[1])[0].name, "a.dat");
  EXPECT_GE(file_.Tree().FindPath("Maps\\level\\a.dat"), 0);
}

TEST_F(VfsContainerTest, DeletingAnEntryFreesEverythingBelowIt) {
  Open();
  Put("keep.dat", "k");
  Put("d\\a.dat", Noise(600, 9));
  Put("d\\e\\b.dat", "b");
  Put("d\\c.dat", "c");
  const uint32_t free_before = Raw().FreeBlocks();
  file_.Tree().DeleteEntry(file_.Tree().FindPath("d\\a.dat"));
  RawContainer raw = Raw();
  // a.dat's three blocks, and d's table shrinks from two blocks to one.
  EXPECT_EQ(raw.FreeBlocks(), free_before + 4);
  auto children = raw.Children(raw.Root(1));
  ASSERT_EQ(children.size(), 2u);
  EXPECT_EQ(children[0].name, "e");
  EXPECT_EQ(children[1].name, "c.dat");

  file_.Tree().DeleteEntry(file_.Tree().FindPath("D"));
  raw = Raw();
  EXPECT_EQ(raw.Root(1).name, "");
  EXPECT_EQ(raw.FreeBlocks(), 64u - 1u);  // only keep.dat is left
  EXPECT_LT(file_.Tree().FindPath("d\\e\\b.dat"), 0);
  file_.FinaliseContainer(false);
  EXPECT_TRUE(vfs::VerifyContainer(path_).empty());
}

TEST_F(VfsContainerTest, EmptyFileOwnsOneZeroBlock) {
  Open();
  Put("empty.dat", "");
  RawContainer raw = Raw();
  auto e = raw.Root(0);
  EXPECT_EQ(e.flags, 1u);
  EXPECT_EQ(e.stored, 0u);
  EXPECT_EQ(e.full, 0u);
  EXPECT_EQ(e.first, 1);
  EXPECT_EQ(raw.Next(1), -1);
  EXPECT_EQ(raw.Block(1), std::string(256, '\0'));
}

TEST_F(VfsContainerTest, FinaliseWritesCountAndChecksumAndTheTreeReloads) {
  Open();
  Put("a\\b\\c.dat", Noise(600, 3));
  Put("a\\d.dat", "d");
  file_.FinaliseContainer(false);
  file_.CloseContainer();
  std::string bytes = ReadBytes(path_);
  auto digest = platform::Md5Digest(bytes.data() + 44, bytes.size() - 44);
  EXPECT_EQ(bytes.substr(28, 16), std::string(digest.begin(), digest.end()));
  EXPECT_EQ(RawContainer(bytes).used, 3u + 1u + 2u);  // c.dat, d.dat, the tables of a and b

  TVFSFile again;
  again.OpenContainer(path_, true);
  int c = again.Tree().FindPath("a\\b\\c.dat");
  ASSERT_GE(c, 0);
  EXPECT_EQ(again.ReadEntryData(again.Tree().Node(c).entry).Bytes(), Noise(600, 3));
  EXPECT_EQ(again.Header().identifier, (std::array<char, 4>{'T', 'V', 'F', 'S'}));
  EXPECT_EQ(again.Header().description.substr(0, 14), "test container");

  again.FinaliseContainer(true);
  EXPECT_EQ(ReadBytes(path_).substr(28, 16), std::string(16, '\0'));
}

TEST_F(VfsContainerTest, FullContainerIsAnErrorAndLeavesItUnchanged) {
  Open(/*block_size=*/256, /*blocks=*/4, /*roots=*/2);
  Put("a.bin", Noise(600, 4));  // three blocks
  file_.FinaliseContainer(false);
  const std::string before = ReadBytes(path_);
  try {
    Put("b.bin", Noise(300, 5));
    FAIL() << "no error for a full container";
  } catch (const SetupError& e) {
    EXPECT_NE(std::string(e.what()).find("is full"), std::string::npos) << e.what();
  }
  EXPECT_THROW(Put("dir\\c.bin", "c"), SetupError);  // folder and file need two blocks
  EXPECT_EQ(ReadBytes(path_), before);
  Put("b.bin", "fits");         // one block is left
  Put("a.bin", Noise(700, 6));  // a replacement may reuse what it frees
  EXPECT_THROW(Put("c.bin", "no slot left"), SetupError);
  file_.FinaliseContainer(false);
  EXPECT_TRUE(vfs::VerifyContainer(path_).empty());
}

TEST_F(VfsContainerTest, MoreThan256RootSlotsAreAddressedCorrectly) {
  Open(/*block_size=*/16, /*blocks=*/400, /*roots=*/300);
  for (int i = 0; i < 300; ++i) Put("f" + std::to_string(i) + ".d", "v" + std::to_string(i));
  RawContainer raw = Raw();
  EXPECT_EQ(raw.Root(299).name, "f299.d");
  EXPECT_EQ(raw.Data(raw.Root(299)), "v299");
  EXPECT_EQ(raw.Root(43).name, "f43.d");
  Put("F299.D", "replaced");
  EXPECT_EQ(Raw().Data(Raw().Root(299)), "replaced");
  EXPECT_EQ(Raw().Data(Raw().Root(43)), "v43");
}

TEST_F(VfsContainerTest, LoopingChainsAndFolderCyclesAreReportedNotFollowed) {
  Open();
  Put("dir\\a.dat", Noise(600, 7));
  file_.FinaliseContainer(false);
  file_.CloseContainer();
  RawContainer raw = Raw();
  auto dir = raw.Root(0);
  auto a = raw.Children(dir)[0];
  // Make a's last block point back at its first.
  std::string looped = raw.bytes;
  int32_t last = a.first;
  while (raw.Next(static_cast<uint32_t>(last)) != -1) last = raw.Next(static_cast<uint32_t>(last));
  archive_io::StoreU32(looped.data() + raw.block_table + 8 * (last - 1) + 4,
                       static_cast<uint32_t>(a.first));
  WriteBytes(path_, looped);
  TVFSFile damaged;
  damaged.OpenContainer(path_, true);
  int node = damaged.Tree().FindPath("dir\\a.dat");
  ASSERT_GE(node, 0);
  EXPECT_THROW(damaged.Tree().PutFile("dir\\a.dat", "x", 1), SetupError);
  EXPECT_FALSE(vfs::VerifyContainer(path_).empty());
  damaged.CloseContainer();

  // A folder whose table lists the folder itself (its root entry copied into its own table).
  std::string cyclic = raw.bytes;
  const std::string self = cyclic.substr(raw.root_table, 88);
  cyclic.replace(raw.data + uint64_t{raw.B} * (dir.first - 1), 88, self);
  WriteBytes(path_, cyclic);
  TVFSFile cycle;
  EXPECT_THROW(cycle.OpenContainer(path_, true), SetupError);
}

TEST_F(VfsContainerTest, ClaimedSizesBeyondTheStoredBytesAreRefusedWithoutAllocating) {
  vfs::TVFSEntry entry;
  entry.flags = vfs::kFlagFile | vfs::kFlagCompressed;
  entry.full_size = 0xFFFFFFF0u;
  std::string stored = *TVFSTree::InternalCompressFile(std::string(60000, 'z').data(), 60000);
  EXPECT_FALSE(vfs::ExpandStoredBytes(entry, stored));
  entry.full_size = 60000;
  EXPECT_EQ(vfs::ExpandStoredBytes(entry, stored), std::string(60000, 'z'));
  entry.full_size = 60001;
  EXPECT_FALSE(vfs::ExpandStoredBytes(entry, stored));
}

TEST_F(VfsContainerTest, TruncatedAndCorruptedContainersFailCleanly) {
  Open(/*block_size=*/64, /*blocks=*/24, /*roots=*/3);
  Put("d\\a.dat", Noise(150, 8));
  Put("d\\e\\b.dat", "bee");
  Put("c.dat", std::string(500, 'c'));
  file_.FinaliseContainer(false);
  file_.CloseContainer();
  const std::string good = ReadBytes(path_);
  for (size_t cut = 0; cut < good.size(); cut += 13) {
    WriteBytes(path_, good.substr(0, cut));
    TVFSFile f;
    EXPECT_THROW(f.OpenContainer(path_, true), SetupError) << cut;
  }
  std::mt19937 random(99);
  const size_t tables_end = RawContainer(good).data + 64 * 8;
  int opened = 0;
  for (int round = 0; round < 150; ++round) {
    std::string damaged = good;
    for (int k = 0; k < 3; ++k) {
      damaged[44 + random() % (tables_end - 44)] = static_cast<char>(random());
    }
    WriteBytes(path_, damaged);
    TVFSFile f;
    try {
      f.OpenContainer(path_, true);
      ++opened;
      f.Tree().PutFile("d\\new.dat", "new", 3);
      f.Tree().PutFile("c.dat", "c", 1);
    } catch (const SetupError&) {
    }
  }
  EXPECT_GT(opened, 0);
}

}  // namespace
