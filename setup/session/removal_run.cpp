// The removal run of the uninstaller, on the session's thread: files, then folders (innermost
// first), then registry values, then the Uninstall entry and the install log. A removal that
// leaves something behind keeps the uninstaller, its entry and a log of what remains.
#include <algorithm>
#include <cerrno>

#include "platform/drives.h"
#include "platform/failure.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "platform/registry.h"
#include "platform/safe_parent.h"
#include "platform/temporaries.h"
#include "setup/commands/install_log_checksum.h"
#include "setup/commands/uninstall_list.h"
#include "setup/core/setup_info.h"
#include "setup/core/setup_state.h"
#include "setup/core/text_services.h"
#include "setup/session/temp_files.h"
#include "setup/session/uninstall.h"
#include "setup/session/wizard_session.h"
#include "setup/text/languages.h"

namespace setup_session {

namespace {

// How many remaining items the message lists by name.
constexpr size_t kListedRemains = 20;

// The message of a removal that left items behind: what remains, and why the first one stayed.
std::string RemainsMessage(const std::vector<std::string>& remains, const std::string& reason) {
  std::string text = "Could not remove " + std::to_string(remains.size()) + " item" +
                     (remains.size() == 1 ? "" : "s") + " (" + reason +
                     "). Run the uninstaller again once the cause is gone:";
  for (size_t i = 0; i < remains.size() && i < kListedRemains; ++i) text += "\r" + remains[i];
  if (remains.size() > kListedRemains) text += "\r...";
  return text;
}

// The recorded folders that lie above `install_dir`, deepest first.
std::vector<std::string> FoldersAbove(const std::vector<std::string>& folders,
                                      std::string install_dir) {
  while (install_dir.size() > 3 && install_dir.back() == '\\') install_dir.pop_back();
  std::vector<std::string> above;
  for (std::string folder : folders) {
    while (folder.size() > 3 && folder.back() == '\\') folder.pop_back();
    if (folder.size() < install_dir.size() && install_dir[folder.size()] == '\\' &&
        AsciiLower(install_dir.substr(0, folder.size())) == AsciiLower(folder) &&
        std::find(above.begin(), above.end(), folder) == above.end()) {
      above.push_back(folder);
    }
  }
  std::sort(above.begin(), above.end(),
            [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
  return above;
}

}  // namespace

void WizardSession::RunUninstall() {
  SetupState& state = SetupState::Instance();
  const TSetupInfoFile& info = state.SetupInfo();
  TUninstallList& list = TUninstallList::Instance();
  working_ = true;
  // Below the install folder nothing is deleted through a link, wherever the folder lies.
  const platform::TrustedFolderScope run_folder(info.InstallDir);
  // The removal's changes count for the fault seam, as an install run's do.
  platform::StartFaultCounting();
  // A removal killed while it rewrote the log left that write's temporary in the folder.
  if (const auto folder = platform::ToHostPath(info.InstallDir)) {
    platform::RemoveAbandonedTemporaries(*folder);
  }
  const std::vector<std::string> files = list.Files();
  const std::vector<std::string> folders = list.Folders();
  const std::vector<std::string> registry = list.RegistryEntries();
  const int nf = static_cast<int>(files.size());
  const int nd = static_cast<int>(folders.size());
  const int nr = static_cast<int>(registry.size());
  const int total = nf + nd + nr;
  state.SetProgressTotal(total);

  // Nothing is pumped during the removal: every step shown is shown at once.
  const std::shared_ptr<ProgressTextSink> status_line = state.StatusLineSink();
  const std::shared_ptr<ProgressGaugeSink> gauge = state.GaugeSink();
  auto show = [&](const std::u16string& text, int position) {
    if (status_line) status_line->SetText(text, true);
    if (gauge) gauge->SetPosition(position, true);
  };
  {
    std::string start = "Status: 0 of " + std::to_string(total) + " items remaining";
    state.SetStatusText(std::u16string(start.begin(), start.end()));
    if (gauge) gauge->SetPosition(0, true);
  }
  PageShown();
  // What could not be removed, as recorded, and the system's reason for the first of them.
  std::vector<std::string> left_files;
  std::vector<std::string> left_registry;
  std::vector<std::string> shown_remains;
  std::string reason;
  auto remember_reason = [&] {
    if (reason.empty()) reason = platform::LastErrorText();
  };
  for (int done = 1; done <= nf; ++done) {
    if (ProgressStep(done, nf, 0)) show(FormatProgressText(u"", done, nf), done);
    const std::string& recorded = files[done - 1];
    errno = 0;
    if (!TUninstallList::RemoveFile(recorded) &&
        (errno == ELOOP || platform::FileExists(ExpandFilePath(recorded)))) {
      remember_reason();
      left_files.push_back(recorded);
      shown_remains.push_back(ExpandFilePath(recorded));
    }
  }
  for (int done = 1; done <= nd; ++done) {
    if (ProgressStep(done, nd, 0)) {
      show(FormatProgressText(GetText(kTextFolderPhase), done, nd), nf + done);
    }
    errno = 0;
    // A folder swapped for a link stays (its target is not the install's) and is reported.
    if (!TUninstallList::RemoveFolder(folders[nd - done]) && errno == ELOOP) {
      remember_reason();
      shown_remains.push_back(folders[nd - done]);
    }
  }
  for (int done = 1; done <= nr; ++done) {
    if (ProgressStep(done, nr, 0)) {
      show(FormatProgressText(GetText(kTextRegistryPhase), done, nr), nf + nd + done);
    }
    const std::string& record = registry[done - 1];
    errno = 0;
    if (!TUninstallList::DeleteRegistryEntry(record) &&
        TUninstallList::RegistryEntryExists(record)) {
      remember_reason();
      left_registry.push_back(record);
      shown_remains.push_back(record);
    }
  }
  const std::string log_folder = info.InstallDir;
  if (shown_remains.empty()) {
    // The Uninstall entry: never without a name (that would address the Uninstall key itself),
    // and only the program's own key, which holds no subkeys.
    RemoveUninstallEntry(info.ShortName);
    // The folders recorded above the install folder still hold it; the finaliser takes them
    // away after it, while they are empty.
    folders_above_ = FoldersAbove(folders, info.InstallDir);
    const std::string log_path = JoinPath(log_folder, info.UninstallPrefix + "install.log");
    platform::DeleteFile(log_path);
    platform::DeleteFile(InstallLogChecksumPath(log_path));
  } else {
    // Something stays: the uninstaller, its entry and a log of what remains (folders that are
    // still there included, parents first as recorded) stay too, so a second run can finish.
    std::vector<std::string> left_folders;
    for (const std::string& folder : folders) {
      if (platform::DirectoryExists(folder)) left_folders.push_back(folder);
    }
    TUninstallList remaining;
    remaining.Assign(left_files, left_registry, left_folders);
    // When even the log cannot be written, the old one stays; it lists all of this and more.
    remaining.SaveLog(log_folder, info.UninstallPrefix);
    const std::string message = RemainsMessage(shown_remains, reason.empty() ? "unknown" : reason);
    state.SetFailureMessage(message);
    state.SetSecondStatusText(GetText(kTextFailed), true);
    state.RequestStop();
    run_failed_ = true;
    platform::MessageBox(message, "Setup Error", platform::kMbOk | platform::kMbIconError);
  }
  PageShown();  // the finished run
  working_ = false;
  SelectPage(current_ + 1);
  PageShown();
}

}  // namespace setup_session
