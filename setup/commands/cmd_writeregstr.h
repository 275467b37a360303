// `writeregstr`: writes a registry string value and records it for removal.
#pragma once

#include "setup/commands/script_command.h"

class TWriteRegStrCommand : public TScriptCommand {
 public:
  TWriteRegStrCommand() : TScriptCommand("writeregstr", 4) {}
  void SFXProcess(TCompLine& line, int line_index) override;
};
