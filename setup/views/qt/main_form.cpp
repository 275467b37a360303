#include "setup/views/qt/main_form.h"

#include <QApplication>
#include <QCloseEvent>
#include <QPainter>
#include <QRadioButton>
#include <QScreen>

#include "platform/failure.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "platform/text_encoding.h"
#include "setup/controls/colour.h"
#include "setup/controls/grad_gauge.h"
#include "setup/controls/shell_tree_view.h"
#include "setup/core/setup_info.h"
#include "setup/core/setup_state.h"
#include "setup/core/text_services.h"
#include "setup/runtime/startup_modes.h"
#include "setup/text/languages.h"
#include "setup/views/qt/debug_form.h"
#include "setup/views/qt/progress_sinks.h"
#include "setup/session/uninstall.h"

namespace setup_wizard {

using setup_session::StartFinaliser;

namespace {

QString Text(int number) { return QString::fromStdU16String(GetText(number)); }

// The 9 x 6 black triangle that points down, right of the language button's caption.
QIcon DropDownIcon() {
  QImage image(9, 6, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  for (int row = 0; row < 5; ++row) {
    for (int x = row; x < 9 - row; ++x) image.setPixel(x, row, qRgb(0, 0, 0));
  }
  return QIcon(QPixmap::fromImage(image));
}

QPushButton* MakeButton(QWidget* parent, const char* name, int x, int y, int w, int h) {
  auto* button = new QPushButton(parent);
  button->setObjectName(name);
  button->setGeometry(x, y, w, h);
  button->setAutoDefault(false);
  return button;
}

}  // namespace

TFrmMain::TFrmMain(std::unique_ptr<RunnerLink> runner) : QWidget(nullptr) {
  setObjectName("FrmMain");
  setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                 Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(578, 413);
  QFont window_font("MS Shell Dlg 2");
  window_font.setPointSize(8);
  window_font.setStyleHint(QFont::SansSerif);
  setFont(window_font);

  panel1_ = new QWidget(this);
  panel1_->setObjectName("Panel1");
  panel1_->setGeometry(0, 0, 578, 375);
  panel1_->setAutoFillBackground(true);
  QPalette panel_palette = panel1_->palette();
  panel_palette.setColor(QPalette::Window, Qt::white);
  panel1_->setPalette(panel_palette);

  bevel2_ = new QFrame(this);
  bevel2_->setObjectName("Bevel2");
  bevel2_->setGeometry(0, 375, 578, 3);
  bevel2_->setFrameStyle(QFrame::HLine | QFrame::Sunken);

  language_button_ = MakeButton(this, "LanguageButton", 8, 384, 89, 25);
  language_button_->setIcon(DropDownIcon());
  language_button_->setIconSize(QSize(9, 6));
  language_button_->setLayoutDirection(Qt::RightToLeft);  // the triangle right of the caption
  button2_ = MakeButton(this, "Button2", 112, 384, 75, 25);
  button2_->setText("Debug");
  button2_->hide();
  back_button_ = MakeButton(this, "BackButton", 344, 384, 73, 25);
  next_button_ = MakeButton(this, "NextButton", 416, 384, 73, 25);
  cancel_button_ = MakeButton(this, "CancelButton", 496, 384, 75, 25);
  language_menu_ = new QMenu(this);
  language_menu_->setObjectName("LanguagePopupMenu");

  setTabOrder(panel1_, button2_);
  setTabOrder(button2_, back_button_);
  setTabOrder(back_button_, next_button_);
  setTabOrder(next_button_, cancel_button_);
  setTabOrder(cancel_button_, language_button_);

  connect(language_button_, &QPushButton::clicked, this, [this] { LanguageButtonClick(); });
  connect(button2_, &QPushButton::clicked, this, [this] { Button2Click(); });
  connect(back_button_, &QPushButton::clicked, this, [this] { BackButtonClick(); });
  connect(next_button_, &QPushButton::clicked, this, [this] { NextButtonClick(); });
  connect(cancel_button_, &QPushButton::clicked, this, [this] { CancelButtonClick(); });

  pages_ = std::make_unique<TSEPageControl>(back_button_, next_button_, cancel_button_,
                                            language_button_, panel1_);
  runner_ = std::move(runner);

  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
}

TFrmMain::~TFrmMain() {
  StopRunner();
  SetupState::Instance().SetStatusLineSink(nullptr);
  SetupState::Instance().SetSecondStatusLineSink(nullptr);
  SetupState::Instance().SetGaugeSink(nullptr);
}

void TFrmMain::StopRunner() {
  if (runner_) runner_->StopAndJoin();
}

bool TFrmMain::CurrentKindIs(PageKind kind) const {
  std::optional<PageKind> current = pages_->CurrentKind();
  return current && *current == kind;
}

void TFrmMain::SelectPage(int n) { pages_->SelectPage(n); }

void TFrmMain::PageShown() {
  if (on_page_shown) on_page_shown(pages_->CurrentPage);
}

void TFrmMain::SetPagesUp() {
  SetupState& state = SetupState::Instance();
  TSetupInfoFile& info = state.SetupInfo();
  std::u16string title = info.IsUninstaller
                             ? platform::Cp1252ToUtf16(info.ShortName) + u" " + GetText(26)
                             : platform::Cp1252ToUtf16(info.SetupName);
  setWindowTitle(" " + QString::fromStdU16String(title));

  pages_->LoadPages("Pages.txt");
  QPalette panel_palette = panel1_->palette();
  panel_palette.setColor(QPalette::Window, setup_controls::ColourFromBgr(pages_->Colour));
  panel1_->setPalette(panel_palette);

  // The controls the rest of the runtime writes into, by name over all pages (a later match
  // replaces an earlier one).
  for (auto& page : pages_->Pages) {
    for (QWidget* control : page->Controls) {
      const QString name = control->objectName().toLower();
      if (name == "patching_statuslabel") {
        if (auto* label = qobject_cast<QLabel*>(control)) status_label_ = label;
      } else if (name == "patching_progressbar") {
        if (auto* gauge = qobject_cast<setup_controls::TGradGauge*>(control)) {
          progress_gauge_ = gauge;
        }
      } else if (name == "finishtext") {
        if (auto* label = qobject_cast<QLabel*>(control)) finish_text_label_ = label;
      } else if (name == "installdir_edit") {
        if (auto* edit = qobject_cast<QLineEdit*>(control)) install_dir_edit_ = edit;
      } else if (name == "installdir_shelltreeview") {
        if (auto* tree = qobject_cast<setup_controls::TSE_ShellTreeView*>(control)) {
          folder_tree_ = tree;
        }
      } else if (name == "spaceavalible") {
        if (auto* label = qobject_cast<QLabel*>(control)) space_available_label_ = label;
      }
    }
  }
  RegisterSinks();

  info.InstallDir = ExpandPath(info.InstallDir);
  // The folder may have begun with a variable; now that it is expanded the free space can be
  // known even when no install-folder page ever asks for it.
  UpdateSpaceAvailable(info.InstallDir);

  if (folder_tree_) {
    connect(folder_tree_, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem*, QTreeWidgetItem*) { ShellTreeViewChange(); });
    const bool was_visible = folder_tree_->isVisible();
    folder_tree_->setVisible(true);
    SyncTreeToPath(info.InstallDir, false);
    folder_tree_->setVisible(was_visible);
  }
  if (install_dir_edit_) {
    install_dir_edit_->setText(QString::fromStdU16String(platform::Cp1252ToUtf16(info.InstallDir)));
    connect(install_dir_edit_, &QLineEdit::textChanged, this,
            [this](const QString&) { InstallDirEditChange(); });
  }
  back_button_->setText(Text(12));
  next_button_->setText(Text(13));
  cancel_button_->setText(Text(14));
  SetupLanguages();
  // Page 0 was selected before the kinds were known; apply its rules now that they are.
  SelectPage(0);
  RefreshArrival();
  PageShown();
}

void TFrmMain::RegisterSinks() {
  SetupState& state = SetupState::Instance();
  const bool echo = state.Unattended();
  state.SetStatusLineSink(status_label_ ? std::make_shared<QtLabelSink>(status_label_.data(), echo)
                                        : nullptr);
  state.SetSecondStatusLineSink(finish_text_label_
                                    ? std::make_shared<QtLabelSink>(finish_text_label_.data(), echo)
                                    : nullptr);
  state.SetGaugeSink(progress_gauge_ ? std::make_shared<QtGaugeSink>(progress_gauge_.data())
                                     : nullptr);
}

void TFrmMain::SetupLanguages() {
  TLanguages& languages = Languages();
  if (languages.Current >= 0 && static_cast<size_t>(languages.Current) < languages.Items.size()) {
    language_button_->setText(QString::fromStdU16String(languages.Items[languages.Current]->Name));
  }
  if (languages.Items.size() < 2) language_button_->hide();
  language_menu_->clear();
  for (size_t i = 0; i < languages.Items.size(); ++i) {
    QAction* item = language_menu_->addAction(QString::fromStdU16String(languages.Items[i]->Name));
    item->setCheckable(true);
    item->setData(static_cast<int>(i));
    item->setChecked(static_cast<int>(i) == languages.Current);
    connect(item, &QAction::triggered, this, [this, i] { LanguageChosen(static_cast<int>(i)); });
  }
}

void TFrmMain::SetupCheckedLanguage() {
  for (QAction* item : language_menu_->actions()) {
    item->setChecked(item->data().toInt() == Languages().Current);
  }
}

void TFrmMain::LanguageButtonClick() {
  // The lower-left corner of the language button, in screen coordinates.
  language_menu_->popup(language_button_->mapToGlobal(QPoint(0, language_button_->height())));
}

void TFrmMain::LanguageChosen(int tag) {
  TLanguages& languages = Languages();
  if (tag < 0 || static_cast<size_t>(tag) >= languages.Items.size()) return;
  languages.Current = tag;
  language_button_->setText(QString::fromStdU16String(languages.Items[tag]->Name));
  SetupCheckedLanguage();
  back_button_->setText(Text(12));
  next_button_->setText(Text(13));
  cancel_button_->setText(Text(14));
  SelectPage(pages_->CurrentPage);
  pages_->RetranslateAll();
  // Selecting the page again re-enabled Next: run the page's arrival checks again so a switch
  // never lets past a full disk or an unusable drive.
  RefreshArrival();
  PageShown();
}

void TFrmMain::RefreshArrival() {
  if (CurrentKindIs(PageKind::InstallDir)) {
    install_dir_visited_ = true;
    InstallDirEditChange();
  } else if (CurrentKindIs(PageKind::Patch)) {
    SetupState& state = SetupState::Instance();
    // A folder that cannot be written is named as such, whatever the free space says.
    target_problem_.clear();
    const TSetupInfoFile& info = state.SetupInfo();
    if (!info.IsUninstaller) {
      if (const int problem = platform::FolderWriteProblem(info.InstallDir); problem != 0) {
        target_problem_ =
            "Cannot install into " + info.InstallDir + ": " + platform::ErrorText(problem);
      }
    }
    if (!target_problem_.empty() || state.space_available < state.space_required) {
      next_button_->setEnabled(false);
    }
    if (space_available_label_) {
      space_available_label_->setText(
          QString::fromStdU16String(DisplayText(u"<LANG7>")).replace('\r', '\n'));
    }
  }
}

void TFrmMain::BackButtonClick() {
  SelectPage(pages_->CurrentPage - 1);
  if (CurrentKindIs(PageKind::InstallDir)) install_dir_visited_ = true;
  PageShown();
}

void TFrmMain::NextButtonClick() {
  SelectPage(pages_->CurrentPage + 1);
  std::optional<PageKind> kind = pages_->CurrentKind();
  if (!kind) return;
  switch (*kind) {
    case PageKind::InstallDir:
      if (!install_dir_visited_) {
        install_dir_visited_ = true;
        if (install_dir_edit_) {
          install_dir_edit_->setText(QString::fromStdU16String(
              platform::Cp1252ToUtf16(SetupState::Instance().SetupInfo().InstallDir)));
        }
      }
      InstallDirEditChange();
      PageShown();
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
      close();
      break;
    case PageKind::Uninstall:
      RunUninstall();
      break;
    default:
      PageShown();
      break;
  }
}

void TFrmMain::CancelButtonClick() { close(); }

void TFrmMain::Button2Click() {
  if (!debug_form_) debug_form_ = std::make_unique<TFrmDebug>();
  debug_form_->FillDump();
  debug_form_->exec();
}

void TFrmMain::SetWorkingState(bool working) { working_ = working; }

bool TFrmMain::FormCloseQuery() {
  SetupState& state = SetupState::Instance();
  // A cancel the user already confirmed (or a signal) closes without asking again.
  if (state.CancelRequested() && !working_) return true;
  if (working_) {
    // A script run can be stopped (and is then undone); the removal run cannot be.
    if (install_running_ && !state.CancelRequested()) {
      const int answer =
          platform::MessageBoxWide(GetText(kTextQuitQuestion), GetText(kTextQuitCaption),
                                   platform::kMbYesNo | platform::kMbIconQuestion);
      if (answer == platform::kIdYes) state.RequestCancel();
    }
    return false;
  }
  if (!CurrentKindIs(PageKind::Finish)) {
    int answer = platform::MessageBoxWide(GetText(27), GetText(28),
                                          platform::kMbYesNo | platform::kMbIconQuestion);
    if (answer == platform::kIdNo) return false;
  }
  return true;
}

void TFrmMain::FormClose() {
  StopRunner();
  // The finaliser deletes the uninstaller: only after a removal that left nothing behind.
  SetupState& state = SetupState::Instance();
  if (CurrentKindIs(PageKind::Finish) && state.SetupInfo().IsUninstaller && !run_failed_) {
    StartFinaliser();
  }
}

void TFrmMain::closeEvent(QCloseEvent* event) {
  if (closed_) {
    event->accept();
    return;
  }
  if (!FormCloseQuery()) {
    event->ignore();
    return;
  }
  closed_on_finish_ = CurrentKindIs(PageKind::Finish);
  FormClose();
  closed_ = true;
  event->accept();
}

}  // namespace setup_wizard
