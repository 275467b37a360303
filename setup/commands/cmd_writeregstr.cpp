#include "setup/commands/cmd_writeregstr.h"

#include "setup/commands/command_support.h"
#include "setup/commands/rollback_journal.h"
#include "setup/commands/uninstall_list.h"
#include "setup/core/run_log.h"
#include "setup/core/setup_state.h"
#include "setup/core/text_services.h"

void TWriteRegStrCommand::SFXProcess(TCompLine& line, int /*line_index*/) {
  TRegistryAccessor& registry = SetupState::Instance().registry;
  registry.SetRootKey(RootFromShortName(line.Arg(0)));
  const std::string value = ExpandPath(line.Arg(3));
  // The old value (or its absence) and any key the write makes go to the journal first.
  const bool written = TRollbackJournal::Instance().NoteRegistryValue(registry.RootKey(),
                                                                      line.Arg(1), line.Arg(2)) &&
                       registry.OpenKey(line.Arg(1), true) &&
                       registry.WriteString(line.Arg(2), value);
  registry.CloseKey();
  if (!written) {
    return FailStep("Cannot write registry value " + line.Arg(0) + "\\" + line.Arg(1) + "\\" +
                    line.Arg(2));
  }
  RunLog("registry value written: " + line.Arg(0) + "\\" + line.Arg(1) + "\\" + line.Arg(2) +
         " = " + value);
  // Recorded as written, so the record names $INSTDIR rather than this machine's folder.
  TUninstallList::Instance().AddRegistryEntry(
      RegistryRecord(line.Arg(0), line.Arg(1), line.Arg(2), line.Arg(3)));
}
