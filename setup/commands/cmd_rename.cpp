#include "setup/commands/cmd_rename.h"

#include <cerrno>

#include "platform/files.h"
#include "setup/commands/command_support.h"
#include "setup/commands/rollback_journal.h"
#include "setup/core/text_services.h"

void TRenameCommand::SFXProcess(TCompLine& line, int /*line_index*/) {
  if (line.Arguments.size() < 2) return;
  line.Arguments[0] = ExpandFilePath(line.Arguments[0]);
  line.Arguments[1] = ExpandFilePath(line.Arguments[1]);
  // Renaming a file that is not there is quietly skipped.
  if (!platform::FileExists(line.Arguments[0])) return;
  const std::string what =
      "Cannot rename " + PlaceName(line.Arguments[0]) + " to " + PlaceName(line.Arguments[1]);
  if (!TRollbackJournal::Instance().NoteMoved(line.Arguments[0], line.Arguments[1])) {
    return FailStep(what);
  }
  if (platform::MoveFile(line.Arguments[0], line.Arguments[1])) return;
  // A new name that is taken (the "keep the user's settings file" idiom) or a folder that is
  // missing leaves the file as it is and the install goes on; anything else is a failed step.
  if (errno == EEXIST || errno == ENOENT || errno == ENOTDIR) return WarnStep(what);
  FailStep(what);
}
