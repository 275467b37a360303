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
  // A wrong password would end the process; the archive only changes with the right one.
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

}  // namespace
}  // namespace command_test
