// The language commands: each packs a language table from the compiler's languages folder into
// group 0 ("LANGUAGE-" or "UNINSTALL_LANGUAGE-" + name). Their lines stay in the compiled
// script and do nothing when run.
#pragma once

#include "setup/commands/script_command.h"

class TLanguageCommand : public TScriptCommand {
 public:
  TLanguageCommand() : TScriptCommand("language", 1) {}
  bool Compile(TCompLine& line, int line_index) override;
};

class TUninstallLanguageCommand : public TScriptCommand {
 public:
  TUninstallLanguageCommand() : TScriptCommand("uninstalllanguage", 1) {}
  bool Compile(TCompLine& line, int line_index) override;
};
