// `qxpupdate`: adds the files of its package group to a pak archive; the password travels
// enciphered.
#pragma once

#include "setup/commands/script_command.h"

class TQXPUpdateCommand : public TScriptCommand {
 public:
  TQXPUpdateCommand() : TScriptCommand("qxpupdate", 3) {}
  bool Compile(TCompLine& line, int line_index) override;
  void SFXProcess(TCompLine& line, int line_index) override;
  uint8_t GroupKind() const override { return kGroupKindArchive; }
};
