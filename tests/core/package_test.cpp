#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "package_test_util.h"
#include "platform/message_box.h"
#include "setup/core/crc32.h"
#include "setup/core/pak.h"
#include "setup/core/setup_error.h"

namespace {

using pak_test::FlipByte;
using pak_test::GetLe32;
using pak_test::PutLe32;
using pak_test::RandomBytes;
using pak_test::ReadBytes;
using pak_test::TextBytes;
using pak_test::WriteBytes;

struct Item {
  std::string name;
  uint16_t group;
  std::string data;
};

// Field offsets inside a directory record after the name.
constexpr uint64_t kCrcField = 0;
constexpr uint64_t kStoredSizeField = 8;
constexpr uint64_t kFullSizeField = 12;

class PackageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    presenter_ = std::make_shared<platform::ScriptedPresenter>();
    platform::SetPresenter(presenter_);
  }

  // Writes the items in create mode; answers the package path.
  std::string WritePackage(const std::vector<Item>& items, const std::string& name = "pkg.bin") {
    const std::string path = dir_.File(name);
    TPak pak(path, true, false);
    EXPECT_TRUE(pak.IsOpen());
    for (const Item& item : items) {
      const int index = pak.AddEntry(item.name, "", item.group);
      EXPECT_EQ(pak.StoreFromMemory(index, item.data.data(), item.data.size()), !item.data.empty());
    }
    EXPECT_TRUE(pak.WriteDirectory());
    pak.Close();
    return path;
  }

  // Absolute position of record `index`'s field (offset counted after the name).
  static uint64_t FieldPosition(const std::string& bytes, int index, uint64_t field) {
    uint64_t position = GetLe32(bytes, bytes.size() - 4);
    for (int i = 0;; ++i) {
      const uint64_t name_length = static_cast<unsigned char>(bytes[position]) |
                                   (static_cast<unsigned char>(bytes[position + 1]) << 8);
      if (i == index) return position + 2 + name_length + field;
      position += 20 + name_length;
    }
  }

  // Sets a directory field; with fix_crc the entry's CRC is recomputed over its (changed) blob.
  static void SetField(const std::string& path, int index, uint64_t field, uint32_t value) {
    std::string bytes = ReadBytes(path);
    PutLe32(bytes, FieldPosition(bytes, index, field), value);
    WriteBytes(path, bytes);
  }

  pak_test::TempDir dir_;
  std::shared_ptr<platform::ScriptedPresenter> presenter_;
};

std::vector<Item> MixedItems() {
  return {
      {"SetupInfo", 0, TextBytes(5000)},
      {"random.bin", 1, RandomBytes(3000, 7)},
      {"empty.txt", 1, ""},
      {"Bin\\Tool.exe", 2, TextBytes(123)},
      {"tiny", 1, "x"},
  };
}

TEST_F(PackageTest, CreatedPackageReadsBackEveryKindOfEntry) {
  const std::vector<Item> items = MixedItems();
  const std::string path = WritePackage(items);

  TPak pak(path, false, false);
  ASSERT_TRUE(pak.Trailer().HasMagic());
  EXPECT_EQ(pak.Trailer().version, 1);
  EXPECT_EQ(pak.Trailer().package_base, 0u);
  ASSERT_EQ(pak.EntryCount(), static_cast<int>(items.size()));
  for (int i = 0; i < pak.EntryCount(); ++i) {
    const TPakFile& entry = *pak.Entry(i);
    const Item& item = items[static_cast<size_t>(i)];
    SCOPED_TRACE(item.name);
    EXPECT_EQ(entry.name, item.name);
    EXPECT_EQ(entry.group, item.group);
    EXPECT_EQ(entry.full_size, item.data.size());
    if (item.data.empty()) {
      // Never stored: the zeroed entry reads back as no data.
      EXPECT_EQ(entry.offset, 0u);
      EXPECT_EQ(entry.stored_size, 0u);
      EXPECT_EQ(entry.crc, 0u);
      EXPECT_FALSE(pak.LoadEntry(i).has_value());
      continue;
    }
    EXPECT_TRUE(pak.VerifyEntry(i));
    std::optional<std::string> data = pak.LoadEntry(i);
    ASSERT_TRUE(data.has_value());
    EXPECT_EQ(*data, item.data);
    std::optional<std::string> stored = pak.ReadStored(i);
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(entry.crc, ComputeCrc32(stored->data(), stored->size()));
  }
  // Text compresses; random bytes and a single byte grow when compressed and stay raw.
  EXPECT_GT(pak.Entry(0)->stored_size, 0u);
  EXPECT_LT(pak.Entry(0)->stored_size, 5000u);
  EXPECT_EQ(pak.Entry(1)->stored_size, 0u);
  EXPECT_EQ(pak.Entry(4)->stored_size, 0u);
  EXPECT_EQ(pak.CountGrouped(), 4);
  EXPECT_TRUE(presenter_->Messages().empty());
}

