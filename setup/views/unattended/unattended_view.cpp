#include "setup/views/unattended/unattended_view.h"

#include "setup/session/default_driver.h"
#include "setup/session/status_echo.h"

namespace setup_unattended {

namespace {

class UnattendedFrontEnd : public setup_session::WizardFrontEnd {
 public:
  UnattendedFrontEnd() { session_.SetView(&view_); }
  ~UnattendedFrontEnd() override { session_.SetView(nullptr); }
  setup_session::WizardSession& Session() override { return session_; }
  bool Run() override {
    session_.Start();
    return setup_session::DriveWithDefaults(session_, nullptr) ==
           setup_session::DriveResult::kEnded;
  }

 private:
  UnattendedView view_;
  setup_session::WizardSession session_;
};

}  // namespace

std::shared_ptr<ProgressTextSink> UnattendedView::StatusLineSink() {
  return std::make_shared<setup_session::EchoTextSink>();
}

std::shared_ptr<ProgressTextSink> UnattendedView::SecondStatusLineSink() {
  return std::make_shared<setup_session::EchoTextSink>();
}

std::shared_ptr<ProgressGaugeSink> UnattendedView::GaugeSink() {
  return std::make_shared<NullGaugeSink>();
}

std::unique_ptr<setup_session::WizardFrontEnd> CreateUnattendedFrontEnd() {
  return std::make_unique<UnattendedFrontEnd>();
}

}  // namespace setup_unattended
