// `rename`: renames (moves) a file when it exists; the uninstall list is not changed.
#pragma once

#include "setup/commands/script_command.h"

class TRenameCommand : public TScriptCommand {
 public:
  TRenameCommand() : TScriptCommand("rename", 2) {}
  void SFXProcess(TCompLine& line, int line_index) override;
};
