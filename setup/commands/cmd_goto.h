// `goto`: jumps to a label: the label name becomes the label's line index at compile time; at run
// time the line after the label runs next.
#pragma once

#include "setup/commands/script_command.h"

class TGotoCommand : public TScriptCommand {
 public:
  TGotoCommand() : TScriptCommand("goto", 1) {}
  bool Compile(TCompLine& line, int line_index) override;
  void SFXProcess(TCompLine& line, int line_index) override;
};
