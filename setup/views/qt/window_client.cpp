#include "setup/views/qt/window_client.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <cstdio>

#include "setup/controls/grad_gauge.h"
#include "setup/core/setup_error.h"
#include "setup/core/setup_info.h"
#include "setup/core/setup_state.h"
#include "setup/text/languages.h"
#include "setup/views/qt/main_form.h"
#include "setup/views/qt/progress_sinks.h"
#include "setup/views/qt/qt_presenter.h"
#include "setup/views/qt/verify_form.h"

namespace setup_wizard {

namespace {

using setup_session::MakeViewRecord;
using setup_session::ViewRecord;
using setup_session::ViewRecordType;

// Drops a window's repaints (queued and immediate ones alike); rendering the window on demand,
// as a screenshot does, still paints it.
class DropRepaints : public QObject {
 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::UpdateRequest || event->type() == QEvent::UpdateLater) {
      return true;
    }
    return QObject::eventFilter(watched, event);
  }
};

void UpdateParentOf(QWidget* widget) {
  if (QWidget* parent = widget->parentWidget()) parent->update();
}

}  // namespace

WindowClient::WindowClient(platform::Channel channel, const WindowClientOptions& options)
    : channel_(std::move(channel)),
      options_(options),
      presenter_(std::make_unique<QtMessageBoxPresenter>()) {
  notifier_ = std::make_unique<QSocketNotifier>(channel_.Descriptor(), QSocketNotifier::Read);
  connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { Readable(); });
}

WindowClient::~WindowClient() {
  window_.reset();
  verify_.reset();
}

bool WindowClient::SendReady() {
  return channel_.SendAll(setup_session::EncodeViewRecord(
      MakeViewRecord(ViewRecordType::kReady, {setup_session::kViewProtocolRevision})));
}

void WindowClient::Send(const ViewRecord& record) {
  // A runtime that has gone is noticed by the reading side, which ends the program.
  channel_.SendAll(setup_session::EncodeViewRecord(record));
}

void WindowClient::Readable() {
  std::string bytes;
  const platform::Channel::ReadStatus status = channel_.Read(bytes, 0);
  if (status == platform::Channel::ReadStatus::kTimedOut) return;
  if (status == platform::Channel::ReadStatus::kEnded) {
    Finish();
    return;
  }
  reader_.Append(bytes);
  // A message box shown while a record is handled runs an event loop that comes back here; the
  // records stay in order because each is taken from the reader before it is handled.
  while (std::optional<ViewRecord> record = reader_.Next()) Dispatch(*record);
  if (reader_.Damaged()) {
    std::fprintf(stderr, "setup-window: damaged records from the runtime\n");
    Finish();
  }
}

void WindowClient::Finish() {
  if (ended_) return;
  ended_ = true;
  notifier_->setEnabled(false);
  QApplication::quit();
}

std::optional<setup_session::PageKind> WindowClient::CurrentKind() const {
  if (current_ < 0 || static_cast<size_t>(current_) >= pages_.Pages.size()) return std::nullopt;
  return pages_.Pages[current_].kind;
}

void WindowClient::Next() { Send(MakeViewRecord(ViewRecordType::kNext)); }
void WindowClient::Back() { Send(MakeViewRecord(ViewRecordType::kBack)); }
void WindowClient::ChooseLanguage(int index) {
  Send(MakeViewRecord(ViewRecordType::kChooseLanguage, {index}));
}
bool WindowClient::EditFolder(const std::string& text) {
  ViewRecord record = MakeViewRecord(ViewRecordType::kEditFolder);
  record.bytes = {text};
  Send(record);
  return true;
}
void WindowClient::ChooseOption(setup_session::ControlRef option) {
  Send(MakeViewRecord(ViewRecordType::kChooseOption, {option.page, option.index}));
}
bool WindowClient::RequestClose() {
  Send(MakeViewRecord(ViewRecordType::kRequestClose));
  return false;  // the window closes when the session says it has ended
}

