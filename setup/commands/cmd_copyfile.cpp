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
  const std::string source = ExpandPath(FindOnCdDrives(line.Arg(0)));
  const std::string destination = ExpandPath(line.Arg(1));
  if (destination.empty()) return;
  const std::string failure = "Cannot copy " + source + " to " + destination;
  if (!ForceFolders(ExtractFilePath(destination))) return FailStep(failure);
  SetupState::Instance().SetStatusText(TextWithFileName(kTextCopyingFile, ExtractFileName(source)));
  if (!platform::FileExists(source)) {
    errno = ENOENT;
    LogFileWritten(destination, 0, false);
    return FailStep(failure);
  }
  const bool copied = TRollbackJournal::Instance().PrepareFileWrite(destination) &&
                      platform::CopyFile(source, destination, false);
  const int reason = errno;
  LogFileWritten(destination, platform::GetFileSize(destination).value_or(0), copied);
  errno = reason;
  if (!copied) return FailStep(failure);
  TUninstallList::Instance().AddFile(destination);
}
