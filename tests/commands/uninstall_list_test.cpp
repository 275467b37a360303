#include "setup/commands/uninstall_list.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "core/state_test_support.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "setup/core/ciphers.h"

namespace {

using state_test::StateTest;

class UninstallListTest : public StateTest {
 protected:
  // A list with every kind of text: bytes above 127, a text longer than the key.
  TUninstallList Sample() {
    TUninstallList list;
    list.AddFile("C:\\Tool\\App.exe");
    list.AddFile("C:\\Tool\\Caf\xE9\\\xFF.dat");
    list.AddFile("C:\\Tool\\" + std::string(300, 'n') + ".txt");
    list.AddRegistryEntry("\"HKCU\" \"Software\\Tool\" \"Path\" \"$INSTDIR\"");
    list.AddFolder("C:\\Tool\\");
    list.AddFolder("C:\\Tool\\Data\\");
    return list;
  }
  std::string ReadLog(const std::string& host_path) {
    return platform::ReadFileBytes(host_path).value_or("<missing>");
  }
};

TEST_F(UninstallListTest, EmptyListSavesSixZeroBytes) {
  std::filesystem::create_directories(HostC("Tool"));
  TUninstallList list;
  ASSERT_TRUE(list.SaveLog("C:\\Tool", "Demo_"));
  EXPECT_EQ(ReadLog(HostC("Tool/Demo_install.log")), std::string(6, '\0'));
}

TEST_F(UninstallListTest, SmallListSavesExactBytes) {
  std::filesystem::create_directories(HostC("Tool"));
  TUninstallList list;
  list.AddFile("ab");
  list.AddRegistryEntry("\"HKCU\" \"K\" \"\" \"\"");
  list.AddFolder("C:\\");
  ASSERT_TRUE(list.SaveLog("C:\\Tool", ""));
  // Key digits 4 5 6 8 4 9 5 0 3 3 ... raise the bytes of every text from its first digit on.
  const std::string expected = std::string("\x01\x00\x01\x00\x01\x00", 6) +
                               std::string("\x02\x00", 2) + "eg" + std::string("\x10\x00", 2) +
                               "&MQKY+%\"N%#%%\"&$" +  // "HKCU" "K" "" ""
                               std::string("\x03\x00", 2) + "G?b";
  EXPECT_EQ(ReadLog(HostC("Tool/install.log")), expected);
  EXPECT_EQ(list.EncodeLog(), expected);
}

TEST_F(UninstallListTest, SaveAndLoadRoundTrip) {
  std::filesystem::create_directories(HostC("Tool"));
  SetInstallDir("C:\\Tool\\");
  const TUninstallList saved = Sample();
  EXPECT_EQ(saved.Files()[0], "$INSTDIRApp.exe");
  ASSERT_TRUE(saved.SaveLog("C:\\Tool", "Demo_"));

  TUninstallList loaded;
  loaded.AddFile("C:\\stale.txt");
  ASSERT_TRUE(loaded.LoadLog("C:\\Tool", "Demo_"));
  EXPECT_EQ(loaded.Files(), saved.Files());
  EXPECT_EQ(loaded.RegistryEntries(), saved.RegistryEntries());
  EXPECT_EQ(loaded.Folders(), saved.Folders());
  // Saving again replaces the log; nothing is left beside it but its checksum.
  ASSERT_TRUE(loaded.SaveLog("C:\\Tool", "Demo_"));
  const auto names = platform::FindFiles("C:\\Tool");
  ASSERT_EQ(names.size(), 2u);
  EXPECT_EQ(names[0].name, "Demo_install.log");
  EXPECT_EQ(names[1].name, "Demo_install.log.sum");
}

// The checksum beside the log: a changed byte is refused, while the log that a save replaced
// (a write cut between the checksum and the log) and a log of an older kit (no checksum) are read.
TEST_F(UninstallListTest, ALogThatDoesNotMatchItsChecksumIsNotRead) {
  std::filesystem::create_directories(HostC("Tool"));
  const std::string log = HostC("Tool") + "/Demo_install.log";
  TUninstallList first = Sample();
  ASSERT_TRUE(first.SaveLog("C:\\Tool", "Demo_"));
  const std::string first_bytes = platform::ReadFileBytes(log).value();
  TUninstallList second = Sample();
  second.AddFile("C:\\Tool\\more.txt");
  ASSERT_TRUE(second.SaveLog("C:\\Tool", "Demo_"));
  TUninstallList loaded;
  EXPECT_TRUE(loaded.LoadLog("C:\\Tool", "Demo_"));
  EXPECT_EQ(loaded.Files(), second.Files());

  ASSERT_TRUE(platform::WriteFileBytes(log, first_bytes.data(), first_bytes.size()));
  EXPECT_TRUE(loaded.LoadLog("C:\\Tool", "Demo_"));
  EXPECT_EQ(loaded.Files(), first.Files());

  std::string flipped = first_bytes;
  flipped[flipped.size() - 2] ^= 0x01;
  ASSERT_TRUE(platform::WriteFileBytes(log, flipped.data(), flipped.size()));
  EXPECT_FALSE(loaded.LoadLog("C:\\Tool", "Demo_"));
  EXPECT_TRUE(loaded.ChecksumMismatch());
  EXPECT_TRUE(loaded.Files().empty());

  ASSERT_TRUE(platform::DeleteFile(log + ".sum"));
  EXPECT_TRUE(loaded.LoadLog("C:\\Tool", "Demo_"));
  EXPECT_FALSE(loaded.ChecksumMismatch());
}

TEST_F(UninstallListTest, MissingLogLeavesTheListAlone) {
  TUninstallList list;
  list.AddFolder("C:\\Kept\\");
  EXPECT_FALSE(list.LoadLog("C:\\Nowhere", "Demo_"));
  EXPECT_EQ(list.Folders(), std::vector<std::string>{"C:\\Kept\\"});
}

TEST_F(UninstallListTest, TruncatedOrDamagedLogsLoadWithoutCrashing) {
  const std::string log = *Sample().EncodeLog();
  const TUninstallList full = Sample();
  for (size_t cut = 0; cut < log.size(); ++cut) {
    TUninstallList list;
    EXPECT_FALSE(list.DecodeLog(std::string_view(log).substr(0, cut))) << cut;
    // Whatever was read is a prefix of what was written.
    ASSERT_LE(list.Files().size(), full.Files().size());
    for (size_t i = 0; i < list.Files().size(); ++i) EXPECT_EQ(list.Files()[i], full.Files()[i]);
  }
  std::mt19937 random(42);
  for (int round = 0; round < 2000; ++round) {
    std::string damaged = log;
    for (int flips = 0; flips < 3; ++flips) {
      damaged[random() % damaged.size()] = static_cast<char>(random());
    }
    TUninstallList list;
    list.DecodeLog(damaged);
    EXPECT_LE(list.Files().size() + list.RegistryEntries().size() + list.Folders().size(),
              damaged.size());
  }
  // Counts that promise far more than the file holds cost nothing.
  TUninstallList list;
  EXPECT_FALSE(list.DecodeLog(std::string("\xFF\xFF\xFF\xFF\xFF\xFF\x05\x00zz", 10)));
  EXPECT_TRUE(list.Files().empty());
}

// Log bytes for the three lists with every text enciphered by `key` ("" for none at all).
std::string LogWithKey(std::string_view key, const std::vector<std::vector<std::string>>& lists) {
  std::string bytes;
  auto u16 = [&bytes](size_t n) {
    bytes.push_back(static_cast<char>(n & 0xFF));
    bytes.push_back(static_cast<char>(n >> 8));
  };
  for (const auto& list : lists) u16(list.size());
  for (const auto& list : lists) {
    for (const std::string& text : list) {
      u16(text.size());
      bytes += key.empty() ? text : EncryptWithDigitKey(key, text);
    }
  }
  return bytes;
}

TEST_F(UninstallListTest, EveryTextTheWritersRecordIsAcceptedAndOnlyABadCipherIsNot) {
  // What installs record: a folder below a variable that was not set, relative and host
  // paths, an empty link name, a value with a tab inside quotes.
  const std::vector<std::vector<std::string>> written = {
      {"$INSTDIRApp.exe", "relative.txt", "", "%UNSET%\\a.lnk"},
      {"\"HKCU\" \"Software\\Tool\" \"Path\" \"a\tb /min\""},
      {"C:\\Tool\\", "%APPDATA%\\LogTest", "/srv/host folder", "Data\\"}};
  TUninstallList list;
  ASSERT_TRUE(list.DecodeLog(LogWithKey(kInstallLogKey, written)));
  EXPECT_TRUE(list.LooksValid());
  EXPECT_EQ(list.Folders(), written[2]);
  // The same texts enciphered with another key, or not at all, are refused.
  for (std::string_view key : {kUpdateKey, std::string_view()}) {
    ASSERT_TRUE(list.DecodeLog(LogWithKey(key, written)));
    EXPECT_FALSE(list.LooksValid()) << key;
  }
}

TEST_F(UninstallListTest, ListsBeyondTheFormatAreNotSaved) {
  std::filesystem::create_directories(HostC("Tool"));
  TUninstallList small;
  small.AddFolder("C:\\Tool\\");
  ASSERT_TRUE(small.SaveLog("C:\\Tool", ""));
  const std::string before = ReadLog(HostC("Tool/install.log"));

  TUninstallList many;
  for (size_t i = 0; i < TUninstallList::kMaxTexts; ++i) many.AddFolder("C:\\F\\");
  ASSERT_TRUE(many.EncodeLog().has_value());
  TUninstallList back;
  ASSERT_TRUE(back.DecodeLog(*many.EncodeLog()));
  EXPECT_EQ(back.Folders().size(), TUninstallList::kMaxTexts);

  many.AddFolder("C:\\F\\");
  EXPECT_FALSE(many.SaveLog("C:\\Tool", ""));
  TUninstallList long_text;
  long_text.AddRegistryEntry(std::string(TUninstallList::kMaxTextBytes + 1, 'x'));
  EXPECT_FALSE(long_text.SaveLog("C:\\Tool", ""));
  // The log that was there stays as it was.
  EXPECT_EQ(ReadLog(HostC("Tool/install.log")), before);
}

TEST_F(UninstallListTest, FilesAndRecordsAreKeptOnceFoldersAlways) {
  SetInstallDir("C:\\Tool\\");
  TUninstallList list;
  list.AddFile("C:\\Tool\\a.exe");
  list.AddFile("c:\\tool\\A.EXE");
  list.AddRegistryEntry("\"HKCU\" \"Software\\T\" \"P\" \"v\"");
  list.AddRegistryEntry("\"hkcu\" \"software\\t\" \"p\" \"V\"");
  list.AddFolder("C:\\Tool\\");
  list.AddFolder("C:\\Tool\\");
  EXPECT_EQ(list.Files(), std::vector<std::string>{"$INSTDIRa.exe"});
  EXPECT_TRUE(list.HasFile("$instdirA.exe"));
  EXPECT_EQ(list.RegistryEntries().size(), 1u);
  EXPECT_EQ(list.Folders().size(), 2u);
  list.Clear();
  EXPECT_TRUE(list.Files().empty() && list.RegistryEntries().empty() && list.Folders().empty());
}

TEST_F(UninstallListTest, AMergeKeepsTheOlderTextsFirstAndEachTextOnce) {
  using Texts = std::vector<std::string>;
  struct Case {
    Texts older_files, older_folders;
    Texts files, folders;
    Texts merged_files, merged_folders;
  };
  const Case cases[] = {
      // A reinstall: what both runs made, once, the older run's first (letters A-Z folded).
      {{"C:\\A", "C:\\B"},
       {"C:\\F1", "C:\\F2"},
       {"C:\\b", "C:\\C"},
       {"C:\\f2", "C:\\F3", "C:\\F3"},
       {"C:\\A", "C:\\B", "C:\\C"},
       {"C:\\F1", "C:\\F2", "C:\\F3"}},
      // A first install: this run's texts as they were, the folders once each.
      {{}, {}, {"C:\\X", "C:\\Y"}, {"C:\\F", "C:\\F"}, {"C:\\X", "C:\\Y"}, {"C:\\F"}},
  };
  for (const Case& c : cases) {
    TUninstallList older, list;
    older.Assign(c.older_files, {"\"HKCU\" \"K\" \"a\" \"\""}, c.older_folders);
    list.Assign(c.files, {"\"HKCU\" \"k\" \"A\" \"\"", "\"HKCU\" \"K\" \"b\" \"\""}, c.folders);
    list.MergeOlder(older);
    EXPECT_EQ(list.Files(), c.merged_files);
    EXPECT_EQ(list.Folders(), c.merged_folders);
    EXPECT_EQ(list.RegistryEntries(),
              Texts({"\"HKCU\" \"K\" \"a\" \"\"", "\"HKCU\" \"K\" \"b\" \"\""}));
    // What the list holds is what it answers for.
    for (const std::string& file : c.merged_files) EXPECT_TRUE(list.HasFile(file)) << file;
  }
}

TEST_F(UninstallListTest, ForceFoldersRecordsOnlyWhatItCreated) {
  std::filesystem::create_directories(HostC("P"));
  TUninstallList list;
  ForceFolders(list, "C:\\P\\A\\B");
  EXPECT_EQ(list.Folders(), (std::vector<std::string>{"C:\\P\\A\\", "C:\\P\\A\\B"}));
  EXPECT_TRUE(std::filesystem::is_directory(HostC("P/A/B")));
  ForceFolders(list, "C:\\P\\A\\B\\");
  ForceFolders(list, "relative\\x");
  ForceFolders(list, "C:\\");
  EXPECT_EQ(list.Folders().size(), 2u);

  TUninstallList::Instance().Clear();
  ASSERT_TRUE(WriteWholeFile("C:\\Q\\R\\data.bin", "xyz", 3));
  ASSERT_TRUE(WriteWholeFile("C:\\Q\\empty.bin", nullptr, 0));
  EXPECT_EQ(ReadLog(HostC("Q/R/data.bin")), "xyz");
  EXPECT_EQ(ReadLog(HostC("Q/empty.bin")), "");
  EXPECT_EQ(TUninstallList::Instance().Folders(),
            (std::vector<std::string>{"C:\\Q\\", "C:\\Q\\R"}));
  TUninstallList::Instance().Clear();
}

TEST_F(UninstallListTest, RemovalFollowsTheRecordedForms) {
  TUninstallList list;
  // Recorded while the product was installed in C:\Old\; the uninstaller finds it in C:\Tool\.
  SetInstallDir("C:\\Old\\");
  list.AddFile("C:\\Old\\Data\\a.txt");
  list.AddFile("C:\\Old\\gone.txt");
  EXPECT_EQ(list.Files()[0], "$INSTDIRData\\a.txt");
  SetInstallDir("C:\\Tool\\");
  ForceFolders(list, "C:\\Tool\\Data\\Sub");
  ASSERT_TRUE(WriteWholeFile("C:\\Tool\\Data\\a.txt", "a", 1));
  ASSERT_TRUE(WriteWholeFile("C:\\Tool\\keep.txt", "k", 1));  // not recorded: its folder stays
  platform::RegSetString(platform::RootKey::kCurrentUser, "Software\\T", "", "default");
  platform::RegSetString(platform::RootKey::kCurrentUser, "Software\\T", "P", "v");
  list.AddRegistryEntry("\"HKCU\" \"Software\\T\" \"\" \"default\"");
  list.AddRegistryEntry("\"HKCU\" \"Software\\Missing\" \"P\" \"\"");
  // Folders that are not drive paths stay, whatever is at such a place.
  const std::string host_folder = Root() + "/host-empty";
  std::filesystem::create_directories(host_folder);
  list.AddFolder(host_folder);
  list.AddFolder("%APPDATA%\\LogTest");

  list.RemoveAll();
  EXPECT_TRUE(std::filesystem::is_directory(host_folder));
  EXPECT_FALSE(std::filesystem::exists(HostC("Tool/Data/a.txt")));
  // Children go before their parents; a folder that still holds something stays.
  EXPECT_FALSE(std::filesystem::exists(HostC("Tool/Data")));
  EXPECT_TRUE(std::filesystem::exists(HostC("Tool/keep.txt")));
  // The default value goes; the key and its other values stay.
  EXPECT_FALSE(platform::RegValueExists(platform::RootKey::kCurrentUser, "Software\\T", ""));
  EXPECT_EQ(platform::RegGetString(platform::RootKey::kCurrentUser, "Software\\T", "P"), "v");
  EXPECT_FALSE(platform::RegKeyExists(platform::RootKey::kCurrentUser, "Software\\Missing"));
}

}  // namespace

namespace {

TEST(UninstallListPathTest, LogPathUsesOneSeparatorWhateverTheFolderEndsWith) {
  EXPECT_EQ(TUninstallList::LogPath("C:\\Tool\\", "Demo_"), "C:\\Tool\\Demo_install.log");
  EXPECT_EQ(TUninstallList::LogPath("C:\\Tool", "Demo_"), "C:\\Tool\\Demo_install.log");
  EXPECT_EQ(TUninstallList::LogPath("C:\\Tool\\", ""), "C:\\Tool\\install.log");
}

}  // namespace
