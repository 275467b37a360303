#include "setup/views/terminal/terminal_front_end.h"

#include "setup/session/wizard_session.h"
#include "setup/views/terminal/terminal_device.h"
#include "setup/views/terminal/terminal_presenter.h"
#include "setup/views/terminal/terminal_screen.h"
#include "setup/views/terminal/terminal_view.h"

namespace setup_terminal {

namespace {

class TerminalFrontEnd : public setup_session::WizardFrontEnd {
 public:
  TerminalFrontEnd()
      : full_screen_(CapableTerminal()),
        utf8_(Utf8Locale()),
        device_(std::make_shared<TerminalDevice>()),
        screen_(std::make_shared<TerminalScreen>(*device_)),
        presenter_(std::make_shared<TerminalPresenter>(device_, screen_, utf8_)) {
    if (full_screen_) {
      view_ = std::make_unique<ScreenWizard>(session_, *device_, *screen_, *presenter_, utf8_);
    } else {
      view_ = std::make_unique<LineWizard>(session_, *device_, utf8_);
    }
    session_.SetView(view_.get());
  }
  ~TerminalFrontEnd() override {
    session_.StopRunner();
    session_.SetView(nullptr);
    device_->Leave();
  }

  std::shared_ptr<platform::MessageBoxPresenter> Presenter() override { return presenter_; }
  setup_session::WizardSession& Session() override { return session_; }

  bool Run() override {
    if (full_screen_) {
      device_->EnterFullScreen();
    } else {
      device_->EnterLines();
    }
    session_.Start();
    view_->Run();
    // The runner is joined while the screen still shows the last page; then the terminal is
    // given back for what the program prints at its end.
    session_.StopRunner();
    device_->Leave();
    return true;
  }

 private:
  bool full_screen_;
  bool utf8_;
  // The presenter stays installed after the front end has gone, so it shares the terminal.
  std::shared_ptr<TerminalDevice> device_;
  std::shared_ptr<TerminalScreen> screen_;
  std::shared_ptr<TerminalPresenter> presenter_;
  std::unique_ptr<TerminalView> view_;  // outlives the session, whose sinks write into it
  setup_session::WizardSession session_;
};

}  // namespace

std::unique_ptr<setup_session::WizardFrontEnd> CreateTerminalFrontEnd() {
  return std::make_unique<TerminalFrontEnd>();
}

}  // namespace setup_terminal
