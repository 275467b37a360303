#include "setup/views/remote/remote_front_end.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/message_box.h"
#include "platform/text_encoding.h"
#include "setup/core/run_log.h"
#include "setup/core/setup_info.h"
#include "setup/core/setup_state.h"
#include "setup/session/default_driver.h"
#include "setup/session/status_echo.h"
#include "setup/session/wizard_session.h"
#include "setup/text/languages.h"
#include "setup/views/remote/window_program.h"

namespace setup_remote {

namespace {

using setup_session::MakeViewRecord;

// How long newest progress values wait to be sent with the ones that follow them.
constexpr auto kProgressCoalesce = std::chrono::milliseconds(2);
// How long the session's thread waits for an action before it looks at the signals again.
constexpr int kActionWaitMs = 20;

// Every record the view sends goes through here, in order. The status lines the runner sets for
// every file are kept as their newest texts and sent by a thread of its own a moment later (or
// at once when a repaint is asked for, and always before any other record), so a fast run never
// waits for the window.
class Outbox {
 public:
  explicit Outbox(std::shared_ptr<WindowLink> link) : link_(std::move(link)) {
    flusher_ = std::thread([this] { FlushLoop(); });
  }
  ~Outbox() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_all();
    flusher_.join();
    Flush();
  }

  void Send(const ViewRecord& record) {
    std::lock_guard<std::mutex> lock(mutex_);
    FlushLocked();
    link_->Send(record);
  }
  void Flush() {
    std::lock_guard<std::mutex> lock(mutex_);
    FlushLocked();
  }
  void SetText(int which, const std::u16string& text, bool repaint) {
    Store(
        [&] {
          texts_[which] = text;
          text_repaint_[which] = text_repaint_[which] || repaint;
        },
        repaint);
  }
  // The gauge moves a few hundred times a run at most (a position is shown only when a
  // repaint is asked for, as the window's own gauge does), so it is sent at once.
  void SetGaugeMax(int32_t max) { Send(MakeViewRecord(ViewRecordType::kGaugeMax, {max})); }
  void SetGaugePosition(int32_t position, bool repaint) {
    if (repaint) Send(MakeViewRecord(ViewRecordType::kGaugePosition, {position, 1}));
  }
  const std::shared_ptr<WindowLink>& Link() const { return link_; }

 private:
  template <typename Change>
  void Store(Change change, bool now) {
    std::lock_guard<std::mutex> lock(mutex_);
    change();
    if (now) {
      FlushLocked();
    } else {
      pending_ = true;
      wake_.notify_all();
    }
  }
  void FlushLocked() {
    pending_ = false;
    for (int which = 0; which < 2; ++which) {
      if (!texts_[which]) continue;
      ViewRecord record =
          MakeViewRecord(ViewRecordType::kStatusText, {which, text_repaint_[which] ? 1 : 0});
      record.texts = {*texts_[which]};
      texts_[which].reset();
      text_repaint_[which] = false;
      link_->Send(record);
    }
  }
  void FlushLoop() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      wake_.wait(lock, [&] { return stopping_ || pending_; });
      if (stopping_) return;
      wake_.wait_for(lock, kProgressCoalesce, [&] { return stopping_; });
      FlushLocked();
    }
  }

  std::shared_ptr<WindowLink> link_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool pending_ = false;
  bool stopping_ = false;
  std::optional<std::u16string> texts_[2];
  bool text_repaint_[2] = {false, false};
  std::thread flusher_;
};

class RemoteTextSink : public ProgressTextSink {
 public:
  RemoteTextSink(std::shared_ptr<Outbox> outbox, int which, bool echo)
      : outbox_(std::move(outbox)), which_(which), echo_(echo) {}
  void SetText(const std::u16string& text, bool repaint) override {
    if (echo_) setup_session::EchoStatusLine(text);
    outbox_->SetText(which_, text, repaint);
  }

 private:
  std::shared_ptr<Outbox> outbox_;
  int which_;
  bool echo_;
};

class RemoteGaugeSink : public ProgressGaugeSink {
 public:
  explicit RemoteGaugeSink(std::shared_ptr<Outbox> outbox) : outbox_(std::move(outbox)) {}
  void SetMax(int32_t max) override { outbox_->SetGaugeMax(max); }
  void SetPosition(int32_t position, bool repaint) override {
    outbox_->SetGaugePosition(position, repaint);
  }

 private:
  std::shared_ptr<Outbox> outbox_;
};

// Message boxes in the window; once the window is gone they are printed and answered as an
// unattended run answers them, so no question ever waits for nobody.
class RemotePresenter : public platform::MessageBoxPresenter {
 public:
  explicit RemotePresenter(std::shared_ptr<Outbox> outbox) : outbox_(std::move(outbox)) {}
  int Show(const std::string& text, const std::string& caption, uint32_t flags) override {
    return ShowWide(platform::Cp1252ToUtf16(text), platform::Cp1252ToUtf16(caption), flags);
  }
  int ShowWide(const std::u16string& text, const std::u16string& caption, uint32_t flags) override {
    outbox_->Flush();  // the status line as it was when the question came
    if (std::optional<int> answer = outbox_->Link()->Ask(text, caption, flags)) return *answer;
    return platform::UnattendedPresenter().ShowWide(text, caption, flags);
  }

