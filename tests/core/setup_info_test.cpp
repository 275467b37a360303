#include "setup/core/setup_info.h"

#include <gtest/gtest.h>

#include <string>

#include "package_test_util.h"

namespace {

TSetupInfoFile FilledRecord() {
  TSetupInfoFile info;
  info.SetupName = "Medalor 1.0";
  info.ShortName = "Medalor";
  info.SetupExeName = "MedalorSetup.exe";
  info.UninstallExeName = "Medalor_Uninstall.exe";
  info.UninstallPrefix = "Medalor_";
  info.InstallDir = "$PROGRAMFILES\\Medalor";
  info.Changelog = "changes.txt";
  for (int i = 0; i < kInstallDirRegKeyCount; ++i) {
    info.InstallDirRegKey[i].HKEY = static_cast<uint8_t>(i);
    info.InstallDirRegKey[i].Path = "Software\\Medalor\\" + std::to_string(i);
    info.InstallDirRegKey[i].Key = i == 2 ? "" : "Path";
  }
  info.PagesName = "default";
  info.UninstallPagesName = "uninstall";
  info.IsUninstaller = 1;
  info.CreateUninstaller = 1;
  return info;
}

TEST(SetupInfoTest, EmptyRecordIsFortyFiveBytesOfZeros) {
  const std::string bytes = TSetupInfoFile().Encode();
  EXPECT_EQ(bytes, std::string(45, '\0'));
}

TEST(SetupInfoTest, StoredFormHasFieldsInOrderWithoutPadding) {
  TSetupInfoFile info;
  info.SetupName = "AB";
  info.InstallDirRegKey[0] = {1, "P", "K"};
  info.CreateUninstaller = 1;
  const std::string bytes = info.Encode();
  const std::string set_up_name("\x02\x00\x41\x42", 4);  // "AB"
  const std::string six_empty_strings(6 * 2, '\0');
  const std::string first_place("\x01\x01\x00P\x01\x00K", 7);
  const std::string four_empty_places(4 * 5, '\0');
  const std::string empty_page_sets(2 * 2, '\0');
  const std::string flags("\x00\x01", 2);
  const std::string expected =
      set_up_name + six_empty_strings + first_place + four_empty_places + empty_page_sets + flags;
  EXPECT_EQ(bytes, expected);
}

TEST(SetupInfoTest, FileRoundTripKeepsEveryFieldAndByte) {
  pak_test::TempDir dir;
  TSetupInfoFile info = FilledRecord();
  info.SetupName = std::string(" caf\xE9\0 \r\n ", 10);  // bytes kept: no conversion, no trim
  ASSERT_TRUE(info.WriteToFile(dir.File("SetupInfo")));
  const std::string bytes = pak_test::ReadBytes(dir.File("SetupInfo"));
  EXPECT_EQ(bytes, info.Encode());

  TSetupInfoFile read;
  read.ReadFromBuffer(bytes.data(), bytes.size());
  EXPECT_EQ(read, info);
}

TEST(SetupInfoTest, TruncatedRecordKeepsWhatWasThereAndEmptiesTheRest) {
  const TSetupInfoFile info = FilledRecord();
  const std::string bytes = info.Encode();
  // Cut inside ShortName ("Medalor" after its 2-byte length): "Med" survives.
  const size_t cut = 2 + info.SetupName.size() + 2 + 3;
  TSetupInfoFile read = FilledRecord();
  read.ReadFromBuffer(bytes.data(), cut);
  EXPECT_EQ(read.SetupName, info.SetupName);
  EXPECT_EQ(read.ShortName, "Med");
  EXPECT_EQ(read.SetupExeName, "");
  EXPECT_EQ(read.InstallDirRegKey[4], TInstallDirRegKey());
  EXPECT_EQ(read.CreateUninstaller, 0);

  for (size_t length = 0; length <= bytes.size(); ++length) {
    TSetupInfoFile partial;
    partial.ReadFromBuffer(bytes.data(), length);
    EXPECT_EQ(partial == info, length == bytes.size()) << length;
  }
}

}  // namespace
