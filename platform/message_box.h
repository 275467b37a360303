// Message boxes through one process-wide presenter: the window presents real dialogs, an
// unattended run prints them, tests script the answers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace platform {

// MessageBoxA flags and answers, with their Windows values.
constexpr uint32_t kMbOk = 0x00;
constexpr uint32_t kMbOkCancel = 0x01;
constexpr uint32_t kMbYesNoCancel = 0x03;
constexpr uint32_t kMbYesNo = 0x04;
constexpr uint32_t kMbRetryCancel = 0x05;
constexpr uint32_t kMbIconError = 0x10;
constexpr uint32_t kMbIconQuestion = 0x20;
constexpr uint32_t kMbIconWarning = 0x30;
constexpr uint32_t kMbIconInformation = 0x40;
constexpr uint32_t kMbButtonMask = 0x0F;
// The default button (the one Enter takes): the first unless one of these says otherwise.
constexpr uint32_t kMbDefButton2 = 0x100;
constexpr uint32_t kMbDefButton3 = 0x200;
constexpr uint32_t kMbDefButtonMask = 0xF00;
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdRetry = 4;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;

// The index of the default button among the box's buttons, in their order (0 = the first).
inline size_t DefaultButtonIndex(uint32_t flags) { return (flags & kMbDefButtonMask) >> 8; }

class MessageBoxPresenter {
 public:
  virtual ~MessageBoxPresenter() = default;
  // Texts are Windows-1252 (MessageBoxA); answers one of the kId values.
  virtual int Show(const std::string& text, const std::string& caption, uint32_t flags) = 0;
  // Same for UTF-16 texts (MessageBoxW); the default converts to Windows-1252.
  virtual int ShowWide(const std::u16string& text, const std::u16string& caption, uint32_t flags);
};

// A message-box text as console lines (Windows-1252 in and out, each line ending in '\n'):
// CR, LF and CR LF become line breaks, blanks at line ends and runs of empty lines go, and the
// caption leads the first line once: "Error" + "Error: x" gives "Error: x", "Setup Error" +
// "Error: x" gives "Setup Error: x".
std::string ConsoleMessageText(const std::string& text, const std::string& caption);

// Prints caption and text to stderr as UTF-8; answers OK, Yes, or Cancel for Retry/Cancel.
class UnattendedPresenter : public MessageBoxPresenter {
 public:
  int Show(const std::string& text, const std::string& caption, uint32_t flags) override;
};

// Records every message and answers from a queue (OK / Yes when the queue is empty).
class ScriptedPresenter : public MessageBoxPresenter {
 public:
  struct Shown {
    std::string text;
    std::string caption;
    uint32_t flags;
  };
  void QueueAnswer(int answer);
  std::vector<Shown> Messages() const;
  int Show(const std::string& text, const std::string& caption, uint32_t flags) override;

 private:
  mutable std::mutex mutex_;
  std::vector<int> answers_;
  std::vector<Shown> shown_;
};

// The process-wide presenter (an UnattendedPresenter until one is installed). The presenter
// object must outlive its use; SetPresenter keeps ownership.
void SetPresenter(std::shared_ptr<MessageBoxPresenter> presenter);
std::shared_ptr<MessageBoxPresenter> GetPresenter();

int MessageBox(const std::string& text, const std::string& caption, uint32_t flags);
int MessageBoxWide(const std::u16string& text, const std::u16string& caption, uint32_t flags);

}  // namespace platform