 private:
  std::shared_ptr<Outbox> outbox_;
};

class RemoteVerify : public VerifyObserver {
 public:
  explicit RemoteVerify(std::shared_ptr<Outbox> outbox) : outbox_(std::move(outbox)) {}
  ~RemoteVerify() override { outbox_->Send(MakeViewRecord(ViewRecordType::kVerifyEnded)); }
  void SetStatus(const std::string& text, int position, int maximum) override {
    ViewRecord record = MakeViewRecord(ViewRecordType::kVerifyStatus, {position, maximum});
    record.bytes = {text};
    outbox_->Send(record);
  }

 private:
  std::shared_ptr<Outbox> outbox_;
};

class RemoteFrontEnd : public setup_session::WizardFrontEnd, public setup_session::WizardView {
 public:
  RemoteFrontEnd(std::shared_ptr<WindowLink> link, std::unique_ptr<WindowProgram> program,
                 const RemoteOptions& options, std::unique_ptr<setup_session::RunnerLink> runner)
      : options_(options),
        program_(std::move(program)),
        outbox_(std::make_shared<Outbox>(std::move(link))),
        session_(std::move(runner)) {
    session_.SetView(this);
  }
  ~RemoteFrontEnd() override {
    session_.StopRunner();
    session_.SetView(nullptr);
    outbox_->Flush();
    outbox_->Link()->FinishSending();  // the window ends once it has read everything
    program_.reset();
  }

  // --- the front end ---
  std::shared_ptr<platform::MessageBoxPresenter> Presenter() override {
    if (options_.unattended) return nullptr;
    return std::make_shared<RemotePresenter>(outbox_);
  }
  std::unique_ptr<VerifyObserver> ShowVerification() override {
    if (options_.unattended) return nullptr;
    return std::make_unique<RemoteVerify>(outbox_);
  }
  setup_session::WizardSession& Session() override { return session_; }

  bool Run() override {
    session_.LoadPages();
    session_.Prepare();
    SendFigures();
    const TSetupInfoFile& info = SetupState::Instance().SetupInfo();
    ViewRecord pages_up =
        MakeViewRecord(ViewRecordType::kPagesUp, {Languages().Current, folder_text_ ? 1 : 0});
    pages_up.bytes = {info.Encode(), folder_text_.value_or("")};
    outbox_->Send(pages_up);
    pages_up_ = true;
    session_.ShowFirstPage();
    if (options_.unattended) {
      return setup_session::DriveWithDefaults(
                 session_, [this] { outbox_->Flush(); }, options_.accept_license) ==
             setup_session::DriveResult::kEnded;
    }
    SetupState& state = SetupState::Instance();
    while (!session_.Ended()) {
      // A signal outside a run closes the wizard; during a run the runner stops and the wizard
      // closes once the run is undone.
      if (state.CancelRequested() && !session_.Working()) {
        session_.RequestClose();
        break;
      }
      if (std::optional<ViewRecord> action = outbox_->Link()->NextAction(kActionWaitMs)) {
        Take(*action);
      } else if (outbox_->Link()->Lost()) {
        WindowLost();
      }
    }
    return !lost_;
  }

