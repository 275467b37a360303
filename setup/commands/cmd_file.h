// `file`: extracts its package group into the install folder, optionally into a subfolder and only
// when a registry value matches.
#pragma once

#include "setup/commands/script_command.h"

class TFileCommand : public TScriptCommand {
 public:
  TFileCommand() : TScriptCommand("file", 1) {}
  bool Compile(TCompLine& line, int line_index) override;
  void SFXProcess(TCompLine& line, int line_index) override;
  uint8_t GroupKind() const override { return kGroupKindFiles; }
};
