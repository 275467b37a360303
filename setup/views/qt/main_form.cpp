#include "setup/views/qt/main_form.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
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
#include "setup/session/uninstall.h"
#include "setup/text/languages.h"
#include "setup/views/qt/debug_form.h"
#include "setup/views/qt/progress_sinks.h"

namespace setup_wizard {

using setup_session::StartFinaliser;

namespace {

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

TFrmMain::TFrmMain(setup_session::SessionPort& port) : QWidget(nullptr), port_(port) {
  CreateControls();
}

void TFrmMain::CreateControls() {
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
  // Why the typed folder cannot be used, in the free part of the button bar.
  folder_problem_label_ = new QLabel(this);
  folder_problem_label_->setObjectName("FolderProblemLabel");
  folder_problem_label_->setGeometry(104, 378, 236, 34);
  folder_problem_label_->setWordWrap(true);
  folder_problem_label_->hide();
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

  pages_ = std::make_unique<TSEPageControl>(panel1_);

  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
}

// The own session (if any) goes before the pages' widgets: its destructor stops the runner.
TFrmMain::~TFrmMain() = default;

QWidget* TFrmMain::Widget(const std::optional<setup_session::ControlRef>& ref) const {
  if (!ref || ref->page < 0 || static_cast<size_t>(ref->page) >= pages_->Pages.size()) {
    return nullptr;
  }
  const std::vector<QWidget*>& controls = pages_->Pages[ref->page]->Controls;
  if (ref->index < 0 || static_cast<size_t>(ref->index) >= controls.size()) return nullptr;
  return controls[ref->index];
}

void TFrmMain::FindNamedControls() {
  const setup_session::NamedControls& named = port_.Named();
  status_label_ = qobject_cast<QLabel*>(Widget(named.status_line));
  progress_gauge_ = qobject_cast<setup_controls::TGradGauge*>(Widget(named.gauge));
  finish_text_label_ = qobject_cast<QLabel*>(Widget(named.second_status_line));
  install_dir_edit_ = qobject_cast<QLineEdit*>(Widget(named.folder_edit));
  folder_tree_ = qobject_cast<setup_controls::TSE_ShellTreeView*>(Widget(named.folder_tree));
  space_available_label_ = qobject_cast<QLabel*>(Widget(named.space_available));
}

void TFrmMain::BuildPages() {
  setWindowTitle(QString::fromStdU16String(setup_session::WizardTitle()));
  pages_->Build(port_.PageList().Pages);
  QPalette panel_palette = panel1_->palette();
  panel_palette.setColor(QPalette::Window, setup_controls::ColourFromBgr(port_.PageList().Colour));
  panel1_->setPalette(panel_palette);
  FindNamedControls();
  // A radio button checked by the user becomes the session's choice.
  for (size_t p = 0; p < pages_->Pages.size(); ++p) {
    const std::vector<QWidget*>& controls = pages_->Pages[p]->Controls;
    for (size_t i = 0; i < controls.size(); ++i) {
      if (auto* radio = qobject_cast<QRadioButton*>(controls[i])) {
        const setup_session::ControlRef ref{static_cast<int>(p), static_cast<int>(i)};
        connect(radio, &QRadioButton::toggled, this, [this, ref](bool checked) {
          if (checked) port_.ChooseOption(ref);
        });
      }
    }
  }
}

void TFrmMain::ConnectFolderControls() {
  if (folder_tree_) {
    connect(folder_tree_, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem*, QTreeWidgetItem*) { ShellTreeViewChange(); });
    const bool was_visible = folder_tree_->isVisible();
    folder_tree_->setVisible(true);
    SyncTreeToPath(SetupState::Instance().SetupInfo().InstallDir, false);
    folder_tree_->setVisible(was_visible);
  }
  if (install_dir_edit_) {
    connect(install_dir_edit_, &QLineEdit::textChanged, this,
            [this](const QString&) { InstallDirEditChange(); });
  }
  SetupLanguages();
}

std::shared_ptr<ProgressTextSink> TFrmMain::StatusLineSink() {
  if (!status_label_) return nullptr;
  return std::make_shared<QtLabelSink>(status_label_.data(), SetupState::Instance().Unattended());
}

std::shared_ptr<ProgressTextSink> TFrmMain::SecondStatusLineSink() {
  if (!finish_text_label_) return nullptr;
  return std::make_shared<QtLabelSink>(finish_text_label_.data(),
                                       SetupState::Instance().Unattended());
}

std::shared_ptr<ProgressGaugeSink> TFrmMain::GaugeSink() {
  if (!progress_gauge_) return nullptr;
  return std::make_shared<QtGaugeSink>(progress_gauge_.data());
}

void TFrmMain::PageSelected(int page) { pages_->ShowPage(page); }

void TFrmMain::ButtonsChanged(const setup_session::ButtonState& buttons) {
  back_button_->setVisible(buttons.back_visible);
  next_button_->setVisible(buttons.next_visible);
  next_button_->setEnabled(buttons.next_enabled);
  cancel_button_->setEnabled(buttons.cancel_enabled);
  language_button_->setVisible(buttons.language_visible);
  back_button_->setText(QString::fromStdU16String(buttons.back_caption));
  next_button_->setText(QString::fromStdU16String(buttons.next_caption));
  cancel_button_->setText(QString::fromStdU16String(buttons.cancel_caption));
  language_button_->setText(QString::fromStdU16String(buttons.language_caption));
  ShowFolderProblem();
}

void TFrmMain::FolderProblemChanged(const std::string& problem) {
  folder_problem_label_->setText(QString::fromStdU16String(platform::Cp1252ToUtf16(problem)));
  ShowFolderProblem();
}

void TFrmMain::ShowFolderProblem() {
  folder_problem_label_->setVisible(!folder_problem_label_->text().isEmpty() &&
                                    port_.CurrentKind() == PageKind::InstallDir);
}

void TFrmMain::LanguageChanged() {
  SetupCheckedLanguage();
  pages_->RetranslateAll();
}

void TFrmMain::FolderTextSet(const std::string& text) {
  if (!install_dir_edit_) return;
  // Once the edit is connected this runs its change handler, as typing does: the tree follows
  // the text once for it and once more for the session's arrival check, as it always has.
  install_dir_edit_->setText(QString::fromStdU16String(platform::Cp1252ToUtf16(text)));
}

void TFrmMain::SpaceTextChanged(const std::u16string& text) {
  if (space_available_label_) {
    space_available_label_->setText(QString::fromStdU16String(text).replace('\r', '\n'));
  }
}

void TFrmMain::PageShown(int page) {
  if (on_page_shown) on_page_shown(page);
}

void TFrmMain::RunStarted(const std::u16string& status, int total) {
  if (status_label_) SetLabelCaption(status_label_, status);
  if (progress_gauge_) {
    progress_gauge_->SetProgress(0);
    progress_gauge_->SetMax(total);
  }
}

void TFrmMain::KeepAlive() { QApplication::processEvents(); }

void TFrmMain::SessionEnded() {
  if (session_ && session_->InstallError()) {
    // The program's main reports it once the event loop has ended.
    QApplication::exit(session_->InstallError()->ExitCode());
    return;
  }
  if (!in_close_event_) close();
}

void TFrmMain::SetupLanguages() {
  TLanguages& languages = Languages();
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

void TFrmMain::CancelButtonClick() { close(); }

void TFrmMain::Button2Click() {
  if (!debug_form_) debug_form_ = std::make_unique<TFrmDebug>();
  debug_form_->FillDump();
  debug_form_->exec();
}

void TFrmMain::keyPressEvent(QKeyEvent* event) {
  if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter) {
    QWidget::keyPressEvent(event);
    return;
  }
  QPushButton* target = qobject_cast<QPushButton*>(focusWidget());
  if (target == nullptr || !target->isVisible()) {
    target = next_button_->isVisible() ? next_button_ : cancel_button_;
  }
  if (target->isEnabled()) target->click();
  event->accept();
}

void TFrmMain::closeEvent(QCloseEvent* event) {
  if (port_.Closed()) {
    event->accept();
    return;
  }
  in_close_event_ = true;
  const bool closed = port_.RequestClose();
  in_close_event_ = false;
  event->setAccepted(closed);
}

}  // namespace setup_wizard
