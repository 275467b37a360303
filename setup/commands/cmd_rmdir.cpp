#include "setup/commands/cmd_rmdir.h"

#include "setup/commands/file_operations.h"
#include "setup/core/text_services.h"

// The flag argument is required by the script form but changes nothing: the whole tree goes.
void TRMDirCommand::SFXProcess(TCompLine& line, int /*line_index*/) {
  RemoveFolderTree(ExpandPath(line.Arg(0)));
}