void WindowClient::Dispatch(const ViewRecord& record) {
  SetupState& state = SetupState::Instance();
  switch (record.type) {
    case ViewRecordType::kVerifyStatus:
      if (!verify_) {
        verify_ = std::make_unique<TFrmVerify>();
        verify_->ShowNow();
      }
      verify_->SetStatus(record.Bytes(0), record.Number(0), record.Number(1));
      return;
    case ViewRecordType::kVerifyEnded:
      verify_.reset();
      return;
    case ViewRecordType::kShowMessage:
      ShowMessage(record);
      return;
    case ViewRecordType::kFigures:
      state.space_required_text = record.Bytes(0);
      state.space_available_text = record.Bytes(1);
      return;
    case ViewRecordType::kPagesUp:
      PagesUp(record);
      return;
    case ViewRecordType::kSessionEnded:
      session_ended_ = true;
      if (window_) window_->SessionEnded();
      return;
    default:
      break;
  }
  if (!window_) return;  // nothing else means anything before the pages are up
  switch (record.type) {
    case ViewRecordType::kPageSelected:
      current_ = record.Number(0);
      window_->PageSelected(current_);
      break;
    case ViewRecordType::kButtonsChanged: {
      setup_session::ButtonState buttons;
      buttons.back_visible = record.Number(0) != 0;
      buttons.next_visible = record.Number(1) != 0;
      buttons.next_enabled = record.Number(2) != 0;
      buttons.cancel_enabled = record.Number(3) != 0;
      buttons.language_visible = record.Number(4) != 0;
      buttons.back_caption = record.Text(0);
      buttons.next_caption = record.Text(1);
      buttons.cancel_caption = record.Text(2);
      buttons.language_caption = record.Text(3);
      window_->ButtonsChanged(buttons);
      break;
    }
    case ViewRecordType::kLanguageChanged: {
      const int index = record.Number(0);
      if (index >= 0 && static_cast<size_t>(index) < Languages().Items.size()) {
        Languages().Current = index;
      }
      window_->LanguageChanged();
      break;
    }
    case ViewRecordType::kFolderTextSet:
      window_->FolderTextSet(record.Bytes(0));
      break;
    case ViewRecordType::kFolderChecked:
      window_->FolderChecked(record.Bytes(0));
      break;
    case ViewRecordType::kFolderProblem:
      window_->FolderProblemChanged(record.Bytes(0));
      break;
    case ViewRecordType::kSpaceTextChanged:
      window_->SpaceTextChanged(record.Text(0));
      break;
    case ViewRecordType::kPageShown:
      SaveScreenshot(record.Number(0));
      if (record.Number(1) != 0)
        Send(MakeViewRecord(ViewRecordType::kAnswer, {record.Number(1), 0}));
      break;
    case ViewRecordType::kRunStarted:
      window_->RunStarted(record.Text(0), record.Number(0));
      break;
    default:
      Progress(record);
      break;
  }
}

void WindowClient::PagesUp(const ViewRecord& record) {
  if (window_) return;  // once per run
  SetupState& state = SetupState::Instance();
  const std::string& setup_record = record.Bytes(0);
  state.SetupInfo().ReadFromBuffer(setup_record.data(), setup_record.size());
  const int language = record.Number(0);
  if (language >= 0 && static_cast<size_t>(language) < Languages().Items.size()) {
    Languages().Current = language;
  }
  try {
    pages_.LoadPages("Pages.txt");
  } catch (const SetupError& error) {
    // The runtime read the same pages without this error before it sent them.
    std::fprintf(stderr, "setup-window: %s\n", error.what());
    return;
  }
  named_ = setup_session::FindNamedControls(pages_.Pages);
  window_ = std::make_unique<TFrmMain>(*this);
  window_->BuildPages();
  if (record.Number(1) != 0) window_->FolderTextSet(record.Bytes(1));
  window_->ConnectFolderControls();
  if (options_.offscreen) {
    // Driven as if shown (its pages, buttons and checks all behave as on screen) but never
    // painted: nobody sees it. A screenshot still renders the page on demand.
    repaint_filter_ = std::make_unique<DropRepaints>();
    window_->setAttribute(Qt::WA_DontShowOnScreen);
    window_->installEventFilter(repaint_filter_.get());
  }
  window_->show();
}

void WindowClient::ShowMessage(const ViewRecord& record) {
  const int answer =
      presenter_->ShowWide(record.Text(0), record.Text(1), static_cast<uint32_t>(record.Number(1)));
  Send(MakeViewRecord(ViewRecordType::kAnswer, {record.Number(0), answer}));
}

void WindowClient::Progress(const ViewRecord& record) {
  const bool repaint = record.Number(1) != 0;
  if (record.type == ViewRecordType::kStatusText) {
    QLabel* label = record.Number(0) == 0 ? window_->StatusLabel() : window_->FinishTextLabel();
    if (!label) return;
    SetLabelCaption(label, record.Text(0));
    if (repaint) UpdateParentOf(label);
    return;
  }
  setup_controls::TGradGauge* gauge = window_->ProgressGauge();
  if (!gauge) return;
  if (record.type == ViewRecordType::kGaugeMax) {
    gauge->SetMax(record.Number(0));
  } else if (record.type == ViewRecordType::kGaugePosition && repaint) {
    gauge->SetProgress(record.Number(0));  // a position is shown only when asked to
  }
}

void WindowClient::SaveScreenshot(int page) {
  if (options_.screenshot_dir.empty()) return;
  if (page < 0 || static_cast<size_t>(page) >= pages_.Pages.size()) return;
  QDir().mkpath(QString::fromStdString(options_.screenshot_dir));
  char name[64];
  std::snprintf(name, sizeof name, "%02d-%s.png", ++shots_,
                setup_session::PageKindName(pages_.Pages[page].kind));
  window_->grab().save(QString::fromStdString(options_.screenshot_dir) + "/" + name);
}

}  // namespace setup_wizard
