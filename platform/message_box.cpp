// The process-wide message-box presenter and the two presenters that need no window.
#include "platform/message_box.h"

#include <cstdio>
#include <vector>

#include "platform/ascii_case.h"
#include "platform/text_encoding.h"

namespace platform {

int MessageBoxPresenter::ShowWide(const std::u16string& text, const std::u16string& caption,
                                  uint32_t flags) {
  return Show(Utf16ToCp1252(text), Utf16ToCp1252(caption), flags);
}

namespace {

bool StartsWithIgnoringCase(const std::string& text, const std::string& start) {
  return start.size() <= text.size() && SameIgnoringAsciiCase(text.substr(0, start.size()), start);
}

bool EndsWithIgnoringCase(const std::string& text, const std::string& end) {
  return end.size() <= text.size() &&
         SameIgnoringAsciiCase(text.substr(text.size() - end.size()), end);
}

}  // namespace

std::string ConsoleMessageText(const std::string& text, const std::string& caption) {
  std::vector<std::string> lines(1);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      lines.emplace_back();
    } else {
      lines.back() += text[i];
    }
  }
  std::vector<std::string> kept;
  for (std::string& line : lines) {
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.pop_back();
    if (line.empty() && (kept.empty() || kept.back().empty())) continue;
    kept.push_back(line);
  }
  while (!kept.empty() && kept.back().empty()) kept.pop_back();
  if (kept.empty()) kept.emplace_back();

  std::string& first = kept.front();
  if (!caption.empty() && !StartsWithIgnoringCase(first, caption)) {
    // A text that starts with the caption's last word ("Error: ...") under a caption such as
    // "Verification Error" would say it twice.
    const size_t blank = caption.find_last_of(' ');
    const std::string last_word = blank == std::string::npos ? caption : caption.substr(blank + 1);
    if (StartsWithIgnoringCase(first, last_word + ": ") &&
        EndsWithIgnoringCase(caption, last_word)) {
      first = first.substr(last_word.size() + 2);
    }
    first = first.empty() ? caption : caption + ": " + first;
  }
  std::string result;
  for (const std::string& line : kept) result += line + "\n";
  return result;
}

int UnattendedPresenter::Show(const std::string& text, const std::string& caption, uint32_t flags) {
  // The console speaks UTF-8; the texts are Windows-1252.
  const std::string line = Cp1252ToUtf8(ConsoleMessageText(text, caption));
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
