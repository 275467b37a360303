// Desktop entries (quoting, escaping, where they go) and the registry's DWORD values.
#include "platform/desktop_entry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "platform/files.h"
#include "platform/registry.h"
#include "test_root.h"

namespace {

using platform_test::ScopedEnv;
using platform_test::TempSetupRoot;

TEST(DesktopEntryTest, ExecArgumentsAreQuotedAsTheFormatAsks) {
  struct Case {
    const char* argument;
    const char* quoted;
  } cases[] = {
      {"plain-word", "plain-word"},
      {"/opt/My Game/run", "\"/opt/My Game/run\""},
      {"50%", "50%%"},
      {"a\"b", "\"a\\\"b\""},
      {"$HOME", "\"\\$HOME\""},
      {"back\\slash", "\"back\\\\slash\""},
      {"`cmd`", "\"\\`cmd\\`\""},
      {"semi;colon", "\"semi;colon\""},
      {"it's", "\"it's\""},
      {"", "\"\""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform::QuoteExecArgument(c.argument), c.quoted) << c.argument;
  }
}

TEST(DesktopEntryTest, EntryTextEscapesValuesAndLeavesOutWhatIsNotSet) {
  platform::DesktopEntry entry;
  entry.name = "Räder\ttwo";
  entry.exec = {"/opt/a b/run", "C:\\x"};
  const std::string text = platform::FormatDesktopEntry(entry);
  EXPECT_EQ(text,
            "[Desktop Entry]\nType=Application\nName=Räder\\ttwo\n"
            "Exec=\"/opt/a b/run\" \"C:\\\\\\\\x\"\nTerminal=false\n");
  entry.categories = "Game";
  entry.working_folder = "/opt/a b";
  entry.icon = "/opt/a b/icon.png";
  const std::string full = platform::FormatDesktopEntry(entry);
  EXPECT_NE(full.find("Categories=Game;\n"), std::string::npos);
  EXPECT_NE(full.find("Path=/opt/a b\n"), std::string::npos);
  EXPECT_NE(full.find("Icon=/opt/a b/icon.png\n"), std::string::npos);
  EXPECT_EQ(platform::DesktopFileName("Demo Product\\Play (Demo)!"),
            "setupkit-demo-product-play-demo.desktop");
}

TEST(DesktopEntryTest, FoldersFollowTheXdgVariablesAndUserDirs) {
  TempSetupRoot root;
  const std::string home = root.Path() + "/home";
  ScopedEnv home_env("HOME", home);
  ScopedEnv data_env("XDG_DATA_HOME", std::nullopt);
  ScopedEnv config_env("XDG_CONFIG_HOME", root.Path() + "/config");
  // A setup root set for the run keeps the entries below it.
  EXPECT_EQ(platform::ApplicationsFolder(), root.Path() + "/applications");
  EXPECT_EQ(platform::DesktopFolder(), root.Path() + "/Desktop");
  {
    ScopedEnv no_root("SETUP_ROOT", std::nullopt);
    EXPECT_EQ(platform::ApplicationsFolder(), home + "/.local/share/applications");
    EXPECT_EQ(platform::DesktopFolder(), home + "/Desktop");
  }
  // An explicit XDG_DATA_HOME names the place even with a setup root.
  ScopedEnv data("XDG_DATA_HOME", root.Path() + "/data");
  EXPECT_EQ(platform::ApplicationsFolder(), root.Path() + "/data/applications");
  EXPECT_EQ(platform::DesktopFolder(), home + "/Desktop");
  std::filesystem::create_directories(root.Path() + "/config");
  std::ofstream(root.Path() + "/config/user-dirs.dirs")
      << "# comment\nXDG_DOWNLOAD_DIR=\"$HOME/Downloads\"\nXDG_DESKTOP_DIR=\"$HOME/Bureau/\"\n";
  EXPECT_EQ(platform::DesktopFolder(), home + "/Bureau");
  // A relative value is not something xdg-user-dirs writes: the default stays.
  std::ofstream(root.Path() + "/config/user-dirs.dirs") << "XDG_DESKTOP_DIR=\"Bureau\"\n";
  EXPECT_EQ(platform::DesktopFolder(), home + "/Desktop");

  ScopedEnv off("SETUP_NO_DESKTOP_ENTRIES", "1");
  EXPECT_FALSE(platform::DesktopEntriesEnabled());
  ScopedEnv on("SETUP_NO_DESKTOP_ENTRIES", "0");
  EXPECT_TRUE(platform::DesktopEntriesEnabled());
}

TEST(DesktopEntryTest, WrittenEntriesAreExecutableAndValid) {
  TempSetupRoot root;
  const std::string path = root.Path() + "/apps/setupkit-demo.desktop";
  platform::DesktopEntry entry;
  entry.name = "Demo";
  entry.exec = {"/usr/bin/env", "echo", "100% $done"};
  ASSERT_TRUE(platform::WriteDesktopEntry(path, entry));
  struct stat info {};
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_NE(info.st_mode & 0100, 0u);
  if (std::system("command -v desktop-file-validate >/dev/null 2>&1") == 0) {
    EXPECT_EQ(std::system(("desktop-file-validate '" + path + "' >/dev/null 2>&1").c_str()), 0);
  }
}

TEST(RegistryDwordTest, DwordsKeepTheirTypeThroughTheFile) {
  TempSetupRoot root;
  using platform::RootKey;
  using platform::ValueType;
  const std::string key = "Software\\Demo";
  ASSERT_TRUE(platform::RegSetDword(RootKey::kLocalMachine, key, "Size", 0xDEADBEEF));
  ASSERT_TRUE(platform::RegSetDword(RootKey::kLocalMachine, key, "Flag", 1));
  ASSERT_TRUE(platform::RegSetString(RootKey::kLocalMachine, key, "Name", "x"));
  EXPECT_EQ(platform::RegGetDword(RootKey::kLocalMachine, key, "size"), 0xDEADBEEFu);
  EXPECT_EQ(platform::RegGetValueType(RootKey::kLocalMachine, key, "Flag"), ValueType::kDword);
  EXPECT_EQ(platform::RegGetValueType(RootKey::kLocalMachine, key, "Name"), ValueType::kString);
  EXPECT_EQ(platform::RegGetValueType(RootKey::kLocalMachine, key, "None"), std::nullopt);
  // A DWORD is no string and a string no DWORD.
  EXPECT_EQ(platform::RegGetString(RootKey::kLocalMachine, key, "Flag"), std::nullopt);
  EXPECT_EQ(platform::RegGetDword(RootKey::kLocalMachine, key, "Name"), std::nullopt);
  const std::string file =
      platform::ReadFileBytes("Z:" + root.Path() + "/registry/HKLM.reg").value_or("");
  EXPECT_NE(file.find("\"Size\"=dword:deadbeef\r\n"), std::string::npos) << file;
  // Replacing a string by a DWORD changes its type.
  ASSERT_TRUE(platform::RegSetDword(RootKey::kLocalMachine, key, "Name", 7));
  EXPECT_EQ(platform::RegGetDword(RootKey::kLocalMachine, key, "Name"), 7u);
  // Malformed dword data reads as another type, never as a number.
  std::ofstream(root.Path() + "/registry/HKCU.reg")
      << "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n"
         "\"Short\"=dword:12\r\n\"Bad\"=dword:1234567g\r\n\"Good\"=DWORD:0000002A\r\n";
  EXPECT_EQ(platform::RegGetValueType(RootKey::kCurrentUser, "K", "Short"), ValueType::kOther);
  EXPECT_EQ(platform::RegGetDword(RootKey::kCurrentUser, "K", "Bad"), std::nullopt);
  EXPECT_EQ(platform::RegGetDword(RootKey::kCurrentUser, "K", "Good"), 42u);
}

}  // namespace