  // --- the view ---
  void PageSelected(int page) override {
    SendState(MakeViewRecord(ViewRecordType::kPageSelected, {page}));
  }
  void ButtonsChanged(const setup_session::ButtonState& buttons) override {
    ViewRecord record =
        MakeViewRecord(ViewRecordType::kButtonsChanged,
                       {buttons.back_visible, buttons.next_visible, buttons.next_enabled,
                        buttons.cancel_enabled, buttons.language_visible});
    record.texts = {buttons.back_caption, buttons.next_caption, buttons.cancel_caption,
                    buttons.language_caption};
    SendState(record);
  }
  void LanguageChanged() override {
    SendState(MakeViewRecord(ViewRecordType::kLanguageChanged, {Languages().Current}));
  }
  void FolderTextSet(const std::string& text) override {
    if (!pages_up_) {
      folder_text_ = text;  // goes with the pages, before the window listens to its field
      return;
    }
    SendBytes(ViewRecordType::kFolderTextSet, text);
  }
  void FolderChecked(const std::string& text) override {
    SendBytes(ViewRecordType::kFolderChecked, text);
  }
  void FolderProblemChanged(const std::string& problem) override {
    SendBytes(ViewRecordType::kFolderProblem, problem);
  }
  void SpaceTextChanged(const std::u16string& text) override {
    ViewRecord record = MakeViewRecord(ViewRecordType::kSpaceTextChanged);
    record.texts = {text};
    SendState(record);
  }
  void PageShown(int page) override {
    if (!options_.screenshots) {
      SendState(MakeViewRecord(ViewRecordType::kPageShown, {page, 0}));
      return;
    }
    SendFigures();
    outbox_->Flush();  // the status lines first, as they were when the page arrived
    outbox_->Link()->PageShownAndPictured(page);
  }
  void RunStarted(const std::u16string& status, int total) override {
    ViewRecord record = MakeViewRecord(ViewRecordType::kRunStarted, {total});
    record.texts = {status};
    SendState(record);
  }
  void KeepAlive() override {
    if (options_.unattended) return;
    // Actions that came during a run: the session takes what its rules allow (a close).
    while (std::optional<ViewRecord> action = outbox_->Link()->NextAction(0)) Take(*action);
    if (outbox_->Link()->Lost()) WindowLost();
  }
  void SessionEnded() override { SendState(MakeViewRecord(ViewRecordType::kSessionEnded)); }
  std::shared_ptr<ProgressTextSink> StatusLineSink() override {
    return std::make_shared<RemoteTextSink>(outbox_, 0, SetupState::Instance().Unattended());
  }
  std::shared_ptr<ProgressTextSink> SecondStatusLineSink() override {
    return std::make_shared<RemoteTextSink>(outbox_, 1, SetupState::Instance().Unattended());
  }
  std::shared_ptr<ProgressGaugeSink> GaugeSink() override {
    return std::make_shared<RemoteGaugeSink>(outbox_);
  }

 private:
  // The space figures go first whenever they changed: labels show them when (re)translated.
  void SendFigures() {
    const SetupState& state = SetupState::Instance();
    if (figures_sent_ && state.space_required_text == required_sent_ &&
        state.space_available_text == available_sent_) {
      return;
    }
    required_sent_ = state.space_required_text;
    available_sent_ = state.space_available_text;
    figures_sent_ = true;
    ViewRecord record = MakeViewRecord(ViewRecordType::kFigures);
    record.bytes = {required_sent_, available_sent_};
    outbox_->Send(record);
  }
  void SendState(const ViewRecord& record) {
    SendFigures();
    outbox_->Send(record);
  }
  // A state record whose one field is a byte string.
  void SendBytes(ViewRecordType type, const std::string& bytes) {
    ViewRecord record = MakeViewRecord(type);
    record.bytes = {bytes};
    SendState(record);
  }

  // A user action, taken only where the session's state allows it: a click the window sent
  // before it learnt that its button went away does nothing.
  void Take(const ViewRecord& action) {
    const setup_session::ButtonState& buttons = session_.Buttons();
    const bool idle = !session_.Working() && !session_.Ended();
    switch (action.type) {
      case ViewRecordType::kNext:
        if (idle && session_.CanGoOn()) session_.Next();
        break;
      case ViewRecordType::kBack:
        if (idle && buttons.back_visible) session_.Back();
        break;
      case ViewRecordType::kChooseLanguage:
        if (idle && buttons.language_visible) session_.ChooseLanguage(action.Number(0));
        break;
      case ViewRecordType::kEditFolder:
        if (idle) session_.EditFolder(action.Bytes(0));
        break;
      case ViewRecordType::kChooseOption:
        if (idle) session_.ChooseOption({action.Number(0), action.Number(1)});
        break;
      case ViewRecordType::kRequestClose:
        if (!session_.Ended()) session_.RequestClose();
        break;
      default:
        break;  // nothing else is the view's to send
    }
  }

  // The window went away without the session ending: what is running is cancelled (and undone)
  // and the program ends as failed, saying why.
  void WindowLost() {
    if (lost_) return;
    lost_ = true;
    std::fprintf(stderr, "setup: the window closed unexpectedly; setup is cancelled\n");
    RunLog("the window closed unexpectedly");
    SetupState::Instance().RequestCancel();
    if (!session_.Working() && !session_.Ended()) session_.RequestClose();
  }

  RemoteOptions options_;
  std::unique_ptr<WindowProgram> program_;
  std::shared_ptr<Outbox> outbox_;
  setup_session::WizardSession session_;
  bool pages_up_ = false;
  std::optional<std::string> folder_text_;
  bool figures_sent_ = false;
  std::string required_sent_;
  std::string available_sent_;
  bool lost_ = false;
};

}  // namespace

std::unique_ptr<setup_session::WizardFrontEnd> CreateRemoteFrontEnd(
    std::shared_ptr<WindowLink> link, std::unique_ptr<WindowProgram> program,
    const RemoteOptions& options, std::unique_ptr<setup_session::RunnerLink> runner) {
  return std::make_unique<RemoteFrontEnd>(std::move(link), std::move(program), options,
                                          std::move(runner));
}

}  // namespace setup_remote
