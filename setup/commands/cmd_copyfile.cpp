#include "setup/commands/cmd_copyfile.h"

#include <cerrno>

#include "platform/files.h"
#include "setup/commands/command_support.h"
#include "setup/commands/file_operations.h"
#include "setup/commands/rollback_journal.h"
#include "setup/commands/uninstall_list.h"
#include "setup/core/setup_state.h"
#include "setup/core/text_services.h"
#include "setup/text/languages.h"

void TCopyFileCommand::SFXProcess(TCompLine& line, int /*line_index*/) {
  const std::string source = ExpandFilePath(FindOnCdDrives(line.Arg(0)));
  const std::string destination = ExpandFilePath(line.Arg(1));
  if (destination.empty()) return;
  const std::string failure = "Cannot copy " + PlaceName(source) + " to " + PlaceName(destination);
  if (!ForceFolders(ExtractFilePath(destination))) return FailStep(failure);
  SetupState::Instance().SetStatusText(TextWithFileName(kTextCopyingFile, ExtractFileName(source)));
  if (!platform::FileExists(source)) {
    // A source that is not there is skipped and the install goes on; the destination, which
    // this run did not write, is not recorded for removal.
    errno = ENOENT;
    return WarnStep(failure);
  }
  const bool copied = TRollbackJournal::Instance().PrepareFileWrite(destination) &&
                      platform::CopyFile(source, destination, false);
  const int reason = errno;
  LogFileWritten(destination, platform::GetFileSize(destination).value_or(0), copied);
  errno = reason;
  if (!copied) return FailStep(failure);
  TUninstallList::Instance().AddFile(destination);
}
