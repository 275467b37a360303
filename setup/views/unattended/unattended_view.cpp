#include "setup/views/unattended/unattended_view.h"

#include "setup/session/default_driver.h"
#include "setup/session/status_echo.h"

namespace setup_unattended {

namespace {

class UnattendedFrontEnd : public setup_session::WizardFrontEnd {
 public:
  explicit UnattendedFrontEnd(bool accept_license) : accept_license_(accept_license) {
    session_.SetView(&view_);
  }
  ~UnattendedFrontEnd() override { session_.SetView(nullptr); }
  setup_session::WizardSession& Session() override { return session_; }
  bool Run() override {
    session_.Start();
    return setup_session::DriveWithDefaults(session_, nullptr, accept_license_) ==
           setup_session::DriveResult::kEnded;
  }

 private:
  bool accept_license_;
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

std::unique_ptr<setup_session::WizardFrontEnd> CreateUnattendedFrontEnd(bool accept_license) {
  return std::make_unique<UnattendedFrontEnd>(accept_license);
}

}  // namespace setup_unattended
