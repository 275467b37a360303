#include "setup/commands/cmd_writeregstr.h"

#include "setup/commands/command_support.h"
#include "setup/commands/uninstall_list.h"
#include "setup/core/setup_state.h"
#include "setup/core/text_services.h"

void TWriteRegStrCommand::SFXProcess(TCompLine& line, int /*line_index*/) {
  TRegistryAccessor& registry = SetupState::Instance().registry;
  registry.SetRootKey(RootFromShortName(line.Arg(0)));
  if (registry.OpenKey(line.Arg(1), true)) {
    registry.WriteString(line.Arg(2), ExpandPath(line.Arg(3)));
  }
  registry.CloseKey();
  // Recorded as written, so the record names $INSTDIR rather than this machine's folder.
  TUninstallList::Instance().AddRegistryEntry(
      RegistryRecord(line.Arg(0), line.Arg(1), line.Arg(2), line.Arg(3)));
}