TEST_F(PackageTest, StoreFromFileAndMissingSourceFile) {
  const std::string source = dir_.File("source.txt");
  WriteBytes(source, TextBytes(20000));
  WriteBytes(dir_.File("empty.txt"), "");
  const std::string path = dir_.File("pkg.bin");
  {
    TPak pak(path, true, false);
    EXPECT_TRUE(pak.StoreFromFile(pak.AddEntry("source.txt", source, 1)));
    EXPECT_FALSE(pak.StoreFromFile(pak.AddEntry("empty.txt", dir_.File("empty.txt"), 1)));
    const int missing = pak.AddEntry("missing", dir_.File("missing.txt"), 1);
    EXPECT_THROW(pak.StoreFromFile(missing), SetupError);
    EXPECT_TRUE(pak.WriteDirectory());
  }
  TPak pak(path, false, false);
  ASSERT_EQ(pak.EntryCount(), 3);
  EXPECT_EQ(pak.LoadEntry(0).value_or(""), TextBytes(20000));
  EXPECT_EQ(pak.Entry(1)->full_size, 0u);
  EXPECT_FALSE(pak.LoadEntry(1).has_value());
  EXPECT_EQ(pak.Entry(2)->offset, 0u);
  EXPECT_THROW(ReadWholeFile(dir_.File("missing.txt")), SetupError);
  EXPECT_EQ(ReadWholeFile(source), TextBytes(20000));
}

TEST_F(PackageTest, AppendModeAddsPackageAfterExecutablePrefix) {
  const std::string path = dir_.File("setup.exe");
  const std::string prefix =
      "\x7f"
      "ELF" +
      RandomBytes(40000, 3);
  WriteBytes(path, prefix);
  const std::vector<Item> items = MixedItems();
  {
    // The create flag loses against the append flag.
    TPak pak(path, true, true);
    EXPECT_EQ(pak.GetMode(), TPak::Mode::kAppend);
    EXPECT_EQ(pak.PackageBase(), prefix.size());
    for (const Item& item : items) {
      pak.StoreFromMemory(pak.AddEntry(item.name, "", item.group), item.data.data(),
                          item.data.size());
    }
    EXPECT_TRUE(pak.WriteDirectory());
  }
  EXPECT_EQ(ReadBytes(path).substr(0, prefix.size()), prefix);

  TPak pak(path, false, false);
  EXPECT_EQ(pak.Trailer().package_base, prefix.size());
  ASSERT_EQ(pak.EntryCount(), static_cast<int>(items.size()));
  EXPECT_GE(pak.Entry(0)->offset, prefix.size());
  for (int i = 0; i < pak.EntryCount(); ++i) {
    if (items[static_cast<size_t>(i)].data.empty()) continue;
    EXPECT_TRUE(pak.VerifyEntry(i));
    EXPECT_EQ(pak.LoadEntry(i).value_or(""), items[static_cast<size_t>(i)].data);
  }
}

