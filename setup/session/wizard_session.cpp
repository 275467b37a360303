#include "setup/session/wizard_session.h"

#include "platform/failure.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "platform/text_encoding.h"
#include "setup/core/setup_info.h"
#include "setup/core/setup_state.h"
#include "setup/core/text_services.h"
#include "setup/runtime/startup_modes.h"
#include "setup/session/uninstall.h"
#include "setup/text/languages.h"

namespace setup_session {

NamedControls FindNamedControls(const std::vector<WizardPage>& pages) {
  NamedControls named;
  for (size_t p = 0; p < pages.size(); ++p) {
    const std::vector<LayoutRecord>& controls = pages[p].controls;
    for (size_t i = 0; i < controls.size(); ++i) {
      const ControlRef ref{static_cast<int>(p), static_cast<int>(i)};
      const ControlKind kind = controls[i].kind;
      const bool caption = kind == ControlKind::kLabel || kind == ControlKind::kPanel;
      const std::string name = AsciiLower(controls[i].name);
      if (name == "patching_statuslabel" && caption) {
        named.status_line = ref;
      } else if (name == "patching_progressbar" && kind == ControlKind::kGauge) {
        named.gauge = ref;
      } else if (name == "finishtext" && caption) {
        named.second_status_line = ref;
      } else if (name == "installdir_edit" && kind == ControlKind::kEdit) {
        named.folder_edit = ref;
      } else if (name == "installdir_shelltreeview" && kind == ControlKind::kShellTreeView) {
        named.folder_tree = ref;
      } else if (name == "spaceavalible" && caption) {
        named.space_available = ref;
      }
    }
  }
  return named;
}

std::u16string WizardTitle() {
  const TSetupInfoFile& info = SetupState::Instance().SetupInfo();
  return info.IsUninstaller
             ? platform::Cp1252ToUtf16(info.ShortName) + u" " + GetText(kTextUninstallTitle)
             : platform::Cp1252ToUtf16(info.SetupName);
}

WizardSession::WizardSession(std::unique_ptr<RunnerLink> runner) : runner_(std::move(runner)) {}

WizardSession::~WizardSession() {
  StopRunner();
  SetupState& state = SetupState::Instance();
  state.SetStatusLineSink(nullptr);
  state.SetSecondStatusLineSink(nullptr);
  state.SetGaugeSink(nullptr);
}

void WizardSession::StopRunner() {
  if (runner_) runner_->StopAndJoin();
}

std::optional<PageKind> WizardSession::CurrentKind() const {
  if (current_ < 0 || static_cast<size_t>(current_) >= pages_.Pages.size()) return std::nullopt;
  return pages_.Pages[current_].kind;
}

bool WizardSession::CurrentKindIs(PageKind kind) const {
  std::optional<PageKind> current = CurrentKind();
  return current && *current == kind;
}

std::optional<NextAction> WizardSession::WhatNextDoes() const {
  if (pages_.Pages.empty()) return std::nullopt;
  const size_t target = static_cast<size_t>(current_) + 1 < pages_.Pages.size()
                            ? static_cast<size_t>(current_) + 1
                            : static_cast<size_t>(current_);
  switch (pages_.Pages[target].kind) {
    case PageKind::InstallDir:
      return NextAction::kCheckFolder;
    case PageKind::Patch:
      return NextAction::kCheckSpace;
    case PageKind::Patching:
      return NextAction::kInstall;
    case PageKind::Uninstall:
      return NextAction::kRemove;
    case PageKind::Finish:
      return NextAction::kClose;
    default:
      return NextAction::kShowPage;
  }
}

void WizardSession::LoadPages() {
  pages_.LoadPages("Pages.txt");
  named_ = FindNamedControls(pages_.Pages);
  // The radio buttons of all pages but the licence pages form one group: the last one checked
  // holds the choice.
  for (size_t p = 0; p < pages_.Pages.size(); ++p) {
    const std::vector<LayoutRecord>& controls = pages_.Pages[p].controls;
    for (size_t i = 0; i < controls.size(); ++i) {
      if (controls[i].kind == ControlKind::kRadio && controls[i].checked) {
        const ControlRef ref{static_cast<int>(p), static_cast<int>(i)};
        (pages_.Pages[p].kind == PageKind::License ? license_choice_ : option_) = ref;
      }
    }
  }
}

bool WizardSession::IsLicenseRadio(ControlRef ref) const {
  if (ref.page < 0 || static_cast<size_t>(ref.page) >= pages_.Pages.size()) return false;
  const WizardPage& page = pages_.Pages[ref.page];
  return page.kind == PageKind::License && ref.index >= 0 &&
         static_cast<size_t>(ref.index) < page.controls.size() &&
         page.controls[ref.index].kind == ControlKind::kRadio;
}

bool WizardSession::IsChecked(ControlRef ref) const {
  const std::optional<ControlRef>& checked = IsLicenseRadio(ref) ? license_choice_ : option_;
  return checked && checked->page == ref.page && checked->index == ref.index;
}

bool WizardSession::LicenseAccepted() const {
  return license_choice_ &&
         AsciiLower(pages_.Pages[license_choice_->page].controls[license_choice_->index].name) ==
             "acceptlicense";
}

bool WizardSession::AcceptLicense() {
  if (!CurrentKindIs(PageKind::License)) return false;
  const std::vector<LayoutRecord>& controls = pages_.Pages[current_].controls;
  for (size_t i = 0; i < controls.size(); ++i) {
    if (controls[i].kind == ControlKind::kRadio &&
        AsciiLower(controls[i].name) == "acceptlicense") {
      ChooseOption(ControlRef{current_, static_cast<int>(i)});
      return true;
    }
  }
  return false;
}

void WizardSession::RegisterSinks() {
  SetupState& state = SetupState::Instance();
  state.SetStatusLineSink(named_.status_line && view_ ? view_->StatusLineSink() : nullptr);
  state.SetSecondStatusLineSink(named_.second_status_line && view_ ? view_->SecondStatusLineSink()
                                                                   : nullptr);
  state.SetGaugeSink(named_.gauge && view_ ? view_->GaugeSink() : nullptr);
}

void WizardSession::Prepare() {
  RegisterSinks();
  TSetupInfoFile& info = SetupState::Instance().SetupInfo();
  info.InstallDir = ExpandFilePath(info.InstallDir);
  // A host path (`installdir /opt/tally`, or a variable holding one) names the folder through
  // the drive that holds it on this machine.
  if (IsHostFolderText(info.InstallDir)) {
    const std::string windows = WindowsFolderOf(platform::Cp1252ToUtf8(info.InstallDir));
    if (!windows.empty()) info.InstallDir = IncludeTrailingBackslash(windows);
  }
  // The folder may have begun with a variable; now that it is expanded the free space can be
  // known even when no install-folder page ever asks for it.
  UpdateSpaceAvailable(info.InstallDir);
  if (named_.folder_edit) {
    folder_text_ = info.InstallDir;
    if (view_) view_->FolderTextSet(folder_text_);
  }
}

void WizardSession::ResetCaptions() {
  buttons_.back_caption = GetText(kTextBack);
  buttons_.next_caption = GetText(kTextNext);
  buttons_.cancel_caption = GetText(kTextCancel);
  const TLanguages& languages = Languages();
  if (languages.Current >= 0 && static_cast<size_t>(languages.Current) < languages.Items.size()) {
    buttons_.language_caption = languages.Items[languages.Current]->Name;
  }
}

void WizardSession::ShowFirstPage() {
  ResetCaptions();
  if (Languages().Items.size() < 2) buttons_.language_visible = false;
  NotifyButtons();
  // Page 0 is shown with its kind's rules, now that the kinds are known.
  SelectPage(0);
  RefreshArrival();
  PageShown();
}

void WizardSession::Start() {
  LoadPages();
  Prepare();
  ShowFirstPage();
}

void WizardSession::NotifyButtons() {
  if (view_) view_->ButtonsChanged(buttons_);
}

void WizardSession::PageShown() {
  if (view_) view_->PageShown(current_);
}

void WizardSession::SelectPage(int n) {
  if (n < 0 || static_cast<size_t>(n) >= pages_.Pages.size()) return;
  current_ = n;
  buttons_.back_visible = n != 0;
  buttons_.next_enabled = true;
  buttons_.cancel_enabled = true;
  buttons_.next_caption = GetText(kTextNext);
  // Nothing here shows the Next or the language button again once a page has hidden them.
  switch (pages_.Pages[n].kind) {
    case PageKind::Patch:
      buttons_.next_caption = GetText(kTextStart);
      break;
    case PageKind::Patching:
    case PageKind::Uninstall:
      buttons_.back_visible = false;
      buttons_.next_enabled = false;
      buttons_.cancel_enabled = false;
      buttons_.language_visible = false;
      break;
    case PageKind::Finish:
      buttons_.cancel_caption = GetText(kTextFinish);
      buttons_.back_visible = false;
      buttons_.next_visible = false;
      break;
    case PageKind::License:
      buttons_.next_enabled = LicenseAccepted();
      break;
    default:
      break;
  }
  if (view_) view_->PageSelected(n);
  NotifyButtons();
}

void WizardSession::ChooseLanguage(int index) {
  TLanguages& languages = Languages();
  if (index < 0 || static_cast<size_t>(index) >= languages.Items.size()) return;
  languages.Current = index;
  ResetCaptions();
  SelectPage(current_);
  if (view_) view_->LanguageChanged();
  NotifyButtons();
  // Selecting the page again enabled Next: the page's arrival checks run again so that a switch
  // never lets past a full disk or an unusable drive.
  RefreshArrival();
  PageShown();
}

void WizardSession::ChooseOption(ControlRef option) {
  if (option.page < 0 || static_cast<size_t>(option.page) >= pages_.Pages.size()) return;
  const std::vector<LayoutRecord>& controls = pages_.Pages[option.page].controls;
  if (option.index < 0 || static_cast<size_t>(option.index) >= controls.size()) return;
  if (controls[option.index].kind != ControlKind::kRadio) return;
  if (!IsLicenseRadio(option)) {
    option_ = option;
    return;
  }
  license_choice_ = option;
  if (CurrentKindIs(PageKind::License) && buttons_.next_enabled != LicenseAccepted()) {
    buttons_.next_enabled = LicenseAccepted();
    NotifyButtons();
  }
}

void WizardSession::RefreshArrival() {
  if (CurrentKindIs(PageKind::InstallDir)) {
    install_dir_visited_ = true;
    CheckFolder();
  } else if (CurrentKindIs(PageKind::Patch)) {
    SetupState& state = SetupState::Instance();
    // A folder that cannot be written is named as such, whatever the free space says.
    target_problem_.clear();
    const TSetupInfoFile& info = state.SetupInfo();
    if (!info.IsUninstaller) {
      if (const int problem = platform::FolderWriteProblem(info.InstallDir); problem != 0) {
        target_problem_ = "Cannot install into " + PlaceName(info.InstallDir) + ": " +
                          platform::ErrorText(problem);
      }
    }
    if (!target_problem_.empty() || state.space_available < state.space_required) {
      buttons_.next_enabled = false;
      NotifyButtons();
    }
    if (named_.space_available && view_) view_->SpaceTextChanged(DisplayText(u"<LANG7>"));
  }
}

void WizardSession::Back() {
  SelectPage(current_ - 1);
  if (CurrentKindIs(PageKind::InstallDir)) install_dir_visited_ = true;
  PageShown();
}

void WizardSession::ArriveAtFolderPage() {
  if (!install_dir_visited_) {
    install_dir_visited_ = true;
    if (named_.folder_edit) {
      folder_text_ = SetupState::Instance().SetupInfo().InstallDir;
      if (view_) view_->FolderTextSet(folder_text_);
    }
  }
  CheckFolder();
  PageShown();
}

void WizardSession::Next() {
  SelectPage(current_ + 1);
  std::optional<PageKind> kind = CurrentKind();
  if (!kind) return;
  switch (*kind) {
    case PageKind::InstallDir:
      ArriveAtFolderPage();
      break;
    case PageKind::Patch:
      RefreshArrival();
      PageShown();
      if (!target_problem_.empty() && !SetupState::Instance().Unattended()) {
        platform::MessageBox(target_problem_, "Setup Error",
                             platform::kMbOk | platform::kMbIconError);
      }
      break;
    case PageKind::Patching:
      RunInstall();
      break;
    case PageKind::Finish:
      PageShown();
      Close();
      break;
    case PageKind::Uninstall:
      RunUninstall();
      break;
    default:
      PageShown();
      break;
  }
}

namespace {

// "Are you sure you want to quit?": No is the default, so an Enter meant for the page that
// reaches the question does not end the wizard.
int AskQuitQuestion() {
  return platform::MessageBoxWide(
      GetText(kTextQuitQuestion), GetText(kTextQuitCaption),
      platform::kMbYesNo | platform::kMbIconQuestion | platform::kMbDefButton2);
}

}  // namespace

bool WizardSession::CloseQuery() {
  SetupState& state = SetupState::Instance();
  // A cancel the user already confirmed (or a signal) closes without asking again.
  if (state.CancelRequested() && !working_) return true;
  if (working_) {
    // A script run can be stopped (and is then undone); the removal run cannot be.
    if (install_running_ && !state.CancelRequested()) {
      if (AskQuitQuestion() == platform::kIdYes) state.RequestCancel();
    }
    return false;
  }
  if (!CurrentKindIs(PageKind::Finish)) {
    if (AskQuitQuestion() == platform::kIdNo) return false;
  }
  return true;
}

bool WizardSession::RequestClose() {
  if (closed_) return true;
  if (!CloseQuery()) return false;
  closed_on_finish_ = CurrentKindIs(PageKind::Finish);
  StopRunner();
  // The finaliser deletes the uninstaller: only after a removal that left nothing behind.
  if (closed_on_finish_ && SetupState::Instance().SetupInfo().IsUninstaller && !run_failed_) {
    StartFinaliser(folders_above_);
  }
  closed_ = true;
  if (view_) view_->SessionEnded();
  return true;
}

void WizardSession::Close() { RequestClose(); }

}  // namespace setup_session
