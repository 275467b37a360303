// The install-folder field of the wizard session: the drive check, the chosen folder and its
// free space.
#include "platform/drives.h"
#include "setup/core/setup_info.h"
#include "setup/core/setup_state.h"
#include "setup/core/text_services.h"
#include "setup/runtime/startup_modes.h"
#include "setup/session/wizard_session.h"

namespace setup_session {

bool UsableDrive(const std::string& path) {
  platform::DriveType type = platform::GetDriveType(path.substr(0, 3));
  return !(type == platform::DriveType::kUnknown || type == platform::DriveType::kNoRootDir ||
           type == platform::DriveType::kCdRom || type == platform::DriveType::kRamDisk);
}

bool WizardSession::EditFolder(const std::string& text) {
  folder_text_ = text;
  return CheckFolder();
}

bool WizardSession::CheckFolder() {
  if (!named_.folder_edit) return false;
  if (CurrentKindIs(PageKind::InstallDir)) {
    if (!UsableDrive(folder_text_)) {
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
