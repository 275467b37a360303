// The install-folder field of the wizard session: the drive check, the chosen folder and its
// free space.
#include <cstdlib>

#include "platform/drives.h"
#include "platform/text_encoding.h"
#include "setup/core/setup_info.h"
#include "setup/core/setup_state.h"
#include "setup/core/text_services.h"
#include "setup/runtime/startup_modes.h"
#include "setup/session/wizard_session.h"

namespace setup_session {

bool UsableDrive(const std::string& path) { return FolderProblem(path).empty(); }

bool IsHostFolderText(const std::string& text) {
  return !text.empty() && (text[0] == '/' || text[0] == '~');
}

std::string WindowsFolderOf(const std::string& typed) {
  std::string host = typed;
  if (host.rfind("~/", 0) == 0 || host == "~") {
    const char* home = std::getenv("HOME");
    if (home && *home == '/') host = home + host.substr(1);
  }
  if (host.empty() || host[0] != '/') return platform::Utf8ToCp1252Exact(typed).value_or("");
  // ToWindowsPath collapses ".", ".." and repeated or trailing slashes itself.
  return platform::ToWindowsPath(host).value_or("");
}

std::string FolderProblem(const std::string& path) {
  if (path.size() < 2 || path[1] != ':') {
    return "Not a full path: begin it with a drive (C:\\) or, for a folder of this machine, "
           "with /";
  }
  const std::string drive = path.substr(0, 2);
  switch (platform::GetDriveType(path.substr(0, 3))) {
    case platform::DriveType::kUnknown:
    case platform::DriveType::kNoRootDir:
      return "There is no drive " + drive + " on this machine";
    case platform::DriveType::kCdRom:
      return drive + " is a CD-ROM drive, which cannot be installed to";
    case platform::DriveType::kRamDisk:
      return drive + " is a RAM disk, which does not keep what is installed";
    default:
      return std::string();
  }
}

bool WizardSession::EditFolder(const std::string& text) {
  // A host path ("/opt/tally", "~/tally") reaches the install through the drive that holds it.
  unmapped_host_folder_.clear();
  folder_text_ = text;
  if (IsHostFolderText(text)) {
    folder_text_ = WindowsFolderOf(platform::Cp1252ToUtf8(text));
    if (folder_text_.empty()) unmapped_host_folder_ = text;
  }
  return CheckFolder();
}

void WizardSession::SetFolderProblem(const std::string& problem) {
  if (problem == folder_problem_) return;
  folder_problem_ = problem;
  if (view_) view_->FolderProblemChanged(folder_problem_);
}

bool WizardSession::CheckFolder() {
  if (!named_.folder_edit) return false;
  if (CurrentKindIs(PageKind::InstallDir)) {
    std::string problem = FolderProblem(folder_text_);
    if (!unmapped_host_folder_.empty()) {
      problem = "No drive of this machine holds " + unmapped_host_folder_ +
                " (or a name in it has no Windows-1252 spelling)";
    }
    SetFolderProblem(problem);
    if (!problem.empty()) {
      buttons_.next_enabled = false;
      NotifyButtons();
      return false;
    }
    buttons_.next_enabled = true;
    NotifyButtons();
    TSetupInfoFile& info = SetupState::Instance().SetupInfo();
    if (install_dir_visited_) info.InstallDir = IncludeTrailingBackslash(folder_text_);
    UpdateSpaceAvailable(info.InstallDir);
  }
  if (view_) view_->FolderChecked(folder_text_);
  return true;
}

}  // namespace setup_session
