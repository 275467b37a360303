// The `compression` line and the packer's codings: how solid groups are laid out, that every
// coding packs entries that read back as their files, that blocks come out the same on any
// number of threads, and what setupc says about each group.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "common/file_bytes.h"
#include "common/program_runner.h"
#include "common/scoped_env.h"
#include "setup/core/entry_prefetcher.h"
#include "setup/core/package_integrity.h"
#include "setup/core/pak.h"
#include "tools/setupc/package_writer.h"
#include "tools/setupc/solid_blocks.h"
#include "tools/setupc/x86_programs.h"

namespace fs = std::filesystem;

namespace {

using setupc::PackCoding;
using setupkit_test::ReadBytes;
using setupkit_test::WriteBytes;

constexpr uint64_t kMiB = uint64_t{1} << 20;

TEST(CompressionLineTest, ReadsTheFourCodingsAndRefusesAnythingElse) {
  const struct {
    std::vector<std::string> words;
    std::optional<PackCoding> coding;
  } cases[] = {
      {{"zlib"}, PackCoding{}},
      {{"ZSTD"}, PackCoding{PackCoding::Kind::kZstd, 19}},
      {{"zstd", "3"}, PackCoding{PackCoding::Kind::kZstd, 3}},
      {{"solid"}, PackCoding{PackCoding::Kind::kSolid, 19}},
      {{"solid", "22"}, PackCoding{PackCoding::Kind::kSolid, 22}},
      {{"solid", "zstd", "5"}, PackCoding{PackCoding::Kind::kSolid, 5}},
      {{"Solid", "LZMA"}, PackCoding{PackCoding::Kind::kSolidLzma, 9}},
      {{"solid", "lzma", "0"}, PackCoding{PackCoding::Kind::kSolidLzma, 0}},
      {{"solid", "lzma", "10"}, std::nullopt},
      {{"solid", "lzma", "9", "9"}, std::nullopt},
      {{"solid", "9", "lzma"}, std::nullopt},
      {{"zstd", "lzma"}, std::nullopt},
      {{}, std::nullopt},
      {{"zlib", "9"}, std::nullopt},
      {{"solid", "0"}, std::nullopt},
      {{"solid", "23"}, std::nullopt},
      {{"solid", "-1"}, std::nullopt},
      {{"zstd", "19", "x"}, std::nullopt},
      {{"lzma"}, std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(setupc::ParseCoding(c.words), c.coding)
        << (c.words.empty() ? std::string("(none)") : c.words[0]);
  }
}

TEST(SolidPlanTest, SortsAlikeFilesTogetherAndCutsBlocks) {
  // Group 1 solid, group 2 not: only group 1's run is sorted and cut.
  const std::vector<setupc::PlanItem> items = {
      {"b.txt", 1, 10 * kMiB, true},       // 0
      {"A.dat", 1, 20 * kMiB, true},       // 1: packed alone
      {"sub\\a.TXT", 1, 15 * kMiB, true},  // 2
      {"c.dat", 1, 0, true},               // 3: empty, alone
      {"z.txt", 1, 15 * kMiB, true},       // 4: does not fit the block of 0 and 2
      {"noext", 1, 10, true},              // 5: no extension sorts first
      {"y.txt", 1, 10, true, true},        // 6: a program, before all of the others
      {"x.txt", 2, 10, false},             // 7
      {"w.txt", 2, 10, false},             // 8
  };
  const std::vector<setupc::PackUnit> units = setupc::PlanUnits(items);
  const std::vector<setupc::PackUnit> want = {{{1}, false}, {{3}, false}, {{6, 5, 0, 2}, true},
                                              {{4}, true},  {{7}, false}, {{8}, false}};
  ASSERT_EQ(units.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(units[i].items, want[i].items) << i;
    EXPECT_EQ(units[i].block, want[i].block) << i;
  }
}

class PackerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = folder_.Path();
    std::mt19937 random(5);
    // Text alike in pairs, random bytes that do not shrink (one large enough to be tried),
    // an empty file and one larger than a block.
    const auto text = [&random](size_t size, int letters) {
      std::string bytes(size, '\0');
      for (char& c : bytes) c = static_cast<char>('a' + random() % letters);
      return bytes;
    };
    std::string noise(200000, '\0');
    for (char& c : noise) c = static_cast<char>(random());
    files_ = {{"doc\\a.txt", text(30000, 4)},
              {"b.cfg", text(5000, 2)},
              {"doc\\b.txt", text(40000, 4)},
              {"noise.bin", noise},
              {"empty.txt", ""},
              {"small.bin", noise.substr(0, 100)},
              {"big.dat", text(17 * kMiB, 3)},
              {"c.cfg", text(7000, 2)}};
    for (const auto& [name, bytes] : files_) WriteBytes(dir_ / "src" / Host(name), bytes);
  }

  static std::string Host(std::string name) {
    for (char& c : name) c = c == '\\' ? '/' : c;
    return name;
  }

