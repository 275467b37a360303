#include "setup/commands/cmd_rename.h"

#include "platform/files.h"
#include "setup/commands/command_support.h"
#include "setup/commands/rollback_journal.h"
#include "setup/core/text_services.h"

void TRenameCommand::SFXProcess(TCompLine& line, int /*line_index*/) {
  if (line.Arguments.size() < 2) return;
  line.Arguments[0] = ExpandPath(line.Arguments[0]);
  line.Arguments[1] = ExpandPath(line.Arguments[1]);
  // Renaming a file that is not there is quietly skipped.
  if (!platform::FileExists(line.Arguments[0])) return;
  if (!TRollbackJournal::Instance().NoteMoved(line.Arguments[0], line.Arguments[1]) ||
      !platform::MoveFile(line.Arguments[0], line.Arguments[1])) {
    FailStep("Cannot rename " + line.Arguments[0] + " to " + line.Arguments[1]);
  }
}
