// `vfsupdate`: adds the files of its package group to a VFS container.
#pragma once

#include "setup/commands/script_command.h"

class TVFSUpdateCommand : public TScriptCommand {
 public:
  TVFSUpdateCommand() : TScriptCommand("vfsupdate", 2) {}
  bool Compile(TCompLine& line, int line_index) override;
  void SFXProcess(TCompLine& line, int line_index) override;
  uint8_t GroupKind() const override { return kGroupKindArchive; }
};
