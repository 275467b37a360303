// The removal run of the uninstaller, on the window's thread: files, then folders (innermost
// first), then registry values, then the Uninstall entry and the install log.
#include "platform/files.h"
#include "platform/registry.h"
#include "setup/commands/uninstall_list.h"
#include "setup/controls/grad_gauge.h"
#include "setup/core/setup_info.h"
#include "setup/core/setup_state.h"
#include "setup/text/languages.h"
#include "setup/wizard/main_form.h"
#include "setup/wizard/progress_sinks.h"
#include "setup/wizard/temp_files.h"
#include "setup/wizard/uninstall.h"

namespace setup_wizard {

void TFrmMain::RunUninstall() {
  SetupState& state = SetupState::Instance();
  const TSetupInfoFile& info = state.SetupInfo();
  TUninstallList& list = TUninstallList::Instance();
  SetWorkingState(true);
  const std::vector<std::string> files = list.Files();
  const std::vector<std::string> folders = list.Folders();
  const std::vector<std::string> registry = list.RegistryEntries();
  const int nf = static_cast<int>(files.size());
  const int nd = static_cast<int>(folders.size());
  const int nr = static_cast<int>(registry.size());
  const int total = nf + nd + nr;
  state.SetProgressTotal(total);

  auto show = [&](const std::u16string& text, int position) {
    state.SetStatusText(text);
    if (status_label_ && status_label_->parentWidget()) status_label_->parentWidget()->repaint();
    if (progress_gauge_) {
      progress_gauge_->SetProgress(position);
      progress_gauge_->repaint();
    }
  };
  {
    std::string start = "Status: 0 of " + std::to_string(total) + " items remaining";
    state.SetStatusText(std::u16string(start.begin(), start.end()));
    if (progress_gauge_) {
      progress_gauge_->SetProgress(0);
      progress_gauge_->SetMax(total);
    }
  }
  PageShown();
  for (int done = 1; done <= nf; ++done) {
    if (ProgressStep(done, nf, 0)) show(FormatProgressText(u"", done, nf), done);
    TUninstallList::RemoveFile(files[done - 1]);
  }
  for (int done = 1; done <= nd; ++done) {
    if (ProgressStep(done, nd, 0)) {
      show(FormatProgressText(GetText(kTextFolderPhase), done, nd), nf + done);
    }
    TUninstallList::RemoveFolder(folders[nd - done]);
  }
  for (int done = 1; done <= nr; ++done) {
    if (ProgressStep(done, nr, 0)) {
      show(FormatProgressText(GetText(kTextRegistryPhase), done, nr), nf + nd + done);
    }
    TUninstallList::DeleteRegistryEntry(registry[done - 1]);
  }
  // The Uninstall entry: never without a name (that would address the Uninstall key itself),
  // and only the program's own key, which holds no subkeys.
  RemoveUninstallEntry(info.ShortName);
  platform::DeleteFile(JoinPath(info.InstallDir, info.UninstallPrefix + "install.log"));
  PageShown();  // the finished run
  SetWorkingState(false);
  SelectPage(pages_->CurrentPage + 1);
  PageShown();
}

}  // namespace setup_wizard
