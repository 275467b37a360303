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

// A SETUP_ROOT and a --dir whose host names hold é, ü and 日本: every place that prints a host
// path prints it as UTF-8 once.
TEST_F(InstallerE2ETest, NonAsciiHostPathsPrintAsUtf8Once) {
  WriteText(src_ / "App" / "run.sh", "#!/bin/sh\necho hi\n");
  ASSERT_EQ(Compile("name \"Für Test\"\nshortname Fuer\noutfile FuerSetup.exe\n"
                    "installdir \"$PROGRAMFILES\\Fuer\\\"\nuninstallpages uninstall\nprefix Fuer\n"
                    "file App\\\n")
                .exit_code,
            0);
  const fs::path place = base_ / "é ü 日本";
  const std::string root = (place / "root").string();
  setenv("SETUP_ROOT", root.c_str(), 1);
  fs::create_directories(place);
  fs::copy_file(out_ / "FuerSetup.exe", place / "FuerSetup.exe");
  const std::string installer = (place / "FuerSetup.exe").string();
  const std::string folder = root + "/drive_c/Prog für";
  const std::string log = (place / "run.log").string();
  const ProgramResult installed =
      RunProgram({installer, "--unattended", "--dir", folder, "--log", log});
  ASSERT_EQ(installed.exit_code, 0) << installed.output;
  const std::string uninstall = "'" + folder + "/Fuer_Uninstall.exe' --unattended";
  EXPECT_EQ(RunProgram({installer, "--list-installed"}).out,
            "Für Test\t-\t" + folder + "\t" + uninstall + "\tuser\n");
  const std::string json = RunProgram({installer, "--list-installed", "--json"}).out;
  EXPECT_NE(json.find("\"install_folder\": \"" + folder + "\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"quiet_uninstall\": \"" + uninstall + "\""), std::string::npos) << json;
  const std::string text = platform::ReadFileBytes(log).value_or("");
  EXPECT_NE(text.find("package: " + installer + ", verified"), std::string::npos) << text;
  EXPECT_NE(text.find("install folder: C:\\Prog für\\\n"), std::string::npos) << text;

  // A message naming a host path: the rollback journal's folder cannot be made. The name
  // Windows-1252 cannot hold is spelled by its code points, the rest reads as typed.
  fs::remove_all(root + "/rollback");
  WriteText(root + "/rollback", "a file where the folder goes");
  const ProgramResult refused = RunProgram({installer, "--unattended", "--dir", folder});
  EXPECT_EQ(refused.exit_code, 2) << refused.output;
  EXPECT_NE(refused.err.find("Cannot write the rollback journal in " + base_.string() +
                             "/é ü <U+65E5><U+672C>/root/rollback"),
            std::string::npos)
      << refused.err;
  for (const ProgramResult* result : {&installed, &refused}) {
    EXPECT_EQ(result->output.find("Ã"), std::string::npos) << result->output;
  }
  // A --dir that Windows-1252 cannot spell cannot be installed into, and says so at once.
  const ProgramResult unspellable =
      RunProgram({installer, "--unattended", "--dir", root + "/drive_c/日本"});
  EXPECT_EQ(unspellable.exit_code, 2);
  EXPECT_EQ(
      unspellable.err.rfind("setup: --dir " + root + "/drive_c/日本 cannot be installed into", 0),
      0u)
      << unspellable.err;
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
