// `createshortcut` link target arguments [icon [categories]]: creates a shell link (.lnk) and,
// for a link in the Start menu or on the desktop, its desktop entry (Categories from the fifth
// argument); records both for removal.
#pragma once

#include "setup/commands/script_command.h"

class TCreateShortCutCommand : public TScriptCommand {
 public:
  TCreateShortCutCommand() : TScriptCommand("createshortcut", 3) {}
  void SFXProcess(TCompLine& line, int line_index) override;
};
