// The process-wide message-box presenter and the two presenters that need no window.
#include "platform/message_box.h"

#include <cstdio>

#include "platform/text_encoding.h"

namespace platform {

int MessageBoxPresenter::ShowWide(const std::u16string& text, const std::u16string& caption,
                                  uint32_t flags) {
  return Show(Utf16ToCp1252(text), Utf16ToCp1252(caption), flags);
}

int UnattendedPresenter::Show(const std::string& text, const std::string& caption, uint32_t flags) {
  // The console speaks UTF-8; the texts are Windows-1252.
  const std::string line = Cp1252ToUtf8(caption) + ": " + Cp1252ToUtf8(text) + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
  // Answers that let the run go on and can never loop: Retry/Cancel would retry for ever.
  switch (flags & kMbButtonMask) {
    case kMbYesNo:
    case kMbYesNoCancel:
      return kIdYes;
    case kMbRetryCancel:
      return kIdCancel;
    default:
      return kIdOk;
  }
}

void ScriptedPresenter::QueueAnswer(int answer) {
  std::lock_guard<std::mutex> lock(mutex_);
  answers_.push_back(answer);
}

std::vector<ScriptedPresenter::Shown> ScriptedPresenter::Messages() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return shown_;
}

int ScriptedPresenter::Show(const std::string& text, const std::string& caption, uint32_t flags) {
  std::lock_guard<std::mutex> lock(mutex_);
  shown_.push_back(Shown{text, caption, flags});
  if (!answers_.empty()) {
    const int answer = answers_.front();
    answers_.erase(answers_.begin());
    return answer;
  }
  const uint32_t buttons = flags & kMbButtonMask;
  return (buttons == kMbYesNo || buttons == kMbYesNoCancel) ? kIdYes : kIdOk;
}

namespace {

std::mutex& PresenterMutex() {
  static std::mutex mutex;
  return mutex;
}

std::shared_ptr<MessageBoxPresenter>& PresenterSlot() {
  static std::shared_ptr<MessageBoxPresenter> presenter = std::make_shared<UnattendedPresenter>();
  return presenter;
}

}  // namespace

void SetPresenter(std::shared_ptr<MessageBoxPresenter> presenter) {
  std::lock_guard<std::mutex> lock(PresenterMutex());
  PresenterSlot() = presenter ? std::move(presenter) : std::make_shared<UnattendedPresenter>();
}

std::shared_ptr<MessageBoxPresenter> GetPresenter() {
  std::lock_guard<std::mutex> lock(PresenterMutex());
  return PresenterSlot();
}

int MessageBox(const std::string& text, const std::string& caption, uint32_t flags) {
  // Shown outside the lock: a presenter may block for a long time waiting for the user.
  return GetPresenter()->Show(text, caption, flags);
}

int MessageBoxWide(const std::u16string& text, const std::u16string& caption, uint32_t flags) {
  return GetPresenter()->ShowWide(text, caption, flags);
}

}  // namespace platform
