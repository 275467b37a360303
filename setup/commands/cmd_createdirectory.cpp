#include "setup/commands/cmd_createdirectory.h"

#include "setup/commands/command_support.h"
#include "setup/commands/uninstall_list.h"
#include "setup/core/text_services.h"

void TCreateDirectoryCommand::SFXProcess(TCompLine& line, int /*line_index*/) {
  const std::string folder = ExpandFilePath(line.Arg(0));
  if (folder.empty()) return;
  if (!ForceFolders(folder)) return FailStep("Cannot create folder " + PlaceName(folder));
  // Recorded even when it existed before: the uninstaller removes it if it is empty then.
  TUninstallList::Instance().AddFolder(folder);
}
