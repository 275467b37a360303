// `messagebox`: asks an OK/Cancel question and jumps to the label of the answer ("0" means no
// jump).
#pragma once

#include "setup/commands/script_command.h"

class TMessageBoxCommand : public TScriptCommand {
 public:
  TMessageBoxCommand() : TScriptCommand("messagebox", 4) {}
  bool Compile(TCompLine& line, int line_index) override;
  void SFXProcess(TCompLine& line, int line_index) override;
};
