// TFrmMain: the runtime's wizard window. A fixed-size window with the page host on top and the
// button row below; it builds the pages, keeps the install-folder edit and the folder tree in
// step, checks free space, runs the install (waiting for the script runner) or the removal,
// offers the language menu and asks before closing.
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
#include "setup/views/qt/page_control.h"

class QTreeWidgetItem;

namespace setup_wizard {

using setup_session::CreateScriptRunner;
using setup_session::RunnerLink;

// TFrmDebug: the hidden debug window with its rich-text box.
class TFrmDebug;

class TFrmMain : public QWidget {
  Q_OBJECT
 public:
  // Creates the window, the page set and the idle runner (FormCreate).
  explicit TFrmMain(std::unique_ptr<RunnerLink> runner = CreateScriptRunner());
  ~TFrmMain() override;

  void SetPagesUp();
  void SetupLanguages();
  void SetupCheckedLanguage();
  void LanguageButtonClick();
  void LanguageChosen(int tag);  // every language menu item
  void BackButtonClick();
  void NextButtonClick();
  void CancelButtonClick();
  void Button2Click();  // debug dump
  void InstallDirEditChange();
  void ShellTreeViewChange();
  void SetWorkingState(bool working);
  void SyncTreeToPath(const std::string& path, bool expand);
  QTreeWidgetItem* FindTreeNode(const std::string& path) const;
  // Stops and joins the runner (FormClose's first step); harmless when repeated.
  void StopRunner();

  // The removal run of the uninstaller (arrival at an Uninstall page).
  void RunUninstall();

  TSEPageControl& PageControl() { return *pages_; }
  QWidget* Panel1() const { return panel1_; }
  QPushButton* BackButton() const { return back_button_; }
  QPushButton* NextButton() const { return next_button_; }
  QPushButton* CancelButton() const { return cancel_button_; }
  QPushButton* LanguageButton() const { return language_button_; }
  QMenu* LanguagePopupMenu() const { return language_menu_; }
  QLabel* StatusLabel() const { return status_label_; }
  setup_controls::TGradGauge* ProgressGauge() const { return progress_gauge_; }
  QLabel* FinishTextLabel() const { return finish_text_label_; }
  QLineEdit* InstallDirEdit() const { return install_dir_edit_; }
  setup_controls::TSE_ShellTreeView* FolderTree() const { return folder_tree_; }
  QLabel* SpaceAvailableLabel() const { return space_available_label_; }
  bool InstallDirVisited() const { return install_dir_visited_; }
  bool Working() const { return working_; }
  bool TreeSyncing() const { return tree_syncing_; }
  // Whether the window ended on its Finish page (the run completed).
  bool ClosedOnFinish() const { return closed_on_finish_; }
  bool Closed() const { return closed_; }
  // An error raised on the window's thread during the install run; the window then leaves the
  // event loop so that the program's main can report it.
  const std::optional<SetupError>& InstallError() const { return install_error_; }
  // Whether the install or removal run stopped without doing everything (a failed step, a
  // failure line, items the removal could not remove).
  bool RunFailed() const { return run_failed_; }
  // Why the install folder cannot be written ("Cannot install into X: Read-only file system"),
  // found on arrival at the Patch page; empty when it can.
  const std::string& TargetProblem() const { return target_problem_; }

  // Called after every page change with the page shown (screenshots, unattended driving).
  std::function<void(int page)> on_page_shown;

 protected:
  // Closing during an install run asks the quit question; a yes stops the run at its next
  // line and undoes it, and the window closes once that is done.
  void closeEvent(QCloseEvent* event) override;

 private:
  bool FormCloseQuery();
  void FormClose();
  void SelectPage(int n);
  // Tells on_page_shown that the current page is on screen as the user sees it.
  void PageShown();
  void RunInstall();
  void RefreshArrival();
  void RegisterSinks();
  bool CurrentKindIs(PageKind kind) const;

  QWidget* panel1_;
  QFrame* bevel2_;
  QPushButton* language_button_;
  QPushButton* button2_;
  QPushButton* back_button_;
  QPushButton* next_button_;
  QPushButton* cancel_button_;
  QMenu* language_menu_;
  std::unique_ptr<TSEPageControl> pages_;
  std::unique_ptr<RunnerLink> runner_;
  std::unique_ptr<TFrmDebug> debug_form_;

  QPointer<QLabel> status_label_;
  QPointer<setup_controls::TGradGauge> progress_gauge_;
  QPointer<QLabel> finish_text_label_;
  QPointer<QLineEdit> install_dir_edit_;
  QPointer<setup_controls::TSE_ShellTreeView> folder_tree_;
  QPointer<QLabel> space_available_label_;

  bool install_dir_visited_ = false;
  bool working_ = false;
  bool tree_syncing_ = false;
  bool closed_on_finish_ = false;
  bool closed_ = false;
  std::optional<SetupError> install_error_;
  bool install_running_ = false;
  bool run_failed_ = false;
  std::string target_problem_;
};

}  // namespace setup_wizard
