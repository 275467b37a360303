#include "setup/commands/cmd_failure.h"

#include "setup/commands/command_support.h"

void TFailureCommand::SFXProcess(TCompLine& /*line*/, int /*line_index*/) { StopRunAsScriptAsks(); }
