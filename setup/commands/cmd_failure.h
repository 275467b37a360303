// `failure`: ends the run: shows text 23 on the second status line and requests the stop. What
// the run did stays; the closing steps still run and the run is committed.
#pragma once

#include "setup/commands/script_command.h"

class TFailureCommand : public TScriptCommand {
 public:
  TFailureCommand() : TScriptCommand("failure", 0) {}
  // No compile work and no argument check: every line is accepted.
  void SFXProcess(TCompLine& line, int line_index) override;
};
