// zstd-coded entries and solid blocks: the coding table's stored form, reading every entry
// alone and through the read-ahead (which decodes each block once), and damage to the table or
// to a block's frame refused rather than read as data.
#include <gtest/gtest.h>
#include <zstd.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "package_test_util.h"
#include "setup/core/crc32.h"
#include "setup/core/entry_codings.h"
#include "setup/core/entry_prefetcher.h"
#include "setup/core/pak.h"

namespace {

using namespace pak_test;

// A frame as the packer writes them: content size and checksum recorded.
std::string Frame(const std::string& content) {
  ZSTD_CCtx* context = ZSTD_createCCtx();
  ZSTD_CCtx_setParameter(context, ZSTD_c_checksumFlag, 1);
  std::string frame(ZSTD_compressBound(content.size()), '\0');
  frame.resize(ZSTD_compress2(context, frame.data(), frame.size(), content.data(), content.size()));
  ZSTD_freeCCtx(context);
  return frame;
}

TPreparedEntry Compressed(std::string stored, size_t full_size) {
  const uint32_t crc = ComputeCrc32(stored.data(), stored.size());
  return {std::move(stored), static_cast<uint32_t>(full_size), crc, true};
}

class SolidEntriesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::mt19937 random(23);
    for (int i = 0; i < 11; ++i) {
      std::string data(1000 + random() % 60000, '\0');
      for (char& c : data) c = static_cast<char>('a' + random() % (i % 2 == 0 ? 3 : 20));
      data_.push_back(std::move(data));
    }
    Write();
  }

  // Group 1: a zlib entry, a block of five, a zstd entry, a block of three, then a zlib entry.
  // `damage` flips a byte in the middle of the second block's frame (its CRC taken after, so
  // only the decoder can find it); `overreach` makes the first block's members reach past the
  // block's length.
  void Write(bool damage = false, bool overreach = false) {
    TPak pak(Path(), true, false);
    pak.AddPreparedEntry("zlib0", 1, *PrepareEntry(data_[0].data(), data_[0].size()));
    AddBlock(pak, 1, 6, false, overreach);
    const std::string frame = Frame(data_[6]);
    pak.AddPreparedEntry("zstd6", 1, Compressed(frame, data_[6].size()));
    pak.SetCoding(pak.EntryCount() - 1, TEntryCoding::kZstd);
    AddBlock(pak, 7, 10, damage, false);
    pak.AddPreparedEntry("zlib10", 1, *PrepareEntry(data_[10].data(), data_[10].size()));
    ASSERT_TRUE(pak.WriteDirectory());
  }

  void AddBlock(TPak& pak, int from, int to, bool damage, bool overreach) {
    std::string content;
    std::vector<uint32_t> positions;
    for (int i = from; i < to; ++i) {
      positions.push_back(static_cast<uint32_t>(content.size()));
      content += data_[i];
    }
    std::string frame = Frame(content);
    if (damage) frame[frame.size() / 2] ^= 0x55;
    const int first = pak.EntryCount();
    for (int i = from; i < to; ++i) {
      const int index = pak.EntryCount();
      if (i == from) {
        pak.AddPreparedEntry("m" + std::to_string(i), 1, Compressed(frame, data_[i].size()));
      } else {
        pak.AddEntry("m" + std::to_string(i), "", 1);
        pak.ShareBlob(index, first, static_cast<uint32_t>(data_[i].size()));
      }
      pak.SetCoding(index, TEntryCoding::kSolid, positions[i - from],
                    static_cast<uint32_t>(content.size() - (overreach ? 10 : 0)));
    }
  }

  std::string Path() const { return dir_.File("solid.pak"); }
  // The coding table is written in front of the grouped entries: entry i of data_ follows it.
  static int At(int i) { return i + 1; }

  TempDir dir_;
  std::vector<std::string> data_;  // entry i of the package holds data_[i]
};

TEST(CodingTableTest, RoundTripsAndRefusesEveryDamagedForm) {
  TCodingTable table;
  table.runs = {{3, 2, TEntryCoding::kZstd, 0},
                {5, 40, TEntryCoding::kSolid, 9000},
                {45, 1, TEntryCoding::kSolidLzma, 700}};
  const std::string good = table.Encode();
  const std::optional<TCodingTable> back = TCodingTable::Decode(good.data(), good.size());
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(back->runs, table.runs);

  // Runs start at byte 10: first index (2), count (2), coding (1), block length (4).
  const struct {
    const char* what;
    size_t at;
    char value;
  } damages[] = {
      {"magic", 0, 'X'},
      {"version", 4, 1},
      {"count", 6, 4},
      {"unknown coding", 10 + 9 + 4, 6},
      {"zlib named as a coding", 10 + 4, 0},
      {"runs overlapping", 10 + 9, 4},
      {"a run of nothing", 10 + 9 + 2, 0},
      {"zstd with a block length", 10 + 5, 1},
      {"block of nothing", 10 + 9 + 5, 0},
  };
  for (const auto& damage : damages) {
    std::string bytes = good;
    if (damage.at == 10 + 9 + 5) {
      bytes.replace(damage.at, 4, std::string(4, '\0'));
    } else {
      bytes[damage.at] = damage.value;
    }
    EXPECT_FALSE(TCodingTable::Decode(bytes.data(), bytes.size())) << damage.what;
  }
  EXPECT_FALSE(TCodingTable::Decode(good.data(), good.size() - 1)) << "cut short";
  std::string longer = good + std::string(9, '\0');
  EXPECT_FALSE(TCodingTable::Decode(longer.data(), longer.size())) << "a run more than counted";
}

