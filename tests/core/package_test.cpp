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
#include "setup/io/zlib_stream.h"

namespace {

using namespace pak_test;

struct Item {
  std::string name;
  uint16_t group;
  std::string data;
};

// Field offsets inside a directory record, counted after the name.
constexpr uint64_t kCrcField = 0;
constexpr uint64_t kOffsetField = 4;
constexpr uint64_t kStoredSizeField = 8;
constexpr uint64_t kFullSizeField = 12;

class PackageTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::SetPresenter(presenter_); }

  std::string WritePackage(const std::vector<Item>& items, const std::string& name = "pkg.bin") {
    const std::string path = dir_.File(name);
    TPak pak(path, true, false);
    for (const Item& item : items) {
      const int index = pak.AddEntry(item.name, "", item.group);
      EXPECT_EQ(pak.StoreFromMemory(index, item.data.data(), item.data.size()), !item.data.empty());
    }
    EXPECT_TRUE(pak.WriteDirectory());
    return path;
  }

  // Absolute position of a field of directory record `index`.
  static uint64_t FieldPosition(const std::string& bytes, int index, uint64_t field) {
    uint64_t position = GetLe32(bytes, bytes.size() - 4);
    for (int i = 0;; ++i) {
      const uint64_t name_length = static_cast<unsigned char>(bytes[position]) |
                                   (static_cast<unsigned char>(bytes[position + 1]) << 8);
      if (i == index) return position + 2 + name_length + field;
      position += 20 + name_length;
    }
  }

  static void SetField(const std::string& path, int index, uint64_t field, uint32_t value) {
    std::string bytes = ReadBytes(path);
    PutLe32(bytes, FieldPosition(bytes, index, field), value);
    OverwriteBytes(path, bytes);
  }

  TempDir dir_;
  std::shared_ptr<platform::ScriptedPresenter> presenter_ =
      std::make_shared<platform::ScriptedPresenter>();
};

std::vector<Item> MixedItems() {
  return {{"SetupInfo", 0, TextBytes(5000)},
          {"random.bin", 1, RandomBytes(3000, 7)},
          {"empty.txt", 1, ""},
          {"Bin\\Tool.exe", 2, TextBytes(123)},
          {"tiny", 1, "x"}};
}

// Reads the package and checks every entry against the items it was written from.
void ExpectEntries(TPak& pak, const std::vector<Item>& items) {
  ASSERT_TRUE(pak.Trailer().HasMagic());
  ASSERT_EQ(pak.EntryCount(), static_cast<int>(items.size()));
  for (int i = 0; i < pak.EntryCount(); ++i) {
    const TPakFile& entry = *pak.Entry(i);
    const Item& item = items[static_cast<size_t>(i)];
    SCOPED_TRACE(item.name);
    EXPECT_EQ(entry.name, item.name);
    EXPECT_EQ(entry.group, item.group);
    EXPECT_EQ(entry.full_size, item.data.size());
    if (item.data.empty()) {  // never stored: a zeroed entry that reads back as no data
      EXPECT_EQ(entry.offset + entry.stored_size + entry.crc, 0u);
      EXPECT_FALSE(pak.LoadEntry(i).has_value());
      continue;
    }
    EXPECT_TRUE(pak.VerifyEntry(i));
    EXPECT_EQ(pak.LoadEntry(i).value_or("<none>"), item.data);
  }
}

TEST_F(PackageTest, CreatedPackageReadsBackEveryKindOfEntry) {
  const std::vector<Item> items = MixedItems();
  TPak pak(WritePackage(items), false, false);
  ExpectEntries(pak, items);
  EXPECT_EQ(pak.Trailer().version, 1);
  EXPECT_EQ(pak.Trailer().package_base, 0u);
  // Text compresses; random bytes and a single byte grow when compressed and stay raw.
  EXPECT_GT(pak.Entry(0)->stored_size, 0u);
  EXPECT_LT(pak.Entry(0)->stored_size, 5000u);
  EXPECT_EQ(pak.Entry(1)->stored_size + pak.Entry(4)->stored_size, 0u);
  const std::optional<std::string> stored = pak.ReadStored(0);
  ASSERT_TRUE(stored.has_value());
  EXPECT_EQ(pak.Entry(0)->crc, ComputeCrc32(stored->data(), stored->size()));
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
    EXPECT_THROW(pak.StoreFromFile(pak.AddEntry("x", dir_.File("missing"), 1)), SetupError);
    EXPECT_TRUE(pak.WriteDirectory());
  }
  TPak pak(path, false, false);
  ExpectEntries(pak, {{"source.txt", 1, TextBytes(20000)}, {"empty.txt", 1, ""}, {"x", 1, ""}});
  EXPECT_THROW(ReadWholeFile(dir_.File("missing")), SetupError);
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
    TPak pak(path, true, true);  // the append flag wins over the create flag
    EXPECT_EQ(pak.GetMode(), TPak::Mode::kAppend);
    for (const Item& item : items) {
      pak.StoreFromMemory(pak.AddEntry(item.name, "", item.group), item.data.data(),
                          item.data.size());
    }
    EXPECT_TRUE(pak.WriteDirectory());
  }
  EXPECT_EQ(ReadBytes(path).substr(0, prefix.size()), prefix);
  TPak pak(path, false, false);
  ExpectEntries(pak, items);
  EXPECT_EQ(pak.Trailer().package_base, prefix.size());
  EXPECT_EQ(pak.Entry(0)->offset, prefix.size());
}