  // Packs the files as group 1 with `coding` after a stand-in runtime, on `threads` threads.
  std::string Pack(const PackCoding& coding, unsigned threads, size_t budget) {
    const fs::path file = dir_ / ("pack" + std::to_string(threads));
    WriteBytes(file, "runtime image");
    std::vector<setupc::PackageItem> items;
    items.push_back({"SetupInfo", 0, "", std::string("record")});
    for (const auto& [name, bytes] : files_) {
      setupc::PackageItem item{name, 1, (dir_ / "src" / Host(name)).string(), std::nullopt};
      item.SetCoding(coding);
      items.push_back(item);
    }
    items.push_back({kIntegrityEntry, 0, "", IntegrityPlaceholder(), true});
    const setupc::PackageResult result =
        setupc::AppendPackage(file.string(), items, threads, budget);
    EXPECT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.groups.at(1).coding, coding);
    uint64_t in = 0;
    for (const auto& file_bytes : files_) in += file_bytes.second.size();
    EXPECT_EQ(result.groups.at(1).bytes_in, in);
    return file.string();
  }

  setupkit_test::TempFolder folder_{"setupkit-compression"};
  fs::path dir_;
  std::vector<std::pair<std::string, std::string>> files_;
};

TEST_F(PackerTest, EveryCodingPacksEntriesThatReadBackAsTheirFiles) {
  for (const PackCoding& coding :
       {PackCoding{}, PackCoding{PackCoding::Kind::kZstd, 3},
        PackCoding{PackCoding::Kind::kSolid, 3}, PackCoding{PackCoding::Kind::kSolidLzma, 0}}) {
    const TPak pak(Pack(coding, 2, 8 * kMiB), false, false);
    ASSERT_TRUE(pak.CodingsSound());
    EXPECT_EQ(pak.CountInGroup(1), static_cast<int>(files_.size()));
    EXPECT_EQ(pak.Entry(pak.EntryCount() - 1)->name, kIntegrityEntry);
    std::map<std::string, std::string> found;
    int solid = 0;
    for (int i = 0; i < pak.EntryCount(); ++i) {
      const TPakFile& entry = *pak.Entry(i);
      EXPECT_TRUE(entry.full_size == 0 || pak.StoredBytesPass(i)) << entry.name;
      if (entry.group != 1) continue;
      solid += entry.IsSolid();
      found[entry.name] = pak.ReadEntryQuietly(i).data;
      // Only the coding asked for is used, and incompressible files stay raw.
      EXPECT_EQ(entry.coding != TEntryCoding::kZlib,
                coding.kind != PackCoding::Kind::kZlib && entry.stored_size != 0)
          << entry.name;
    }
    for (const auto& [name, bytes] : files_) {
      EXPECT_TRUE(found[name] == bytes) << setupc::CodingName(coding) << " " << name;
    }
    // Solid: the five small files share blocks; noise, the empty and the big file do not. LZMA
    // blocks take the noise too, and the big file is a block of its own.
    const int blocked = coding.kind == PackCoding::Kind::kSolidLzma ? 7 : 5;
    EXPECT_EQ(solid, coding.Solid() ? blocked : 0) << setupc::CodingName(coding);
    // Any package with a coding table keeps its directory coded; zlib ones keep theirs plain.
    EXPECT_EQ(pak.Trailer().CodedDirectory(), coding.kind != PackCoding::Kind::kZlib);
  }
}

TEST_F(PackerTest, ProgramBlocksConvertBranchesAndEveryEntryStillReadsAlone) {
  // Three x86-64 shared objects thick with calls, then a file of another kind: the programs
  // sort first and make up most of the block. The last one ends in a call whose displacement
  // ends in the next file, so reading it alone needs bytes past its end.
  std::mt19937 random(64);
  const std::string elf_head = std::string(
                                   "\x7f"
                                   "ELF\x02\x01",
                                   6) +
                               std::string(10, '\0') + std::string("\x03\0\x3e\0", 4);
  files_.clear();
  for (int i = 0; i < 3; ++i) {
    std::string program = elf_head;
    for (int n = 0; n < 20000; ++n) {
      program += static_cast<char>(n % 7 == 0 ? 0xE8 : n % 7 == 4 ? 0 : random() % 16);
    }
    files_.push_back({"bin\\p" + std::to_string(i) + ".so", program});
  }
  files_.back().second += std::string(8, '\x90') + "\xE8\x10\x20";
  files_.push_back({"notes.bin", std::string("\x30\0", 2) + std::string(9000, 'n')});
  for (const auto& [name, bytes] : files_) WriteBytes(dir_ / "src" / Host(name), bytes);

  const std::pair<PackCoding, TEntryCoding> codings[] = {
      {PackCoding{PackCoding::Kind::kSolid, 3}, TEntryCoding::kSolidX86},
      {PackCoding{PackCoding::Kind::kSolidLzma, 0}, TEntryCoding::kSolidLzmaX86}};
  for (const auto& [coding, converted] : codings) {
    const TPak pak(Pack(coding, 2, 8 * kMiB), false, false);
    ASSERT_TRUE(pak.CodingsSound());
    std::vector<int> indexes;
    for (int i = 0; i < pak.EntryCount(); ++i) {
      const TPakFile& entry = *pak.Entry(i);
      if (entry.group != 1) continue;
      indexes.push_back(i);
      EXPECT_EQ(entry.coding, converted) << entry.name;
      EXPECT_TRUE(pak.ReadEntryQuietly(i).data == files_[indexes.size() - 1].second)
          << setupc::CodingName(coding) << " " << entry.name;
    }
    ASSERT_EQ(indexes.size(), files_.size());
    TEntryPrefetcher prefetcher(pak, indexes, 64 * kMiB, 1);
    for (size_t n = 0; n < indexes.size(); ++n) {
      EXPECT_TRUE(prefetcher.TakeKept(n).bytes == files_[n].second) << files_[n].first;
      prefetcher.Release(n);
    }
  }
}

