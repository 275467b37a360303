// The install run of the wizard window: hand the compiled script to the runner and keep the
// window alive until it is done.
#include <QApplication>
#include <QRadioButton>
#include <exception>
#include <thread>

#include "platform/text_encoding.h"
#include "setup/commands/uninstall_list.h"
#include "setup/controls/grad_gauge.h"
#include "setup/core/pak.h"
#include "setup/core/setup_info.h"
#include "setup/core/setup_state.h"
#include "setup/views/qt/main_form.h"
#include "setup/views/qt/progress_sinks.h"

namespace setup_wizard {

void TFrmMain::RunInstall() {
  try {
    SetupState& state = SetupState::Instance();
    for (auto& page : pages_->Pages) {
      if (page->Kind != PageKind::LanguageSelection) continue;
      for (QWidget* control : page->Controls) {
        auto* radio = qobject_cast<QRadioButton*>(control);
        if (radio && radio->isChecked()) {
          state.language_selection = platform::Utf16ToCp1252(radio->text().toStdU16String());
          break;
        }
      }
    }
    SetWorkingState(true);
    const int total = state.package ? state.package->CountGrouped() : 0;
    state.SetProgressTotal(total);
    const std::string status = "Status: 0 of " + std::to_string(total) + " files extracted";
    if (status_label_) SetLabelCaption(status_label_, platform::Cp1252ToUtf16(status));
    if (progress_gauge_) {
      progress_gauge_->SetProgress(0);
      progress_gauge_->SetMax(total);
    }
    PageShown();
    TUninstallList::Instance().AddFolder(state.SetupInfo().InstallDir);
    state.SetCurrentLine(-1);
    install_running_ = true;
    runner_->RequestRun();
    while (runner_->RunRequested()) {
      QApplication::processEvents();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    install_running_ = false;
    run_failed_ = state.StopRequested() && !state.CancelRequested();
    QApplication::processEvents();  // the last queued status and gauge updates
    if (state.CancelRequested()) {
      // Stopped by the user and undone: the window closes, the program ends as cancelled.
      SetWorkingState(false);
      close();
      return;
    }
    PageShown();  // the finished run
    SelectPage(pages_->CurrentPage + 1);
    SetWorkingState(false);
    PageShown();
  } catch (const SetupError& error) {
    install_error_ = error;
    QApplication::exit(error.ExitCode());
  } catch (const std::exception& error) {
    // Reported without an error type, as every other error of the install page.
    install_error_ = SetupError(error.what());
    QApplication::exit(kExitCodeFailed);
  }
}

}  // namespace setup_wizard
