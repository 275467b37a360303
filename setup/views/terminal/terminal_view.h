// The terminal views of a wizard session: what both keep (the captions the session and the
// runner set, the folder field as typed, the runner's progress) and the two ways of showing
// it: the full screen, and numbered line prompts for a dumb terminal.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "setup/session/wizard_session.h"
#include "setup/session/wizard_view.h"
#include "setup/views/terminal/page_frame.h"
#include "setup/views/terminal/page_items.h"
#include "setup/views/terminal/progress_board.h"
#include "setup/views/terminal/terminal_device.h"
#include "setup/views/terminal/terminal_presenter.h"
#include "setup/views/terminal/terminal_screen.h"

namespace setup_terminal {

class TerminalView : public setup_session::WizardView {
 public:
  TerminalView(setup_session::WizardSession& session, TerminalDevice& device, bool utf8);

  // Shows the started session and hands it the user's keys until it ends.
  virtual void Run() = 0;

  void PageSelected(int) override { page_changed_ = true; }
  void ButtonsChanged(const setup_session::ButtonState&) override {}
  void FolderTextSet(const std::string& text) override;
  void SpaceTextChanged(const std::u16string& text) override;
  void PageShown(int) override {}
  void RunStarted(const std::u16string& status, int total) override;
  std::shared_ptr<ProgressTextSink> StatusLineSink() override;
  std::shared_ptr<ProgressTextSink> SecondStatusLineSink() override;
  std::shared_ptr<ProgressGaugeSink> GaugeSink() override;

 protected:
  // The current page's items with the runner's newest figures.
  std::vector<PageItem> Items();
  // Gives the session the field's text as the install folder it names.
  void FieldEdited();
  // Whether the session may be left: it ended, or a signal asked for a stop that now closes it.
  bool Finished();
  // Called on the session's thread when the runner's figures changed and the view may draw.
  virtual void ProgressChanged() {}
  bool OnSessionThread() const { return std::this_thread::get_id() == session_thread_; }

  setup_session::WizardSession& session_;
  TerminalDevice& device_;
  bool utf8_;
  ViewTexts texts_;
  ProgressBoard board_;
  PageItemBuilder builder_;
  size_t field_cursor_ = 0;
  bool page_changed_ = true;
  std::thread::id session_thread_;
};

// The full-screen wizard: the page, the button row and key hints, redrawn in place.
class ScreenWizard : public TerminalView {
 public:
  ScreenWizard(setup_session::WizardSession& session, TerminalDevice& device,
               TerminalScreen& screen, TerminalPresenter& presenter, bool utf8)
      : TerminalView(session, device, utf8), screen_(screen), presenter_(presenter) {}
  void Run() override;
  void RunStarted(const std::u16string& status, int total) override;
  void KeepAlive() override;

 private:
  void ProgressChanged() override;
  // Composes and shows the screen; the caller holds the device's lock.
  void DrawLocked();
  void Draw();
  void HandleKey(const Key& key);
  void Press(Target target);
  void MoveFocus(int step);
  void MoveRadio(int step);
  void Scroll(int lines);
  bool EditField(const Key& key);
  void ChooseLanguage();

  TerminalScreen& screen_;
  TerminalPresenter& presenter_;
  Focus focus_;
  std::vector<PageItem> items_;
  int scroll_ = 0;
  Frame frame_;
  std::chrono::steady_clock::time_point last_draw_;
};

// The line wizard of a dumb terminal: each page printed once, then numbered choices.
class LineWizard : public TerminalView {
 public:
  using TerminalView::TerminalView;
  void Run() override;
  void KeepAlive() override;

 private:
  void ProgressChanged() override;
  // Both print with the device's lock held. The last progress line of a run is printed once
  // more when the run's final status did not show yet.
  void PrintPage();
  void PrintProgress(bool last);
  // Asks for a line; nothing when the session should be looked at again first (a Ctrl-C, a
  // signal, the end of input).
  std::optional<std::string> AskLine(const std::string& prompt);
  void AskFolder();
  void AskLanguage();

  int printed_tenth_ = -1;
  std::u16string printed_status_;
};

}  // namespace setup_terminal
