// `createdirectory`: creates a folder chain and records the folder for removal.
#pragma once

#include "setup/commands/script_command.h"

class TCreateDirectoryCommand : public TScriptCommand {
 public:
  TCreateDirectoryCommand() : TScriptCommand("createdirectory", 1) {}
  void SFXProcess(TCompLine& line, int line_index) override;
};
