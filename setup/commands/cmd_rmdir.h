// `rmdir`: removes a folder tree.
#pragma once

#include "setup/commands/script_command.h"

class TRMDirCommand : public TScriptCommand {
 public:
  TRMDirCommand() : TScriptCommand("rmdir", 2) {}
  void SFXProcess(TCompLine& line, int line_index) override;
};
