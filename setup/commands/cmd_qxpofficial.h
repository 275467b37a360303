// `qxpofficial`: sets or clears a pak archive's official flag; the access code travels enciphered.
#pragma once

#include "setup/commands/script_command.h"

class TQXPOfficialCommand : public TScriptCommand {
 public:
  TQXPOfficialCommand() : TScriptCommand("qxpofficial", 3) {}
  bool Compile(TCompLine& line, int line_index) override;
  void SFXProcess(TCompLine& line, int line_index) override;
};
