#include "setup/archive/pak_format.h"

#include <gtest/gtest.h>

#include <random>

#include "archive/archive_test_support.h"
#include "archive/pak_read_back.h"
#include "platform/files.h"
#include "setup/archive/pak_contents.h"

namespace {

using archive_test::ReadBytes;
using archive_test::ScratchFolder;
using archive_test::WriteBytes;

std::optional<pak::PakLayout> LayoutOf(const std::string& path) {
  std::optional<platform::File> file = platform::File::Open(path, platform::File::Mode::kRead);
  if (!file) return std::nullopt;
  return pak::ReadLayout(*file);
}

TEST(PakFormatTest, BuiltArchivesReadBackIndependentlyInEveryTailForm) {
  ScratchFolder dir;
  const std::vector<std::pair<std::string, std::string>> files = {
      {"a.txt", "alpha"}, {std::string(140, 'n'), "long name"}, {"empty", ""}};
  for (pak::TailForm form : {pak::TailForm::kNone, pak::TailForm::kOld, pak::TailForm::kCurrent}) {
    pak::NewArchiveOptions options;
    options.tail = form;
    options.password = form == pak::TailForm::kNone ? "" : "Pw9";
    options.official = 1;
    const std::string bytes = pak::BuildArchive(files, options);
    auto back = archive_test::ReadArchiveBytes(bytes);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->password, options.password);
    ASSERT_EQ(back->records.size(), 3u);
    EXPECT_EQ(back->records[1].name, std::string(127, 'n'));
    EXPECT_EQ(archive_test::ReadZlibEntry(bytes, back->records[0]), "alpha");
    EXPECT_EQ(archive_test::ReadZlibEntry(bytes, back->records[2]), "");
    EXPECT_EQ(back->official, form == pak::TailForm::kCurrent ? 1 : -1);

    WriteBytes(dir / "a.qxp", bytes);
    auto layout = LayoutOf(dir / "a.qxp");
    ASSERT_TRUE(layout);
    EXPECT_EQ(layout->tail.form, form);
    EXPECT_EQ(layout->tail.password, options.password);
    EXPECT_EQ(layout->records.size(), 3u);
    EXPECT_TRUE(pak::VerifyArchive(dir / "a.qxp").empty());
  }
}

TEST(PakFormatTest, ArchiveWithNoRecordsReads) {
  ScratchFolder dir;
  WriteBytes(dir / "a.qxp", pak::BuildArchive({}, {}));
  auto layout = LayoutOf(dir / "a.qxp");
  ASSERT_TRUE(layout);
  EXPECT_TRUE(layout->records.empty());
  EXPECT_EQ(layout->directory_start, 0u);
}

TEST(PakFormatTest, InformationBlockClaimingMoreThanTheTailIsRefused) {
  std::string tail = pak::EncodeTail("secret", 0, 3, 4);
  ASSERT_TRUE(pak::ParseTail(tail));
  tail[12] = 40;  // password length beyond the end
  EXPECT_FALSE(pak::ParseTail(tail));
  // A "QXP3" block with nothing after it is no tail.
  auto none = pak::ParseTail(std::string(30, 'x') + std::string("QXP3\x01\x00", 6));
  ASSERT_TRUE(none);
  EXPECT_EQ(none->form, pak::TailForm::kNone);
  // Other bytes after the block: a tail of that length without password or flag.
  auto other = pak::ParseTail(std::string("QXP3\x01\x00XXXXabc", 13));
  ASSERT_TRUE(other);
  EXPECT_EQ(other->form, pak::TailForm::kCurrent);
  EXPECT_EQ(other->length, 13u);
  EXPECT_TRUE(other->password.empty());
}

TEST(PakFormatTest, TruncatedAndDamagedArchivesFailCleanly) {
  ScratchFolder dir;
  std::string text(3000, 'x');
  for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>('a' + i * 7 % 26);
  const std::string bytes =
      pak::BuildArchive({{"a.txt", text}, {"b.txt", "beta"}, {"c.bin", std::string(50, '\0')}},
                        {.tail = pak::TailForm::kCurrent, .password = "pw"});
  const std::string path = dir / "a.qxp";
  const size_t tail_size = pak::EncodeTail("pw", 0, 3, 5).size();
  for (size_t cut = 0; cut < bytes.size(); ++cut) {
    WriteBytes(path, bytes.substr(0, cut));
    // Only cutting off exactly the whole tail leaves a readable archive (one without a tail).
    EXPECT_EQ(LayoutOf(path).has_value(), cut == bytes.size() - tail_size) << cut;
  }
  std::mt19937 random(1234);
  int readable = 0;
  for (int round = 0; round < 400; ++round) {
    std::string damaged = bytes;
    for (int k = 0; k < 3; ++k) {
      size_t at = damaged.size() - 1 - random() % 120;  // directory, trailer and tail
      damaged[at] = static_cast<char>(random());
    }
    WriteBytes(path, damaged);
    auto layout = LayoutOf(path);
    if (!layout) continue;
    ++readable;
    for (const pak::PakRecord& r : layout->records) {
      EXPECT_LE(r.name.size(), pak::kMaxNameLength);
    }
    pak::VerifyArchive(path);  // must not crash on whatever the records claim
  }
  EXPECT_LT(readable, 400);
}

TEST(PakFormatTest, ClaimedFullSizeBeyondWhatTheStreamCanHoldIsRefused) {
  const std::string content = "zlib entry content";
  const std::string archive = pak::BuildArchive({{"a", content}}, {});
  auto back = archive_test::ReadArchiveBytes(archive);
  ASSERT_TRUE(back);
  const std::string stored = archive.substr(back->records[0].offset, back->records[0].stored);
  pak::PakRecord record;
  record.kind = pak::kKindZlib;
  record.full_size = static_cast<uint32_t>(content.size());
  EXPECT_EQ(pak::DecodeEntry(record, stored), content);
  record.full_size = 0xFFFFFFFFu;  // would need gigabytes before inflating could fail
  EXPECT_FALSE(pak::DecodeEntry(record, stored));
}

TEST(PakFormatTest, MaskingIsItsOwnInverseAndLeavesShortStreamsAlone) {
  std::string stream =
      "\x78\xDA"
      "abcdefgh";
  std::string masked = stream;
  pak::ApplyMask(masked);
  EXPECT_NE(masked, stream);
  EXPECT_EQ(masked.substr(4), stream.substr(4));
  pak::ApplyMask(masked);
  EXPECT_EQ(masked, stream);
  std::string four = "abcd";
  pak::ApplyMask(four);
  EXPECT_EQ(four, "abcd");
}

}  // namespace