TEST_F(PackerTest, SolidPackagesAreTheSameBytesOnAnyNumberOfThreads) {
  const PackCoding solid{PackCoding::Kind::kSolid, 3};
  // A budget smaller than a block makes the threads wait for each other in every order.
  const std::string one = ReadBytes(Pack(solid, 1, 64 * 1024));
  const std::string four = ReadBytes(Pack(solid, 4, 64 * 1024));
  const std::string three = ReadBytes(Pack(solid, 3, 256 * kMiB));
  EXPECT_TRUE(one == four);
  EXPECT_TRUE(one == three);
}

TEST_F(PackerTest, SetupcAppliesEachCompressionLineToTheGroupsAfterItAndReportsThem) {
  WriteBytes(dir_ / "runtime", "#!runtime image\n");
  WriteBytes(dir_ / "setup.sus",
             "name C\r\noutfile c.exe\r\nfile src\\\r\ncompression solid 3\r\n"
             "file src\\ Two\r\nfile src\\ Three\r\ncompression zstd 2\r\nfile src\\ Four\r\n"
             "compression solid lzma 0\r\nfile src\\ Five\r\n");
  const setupkit_test::ProgramResult result = setupkit_test::RunProgram(
      {setupkit_test::BinPath("setupc"), "-v", "--runtime", (dir_ / "runtime").string(), "-o",
       dir_.string(), (dir_ / "setup.sus").string()});
  ASSERT_EQ(result.exit_code, 0) << result.output;
  for (const char* line : {"Group 1: zlib, ", "Group 2: solid 3, ", "Group 3: solid 3, ",
                           "Group 4: zstd 2, ", "Group 5: solid lzma 0, ", "; groups 1 zlib "}) {
    EXPECT_NE(result.output.find(line), std::string::npos) << line << "\n" << result.output;
  }
  const TPak pak((dir_ / "c.exe").string(), false, false);
  EXPECT_EQ(CheckPackageIntegrity(pak).status, TIntegrityVerdict::Status::kGood);
  std::map<uint16_t, std::set<TEntryCoding>> codings;
  for (const TPakFile& entry : pak.Entries()) {
    if (entry.stored_size != 0) codings[entry.group].insert(entry.coding);
  }
  EXPECT_EQ(codings[1], std::set<TEntryCoding>{TEntryCoding::kZlib});
  EXPECT_EQ(codings[2], (std::set<TEntryCoding>{TEntryCoding::kSolid, TEntryCoding::kZstd}));
  EXPECT_EQ(codings[4], std::set<TEntryCoding>{TEntryCoding::kZstd});
  EXPECT_EQ(codings[5], std::set<TEntryCoding>{TEntryCoding::kSolidLzma});
  // The kit's own entries stay zlib whatever the groups use, but for the window program, an
  // LZMA block where a group is (its branches converted where it is an x86 program).
  const bool window_is_x86 =
      setupc::IsX86Program(ReadBytes(setupkit_test::BinPath("setup-window")));
  for (const TPakFile& entry : pak.Entries()) {
    if (entry.group != 0 || entry.stored_size == 0) continue;
    EXPECT_EQ(entry.coding, entry.name != "WINDOW.EXE" ? TEntryCoding::kZlib
                            : window_is_x86            ? TEntryCoding::kSolidLzmaX86
                                                       : TEntryCoding::kSolidLzma)
        << entry.name;
  }

  WriteBytes(dir_ / "setup.sus", "name C\r\noutfile c.exe\r\ncompression lzma\r\nfile src\\\r\n");
  const setupkit_test::ProgramResult refused = setupkit_test::RunProgram(
      {setupkit_test::BinPath("setupc"), "--runtime", (dir_ / "runtime").string(), "-o",
       dir_.string(), (dir_ / "setup.sus").string()});
  EXPECT_EQ(refused.exit_code, 2);
  EXPECT_NE(refused.output.find("setup.sus:3: compression takes zlib, zstd [LEVEL] or solid"),
            std::string::npos)
      << refused.output;
}

}  // namespace
