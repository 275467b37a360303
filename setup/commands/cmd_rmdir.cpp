#include "setup/commands/cmd_rmdir.h"

#include "platform/files.h"
#include "setup/commands/command_support.h"
#include "setup/commands/file_operations.h"
#include "setup/commands/rollback_journal.h"
#include "setup/core/text_services.h"

// The flag argument is required by the script form but changes nothing: the whole tree goes.
// A folder that is not there is quietly skipped, and a drive root is never removed.
void TRMDirCommand::SFXProcess(TCompLine& line, int /*line_index*/) {
  const std::string folder = FolderBelowRoot(ExpandFilePath(line.Arg(0)));
  if (folder.empty() || !platform::DirectoryExists(folder)) return;
  if (!TRollbackJournal::Instance().RemoveFolder(folder)) {
    FailStep("Cannot remove folder " + PlaceName(folder));
  }
}
