// The setup-definition commands: they fill the setup information record at compile time and
// have nothing to do when run. Their lines are stored empty in the package.
#pragma once

#include "setup/commands/script_command.h"

// `name` title: SetupName and ShortName.
class TNameCommand : public TScriptCommand {
 public:
  TNameCommand() : TScriptCommand("name", 1, 1) {}
  bool Compile(TCompLine& line, int line_index) override;
};

// `outfile` file name: SetupExeName, the installer's file name.
class TOutFileCommand : public TScriptCommand {
 public:
  TOutFileCommand() : TScriptCommand("outfile", 1, 1) {}
  bool Compile(TCompLine& line, int line_index) override;
};

// `installdir` folder: InstallDir, path variables left for the run.
class TInstallDirCommand : public TScriptCommand {
 public:
  TInstallDirCommand() : TScriptCommand("installdir", 1, 1) {}
  bool Compile(TCompLine& line, int line_index) override;
};

// `installdirregkey` root key value: the next InstallDirRegKey slot (the fifth slot is
// overwritten by every further line).
class TInstallDirRegKeyCommand : public TScriptCommand {
 public:
  TInstallDirRegKeyCommand() : TScriptCommand("installdirregkey", 3, 1) {}
  bool Compile(TCompLine& line, int line_index) override;
};

// `changelog` file: Changelog, the entry name of the change log the package carries.
class TChangelogCommand : public TScriptCommand {
 public:
  TChangelogCommand() : TScriptCommand("changelog", 1, 1) {}
  bool Compile(TCompLine& line, int line_index) override;
};

// `pages` page set: PagesName.
class TPagesCommand : public TScriptCommand {
 public:
  TPagesCommand() : TScriptCommand("pages", 1, 1) {}
  bool Compile(TCompLine& line, int line_index) override;
};

// `shortname` title: ShortName.
class TShortNameCommand : public TScriptCommand {
 public:
  TShortNameCommand() : TScriptCommand("shortname", 1, 1) {}
  bool Compile(TCompLine& line, int line_index) override;
};

// `uninstallpages` page set: UninstallPagesName; the install then writes an uninstaller.
class TUninstallPagesCommand : public TScriptCommand {
 public:
  TUninstallPagesCommand() : TScriptCommand("uninstallpages", 1, 1) {}
  bool Compile(TCompLine& line, int line_index) override;
};

// `prefix` word: UninstallPrefix (word + "_") and UninstallExeName (word + "_Uninstall.exe").
class TUninstallPrefixCommand : public TScriptCommand {
 public:
  TUninstallPrefixCommand() : TScriptCommand("prefix", 1, 1) {}
  bool Compile(TCompLine& line, int line_index) override;
};

// `version`, `publisher`, `url` text: the product details of the Uninstall entry
// (DisplayVersion, Publisher, URLInfoAbout), kept in the package's ProductInfo entry.
class TVersionCommand : public TScriptCommand {
 public:
  TVersionCommand() : TScriptCommand("version", 1, 1) {}
  bool Compile(TCompLine& line, int line_index) override;
};

class TPublisherCommand : public TScriptCommand {
 public:
  TPublisherCommand() : TScriptCommand("publisher", 1, 1) {}
  bool Compile(TCompLine& line, int line_index) override;
};

class TUrlCommand : public TScriptCommand {
 public:
  TUrlCommand() : TScriptCommand("url", 1, 1) {}
  bool Compile(TCompLine& line, int line_index) override;
};

// `license` file: the licence text (plain text or rich text) of the stock licence page.
class TLicenseCommand : public TScriptCommand {
 public:
  TLicenseCommand() : TScriptCommand("license", 1, 1) {}
  bool Compile(TCompLine& line, int line_index) override;
};
