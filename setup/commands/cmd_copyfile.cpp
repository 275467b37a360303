#include "setup/commands/cmd_copyfile.h"

#include "platform/files.h"
#include "setup/commands/command_support.h"
#include "setup/commands/file_operations.h"
#include "setup/commands/uninstall_list.h"
#include "setup/core/setup_state.h"
#include "setup/core/text_services.h"
#include "setup/text/languages.h"

void TCopyFileCommand::SFXProcess(TCompLine& line, int /*line_index*/) {
  const std::string source = ExpandPath(FindOnCdDrives(line.Arg(0)));
  const std::string destination = ExpandPath(line.Arg(1));
  if (destination.empty()) return;
  ForceFolders(ExtractFilePath(destination));
  SetupState::Instance().SetStatusText(TextWithFileName(kTextCopyingFile, ExtractFileName(source)));
  const bool copied = platform::CopyFile(source, destination, false);
  LogFileWritten(destination, platform::GetFileSize(destination).value_or(0), copied);
  TUninstallList::Instance().AddFile(destination);
}