TEST_F(PackageTest, PreparedEntriesGiveTheSameFileAsNormalStoring) {
  const std::vector<Item> items = MixedItems();
  const std::string normal = WritePackage(items, "normal.bin");
  const std::string prepared_path = dir_.File("prepared.bin");
  {
    TPak pak(prepared_path, true, false);
    for (const Item& item : items) {
      std::optional<TPreparedEntry> prepared = PrepareEntry(item.data.data(), item.data.size());
      if (prepared) {
        EXPECT_TRUE(pak.AddPreparedEntry(item.name, item.group, *prepared));
      } else {
        EXPECT_FALSE(pak.AddPreparedEntry(item.name, item.group, "", 0, 0, false));
      }
    }
    EXPECT_TRUE(pak.WriteDirectory());
  }
  EXPECT_EQ(ReadBytes(prepared_path), ReadBytes(normal));

  // A raw blob whose length contradicts its full size is refused and leaves a zeroed entry.
  TPak pak(dir_.File("bad.bin"), true, false);
  EXPECT_FALSE(pak.AddPreparedEntry("bad", 1, "abc", 4, 0, false));
  EXPECT_EQ(pak.Entry(0)->offset, 0u);
  EXPECT_EQ(pak.Entry(0)->full_size, 0u);
}

TEST_F(PackageTest, CompressionKeepsRawOnlyWhenCompressedIsLonger) {
  // Find data whose zlib form is exactly as long as the data: zeros followed by random bytes,
  // with the zero run chosen so the lengths meet.
  const std::string tail = RandomBytes(300, 11);
  bool found_equal = false;
  for (size_t zeros = 0; zeros < 400 && !found_equal; ++zeros) {
    const std::string data = std::string(zeros, '\0') + tail;
    uLongf length = compressBound(data.size());
    std::string out(length, '\0');
    ASSERT_EQ(compress2(reinterpret_cast<Bytef*>(out.data()), &length,
                        reinterpret_cast<const Bytef*>(data.data()), data.size(), 9),
              Z_OK);
    std::optional<TPreparedEntry> entry = PrepareEntry(data.data(), data.size());
    ASSERT_TRUE(entry.has_value());
    if (length == data.size()) {
      found_equal = true;
      EXPECT_TRUE(entry->compressed);
    } else {
      EXPECT_EQ(entry->compressed, length < data.size()) << zeros;
    }
    EXPECT_EQ(entry->crc, ComputeCrc32(entry->stored.data(), entry->stored.size()));
  }
  EXPECT_TRUE(found_equal);
  EXPECT_FALSE(PrepareEntry("", 0).has_value());
}

TEST_F(PackageTest, ChangedStoredByteFailsVerification) {
  const std::vector<Item> items = MixedItems();
  const std::string path = WritePackage(items);
  uint32_t compressed_offset;
  uint32_t raw_offset;
  {
    TPak pak(path, false, false);
    compressed_offset = pak.Entry(0)->offset + pak.Entry(0)->stored_size / 2;
    raw_offset = pak.Entry(1)->offset;
  }
  FlipByte(path, compressed_offset);
  FlipByte(path, raw_offset + 2999);
  TPak pak(path, false, false);
  EXPECT_FALSE(pak.VerifyEntry(0));
  EXPECT_FALSE(pak.LoadEntry(0).has_value());
  EXPECT_FALSE(pak.VerifyEntry(1));
  EXPECT_FALSE(pak.FindEntry("random.bin", 1).has_value());
  EXPECT_TRUE(pak.VerifyEntry(3));
  EXPECT_TRUE(presenter_->Messages().empty());
}

