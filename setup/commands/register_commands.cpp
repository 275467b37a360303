#include "setup/commands/register_commands.h"

#include <memory>

#include "setup/commands/cmd_copyfile.h"
#include "setup/commands/cmd_createdirectory.h"
#include "setup/commands/cmd_createshortcut.h"
#include "setup/commands/cmd_definitions.h"
#include "setup/commands/cmd_delete.h"
#include "setup/commands/cmd_duplicateentry.h"
#include "setup/commands/cmd_execute.h"
#include "setup/commands/cmd_failure.h"
#include "setup/commands/cmd_file.h"
#include "setup/commands/cmd_goto.h"
#include "setup/commands/cmd_iffileexists.h"
#include "setup/commands/cmd_language.h"
#include "setup/commands/cmd_message.h"
#include "setup/commands/cmd_messagebox.h"
#include "setup/commands/cmd_qxpofficial.h"
#include "setup/commands/cmd_qxpupdate.h"
#include "setup/commands/cmd_rename.h"
#include "setup/commands/cmd_rmdir.h"
#include "setup/commands/cmd_uninstall_log.h"
#include "setup/commands/cmd_vfsupdate.h"
#include "setup/commands/cmd_writeregstr.h"
#include "setup/commands/cmd_writeregstr_url.h"
#include "setup/core/command_class.h"

void RegisterCommands(TCommandList& list) {
  list.Register(std::make_unique<TGotoCommand>());               // 1
  list.Register(std::make_unique<TNameCommand>());               // 2
  list.Register(std::make_unique<TOutFileCommand>());            // 3
  list.Register(std::make_unique<TInstallDirCommand>());         // 4
  list.Register(std::make_unique<TInstallDirRegKeyCommand>());   // 5
  list.Register(std::make_unique<TIfFileExistsCommand>());       // 6
  list.Register(std::make_unique<TFileCommand>());               // 7
  list.Register(std::make_unique<TDeleteCommand>());             // 8
  list.Register(std::make_unique<TWriteRegStrCommand>());        // 9
  list.Register(std::make_unique<TChangelogCommand>());          // 10
  list.Register(std::make_unique<TQXPUpdateCommand>());          // 11
  list.Register(std::make_unique<TRMDirCommand>());              // 12
  list.Register(std::make_unique<TCreateDirectoryCommand>());    // 13
  list.Register(std::make_unique<TCreateShortCutCommand>());     // 14
  list.Register(std::make_unique<TMessageCommand>());            // 15
  list.Register(std::make_unique<TMessageBoxCommand>());         // 16
  list.Register(std::make_unique<TCopyFileCommand>());           // 17
  list.Register(std::make_unique<TLanguageCommand>());           // 18
  list.Register(std::make_unique<TFailureCommand>());            // 19
  list.Register(std::make_unique<TPagesCommand>());              // 20
  list.Register(std::make_unique<TShortNameCommand>());          // 21
  list.Register(std::make_unique<TUninstallPagesCommand>());     // 22
  list.Register(std::make_unique<TUninstallLanguageCommand>());  // 23
  list.Register(std::make_unique<TUninstallPrefixCommand>());    // 24
  list.Register(std::make_unique<TUninstallLogLoadCommand>());   // 25
  list.Register(std::make_unique<TUninstallLogSaveCommand>());   // 26
  list.Register(std::make_unique<TQXPOfficialCommand>());        // 27
  list.Register(std::make_unique<TDuplicateEntryCommand>());     // 28
  list.Register(std::make_unique<TWriteRegStr_URLCommand>());    // 29
  list.Register(std::make_unique<TVFSUpdateCommand>());          // 30
  list.Register(std::make_unique<TRenameCommand>());             // 31
  list.Register(std::make_unique<TExecuteCommand>());            // 32
  // Definition lines added later; stored as empty lines, so older runtimes never see them.
  list.Register(std::make_unique<TVersionCommand>());    // 33
  list.Register(std::make_unique<TPublisherCommand>());  // 34
  list.Register(std::make_unique<TUrlCommand>());        // 35
  list.Register(std::make_unique<TLicenseCommand>());    // 36
}
