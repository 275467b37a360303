#include "setup/commands/cmd_rename.h"

#include "platform/files.h"
#include "setup/core/text_services.h"

void TRenameCommand::SFXProcess(TCompLine& line, int /*line_index*/) {
  if (line.Arguments.size() < 2) return;
  line.Arguments[0] = ExpandPath(line.Arguments[0]);
  line.Arguments[1] = ExpandPath(line.Arguments[1]);
  if (platform::FileExists(line.Arguments[0])) {
    platform::MoveFile(line.Arguments[0], line.Arguments[1]);
  }
}
