// What a view of a wizard session implements: it is told what changed and shows it; user actions
// go back to the session. Progress reaches the view through the progress sinks it makes, and
// message boxes through the process-wide presenter. Every call comes on the session's thread.
#pragma once

#include <memory>
#include <string>

#include "setup/core/progress_sink.h"

namespace setup_session {

struct ButtonState;

class WizardView {
 public:
  virtual ~WizardView() = default;

  // Page `page` became the current page: its controls and the main layouts' are shown, the
  // others hidden.
  virtual void PageSelected(int page) = 0;
  // The Back, Next, Cancel or language button changed.
  virtual void ButtonsChanged(const ButtonState& buttons) = 0;
  // Another language was chosen: captions are shown in it.
  virtual void LanguageChanged() {}
  // The session put a folder into the install-folder field (its first arrival).
  virtual void FolderTextSet(const std::string& text) { (void)text; }
  // The install folder passed its checks (or was edited off its page): a folder tree may follow.
  virtual void FolderChecked(const std::string& text) { (void)text; }
  // Why the folder in the install-folder field cannot be used, or empty once it can.
  virtual void FolderProblemChanged(const std::string& problem) { (void)problem; }
  // The caption of the space-available label, refreshed on arrival at a Patch page.
  virtual void SpaceTextChanged(const std::u16string& text) { (void)text; }
  // The current page is shown and its arrival checks are done.
  virtual void PageShown(int page) { (void)page; }
  // An install run starts: the status line's first text; the gauge's maximum is `total`.
  virtual void RunStarted(const std::u16string& status, int total) {
    (void)status;
    (void)total;
  }
  // Called about every millisecond while the script runner works on its own thread.
  virtual void KeepAlive() {}
  // The session has ended: closed, or stopped by an error of the install run.
  virtual void SessionEnded() {}

  // The sinks of the status line, the second status line and the gauge, asked for when the
  // layouts hold those controls.
  virtual std::shared_ptr<ProgressTextSink> StatusLineSink() = 0;
  virtual std::shared_ptr<ProgressTextSink> SecondStatusLineSink() = 0;
  virtual std::shared_ptr<ProgressGaugeSink> GaugeSink() = 0;
};

}  // namespace setup_session
