// Names with accents, sharp s and the euro sign from the source tree to the installed files, the
// install log, the status lines and back out through the uninstaller.
#include "installer_e2e.h"

namespace {

namespace fs = std::filesystem;

// Host (UTF-8) names of the source tree, relative to its folder, with their contents.
const std::vector<std::pair<std::string, std::string>> kTree = {
    {"café.txt", "coffee"},
    {"Ünïcode ÿ.txt", "umlauts"},
    {"Dossier été/résumé.txt", "cv"},
    {"straße/€uro – “quoted”.txt", "cp1252 punctuation"},
};

TEST_F(InstallerE2ETest, AccentedNamesInstallAndUninstallEndToEnd) {
  for (const auto& [name, text] : kTree) WriteText(src_ / "Données" / name, text);
  // A variable that holds a host path with slashes, inside a Windows path.
  const fs::path elsewhere = base_ / "elsewhere";
  setenv("NAMES_TEST_DIR", elsewhere.c_str(), 1);
  const ProgramResult compiled = Compile(
      "name Names\n"
      "shortname Names\n"
      "outfile \"Éxample.exe\"\n"
      "installdir \"$PROGRAMFILES\\Noms été\\\"\n"
      "prefix Noms\n"
      "uninstallpages uninstall\n"
      "file \"Données\\\"\n"
      "copyfile \"$INSTDIR\\café.txt\" \"$INSTDIR\\copie de café.txt\"\n"
      "createdirectory \"$INSTDIR\\Dossier créé\\\"\n"
      "createdirectory \"Z:%NAMES_TEST_DIR%\\fait ici\\\"\n");
  ASSERT_EQ(compiled.exit_code, 0) << compiled.output;
  const fs::path installer = out_ / "Éxample.exe";
  ASSERT_TRUE(fs::exists(installer)) << compiled.output;

  const fs::path target = base_ / "cible é";
  const ProgramResult installed =
      RunProgram({installer.string(), "--unattended", "--dir", target.string()});
  ASSERT_EQ(installed.exit_code, 0) << installed.output;
  for (const auto& [name, text] : kTree) {
    EXPECT_EQ(platform::ReadFileBytes((target / name).string()).value_or("-"), text) << name;
  }
  EXPECT_EQ(platform::ReadFileBytes((target / "copie de café.txt").string()).value_or("-"),
            "coffee");
  EXPECT_TRUE(fs::is_directory(target / "Dossier créé"));
  EXPECT_TRUE(fs::is_directory(elsewhere / "fait ici"));
  // Status lines reach the console as UTF-8.
  EXPECT_NE(installed.output.find("résumé.txt"), std::string::npos) << installed.output;
  EXPECT_EQ(installed.output.find("rÃ©sumÃ©"), std::string::npos) << installed.output;

  const ProgramResult removed =
      RunProgram({(target / "Noms_Uninstall.exe").string(), "--unattended"});
  ASSERT_EQ(removed.exit_code, 0) << removed.output;
  for (const auto& [name, text] : kTree) EXPECT_FALSE(fs::exists(target / name)) << name;
  EXPECT_FALSE(fs::exists(target / "copie de café.txt"));
  EXPECT_FALSE(fs::exists(target / "Dossier été"));
  EXPECT_FALSE(fs::exists(elsewhere / "fait ici"));
  EXPECT_TRUE(WaitUntilGone(*platform::ToWindowsPath(target.string())));
}

TEST_F(InstallerE2ETest, NameWindows1252CannotHoldIsACompileError) {
  WriteText(src_ / "Data" / "ok.txt", "fine");
  WriteText(src_ / "Data" / "文件.txt", "chinese");
  const ProgramResult compiled = Compile("name N\noutfile n.exe\n\nfile Data\\\n");
  EXPECT_EQ(compiled.exit_code, 2);
  EXPECT_NE(compiled.output.find(":4: File name has no Windows-1252 spelling - "),
            std::string::npos)
      << compiled.output;
  EXPECT_NE(compiled.output.find("/Data/<U+6587><U+4EF6>.txt"), std::string::npos)
      << compiled.output;
  EXPECT_TRUE(fs::is_empty(out_));
}

}  // namespace
