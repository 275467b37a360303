#include "setup/commands/cmd_duplicateentry.h"

#include "setup/archive/archive_runs.h"

void TDuplicateEntryCommand::SFXProcess(TCompLine& line, int /*line_index*/) {
  RunDuplicateEntry(line);
}