TEST_F(PackageTest, PreparedEntriesGiveTheSameFileAsNormalStoring) {
  const std::vector<Item> items = MixedItems();
  const std::string normal = WritePackage(items, "normal.bin");
  const std::string prepared_path = dir_.File("prepared.bin");
  {
    TPak pak(prepared_path, true, false);
    for (const Item& item : items) {
      std::optional<TPreparedEntry> prepared = PrepareEntry(item.data.data(), item.data.size());
      EXPECT_EQ(pak.AddPreparedEntry(item.name, item.group, prepared.value_or(TPreparedEntry())),
                prepared.has_value());
    }
    EXPECT_TRUE(pak.WriteDirectory());
    // A raw blob whose length contradicts its full size is refused and leaves a zeroed entry.
    EXPECT_FALSE(pak.AddPreparedEntry("bad", 1, "abc", 4, 0, false));
    EXPECT_EQ(pak.Entries().back().full_size, 0u);
  }
  EXPECT_EQ(ReadBytes(prepared_path), ReadBytes(normal));
}

TEST_F(PackageTest, CompressionKeepsRawOnlyWhenCompressedIsLonger) {
  // Zeros followed by random bytes; some length of the zero run makes the zlib form exactly as
  // long as the data, which must stay compressed.
  const std::string tail = RandomBytes(300, 11);
  bool found_equal = false;
  for (size_t zeros = 0; zeros < 400; ++zeros) {
    const std::string data = std::string(zeros, '\0') + tail;
    const size_t length = archive_io::ZlibCompress(data, archive_io::kPackageLevel).size();
    const std::optional<TPreparedEntry> entry = PrepareEntry(data.data(), data.size());
    ASSERT_TRUE(entry.has_value());
    EXPECT_EQ(entry->compressed, length <= data.size()) << zeros;
    found_equal = found_equal || length == data.size();
  }
  EXPECT_TRUE(found_equal);
  EXPECT_FALSE(PrepareEntry("", 0).has_value());
}

TEST_F(PackageTest, ChangedStoredByteFailsVerification) {
  const std::string path = WritePackage(MixedItems());
  {
    TPak pak(path, false, false);
    const TPakFile compressed = *pak.Entry(0);
    const TPakFile raw = *pak.Entry(1);
    pak.Close();
    FlipByte(path, compressed.offset + compressed.stored_size / 2);
    FlipByte(path, raw.offset + raw.full_size - 1);
  }
  TPak pak(path, false, false);
  EXPECT_FALSE(pak.VerifyEntry(0));
  EXPECT_FALSE(pak.LoadEntry(0).has_value());
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

  TPak missing(dir_.File("nothing-here"), false, false);
  EXPECT_FALSE(missing.IsOpen());
  EXPECT_FALSE(missing.LoadEntry(0).has_value());

  // A directory offset past the trailer makes the package count as absent.
  const std::string path = WritePackage(MixedItems());
  std::string bytes = ReadBytes(path);
  PutLe32(bytes, bytes.size() - 4, static_cast<uint32_t>(bytes.size()));
  OverwriteBytes(path, bytes);
  TPak damaged(path, false, false);
  EXPECT_FALSE(damaged.Trailer().HasMagic());
  EXPECT_EQ(damaged.EntryCount(), 0);
}

TEST_F(PackageTest, GroupWalksFollowDirectoryOrderWithOneCursor) {
  TPak pak(
      WritePackage({{"a", 1, "A"}, {"b", 0, "B"}, {"c", 1, "CC"}, {"d", 2, "D"}, {"e", 1, "EEE"}}),
      false, false);
  TGroupItem item = pak.FirstInGroup(1, true);
  EXPECT_EQ(item.name + item.data.value_or(""), "aA");
  item = pak.NextInGroup(1, false);
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
  EXPECT_EQ(pak.CountGrouped(), 4);
}

