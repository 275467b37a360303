// `delete`: deletes a file when it exists; nothing is recorded.
#pragma once

#include "setup/commands/script_command.h"

class TDeleteCommand : public TScriptCommand {
 public:
  TDeleteCommand() : TScriptCommand("delete", 1) {}
  void SFXProcess(TCompLine& line, int line_index) override;
};
