// What the program's start-up needs from a view: its message-box presenter, its display of the
// package verification, the session it shows, and running the wizard to its end. The program
// chooses one front end (the window, or the unattended run) and is otherwise the same for all.
#pragma once

#include <memory>

#include "platform/message_box.h"
#include "setup/runtime/startup_package.h"

namespace setup_session {

class WizardSession;

class WizardFrontEnd {
 public:
  virtual ~WizardFrontEnd() = default;
  // The presenter of this view's message boxes; nullptr keeps the console presenter.
  virtual std::shared_ptr<platform::MessageBoxPresenter> Presenter() { return nullptr; }
  // Shows the package verification while it runs; nullptr shows nothing (and the pause after
  // the last entry, which lets a person see the full bar, is skipped).
  virtual std::unique_ptr<VerifyObserver> ShowVerification() { return nullptr; }
  // The session, created with its idle script runner before the package is verified.
  virtual WizardSession& Session() = 0;
  // Builds the pages and runs the wizard until the session ends. Answers false when an
  // unattended run could not go on (the reason has been printed).
  virtual bool Run() = 0;
};

}  // namespace setup_session
