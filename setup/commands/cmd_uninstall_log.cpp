#include "setup/commands/cmd_uninstall_log.h"

#include "setup/commands/uninstall_list.h"
#include "setup/core/text_services.h"

void TUninstallLogLoadCommand::SFXProcess(TCompLine& line, int /*line_index*/) {
  TUninstallList::Instance().LoadLog(ExpandFilePath(line.Arg(0)), line.Arg(1));
}

void TUninstallLogSaveCommand::SFXProcess(TCompLine& line, int /*line_index*/) {
  TUninstallList::Instance().SaveLog(ExpandFilePath(line.Arg(0)), line.Arg(1));
}
