// The window with a session of its own, in the window's process (the tests build it so). Kept
// apart from the rest of the window so that the window program, whose session lives in the
// runtime, links none of the session's runs.
#include "setup/views/qt/debug_form.h"
#include "setup/views/qt/main_form.h"

namespace setup_wizard {

TFrmMain::TFrmMain(std::unique_ptr<RunnerLink> runner)
    : QWidget(nullptr),
      session_(std::make_unique<setup_session::WizardSession>(std::move(runner))),
      port_(*session_) {
  session_->SetView(this);
  CreateControls();
}

void TFrmMain::SetPagesUp() {
  session_->LoadPages();
  BuildPages();
  session_->Prepare();
  ConnectFolderControls();
  session_->ShowFirstPage();
}

}  // namespace setup_wizard
