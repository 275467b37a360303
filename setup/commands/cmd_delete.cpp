#include "setup/commands/cmd_delete.h"

#include "platform/files.h"
#include "setup/core/text_services.h"

void TDeleteCommand::SFXProcess(TCompLine& line, int /*line_index*/) {
  if (line.Arguments.empty()) return;
  // The expanded text replaces the argument, so a jump back here reuses it.
  line.Arguments[0] = ExpandPath(line.Arguments[0]);
  if (platform::FileExists(line.Arguments[0])) platform::DeleteFile(line.Arguments[0]);
}
