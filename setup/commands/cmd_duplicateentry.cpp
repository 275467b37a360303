#include "setup/commands/cmd_duplicateentry.h"

#include "setup/commands/archive_runs.h"

void TDuplicateEntryCommand::SFXProcess(TCompLine& line, int /*line_index*/) {
  RunDuplicateEntry(line);
}
