// Where Windows-1252 texts meet UTF-8 host names: the path mapping both ways, folder listings,
// and message-box texts written to the console.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/drives.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "platform/text_encoding.h"
#include "test_root.h"

namespace platform {
namespace {

using platform_test::TempSetupRoot;

// "café" and friends in both spellings.
struct Name {
  std::string cp1252;
  std::string utf8;
};
const Name kNames[] = {
    {"caf\xE9.txt", "caf\xC3\xA9.txt"},
    {"Stra\xDF" "e", "Stra\xC3\x9F" "e"},
    {"\x80uro", "\xE2\x82\xAC" "uro"},
    {"\xDC" "ber \xFF", "\xC3\x9C" "ber \xC3\xBF"},
};

TEST(HostNamesTest, WindowsNamesBecomeUtf8HostNamesAndBack) {
  TempSetupRoot root;
  for (const Name& name : kNames) {
    const std::string windows = "C:\\D\xE9j\xE0\\" + name.cp1252;
    const std::string host = root.DriveC() + "/D\xC3\xA9j\xC3\xA0/" + name.utf8;
    EXPECT_EQ(ToHostPath(windows), host);
    EXPECT_EQ(ToWindowsPath(host), windows);
  }
  // A name Windows-1252 cannot spell has no Windows path (a '?' would name another file).
  EXPECT_EQ(ToWindowsPath(root.DriveC() + "/\xE6\x96\x87.txt"), std::nullopt);
  EXPECT_EQ(ToWindowsPath(root.DriveC() + "/bad\xE9.txt"), std::nullopt);  // not UTF-8
}

TEST(HostNamesTest, ListingsSpellNamesLikeTheFolderTheyWereAskedFor) {
  TempSetupRoot root;
  std::filesystem::create_directories(root.DriveC() + "/list");
  for (const char* host : {"caf\xC3\xA9.txt", "\xE6\x96\x87.txt"}) {
    std::ofstream(root.DriveC() + "/list/" + host) << "x";
  }
  std::vector<FindData> windows = FindFiles("C:\\list\\", "*");
  ASSERT_EQ(windows.size(), 2u);
  if (!windows[0].name_fits) std::swap(windows[0], windows[1]);
  EXPECT_EQ(windows[0].name, "caf\xE9.txt");
  EXPECT_TRUE(windows[0].name_fits);
  EXPECT_TRUE(FileExists("C:\\list\\" + windows[0].name));
  EXPECT_FALSE(windows[1].name_fits);
  EXPECT_EQ(windows[1].host_name, "\xE6\x96\x87.txt");
  // Below a host path the names stay as the host spells them.
  const std::vector<FindData> host = FindFiles(root.DriveC() + "/list", "*");
  ASSERT_EQ(host.size(), 2u);
  EXPECT_TRUE(host[0].name == "caf\xC3\xA9.txt" || host[1].name == "caf\xC3\xA9.txt");
}

struct ConsoleCase {
  const char* text;
  const char* caption;
  const char* console;
};

TEST(HostNamesTest, MessageBoxTextsReadWellOnTheConsole) {
  const ConsoleCase cases[] = {
      {"Error: Setup`s filename has been renamed\r\rExpected: \rTallySetup\r\rFound: \rtally.run",
       "Error",
       "Error: Setup`s filename has been renamed\n\nExpected:\nTallySetup\n\nFound:\ntally.run\n"},
      {"Error: Setup Information Missing. Setup is corrupt", "Verification Error",
       "Verification Error: Setup Information Missing. Setup is corrupt\n"},
      {"Invalid Setup Header.", "Error", "Error: Invalid Setup Header.\n"},
      {"line one\r\nline two\n\n\n\nline three\r", "Note",
       "Note: line one\nline two\n\nline three\n"},
      {"", "Done", "Done\n"},
      {"no caption", "", "no caption\n"},
  };
  for (const ConsoleCase& c : cases) {
    EXPECT_EQ(ConsoleMessageText(c.text, c.caption), c.console) << c.text;
  }
}

TEST(HostNamesTest, EscapedConversionNamesWhatItCannotSpell) {
  EXPECT_EQ(Utf8ToCp1252Escaped("a\xC3\xA9\xE6\x96\x87\xFF"), "a\xE9<U+6587><FF>");
  EXPECT_EQ(Utf8ToCp1252Exact("\xE2\x82\xAC"), "\x80");
  EXPECT_EQ(Utf8ToCp1252Exact("\xF0\x9F\x98\x80"), std::nullopt);  // an emoji
}

}  // namespace
}  // namespace platform
