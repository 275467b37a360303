// Reading system text files and splitting them, as the platform reads /proc and /etc.
#include "platform/host_text.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "common/file_bytes.h"

namespace platform::internal {
namespace {

using Words = std::vector<std::string_view>;

TEST(HostTextTest, LinesAndWords) {
  EXPECT_EQ(SplitLines(""), Words{});
  EXPECT_EQ(SplitLines("a\n\nb"), (Words{"a", "", "b"}));
  EXPECT_EQ(SplitLines("a\n"), (Words{"a"}));
  EXPECT_EQ(SplitLines("\n"), (Words{""}));
  EXPECT_EQ(SplitBlanks(""), Words{});
  EXPECT_EQ(SplitBlanks(" \t "), Words{});
  EXPECT_EQ(SplitBlanks("MemTotal:\t  16 kB"), (Words{"MemTotal:", "16", "kB"}));
  EXPECT_EQ(SplitBlanks("/dev/sr0 /media/cd\\040one iso9660 ro 0 0 "),
            (Words{"/dev/sr0", "/media/cd\\040one", "iso9660", "ro", "0", "0"}));
}

TEST(HostTextTest, ReadsToTheEndOrTheLimit) {
  // /proc files report a size of 0 and must still be read whole.
  const std::optional<std::string> status = ReadHostText("/proc/self/status");
  ASSERT_TRUE(status.has_value());
  EXPECT_NE(status->find("Umask:"), std::string::npos);

  const std::string path = testing::TempDir() + "/host_text_test.txt";
  const std::string text(40000, 'x');  // several read pieces
  setupkit_test::WriteBytes(path, text);
  EXPECT_EQ(ReadHostText(path), text);
  EXPECT_EQ(ReadHostText(path, 12345), text.substr(0, 12345));
  std::filesystem::remove(path);
  EXPECT_EQ(ReadHostText(path), std::nullopt);
  EXPECT_EQ(ReadHostText("/"), std::nullopt);  // a folder cannot be read
}

}  // namespace
}  // namespace platform::internal
