// `copyfile`: copies a file (a $CDDRIVE source is looked for on every CD-ROM drive) and records the
// copy.
#pragma once

#include "setup/commands/script_command.h"

class TCopyFileCommand : public TScriptCommand {
 public:
  TCopyFileCommand() : TScriptCommand("copyfile", 2) {}
  void SFXProcess(TCompLine& line, int line_index) override;
};
