// `execute`: starts a program and waits until it has ended (or the run is stopped).
#pragma once

#include "setup/commands/script_command.h"

class TExecuteCommand : public TScriptCommand {
 public:
  TExecuteCommand() : TScriptCommand("execute", 1) {}
  void SFXProcess(TCompLine& line, int line_index) override;
};
