// `uninstalllogload` / `uninstalllogsave` folder [prefix]: load or save the uninstall list as an
// install log at a place the script names (the folder is expanded, the prefix used as written).
#pragma once

#include "setup/commands/script_command.h"

class TUninstallLogLoadCommand : public TScriptCommand {
 public:
  TUninstallLogLoadCommand() : TScriptCommand("uninstalllogload", 1) {}
  void SFXProcess(TCompLine& line, int line_index) override;
};

class TUninstallLogSaveCommand : public TScriptCommand {
 public:
  TUninstallLogSaveCommand() : TScriptCommand("uninstalllogsave", 1) {}
  void SFXProcess(TCompLine& line, int line_index) override;
};