TEST_F(PackageTest, FileWithoutPackageHasNoEntries) {
  const std::string plain = dir_.File("plain.exe");
  WriteBytes(plain, RandomBytes(5000, 5));
  TPak pak(plain, false, false);
  EXPECT_FALSE(pak.Trailer().HasMagic());
  EXPECT_EQ(pak.EntryCount(), 0);
  uint32_t size = 99;
  EXPECT_FALSE(pak.FindEntry("SetupInfo", 0, &size).has_value());
  EXPECT_EQ(size, 0u);
  EXPECT_FALSE(pak.FirstInGroup(0, true).found);

  TPak missing(dir_.File("nothing-here"), false, false);
  EXPECT_FALSE(missing.IsOpen());
  EXPECT_EQ(missing.EntryCount(), 0);
  EXPECT_FALSE(missing.LoadEntry(0).has_value());

  // A directory offset past the trailer makes the package count as absent.
  const std::string path = WritePackage(MixedItems());
  std::string bytes = ReadBytes(path);
  PutLe32(bytes, bytes.size() - 4, static_cast<uint32_t>(bytes.size()));
  WriteBytes(path, bytes);
  TPak damaged(path, false, false);
  EXPECT_FALSE(damaged.Trailer().HasMagic());
  EXPECT_EQ(damaged.EntryCount(), 0);
}

TEST_F(PackageTest, GroupWalksFollowDirectoryOrderWithOneCursor) {
  const std::string path =
      WritePackage({{"a", 1, "A"}, {"b", 0, "B"}, {"c", 1, "CC"}, {"d", 2, "D"}, {"e", 1, "EEE"}});
  TPak pak(path, false, false);
  TGroupItem item = pak.FirstInGroup(1, true);
  ASSERT_TRUE(item.found);
  EXPECT_EQ(item.name, "a");
  EXPECT_EQ(item.data.value_or(""), "A");
  item = pak.NextInGroup(1, false);
  EXPECT_EQ(item.name, "c");
  EXPECT_EQ(item.index, 2);
  EXPECT_EQ(item.full_size, 2u);
  EXPECT_FALSE(item.data.has_value());
  EXPECT_EQ(pak.NextInGroup(1, true).name, "e");
  item = pak.NextInGroup(1, true);
  EXPECT_FALSE(item.found);
  EXPECT_EQ(item.full_size, 0u);
  EXPECT_TRUE(item.name.empty());

  // A walk that finds nothing leaves the cursor where the last find put it.
  EXPECT_EQ(pak.FirstIndexInGroup(2), 3);
  EXPECT_FALSE(pak.NextIndexInGroup(2).has_value());
  EXPECT_EQ(pak.NextIndexInGroup(1), 4);

  std::vector<int> seen;
  pak.ForEachInGroup(1, [&](int index) { seen.push_back(index); });
  EXPECT_EQ(seen, (std::vector<int>{0, 2, 4}));
  EXPECT_EQ(pak.CountInGroup(1), 3);
  EXPECT_EQ(pak.CountInGroup(7), 0);
  EXPECT_EQ(pak.CountGrouped(), 4);
}

TEST_F(PackageTest, FindEntryIgnoresCaseAndTakesFirstOfItsGroup) {
  const std::string path = WritePackage({{"Other", 1, "wrong group"},
                                         {"LANGUAGE-English", 0, "first"},
                                         {"language-english", 0, "second"},
                                         {"\xC9t\xE9.txt", 0, "accented"}});
  TPak pak(path, false, false);
  uint32_t size = 0;
  EXPECT_EQ(pak.FindEntry("language-ENGLISH", 0, &size).value_or(""), "first");
  EXPECT_EQ(size, 5u);
  EXPECT_EQ(pak.FindEntry("\xE9T\xC9.TXT", 0).value_or(""), "accented");
  EXPECT_FALSE(pak.FindEntry("other", 0, &size).has_value());
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(pak.FindEntryIndex("OTHER", 1), 0);
}

