// `writeregstr_url`: registers a URL protocol under HKEY_CLASSES_ROOT and records its values for
// removal.
#pragma once

#include "setup/commands/script_command.h"

class TWriteRegStr_URLCommand : public TScriptCommand {
 public:
  TWriteRegStr_URLCommand() : TScriptCommand("writeregstr_url", 3) {}
  void SFXProcess(TCompLine& line, int line_index) override;
};