TEST_F(PackageTest, FindEntryIgnoresCaseAndTakesFirstOfItsGroup) {
  TPak pak(WritePackage({{"Other", 1, "wrong group"},
                         {"LANGUAGE-English", 0, "first"},
                         {"language-english", 0, "second"},
                         {"\xC9t\xE9.txt", 0, "accented"}}),
           false, false);
  uint32_t size = 0;
  EXPECT_EQ(pak.FindEntry("language-ENGLISH", 0, &size).value_or(""), "first");
  EXPECT_EQ(size, 5u);
  EXPECT_EQ(pak.FindEntry("\xE9T\xC9.TXT", 0).value_or(""), "accented");
  EXPECT_FALSE(pak.FindEntry("other", 0).has_value());
}

TEST_F(PackageTest, DamagedCompressedEntriesReportOrRaise) {
  const std::string path = WritePackage({{"SetupInfo", 0, TextBytes(5000)}});
  const std::string good = ReadBytes(path);
  // A wrong full size is reported with the length really inflated; a size far beyond what the
  // blob can give is reported the same way, without a buffer of that size.
  for (uint32_t claimed : {4000u, kLargeEntrySize - 1}) {
    SetField(path, 0, kFullSizeField, claimed);
    TPak pak(path, false, false);
    EXPECT_FALSE(pak.VerifyEntry(0));
    ASSERT_FALSE(presenter_->Messages().empty());
    EXPECT_EQ(presenter_->Messages().back().caption, "Error");
    EXPECT_EQ(presenter_->Messages().back().text,
              "SetupInfo\r\rError: DecompSize - 5000 OrigSize - " + std::to_string(claimed));
  }
  // A broken stream whose CRC matches raises the error "error".
  std::string bytes = good;
  bytes[0] = 0;
  const uint32_t stored = GetLe32(bytes, FieldPosition(bytes, 0, kStoredSizeField));
  PutLe32(bytes, FieldPosition(bytes, 0, kCrcField), ComputeCrc32(bytes.data(), stored));
  OverwriteBytes(path, bytes);
  TPak pak(path, false, false);
  try {
    pak.LoadEntry(0);
    ADD_FAILURE() << "no error raised";
  } catch (const SetupError& error) {
    EXPECT_STREQ(error.what(), "error");
  }
}

TEST_F(PackageTest, LargeEntriesAreRawUncheckedAndReadInRanges) {
  const std::string head = RandomBytes(3000, 21);
  const std::string tail = RandomBytes(3000, 22);
  MakeSparseFile(dir_.File("big"), kLargeEntrySize, head, tail);
  MakeSparseFile(dir_.File("below"), kLargeEntrySize - 1, head, tail);
  const std::string path = dir_.File("pkg.bin");
  {
    TPak pak(path, true, false);
    EXPECT_TRUE(pak.StoreFromFile(pak.AddEntry("big", dir_.File("big"), 1)));
    EXPECT_TRUE(pak.StoreFromFile(pak.AddEntry("below", dir_.File("below"), 1)));
    EXPECT_TRUE(pak.WriteDirectory());
  }
  TPakFile large;
  TPakFile small;
  {
    TPak pak(path, false, false);
    large = *pak.Entry(0);
    small = *pak.Entry(1);
  }
  EXPECT_TRUE(large.IsLarge());
  EXPECT_EQ(large.stored_size + large.crc, 0u);
  EXPECT_FALSE(small.IsLarge());
  EXPECT_GT(small.stored_size, 0u);
  EXPECT_NE(small.crc, 0u);

  // Damage both; the large entry still passes, the compressed one does not.
  FlipByte(path, large.offset + 12345);
  FlipByte(path, small.offset + 50);
  TPak pak(path, false, false);
  EXPECT_TRUE(pak.VerifyEntry(0));
  EXPECT_FALSE(pak.VerifyEntry(1));
  std::string chunk(1000, '\0');
  EXPECT_EQ(pak.ReadBlobRange(0, 0, chunk.data(), chunk.size()), 1000u);
  EXPECT_EQ(chunk, head.substr(0, 1000));
  EXPECT_EQ(pak.ReadBlobRange(0, kLargeEntrySize - 10, chunk.data(), chunk.size()), 10u);
  EXPECT_EQ(chunk.substr(0, 10), tail.substr(tail.size() - 10));
  EXPECT_EQ(pak.ReadBlobRange(0, kLargeEntrySize, chunk.data(), chunk.size()), 0u);
  const std::optional<std::string> loaded = pak.LoadEntry(0);
  ASSERT_TRUE(loaded.has_value());
  EXPECT_EQ(loaded->size(), kLargeEntrySize);
  EXPECT_EQ((*loaded)[12345], '\x5A');  // the damage is delivered, since nothing checks it
}

TEST_F(PackageTest, LargeEntryRunningPastTheFileEndFailsVerification) {
  const std::string path = WritePackage({{"big.dat", 1, RandomBytes(1000, 4)}});
  SetField(path, 0, kFullSizeField, kLargeEntrySize);
  TPak pak(path, false, false);
  EXPECT_FALSE(pak.VerifyEntry(0));
  EXPECT_FALSE(pak.LoadEntry(0).has_value());
  char buffer[16];
  EXPECT_EQ(pak.ReadBlobRange(0, 0, buffer, sizeof buffer), 0u);
}

