// TFrmMain: the runtime's wizard window. A fixed-size window with the page host on top and the
// button row below; it builds the session's pages as widgets, keeps the install-folder edit and
// the folder tree in step, and offers the language menu.
#pragma once

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "setup/controls/grad_gauge.h"
#include "setup/controls/shell_tree_view.h"
#include "setup/core/setup_error.h"
#include "setup/session/runner_link.h"
#include "setup/session/wizard_session.h"
#include "setup/views/qt/page_control.h"

class QTreeWidgetItem;

namespace setup_wizard {

using setup_session::CreateScriptRunner;
using setup_session::RunnerLink;

// TFrmDebug: the hidden debug window with its rich-text box.
class TFrmDebug;

// The window as a view of its wizard session: it shows the session's pages, buttons and
// progress, and hands clicks, typing and the language menu to the session. The session is the
// window's own, or (in the window program) a mirror of the session in the runtime.
class TFrmMain : public QWidget, public setup_session::WizardView {
  Q_OBJECT
 public:
  // Creates the window, its session and the idle runner (FormCreate); pass CreateScriptRunner()
  // for the engine's runner. (No default: a window that can be made without arguments would
  // bring the whole session into every program that links the window.)
  explicit TFrmMain(std::unique_ptr<RunnerLink> runner);
  // A window over a session that lives elsewhere; `port` must outlive the window.
  explicit TFrmMain(setup_session::SessionPort& port);
  ~TFrmMain() override;

  // Reads the pages into the session, builds their widgets and shows the first page.
  void SetPagesUp();
  // The steps of SetPagesUp that are the window's own, for a session that lives elsewhere: the
  // widgets of the port's pages (the caption, the page colour and the named controls with them),
  // then, once the session has put its folder into the field, the folder tree, the field's
  // change handler and the language menu.
  void BuildPages();
  void ConnectFolderControls();
  void SetupLanguages();
  void SetupCheckedLanguage();
  void LanguageButtonClick();
  void LanguageChosen(int tag) { port_.ChooseLanguage(tag); }  // every language menu item
  void BackButtonClick() { port_.Back(); }
  void NextButtonClick() { port_.Next(); }
  void CancelButtonClick();
  void Button2Click();  // debug dump
  void InstallDirEditChange();
  void ShellTreeViewChange();
  void SyncTreeToPath(const std::string& path, bool expand);
  QTreeWidgetItem* FindTreeNode(const std::string& path) const;
  // Stops and joins the runner; harmless when repeated.
  void StopRunner() {
    if (session_) session_->StopRunner();
  }

  // The window's own session (not for a window over a session that lives elsewhere).
  setup_session::WizardSession& Session() { return *session_; }
  const setup_session::WizardSession& Session() const { return *session_; }
  TSEPageControl& PageControl() { return *pages_; }
  QWidget* Panel1() const { return panel1_; }
  QPushButton* BackButton() const { return back_button_; }
  QPushButton* NextButton() const { return next_button_; }
  QPushButton* CancelButton() const { return cancel_button_; }
  QPushButton* LanguageButton() const { return language_button_; }
  QMenu* LanguagePopupMenu() const { return language_menu_; }
  QLabel* StatusLabel() const { return status_label_; }
  QLabel* FolderProblemLabel() const { return folder_problem_label_; }
  setup_controls::TGradGauge* ProgressGauge() const { return progress_gauge_; }
  QLabel* FinishTextLabel() const { return finish_text_label_; }
  QLineEdit* InstallDirEdit() const { return install_dir_edit_; }
  setup_controls::TSE_ShellTreeView* FolderTree() const { return folder_tree_; }
  QLabel* SpaceAvailableLabel() const { return space_available_label_; }
  bool InstallDirVisited() const { return session_->InstallDirVisited(); }
  bool Working() const { return session_->Working(); }
  bool TreeSyncing() const { return tree_syncing_; }
  // Whether the window ended on its Finish page (the run completed).
  bool ClosedOnFinish() const { return session_->ClosedOnFinish(); }
  bool Closed() const { return port_.Closed(); }
  const std::optional<SetupError>& InstallError() const { return session_->InstallError(); }
  bool RunFailed() const { return session_->RunFailed(); }
  const std::string& TargetProblem() const { return session_->TargetProblem(); }

  // Called after every page change with the page shown (screenshots).
  std::function<void(int page)> on_page_shown;

  // --- the session's view ---
  void PageSelected(int page) override;
  void ButtonsChanged(const setup_session::ButtonState& buttons) override;
  void LanguageChanged() override;
  void FolderTextSet(const std::string& text) override;
  void FolderChecked(const std::string& text) override;
  // Shown in the button bar, left of Back, while the folder cannot be used.
  void FolderProblemChanged(const std::string& problem) override;
  void SpaceTextChanged(const std::u16string& text) override;
  void PageShown(int page) override;
  void RunStarted(const std::u16string& status, int total) override;
  void KeepAlive() override;
  void SessionEnded() override;
  std::shared_ptr<ProgressTextSink> StatusLineSink() override;
  std::shared_ptr<ProgressTextSink> SecondStatusLineSink() override;
  std::shared_ptr<ProgressGaugeSink> GaugeSink() override;

 protected:
  // Every attempt to close goes through the session: it may ask the quit question, and during
  // an install run a yes stops the run; the window closes once that is done.
  void closeEvent(QCloseEvent* event) override;
  // Enter on a button presses it; anywhere else (the folder edit, the tree, an option, the
  // change log) it presses the default button: Next (Install, Finish), or on the last page the
  // button that closes.
  void keyPressEvent(QKeyEvent* event) override;

 private:
  // The folder problem is shown on the install-folder page only.
  void ShowFolderProblem();
  // The widget of a control the session names.
  QWidget* Widget(const std::optional<setup_session::ControlRef>& ref) const;
  void FindNamedControls();
  void CreateControls();

  QWidget* panel1_;
  QFrame* bevel2_;
  QPushButton* language_button_;
  QPushButton* button2_;
  QPushButton* back_button_;
  QPushButton* next_button_;
  QPushButton* cancel_button_;
  QMenu* language_menu_;
  QLabel* folder_problem_label_;
  std::unique_ptr<TSEPageControl> pages_;
  std::unique_ptr<TFrmDebug> debug_form_;
  std::unique_ptr<setup_session::WizardSession> session_;  // null over a session elsewhere
  setup_session::SessionPort& port_;

  QPointer<QLabel> status_label_;
  QPointer<setup_controls::TGradGauge> progress_gauge_;
  QPointer<QLabel> finish_text_label_;
  QPointer<QLineEdit> install_dir_edit_;
  QPointer<setup_controls::TSE_ShellTreeView> folder_tree_;
  QPointer<QLabel> space_available_label_;

  bool tree_syncing_ = false;
  bool in_close_event_ = false;
};

}  // namespace setup_wizard
