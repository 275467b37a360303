#include "setup/core/setup_info.h"

#include <gtest/gtest.h>

#include <string>

#include "package_test_util.h"

namespace {

using pak_test::Hex;

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

TEST(SetupInfoTest, StoredFormHasFieldsInOrderWithoutPadding) {
  EXPECT_EQ(TSetupInfoFile().Encode(), std::string(45, '\0'));
  TSetupInfoFile info;
  info.SetupName = "AB";
  info.InstallDirRegKey[0] = {1, "P", "K"};
  info.CreateUninstaller = 1;
  // Name, six empty strings, the first registry place, four empty places, two empty page-set
  // names, the two flags.
  EXPECT_EQ(info.Encode(), Hex("0200") + "AB" + std::string(12, '\0') + Hex("01 0100") + "P" +
                               Hex("0100") + "K" + std::string(20 + 4, '\0') + Hex("00 01"));
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
