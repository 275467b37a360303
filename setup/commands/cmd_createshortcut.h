// `createshortcut`: creates a shell link (.lnk) and records it for removal.
#pragma once

#include "setup/commands/script_command.h"

class TCreateShortCutCommand : public TScriptCommand {
 public:
  TCreateShortCutCommand() : TScriptCommand("createshortcut", 3) {}
  void SFXProcess(TCompLine& line, int line_index) override;
};
