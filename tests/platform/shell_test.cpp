#include "platform/shell.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <random>

#include "platform/files.h"
#include "test_root.h"

namespace platform {
namespace {

namespace fs = std::filesystem;
using platform_test::TempSetupRoot;

uint32_t U32At(const std::string& data, size_t offset) {
  uint32_t v = 0;
  std::memcpy(&v, data.data() + offset, 4);
  return v;
}

TEST(ShellFoldersTest, FoldersAreWindowsPathsCreatedOnDemand) {
  TempSetupRoot root;
  EXPECT_EQ(GetShellFolder(ShellFolder::kProgramFiles), "C:\\Program Files");
  EXPECT_EQ(GetShellFolder(ShellFolder::kPrograms), "C:\\users\\tester\\Start Menu\\Programs");
  EXPECT_EQ(GetShellFolder(ShellFolder::kDesktop), "C:\\users\\tester\\Desktop");
  EXPECT_EQ(GetShellFolder(ShellFolder::kPersonal), "C:\\users\\tester\\Documents");
  EXPECT_EQ(GetShellFolder(ShellFolder::kTemp), "C:\\users\\tester\\Temp");
  EXPECT_TRUE(fs::is_directory(root.DriveC() + "/Program Files"));
  EXPECT_TRUE(fs::is_directory(root.DriveC() + "/users/tester/Start Menu/Programs"));
  EXPECT_TRUE(fs::is_directory(root.DriveC() + "/users/tester/Documents"));
}

class ShellLinkTest : public ::testing::Test {
 protected:
  ShellLink Sample() const {
    ShellLink link;
    link.target = "C:\\Program Files\\Medalor\\Medalor.exe";
    link.arguments = "--open \"my sheet.png\"";
    link.working_directory = "C:\\Program Files\\Medalor";
    link.show_command = 3;
    link.icon_location = "C:\\Program Files\\Medalor\\icon \xE9.ico";
    link.icon_index = 2;
    link.description = "Badge sheet editor \x80";
    return link;
  }
  std::string WriteSample() {
    EXPECT_TRUE(WriteFileBytes("C:\\Program Files\\Medalor\\Medalor.exe",
                               "\x7F"
                               "ELF",
                               4));
    EXPECT_TRUE(WriteShellLink(kLink, Sample()));
    return ReadFileBytes(kLink).value_or("");
  }
  static constexpr const char* kLink = "C:\\users\\tester\\Desktop\\Medalor.lnk";
  TempSetupRoot root_;
  void SetUp() override {
    GetShellFolder(ShellFolder::kDesktop);
    fs::create_directories(root_.DriveC() + "/Program Files/Medalor");
  }
};

TEST_F(ShellLinkTest, WrittenLinkReadsBackWithEveryField) {
  const std::string bytes = WriteSample();
  ASSERT_GE(bytes.size(), 76u);
  EXPECT_EQ(U32At(bytes, 0), 0x4Cu);
  const unsigned char clsid[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                   0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
  EXPECT_EQ(std::memcmp(bytes.data() + 4, clsid, 16), 0);
  EXPECT_EQ(U32At(bytes, 52), 4u);                // the target's size
  EXPECT_EQ(U32At(bytes, 60), 3u);                // show command
  EXPECT_EQ(U32At(bytes, bytes.size() - 4), 0u);  // terminal block

  const auto link = ReadShellLink(kLink);
  ASSERT_TRUE(link);
  const ShellLink expected = Sample();
  EXPECT_EQ(link->target, expected.target);
  EXPECT_EQ(link->arguments, expected.arguments);
  EXPECT_EQ(link->working_directory, expected.working_directory);
  EXPECT_EQ(link->show_command, 3);
  EXPECT_EQ(link->icon_location, expected.icon_location);
  EXPECT_EQ(link->icon_index, 2);
  EXPECT_EQ(link->description, expected.description);
}

TEST_F(ShellLinkTest, MinimalLinkHasOnlyItsTarget) {
  ShellLink plain;
  plain.target = "D:\\setup.exe";
  ASSERT_TRUE(WriteShellLink("C:\\plain.lnk", plain));
  const auto link = ReadShellLink("C:\\plain.lnk");
  ASSERT_TRUE(link);
  EXPECT_EQ(link->target, "D:\\setup.exe");
  EXPECT_EQ(link->arguments, "");
  EXPECT_EQ(link->icon_location, "");
  EXPECT_EQ(link->show_command, 1);
}

// An 8-bit link as older Windows versions write it: an item-ID list, a LinkInfo whose target is
// split into base path and suffix, ANSI strings and an extra data block.
TEST_F(ShellLinkTest, ReadsAnsiLinkWithItemIdListAndExtraData) {
  std::string bytes(76, '\0');
  const auto put32 = [&](size_t at, uint32_t v) { std::memcpy(bytes.data() + at, &v, 4); };
  const auto add32 = [&](uint32_t v) { bytes.append(reinterpret_cast<const char*>(&v), 4); };
  put32(0, 0x4C);
  const unsigned char clsid[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                   0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
  std::memcpy(bytes.data() + 4, clsid, 16);
  put32(20, 0x01 | 0x02 | 0x20);  // item-ID list, LinkInfo, arguments; not Unicode
  put32(60, 7);
  bytes += std::string("\x06\x00\x04\x00\xAA\xBB\x00\x00", 8);  // list: one item, terminator
  const std::string base = "C:\\Old\\";
  const std::string suffix = "app.exe";
  const uint32_t info_size = 0x1C + static_cast<uint32_t>(base.size() + 1 + suffix.size() + 1);
  add32(info_size);
  add32(0x1C);
  add32(0x01);  // VolumeIDAndLocalBasePath
  add32(0);     // no VolumeID here: its contents are not needed to read the target
  add32(0x1C);
  add32(0);
  add32(0x1C + static_cast<uint32_t>(base.size() + 1));
  bytes += base + '\0' + suffix + '\0';
  bytes += std::string("\x05\x00-x \xE9!", 7);
  add32(12);  // an extra data block: size, signature, four bytes
  add32(0xA0000099);
  add32(0);
  add32(0);  // terminal block
  ASSERT_TRUE(WriteFileBytes("C:\\ansi.lnk", bytes.data(), bytes.size()));
  const auto link = ReadShellLink("C:\\ansi.lnk");
  ASSERT_TRUE(link);
  EXPECT_EQ(link->target, "C:\\Old\\app.exe");
  EXPECT_EQ(link->arguments, "-x \xE9!");
  EXPECT_EQ(link->show_command, 7);
  EXPECT_EQ(link->working_directory, "");
}

TEST_F(ShellLinkTest, TruncatedOrDamagedLinksAreRejected) {
  const std::string bytes = WriteSample();
  ASSERT_FALSE(bytes.empty());
  for (size_t length = 0; length < bytes.size(); ++length) {
    const std::string cut = bytes.substr(0, length);
    ASSERT_TRUE(WriteFileBytes("C:\\cut.lnk", cut.data(), cut.size()));
    EXPECT_FALSE(ReadShellLink("C:\\cut.lnk")) << "length " << length;
  }
  // Sizes that point past the end: the LinkInfo size and a string count.
  std::string damaged = bytes;
  const uint32_t huge = 0x7FFFFFF0;
  std::memcpy(damaged.data() + 76, &huge, 4);
  ASSERT_TRUE(WriteFileBytes("C:\\bad.lnk", damaged.data(), damaged.size()));
  EXPECT_FALSE(ReadShellLink("C:\\bad.lnk"));

  // Random damage with a fixed seed must never crash the reader.
  std::mt19937 random(1234);
  for (int round = 0; round < 300; ++round) {
    std::string noisy = bytes;
    for (int flips = 0; flips < 4; ++flips) {
      noisy[76 + random() % (noisy.size() - 76)] = static_cast<char>(random());
    }
    ASSERT_TRUE(WriteFileBytes("C:\\noisy.lnk", noisy.data(), noisy.size()));
    (void)ReadShellLink("C:\\noisy.lnk");
  }
  EXPECT_FALSE(ReadShellLink("C:\\missing.lnk"));
}

}  // namespace
}  // namespace platform
