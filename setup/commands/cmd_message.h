// `message`: shows a text, with its <LANGn> tokens expanded, on the status line.
#pragma once

#include "setup/commands/script_command.h"

class TMessageCommand : public TScriptCommand {
 public:
  TMessageCommand() : TScriptCommand("message", 1) {}
  void SFXProcess(TCompLine& line, int line_index) override;
};
