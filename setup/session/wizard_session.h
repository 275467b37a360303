// WizardSession: the wizard without widgets. It holds the pages read from the page list, the
// current page, the state of the four buttons, the install folder being chosen with its checks
// and space figures, the language and the product-language option, and runs the install (through
// the script runner) and the removal. A view shows this state and hands the user's actions here.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "setup/core/setup_error.h"
#include "setup/session/page_list.h"
#include "setup/session/runner_link.h"
#include "setup/session/session_port.h"
#include "setup/session/wizard_view.h"

namespace setup_session {

struct ButtonState {
  bool back_visible = false;
  bool next_visible = true;
  bool next_enabled = true;
  bool cancel_enabled = true;
  bool language_visible = true;
  std::u16string back_caption;
  std::u16string next_caption;
  std::u16string cancel_caption;
  std::u16string language_caption;  // the current language's name
};

// What the Next button does on the page it leads to.
enum class NextAction {
  kShowPage,     // another page is shown
  kCheckFolder,  // the install-folder page, with its drive check
  kCheckSpace,   // the page before the work, with its space and write checks
  kInstall,      // the install run
  kRemove,       // the removal run
  kClose,        // the Finish page: the wizard closes
};

// Whether the drive of a folder (its first three characters) can take a product: not unknown,
// missing, a CD-ROM or a RAM disk.
bool UsableDrive(const std::string& path);
// Why a folder (a Windows path) cannot take a product, in the user's terms ("D: is a CD-ROM
// drive, ..."); empty when its drive can.
std::string FolderProblem(const std::string& path);
// Whether a folder's text is a host path ("/opt/tally", "~/tally") rather than a Windows one.
bool IsHostFolderText(const std::string& text);
// The Windows path (Windows-1252) that a typed or scripted folder (UTF-8) names. A host path is
// normalised ("~/" is the home folder) and mapped through the drive table. Empty when no drive
// holds the host path or Windows-1252 cannot spell the text.
std::string WindowsFolderOf(const std::string& typed);

class WizardSession : public SessionPort {
 public:
  explicit WizardSession(std::unique_ptr<RunnerLink> runner = CreateScriptRunner());
  ~WizardSession() override;
  WizardSession(const WizardSession&) = delete;
  WizardSession& operator=(const WizardSession&) = delete;

  // The view told of every change; nullptr for none.
  void SetView(WizardView* view) { view_ = view; }

  // --- start (in this order; Start() does all three) ---
  // Reads "Pages.txt" and every layout it lists; finds the named controls.
  void LoadPages();
  // Registers the view's progress sinks, expands the install folder and works out its free space.
  void Prepare();
  // Shows page 0 with its kind's rules and arrival checks.
  void ShowFirstPage();
  void Start();

  // --- user actions ---
  void Next() override;
  void Back() override;
  // Chooses language table `index` (menu order); another index changes nothing.
  void ChooseLanguage(int index) override;
  // The install-folder field now reads `text` (Windows-1252): a Windows path, or a host path
  // that reaches the install through its drive (/opt/tally is Z:\opt\tally). Answers whether a
  // folder tree may follow it (false when the folder cannot take the product).
  bool EditFolder(const std::string& text) override;
  // A radio button was checked: it becomes the one checked button of all pages.
  void ChooseOption(ControlRef option) override;
  // Every attempt to close: answers true when the wizard has closed (now or before). During a
  // run it may ask the quit question and stop the run; it never closes then.
  bool RequestClose() override;
  // Stops and joins the script runner; harmless when repeated.
  void StopRunner();

  // --- state ---
  const TPageList& PageList() const override { return pages_; }
  const std::vector<WizardPage>& Pages() const { return pages_.Pages; }
  int CurrentPage() const { return current_; }
  std::optional<PageKind> CurrentKind() const override;
  const ButtonState& Buttons() const { return buttons_; }
  // "Can go on?": the Next button is there and enabled.
  bool CanGoOn() const { return buttons_.next_visible && buttons_.next_enabled; }
  // What Next does here (it acts on the current page when there is no next one).
  std::optional<NextAction> WhatNextDoes() const;
  const NamedControls& Named() const override { return named_; }
  // The window caption: the setup name, or the short name and text 26 for an uninstaller.
  std::u16string Title() const { return WizardTitle(); }
  const std::string& FolderText() const { return folder_text_; }
  std::optional<ControlRef> ChosenOption() const { return option_; }
  // Whether a radio button shows as checked: the chosen option, or the licence choice.
  bool IsChecked(ControlRef ref) const;
  // Whether "AcceptLicense" is the checked choice of the licence pages.
  bool LicenseAccepted() const;
  // Checks "AcceptLicense" of the current licence page (for --accept-license); answers false
  // when the current page has none.
  bool AcceptLicense();
  bool InstallDirVisited() const { return install_dir_visited_; }
  bool Working() const { return working_; }
  bool Closed() const override { return closed_; }
  bool ClosedOnFinish() const { return closed_on_finish_; }
  // Whether the install or removal run stopped without doing everything.
  bool RunFailed() const { return run_failed_; }
  // Why the folder in the install-folder field cannot be used (FolderProblem, or a host path no
  // drive holds); empty when it can.
  const std::string& FolderProblemText() const { return folder_problem_; }
  // Why the install folder cannot be written, found on arrival at a Patch page; empty if it can.
  const std::string& TargetProblem() const { return target_problem_; }
  // An error raised during the install run; the session has then ended.
  const std::optional<SetupError>& InstallError() const { return install_error_; }
  bool Ended() const { return closed_ || install_error_.has_value(); }

 private:
  void SelectPage(int n);
  void RefreshArrival();
  bool CheckFolder();
  void SetFolderProblem(const std::string& problem);
  void ArriveAtFolderPage();
  void RegisterSinks();
  void ResetCaptions();
  void RunInstall();
  void RunUninstall();
  bool CloseQuery();
  void Close();
  bool CurrentKindIs(PageKind kind) const;
  bool IsLicenseRadio(ControlRef ref) const;
  void NotifyButtons();
  void PageShown();

  std::unique_ptr<RunnerLink> runner_;
  WizardView* view_ = nullptr;
  TPageList pages_;
  NamedControls named_;
  int current_ = 0;
  ButtonState buttons_;
  std::string folder_text_;
  std::string folder_problem_;
  std::string unmapped_host_folder_;  // a typed host path that no drive holds
  std::optional<ControlRef> option_;
  // The licence pages' radio buttons are a group of their own: they never move option_.
  std::optional<ControlRef> license_choice_;
  bool install_dir_visited_ = false;
  bool working_ = false;
  bool install_running_ = false;
  bool closed_ = false;
  bool closed_on_finish_ = false;
  bool run_failed_ = false;
  // Folders the install made above the install folder (deepest first), for the finaliser.
  std::vector<std::string> folders_above_;
  std::string target_problem_;
  std::optional<SetupError> install_error_;
};

}  // namespace setup_session