TEST_F(PackageTest, DecompressedLengthMismatchShowsMessageWithoutHugeAllocation) {
  const std::string path = WritePackage({{"SetupInfo", 0, TextBytes(5000)}});
  SetField(path, 0, kFullSizeField, 4000);
  {
    TPak pak(path, false, false);
    EXPECT_FALSE(pak.LoadEntry(0).has_value());
    EXPECT_FALSE(pak.VerifyEntry(0));
  }
  // A claimed size far beyond what the blob can inflate to is reported, not allocated.
  SetField(path, 0, kFullSizeField, 0x45FFFFFF);
  {
    TPak pak(path, false, false);
    EXPECT_FALSE(pak.LoadEntry(0).has_value());
  }
  const auto messages = presenter_->Messages();
  ASSERT_EQ(messages.size(), 3u);
  EXPECT_EQ(messages[0].caption, "Error");
  EXPECT_EQ(messages[0].text, "SetupInfo\r\rError: DecompSize - 5000 OrigSize - 4000");
  EXPECT_EQ(messages[2].text,
            "SetupInfo\r\rError: DecompSize - 5000 OrigSize - " + std::to_string(0x45FFFFFF));
}

TEST_F(PackageTest, BrokenZlibStreamWithMatchingCrcRaisesError) {
  const std::string path = WritePackage({{"SetupInfo", 0, TextBytes(5000)}});
  std::string bytes = ReadBytes(path);
  bytes[0] = 0;  // the zlib header of the first blob
  const uint32_t stored = GetLe32(bytes, FieldPosition(bytes, 0, kStoredSizeField));
  PutLe32(bytes, FieldPosition(bytes, 0, kCrcField), ComputeCrc32(bytes.data(), stored));
  WriteBytes(path, bytes);
  TPak pak(path, false, false);
  try {
    pak.LoadEntry(0);
    FAIL() << "no error raised";
  } catch (const SetupError& error) {
    EXPECT_STREQ(error.what(), "error");
  }
}

TEST_F(PackageTest, LargeEntriesAreRawUncheckedAndReadInRanges) {
  const std::string big = dir_.File("big.dat");
  const std::string below = dir_.File("below.dat");
  const std::string head = RandomBytes(3000, 21);
  const std::string tail = RandomBytes(3000, 22);
  pak_test::MakeSparseFile(big, kLargeEntrySize, head, tail);
  pak_test::MakeSparseFile(below, kLargeEntrySize - 1, head, tail);
  const std::string path = dir_.File("pkg.bin");
  {
    TPak pak(path, true, false);
    EXPECT_TRUE(pak.StoreFromFile(pak.AddEntry("big.dat", big, 1)));
    EXPECT_TRUE(pak.StoreFromFile(pak.AddEntry("below.dat", below, 1)));
    EXPECT_TRUE(pak.WriteDirectory());
  }
  const uint64_t big_offset = [&] {
    TPak pak(path, false, false);
    const TPakFile& large = *pak.Entry(0);
    EXPECT_TRUE(large.IsLarge());
    EXPECT_EQ(large.stored_size, 0u);
    EXPECT_EQ(large.crc, 0u);
    EXPECT_EQ(large.full_size, kLargeEntrySize);
    const TPakFile& small = *pak.Entry(1);
    EXPECT_FALSE(small.IsLarge());
    EXPECT_GT(small.stored_size, 0u);
    EXPECT_NE(small.crc, 0u);
    return large.offset;
  }();

  // Damage both; the large entry still passes, the compressed one does not.
  FlipByte(path, big_offset + 12345);
  {
    TPak pak(path, false, false);
    const uint64_t small_offset = pak.Entry(1)->offset;
    pak.Close();
    FlipByte(path, small_offset + 50);
  }
  TPak pak(path, false, false);
  EXPECT_TRUE(pak.VerifyEntry(0));
  EXPECT_FALSE(pak.VerifyEntry(1));

  std::string expected(kLargeEntrySize, '\0');
  expected.replace(0, head.size(), head);
  expected.replace(expected.size() - tail.size(), tail.size(), tail);
  std::string chunk(1000, '\0');
  EXPECT_EQ(pak.ReadBlobRange(0, 0, chunk.data(), chunk.size()), 1000u);
  EXPECT_EQ(chunk, expected.substr(0, 1000));
  EXPECT_EQ(pak.ReadBlobRange(0, kLargeEntrySize - 10, chunk.data(), chunk.size()), 10u);
  EXPECT_EQ(chunk.substr(0, 10), expected.substr(kLargeEntrySize - 10));
  EXPECT_EQ(pak.ReadBlobRange(0, kLargeEntrySize, chunk.data(), chunk.size()), 0u);
  std::optional<std::string> loaded = pak.LoadEntry(0);
  ASSERT_TRUE(loaded.has_value());
  EXPECT_EQ(loaded->size(), kLargeEntrySize);
  EXPECT_NE(*loaded, expected);  // the damage is delivered, since nothing checks it
}

