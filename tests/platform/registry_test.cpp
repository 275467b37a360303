#include "platform/registry.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "platform/drives.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "test_root.h"

namespace platform {
namespace {

using platform_test::TempSetupRoot;

std::string RootFileText(const TempSetupRoot& root, const char* name) {
  return ReadFileBytes(root.Path() + "/registry/" + name).value_or("");
}

TEST(RegistryTest, RootNames) {
  EXPECT_EQ(RootKeyFromName("hklm"), RootKey::kLocalMachine);
  EXPECT_EQ(RootKeyFromName("HKEY_Current_User"), RootKey::kCurrentUser);
  EXPECT_EQ(RootKeyFromName("HKU"), RootKey::kUsers);
  EXPECT_FALSE(RootKeyFromName("HKXX"));
  EXPECT_EQ(RootLongName(RootKey::kClassesRoot), "HKEY_CLASSES_ROOT");
  EXPECT_EQ(RootShortName(RootKey::kCurrentConfig), "HKCC");
}

TEST(RegistryTest, StringsSurviveTheFileAndMatchKeysIgnoringCase) {
  TempSetupRoot root;
  const std::string tricky = "C:\\Path \"quoted\"\r\nline two \x80\x81\xE9 end\\";
  ASSERT_TRUE(RegSetString(RootKey::kCurrentUser, "\\Software\\Maker\\Tool\\", "Path", tricky));
  ASSERT_TRUE(RegSetString(RootKey::kCurrentUser, "Software\\Maker\\Tool", "", "default"));
  ASSERT_TRUE(RegSetString(RootKey::kCurrentUser, "SOFTWARE\\maker\\tool", "path", "second"));

  EXPECT_EQ(RegGetString(RootKey::kCurrentUser, "software\\MAKER\\Tool", "PATH"), "second");
  ASSERT_TRUE(RegSetString(RootKey::kCurrentUser, "Software\\Maker\\Tool", "Path", tricky));
  EXPECT_EQ(RegGetString(RootKey::kCurrentUser, "Software\\Maker\\Tool", "Path"), tricky);
  EXPECT_EQ(RegGetString(RootKey::kCurrentUser, "Software\\Maker\\Tool", ""), "default");
  EXPECT_EQ(RegValueNames(RootKey::kCurrentUser, "Software\\Maker\\Tool"),
            (std::vector<std::string>{"Path", ""}));
  EXPECT_EQ(RegSubKeyNames(RootKey::kCurrentUser, "software"), std::vector<std::string>{"Maker"});
  EXPECT_FALSE(RegGetString(RootKey::kLocalMachine, "Software\\Maker\\Tool", "Path"));

  const std::string text = RootFileText(root, "HKCU.reg");
  EXPECT_EQ(text.rfind("Windows Registry Editor Version 5.00\r\n", 0), 0u);
  EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Maker\\Tool]\r\n"), std::string::npos);
  EXPECT_NE(text.find("@=\"default\"\r\n"), std::string::npos);
}

TEST(RegistryTest, NonStringValuesLoadRoundTripAndReadAsNonString) {
  TempSetupRoot root;
  const std::string hex_line =
      "\"Expand\"=hex(2):25,00,53,00,59,00,53,00,54,00,45,00,4d,00,52,00,4f,00,4f,00,\\\r\n"
      "  54,00,25,00,00,00";
  const std::string original =
      "Windows Registry Editor Version 5.00\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Kit]\r\n"
      "\"Count\"=dword:0000002a\r\n" +
      hex_line +
      "\r\n"
      "\"Wide\"=hex(1):41,00,42,00,00,00\r\n"
      "\"Text\"=\"plain\"\r\n";
  ASSERT_TRUE(CreateDirectory(root.Path() + "/registry"));
  ASSERT_TRUE(WriteFileBytes(root.Path() + "/registry/HKLM.reg", original.data(), original.size()));

  EXPECT_TRUE(RegValueExists(RootKey::kLocalMachine, "software\\kit", "count"));
  EXPECT_FALSE(RegGetString(RootKey::kLocalMachine, "Software\\Kit", "Count"));
  EXPECT_FALSE(RegGetString(RootKey::kLocalMachine, "Software\\Kit", "Expand"));
  EXPECT_EQ(RegGetString(RootKey::kLocalMachine, "Software\\Kit", "Wide"), "AB");
  EXPECT_EQ(RegGetString(RootKey::kLocalMachine, "Software\\Kit", "Text"), "plain");

  // A change elsewhere rewrites the file; the other values come back byte for byte.
  ASSERT_TRUE(RegSetString(RootKey::kLocalMachine, "Software\\Kit", "Text", "changed"));
  const std::string text = RootFileText(root, "HKLM.reg");
  EXPECT_NE(text.find("\"Count\"=dword:0000002a\r\n"), std::string::npos);
  EXPECT_NE(text.find(hex_line + "\r\n"), std::string::npos);
  EXPECT_NE(text.find("\"Wide\"=hex(1):41,00,42,00,00,00\r\n"), std::string::npos);
  EXPECT_FALSE(RegGetString(RootKey::kLocalMachine, "Software\\Kit", "Count"));

  // Overwriting a non-string value with a string makes it a string.
  ASSERT_TRUE(RegSetString(RootKey::kLocalMachine, "Software\\Kit", "Count", "7"));
  EXPECT_EQ(RegGetString(RootKey::kLocalMachine, "Software\\Kit", "Count"), "7");
}

// A hex value whose last line ends in a backslash with nothing after it to continue onto
// (a damaged or hand-edited file): the value keeps its data, and a value written after it
// stays a value of its own through every later write and read.
TEST(RegistryTest, ADanglingContinuationDoesNotSwallowWhatIsWrittenAfterIt) {
  const std::string next_key = "\r\n[HKEY_LOCAL_MACHINE\\Software\\Next]\r\n\"N\"=\"1\"\r\n";
  for (const std::string& after : {std::string(), std::string("\r\n"), next_key}) {
    TempSetupRoot root;
    const std::string original = std::string(
                                     "Windows Registry Editor Version 5.00\r\n\r\n"
                                     "[HKEY_LOCAL_MACHINE\\Software\\Kit]\r\n"
                                     "\"Blob\"=hex:01,02,\\") +
                                 after;
    ASSERT_TRUE(CreateDirectory(root.Path() + "/registry"));
    ASSERT_TRUE(
        WriteFileBytes(root.Path() + "/registry/HKLM.reg", original.data(), original.size()));
    ASSERT_TRUE(RegSetString(RootKey::kLocalMachine, "Software\\Kit", "Added", "yes"));
    ASSERT_TRUE(RegSetString(RootKey::kLocalMachine, "Software\\Kit", "Later", "too"));
    EXPECT_EQ(RegGetString(RootKey::kLocalMachine, "Software\\Kit", "Added"), "yes") << after;
    EXPECT_EQ(RegGetString(RootKey::kLocalMachine, "Software\\Kit", "Later"), "too") << after;
    EXPECT_EQ(
        RegGetValue(RootKey::kLocalMachine, "Software\\Kit", "Blob").value_or(RegValueData{}).raw,
        "hex:01,02,")
        << after;
    if (after == next_key) {
      EXPECT_EQ(RegGetString(RootKey::kLocalMachine, "Software\\Next", "N"), "1");
    }
  }
}

// Lines the reader does not understand (comments, a value line with blanks around '=', a line
// of another form, a section of another root, a note before the first section) stay through
// writes and deletions, each where it was; the spaced value is read as the value it is.
TEST(RegistryTest, LinesNotUnderstoodAreKeptThroughEveryWrite) {
  TempSetupRoot root;
  const std::string original =
      "Windows Registry Editor Version 5.00\r\n"
      "; exported by hand\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Kit]\r\n"
      "; the kit's own\r\n"
      "\"Spaced\" = \"value\"\r\n"
      "strange line without a name\r\n"
      "\"Old\"=\"1\"\r\n\r\n"
      "[HKEY_CURRENT_USER\\Software\\Other]\r\n"
      "\"Foreign\"=\"kept\"\r\n";
  const std::vector<std::string> kept = {
      "; exported by hand\r\n", "[HKEY_LOCAL_MACHINE\\Software\\Kit]\r\n; the kit's own\r\n",
      "strange line without a name\r\n",
      "[HKEY_CURRENT_USER\\Software\\Other]\r\n\"Foreign\"=\"kept\"\r\n"};
  ASSERT_TRUE(CreateDirectory(root.Path() + "/registry"));
  ASSERT_TRUE(WriteFileBytes(root.Path() + "/registry/HKLM.reg", original.data(), original.size()));
  EXPECT_EQ(RegGetString(RootKey::kLocalMachine, "Software\\Kit", "Spaced"), "value");
  ASSERT_TRUE(RegSetString(RootKey::kLocalMachine, "Software\\Kit", "New", "yes"));
  ASSERT_TRUE(RegSetString(RootKey::kLocalMachine, "Software\\Fresh", "A", "b"));
  ASSERT_TRUE(RegDeleteValue(RootKey::kLocalMachine, "Software\\Kit", "Old"));
  ASSERT_TRUE(RegDeleteValue(RootKey::kLocalMachine, "Software\\Fresh", "A"));
  ASSERT_TRUE(RegDeleteKey(RootKey::kLocalMachine, "Software\\Fresh"));
  const std::string text = RootFileText(root, "HKLM.reg");
  for (const std::string& line : kept) EXPECT_NE(text.find(line), std::string::npos) << text;
  EXPECT_EQ(RegGetString(RootKey::kLocalMachine, "Software\\Kit", "Spaced"), "value");
  EXPECT_EQ(RegGetString(RootKey::kLocalMachine, "Software\\Kit", "New"), "yes");
  EXPECT_FALSE(RegValueExists(RootKey::kLocalMachine, "Software\\Kit", "Old"));
  EXPECT_FALSE(RegValueExists(RootKey::kLocalMachine, "Software\\Other", "Foreign"));
}

// A root file that is not an export text at all is never replaced silently: the first change
// keeps it under a new name, says so, and starts a new file.
TEST(RegistryTest, AnUnreadableRootFileIsSetAsideAndReported) {
  TempSetupRoot root;
  auto presenter = std::make_shared<ScriptedPresenter>();
  SetPresenter(presenter);
  std::string noise(512, '\0');
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>(i * 131 + 7);
  ASSERT_TRUE(CreateDirectory(root.Path() + "/registry"));
  const std::string file = root.Path() + "/registry/HKLM.reg";
  ASSERT_TRUE(WriteFileBytes(file, noise.data(), noise.size()));
  ASSERT_TRUE(RegSetString(RootKey::kLocalMachine, "Software\\Kit", "A", "b"));
  SetPresenter(std::make_shared<UnattendedPresenter>());
  EXPECT_EQ(ReadFileBytes(file + ".unreadable-1"), noise);
  EXPECT_EQ(RegGetString(RootKey::kLocalMachine, "Software\\Kit", "A"), "b");
  ASSERT_EQ(presenter->Messages().size(), 1u);
  EXPECT_NE(presenter->Messages()[0].text.find("HKLM.reg.unreadable-1"), std::string::npos);
}

TEST(RegistryTest, KeysAndValuesAreDeletedLikeTheRegistryDoes) {
  TempSetupRoot root;
  ASSERT_TRUE(RegCreateKey(RootKey::kClassesRoot, "proto\\shell\\open\\command"));
  EXPECT_TRUE(RegKeyExists(RootKey::kClassesRoot, "PROTO\\Shell"));
  EXPECT_FALSE(RegDeleteKey(RootKey::kClassesRoot, "proto\\shell"));  // has a subkey
  ASSERT_TRUE(RegSetString(RootKey::kClassesRoot, "proto", "URL Protocol", ""));
  EXPECT_EQ(RegGetString(RootKey::kClassesRoot, "proto", "URL Protocol"), "");
  EXPECT_TRUE(RegDeleteValue(RootKey::kClassesRoot, "proto", "url protocol"));
  EXPECT_FALSE(RegDeleteValue(RootKey::kClassesRoot, "proto", "url protocol"));
  EXPECT_TRUE(RegDeleteKey(RootKey::kClassesRoot, "proto\\shell\\open\\command"));
  EXPECT_TRUE(RegDeleteKey(RootKey::kClassesRoot, "proto\\shell\\open"));
  EXPECT_FALSE(RegKeyExists(RootKey::kClassesRoot, "proto\\shell\\open"));
  EXPECT_TRUE(RegKeyExists(RootKey::kClassesRoot, "proto\\shell"));
  EXPECT_FALSE(RegDeleteKey(RootKey::kClassesRoot, "no\\such\\key"));
}

TEST(RegistryTest, ConcurrentProcessesKeepEachOthersValues) {
  TempSetupRoot root;
  constexpr int kWriters = 2;
  constexpr int kValues = 60;
  std::vector<pid_t> children;
  for (int writer = 0; writer < kWriters; ++writer) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      bool ok = true;
      for (int i = 0; i < kValues; ++i) {
        ok = RegSetString(RootKey::kLocalMachine, "Software\\Race",
                          "w" + std::to_string(writer) + "_" + std::to_string(i),
                          std::to_string(writer * 1000 + i)) &&
             ok;
      }
      _exit(ok ? 0 : 1);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  EXPECT_EQ(RegValueNames(RootKey::kLocalMachine, "Software\\Race").size(),
            size_t{kWriters * kValues});
  for (int writer = 0; writer < kWriters; ++writer) {
    for (int i = 0; i < kValues; ++i) {
      EXPECT_EQ(RegGetString(RootKey::kLocalMachine, "Software\\Race",
                             "w" + std::to_string(writer) + "_" + std::to_string(i)),
                std::to_string(writer * 1000 + i));
    }
  }
}

}  // namespace
}  // namespace platform
