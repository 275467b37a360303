// `iffileexists`: jumps to one of two labels depending on whether a file exists (a label of "0"
// means no jump).
#pragma once

#include "setup/commands/script_command.h"

class TIfFileExistsCommand : public TScriptCommand {
 public:
  TIfFileExistsCommand() : TScriptCommand("iffileexists", 3) {}
  bool Compile(TCompLine& line, int line_index) override;
  void SFXProcess(TCompLine& line, int line_index) override;
};
