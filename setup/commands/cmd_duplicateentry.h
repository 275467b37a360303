// `duplicateentry`: gives a pak archive entry a second name.
#pragma once

#include "setup/commands/script_command.h"

class TDuplicateEntryCommand : public TScriptCommand {
 public:
  TDuplicateEntryCommand() : TScriptCommand("duplicateentry", 3) {}
  void SFXProcess(TCompLine& line, int line_index) override;
};