TEST_F(PackageTest, LargeEntryRunningPastTheFileEndFailsVerification) {
  const std::string path = WritePackage({{"big.dat", 1, RandomBytes(1000, 4)}});
  SetField(path, 0, kFullSizeField, kLargeEntrySize);
  TPak pak(path, false, false);
  ASSERT_TRUE(pak.Entry(0)->IsLarge());
  EXPECT_FALSE(pak.VerifyEntry(0));
  EXPECT_FALSE(pak.LoadEntry(0).has_value());
  char buffer[16];
  EXPECT_EQ(pak.ReadBlobRange(0, 0, buffer, sizeof buffer), 0u);
}

TEST_F(PackageTest, TruncationAtEveryLengthYieldsNoEntries) {
  const std::string path = WritePackage({{"SetupInfo", 0, TextBytes(300)},
                                         {"raw", 1, RandomBytes(40, 1)},
                                         {"CompiledLines", 0, TextBytes(90)}});
  const std::string whole = ReadBytes(path);
  for (size_t length = 0; length < whole.size(); ++length) {
    // A new file per length: see OverwriteBytes for why files are not truncated and rewritten.
    const std::string cut = dir_.File("cut" + std::to_string(length));
    WriteBytes(cut, whole.substr(0, length));
    TPak pak(cut, false, false);
    EXPECT_EQ(pak.EntryCount(), 0) << length;
    EXPECT_FALSE(pak.FindEntry("SetupInfo", 0).has_value());
    pak.Close();
    std::filesystem::remove(cut);
  }
}

TEST_F(PackageTest, RandomCorruptionNeverYieldsWrongData) {
  const std::vector<Item> items = {{"SetupInfo", 0, TextBytes(700)},
                                   {"raw", 1, RandomBytes(90, 2)},
                                   {"Data\\x.txt", 1, TextBytes(2000)},
                                   {"CompiledLines", 0, TextBytes(64)}};
  const std::string path = WritePackage(items);
  const std::string whole = ReadBytes(path);
  std::set<std::string> originals;
  for (const Item& item : items) originals.insert(item.data);

  std::mt19937 random(20240611);
  const std::string damaged = dir_.File("damaged.bin");
  WriteBytes(damaged, whole);
  int loaded = 0;
  for (int round = 0; round < 3000; ++round) {
    std::string bytes = whole;
    const int flips = 1 + static_cast<int>(random() % 3);
    for (int f = 0; f < flips; ++f) {
      bytes[random() % bytes.size()] ^= static_cast<char>(1 + random() % 255);
    }
    pak_test::OverwriteBytes(damaged, bytes);
    TPak pak(damaged, false, false);
    for (int i = 0; i < pak.EntryCount(); ++i) {
      try {
        std::optional<std::string> data = pak.LoadEntry(i);
        if (data) {
          ++loaded;
          EXPECT_EQ(originals.count(*data), 1u) << "round " << round << " entry " << i;
        }
      } catch (const SetupError&) {
        // A stream that passes its CRC but fails to inflate; designed to be raised.
      }
    }
    for (TGroupItem item = pak.FirstInGroup(1, true); item.found; item = pak.NextInGroup(1, true)) {
    }
  }
  EXPECT_GT(loaded, 0);
}

}  // namespace
