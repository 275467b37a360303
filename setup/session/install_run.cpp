// The install run of the wizard session: hand the compiled script to the runner and keep the
// view alive until it is done.
#include <chrono>
#include <exception>

#include "platform/text_encoding.h"
#include "setup/commands/uninstall_list.h"
#include "setup/core/pak.h"
#include "setup/core/setup_info.h"
#include "setup/core/setup_state.h"
#include "setup/session/wizard_session.h"

namespace setup_session {

namespace {

// The 8-bit text a radio button shows (line breaks as the window shows them).
std::string OptionText(const LayoutRecord& record) {
  std::u16string shown = CaptionText(record);
  std::u16string text;
  for (size_t i = 0; i < shown.size(); ++i) {
    if (shown[i] == u'\r') {
      if (i + 1 < shown.size() && shown[i + 1] == u'\n') ++i;
      text += u'\n';
    } else {
      text += shown[i];
    }
  }
  return platform::Utf16ToCp1252(text);
}

}  // namespace

void WizardSession::RunInstall() {
  try {
    SetupState& state = SetupState::Instance();
    // The checked option of a language page names the product's language.
    if (option_ && pages_.Pages[option_->page].kind == PageKind::LanguageSelection) {
      state.language_selection = OptionText(pages_.Pages[option_->page].controls[option_->index]);
    }
    working_ = true;
    const int total = state.package ? state.package->CountGrouped() : 0;
    state.SetProgressTotal(total);
    const std::string status = "Status: 0 of " + std::to_string(total) + " files extracted";
    if (view_) view_->RunStarted(platform::Cp1252ToUtf16(status), total);
    PageShown();
    TUninstallList::Instance().AddFolder(state.SetupInfo().InstallDir);
    state.SetCurrentLine(-1);
    install_running_ = true;
    runner_->RequestRun();
    // The view is kept alive (events, status, keys) a hundred times a second; the run's end
    // wakes this thread at once. Waking every millisecond took a core's time slice from the
    // runner and its helpers a thousand times a second.
    while (!runner_->WaitForRunEnd(std::chrono::milliseconds(10))) {
      if (view_) view_->KeepAlive();
    }
    install_running_ = false;
    run_failed_ = (state.StopRequested() && !state.CancelRequested()) || state.LineFaulted();
    if (view_) view_->KeepAlive();  // the last status and gauge updates
    if (state.CancelRequested()) {
      // Stopped by the user and undone: the wizard closes, the program ends as cancelled.
      working_ = false;
      Close();
      return;
    }
    PageShown();  // the finished run
    SelectPage(current_ + 1);
    working_ = false;
    PageShown();
  } catch (const SetupError& error) {
    install_error_ = error;
    if (view_) view_->SessionEnded();
  } catch (const std::exception& error) {
    // Reported without an error type, as every other error of the install page.
    install_error_ = SetupError(error.what());
    if (view_) view_->SessionEnded();
  }
}

}  // namespace setup_session
