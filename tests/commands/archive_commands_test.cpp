// The archive update commands end to end: a password with bytes above 127 is enciphered by the
// compiler, carried in the package and deciphered by the run, which then updates the archive.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "command_test_env.h"
#include "platform/files.h"
#include "setup/archive/pak_format.h"

namespace command_test {
namespace {

class ArchiveCommandsTest : public CommandTest {
 protected:
  // An archive without entries, protected by `password`.
  void WriteEmptyArchive(const std::string& relative, const std::string& password) {
    WriteFile(C(relative), pak::EncodeDirectoryAndTrailer({}) + pak::EncodeTail(password, 0, 3, 5));
  }
  std::optional<pak::PakLayout> Layout(const std::string& windows_path) {
    std::optional<platform::File> file =
        platform::File::Open(windows_path, platform::File::Mode::kRead);
    if (!file) return std::nullopt;
    return pak::ReadLayout(*file);
  }
};

TEST_F(ArchiveCommandsTest, PasswordWithHighBytesSurvivesCompileAndRun) {
  const std::string password = "k\xE9y\xFF\x80\xA7";
  WriteEmptyArchive("Demo/Data.pak", password);
  WriteFile(Host("src/update/levels/one.dat"), std::string(3000, 'L'));
  WriteFile(Host("src/update/readme.txt"), "read me");
  CompileAndRun("qxpupdate update\\ \"" + password + "\" Data.pak\n" +
                "duplicateentry Data.pak readme.txt copy.txt\n");
  ASSERT_TRUE(errors_.empty()) << errors_[0];
  std::optional<pak::PakLayout> layout = Layout("C:\\Demo\\Data.pak");
  ASSERT_TRUE(layout.has_value());
  EXPECT_EQ(layout->tail.password, password);
  std::vector<std::string> names;
  for (const pak::PakRecord& record : layout->records) names.push_back(record.name);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"copy.txt", "levels\\one.dat", "readme.txt"}));
  // The loaded line still carries the enciphered password.
  EXPECT_NE(SetupState::Instance().CompiledLines()[0].Arguments[1], password);
}

// A fatal archive error travels to the runner's top, which shows its message and ends the
// program with exit code 2; the archive is as it was and no later line runs.
TEST_F(ArchiveCommandsTest, WrongPasswordEndsTheRunAtItsTopWithTheArchiveUnchanged) {
  WriteEmptyArchive("Demo/Data.pak", "right");
  const std::optional<std::string> before = ReadFile(C("Demo/Data.pak"));
  WriteFile(Host("src/update/readme.txt"), "read me");
  CompileAndRun(
      "qxpupdate update\\ wrong Data.pak\n"
      "createdirectory $INSTDIR\\after\n");
  ASSERT_EQ(raised_.size(), 1u);
  EXPECT_EQ(errors_[0], "Setup Thread: Error Incorrect Password\rFile: Data.pak");
  EXPECT_EQ(raised_[0].Ending(), ErrorEnding::kMessage);
  EXPECT_EQ(raised_[0].ExitCode(), 2);
  EXPECT_EQ(ReadFile(C("Demo/Data.pak")), before);
  EXPECT_FALSE(fs::exists(C("Demo/Data.pak.journal")));
  EXPECT_FALSE(fs::exists(C("Demo/after")));
}

}  // namespace
}  // namespace command_test