TEST_F(SolidEntriesTest, EveryEntryReadsAloneAndThroughTheReadAheadAsStored) {
  const TPak pak(Path(), false, false);
  ASSERT_TRUE(pak.CodingsSound());
  ASSERT_EQ(pak.CountInGroup(1), 11);
  ASSERT_EQ(pak.Entry(0)->name, kCodingsEntry);
  for (int i = 0; i < 11; ++i) {
    EXPECT_TRUE(pak.StoredBytesPass(At(i))) << i;
    EXPECT_TRUE(pak.ReadEntryQuietly(At(i)).data == data_[i]) << i;
  }
  // Whole lists and lists with gaps (an entry of a block skipped), every number of helpers, and
  // budgets from nothing (one block or entry at a time) to plenty.
  const std::vector<std::vector<int>> lists = {
      {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, {1, 3, 4, 5, 7, 8, 10}, {2, 9}};
  uint64_t largest = 0;
  for (const TPakFile& entry : pak.Entries()) {
    largest =
        std::max<uint64_t>(largest, entry.BlobLength() + TEntryPrefetcher::ReadUnitSize(entry));
  }
  for (const std::vector<int>& list : lists) {
    for (const unsigned helpers : {0u, 1u, 3u}) {
      for (const size_t budget : {size_t{1}, size_t{120000}, size_t{64} << 20}) {
        std::vector<int> indexes;
        for (const int i : list) indexes.push_back(At(i));
        TEntryPrefetcher prefetcher(pak, indexes, budget, helpers);
        TEntryPrefetcher::Kept held;
        for (size_t n = 0; n < list.size(); ++n) {
          TEntryPrefetcher::Kept kept = prefetcher.TakeKept(n);
          ASSERT_EQ(kept.read.status, TEntryData::Status::kOk) << list[n];
          EXPECT_TRUE(kept.bytes == data_[list[n]]) << list[n] << " " << helpers << " " << budget;
          // With room for it, the bytes of an entry held stay put while later blocks are read
          // (a budget too small for two is never asked to hold one while reading the next).
          if (budget < (size_t{64} << 20)) {
            prefetcher.Release(n);
          } else if (n % 2 == 1) {
            EXPECT_TRUE(held.bytes == data_[list[n - 1]]);
            prefetcher.Release(n - 1);
            prefetcher.Release(n);
          } else {
            held = kept;
          }
        }
        EXPECT_LE(prefetcher.PeakInFlight(), std::max<uint64_t>(budget, largest));
      }
    }
  }
}

TEST_F(SolidEntriesTest, ATableThatContradictsTheDirectoryFailsTheCheck) {
  Write(false, true);
  TPak reread(Path(), false, false);
  const int table = *reread.FindEntryIndex(kCodingsEntry, 0);
  EXPECT_FALSE(reread.CodingsSound());
  EXPECT_FALSE(reread.VerifyEntry(table));
}

TEST_F(SolidEntriesTest, ACodedDirectoryThatDoesNotAddUpLeavesNoPackage) {
  const std::string good = ReadBytes(Path());
  uint64_t directory = 0;
  {
    const TPak pak(Path(), false, false);
    ASSERT_TRUE(pak.Trailer().CodedDirectory());
    ASSERT_EQ(pak.EntryCount(), 12);
    // Only the last record lies plain in the file, where sealing fills in its CRC.
    EXPECT_FALSE(pak.RecordCrcPosition(10));
    EXPECT_TRUE(pak.RecordCrcPosition(11));
    directory = pak.Trailer().directory_offset;
  }
  const auto plain_length = [&](std::string& bytes, uint32_t delta) {
    PutLe32(bytes, directory + 4, GetLe32(bytes, directory + 4) + delta);
  };
  const std::pair<const char*, std::function<void(std::string&)>> damages[] = {
      {"stream longer than the directory",
       [&](std::string& bytes) { PutLe32(bytes, directory, 0x00FFFFFF); }},
      {"records longer than the stream yields",
       [&](std::string& bytes) { plain_length(bytes, 1); }},
      {"records shorter than the stream yields",
       [&](std::string& bytes) { plain_length(bytes, ~0u); }},
      {"a byte of the stream",
       [&](std::string& bytes) { bytes[directory + 8 + GetLe32(bytes, directory) / 2] ^= 0x10; }},
  };
  for (const auto& [what, damage] : damages) {
    std::string bytes = good;
    damage(bytes);
    WriteBytes(Path(), bytes);
    const TPak pak(Path(), false, false);
    EXPECT_EQ(pak.EntryCount(), 0) << what;
    EXPECT_FALSE(pak.Trailer().HasMagic()) << what;
  }
}

TEST_F(SolidEntriesTest, ABlockFrameThatDoesNotDecodeIsBrokenForEveryEntryOfIt) {
  Write(true, false);
  const TPak damaged(Path(), false, false);
  ASSERT_TRUE(damaged.Entry(At(7))->IsSolid());
  ASSERT_TRUE(damaged.StoredBytesPass(At(7)));
  TEntryPrefetcher prefetcher(damaged, {At(6), At(7), At(8), At(9), At(10)}, size_t{64} << 20, 2);
  EXPECT_EQ(prefetcher.Take(0).status, TEntryData::Status::kOk);
  // The block's last entry, read alone, decodes the whole block and so meets the damage too.
  EXPECT_NE(damaged.ReadEntryQuietly(At(9)).status, TEntryData::Status::kOk);
  for (size_t n = 1; n <= 3; ++n) {
    EXPECT_NE(prefetcher.Take(n).status, TEntryData::Status::kOk) << n;
  }
  EXPECT_TRUE(prefetcher.Take(4).data == data_[10]);
}

}  // namespace