TEST_F(PackageTest, EntryReachingIntoTheDirectoryIsRefused) {
  // A raw entry moved so that its last two bytes are the directory's first, with the CRC of the
  // bytes it now covers: only the directory bound tells it from a sound entry.
  const std::string path = WritePackage({{"raw", 1, RandomBytes(100, 3)}});
  {
    std::string bytes = ReadBytes(path);
    const uint32_t directory = GetLe32(bytes, bytes.size() - 4);
    PutLe32(bytes, FieldPosition(bytes, 0, kOffsetField), directory - 98);
    PutLe32(bytes, FieldPosition(bytes, 0, kCrcField),
            ComputeCrc32(bytes.data() + directory - 98, 100));
    OverwriteBytes(path, bytes);
    TPak pak(path, false, false);
    EXPECT_FALSE(pak.VerifyEntry(0));
    EXPECT_FALSE(pak.LoadEntry(0).has_value());
  }

  // A large entry is not read when verified, so it must not pass while it covers the directory
  // and trailer; one that ends exactly where the directory starts is sound.
  const std::string big = dir_.File("big.exe");
  MakeSparseFile(big, kLargeEntrySize, "MZ", "");
  {
    TPak pak(big, false, true);
    EXPECT_TRUE(pak.StoreFromMemory(pak.AddEntry("x", "", 1), "abc", 3));
    EXPECT_TRUE(pak.WriteDirectory());
  }
  // Patched in place: rewriting the whole file would fill in the sparse prefix.
  const uint64_t size = std::filesystem::file_size(big);
  const uint32_t directory = static_cast<uint32_t>(size - kTrailerSize - 20 - 1);
  const uint64_t fields = directory + 2 + 1;  // after the name length and the name "x"
  auto patch = [&](uint64_t field, uint32_t value) {
    std::string bytes(4, '\0');
    PutLe32(bytes, 0, value);
    std::fstream file(big, std::ios::binary | std::ios::in | std::ios::out);
    file.seekp(static_cast<std::streamoff>(fields + field));
    file.write(bytes.data(), 4);
  };
  patch(kFullSizeField, kLargeEntrySize);
  patch(kStoredSizeField, 0);
  patch(kOffsetField, static_cast<uint32_t>(size - kLargeEntrySize));
  char tail[16];
  {
    TPak pak(big, false, false);
    ASSERT_EQ(pak.Trailer().directory_offset, directory);
    ASSERT_TRUE(pak.Entry(0)->IsLarge());
    EXPECT_FALSE(pak.VerifyEntry(0));
    EXPECT_EQ(pak.ReadBlobRange(0, kLargeEntrySize - sizeof tail, tail, sizeof tail), 0u);
  }
  patch(kOffsetField, directory - kLargeEntrySize);
  TPak pak(big, false, false);
  EXPECT_TRUE(pak.VerifyEntry(0));
  EXPECT_EQ(pak.ReadBlobRange(0, kLargeEntrySize - sizeof tail, tail, sizeof tail), sizeof tail);
}

TEST_F(PackageTest, TruncationAtEveryLengthYieldsNoEntries) {
  const std::string whole = ReadBytes(WritePackage(
      {{"SetupInfo", 0, TextBytes(300)}, {"raw", 1, RandomBytes(40, 1)}, {"x", 0, "yz"}}));
  for (size_t length = 0; length < whole.size(); ++length) {
    // A new file per length: see OverwriteBytes for why files are not truncated and rewritten.
    const std::string cut = dir_.File("cut" + std::to_string(length));
    WriteBytes(cut, whole.substr(0, length));
    TPak pak(cut, false, false);
    EXPECT_EQ(pak.EntryCount(), 0) << length;
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
  int loaded = 0;
  for (int round = 0; round < 3000; ++round) {
    std::string bytes = whole;
    for (int flips = 1 + static_cast<int>(random() % 3); flips > 0; --flips) {
      bytes[random() % bytes.size()] ^= static_cast<char>(1 + random() % 255);
    }
    OverwriteBytes(path, bytes);
    TPak pak(path, false, false);
    for (int i = 0; i < pak.EntryCount(); ++i) {
      try {
        const std::optional<std::string> data = pak.LoadEntry(i);
        loaded += data.has_value();
        if (data) {
          EXPECT_EQ(originals.count(*data), 1u) << "round " << round << " entry " << i;
        }
      } catch (const SetupError&) {
        // A stream that passes its CRC but fails to inflate is raised by design.
      }
    }
  }
  EXPECT_GT(loaded, 0);
}

}  // namespace
