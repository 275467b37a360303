#include "setup/commands/cmd_createshortcut.h"

#include "platform/shell.h"
#include "setup/commands/command_support.h"
#include "setup/commands/desktop_links.h"
#include "setup/commands/rollback_journal.h"
#include "setup/commands/uninstall_list.h"
#include "setup/core/run_log.h"
#include "setup/core/text_services.h"

void TCreateShortCutCommand::SFXProcess(TCompLine& line, int /*line_index*/) {
  const std::string link_path = ExpandFilePath(line.Arg(0));
  if (link_path.empty()) return;
  platform::ShellLink link;
  link.target = ExpandFilePath(line.Arg(1));
  link.arguments = ExpandPath(line.Arg(2));
  link.working_directory = ExtractFilePath(link.target);
  link.show_command = 1;
  const std::string icon = line.Arguments.size() >= 4 ? ExpandFilePath(line.Arg(3)) : link.target;
  if (icon != link.target) {
    link.icon_location = icon;
    link.icon_index = 0;
  }
  if (!ForceFolders(ExtractFilePath(link_path)) ||
      !TRollbackJournal::Instance().PrepareFileWrite(link_path) ||
      !platform::WriteShellLink(link_path, link)) {
    return FailStep("Cannot create link " + PlaceName(link_path));
  }
  TUninstallList::Instance().AddFile(link_path);
  RunLog("link created: " + link_path + " -> " + link.target);
  // The link's counterpart for Linux desktops, recorded in the list right after the link.
  AddDesktopEntryForLink(link_path, link, line.Arguments.size() >= 5 ? line.Arg(4) : "");
}
