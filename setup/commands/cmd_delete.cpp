#include "setup/commands/cmd_delete.h"

#include "platform/files.h"
#include "setup/commands/command_support.h"
#include "setup/commands/rollback_journal.h"
#include "setup/core/text_services.h"

void TDeleteCommand::SFXProcess(TCompLine& line, int /*line_index*/) {
  if (line.Arguments.empty()) return;
  // The expanded text replaces the argument, so a jump back here reuses it.
  line.Arguments[0] = ExpandFilePath(line.Arguments[0]);
  // A file that is not there is quietly skipped; one that is there must go.
  if (platform::FileExists(line.Arguments[0]) &&
      !TRollbackJournal::Instance().RemoveFile(line.Arguments[0])) {
    FailStep("Cannot delete " + PlaceName(line.Arguments[0]));
  }
}
