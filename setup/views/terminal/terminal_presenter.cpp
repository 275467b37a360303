#include "setup/views/terminal/terminal_presenter.h"

#include "platform/message_box.h"
#include "platform/text_encoding.h"
#include "setup/core/setup_state.h"
#include "setup/views/terminal/line_prompts.h"
#include "setup/views/terminal/message_dialog.h"
#include "setup/views/terminal/text_layout.h"

namespace setup_terminal {

namespace {

constexpr int kPollMs = 100;

// Whether nobody can answer any more: the input ended, or a signal asked the run to stop.
bool NoAnswerComing(const TerminalDevice& device) {
  return device.InputEnded() || SetupState::Instance().CancelRequested();
}

}  // namespace

int TerminalPresenter::Show(const std::string& text, const std::string& caption, uint32_t flags) {
  return ShowWide(platform::Cp1252ToUtf16(text), platform::Cp1252ToUtf16(caption), flags);
}

int TerminalPresenter::ShowWide(const std::u16string& text, const std::u16string& caption,
                                uint32_t flags) {
  return Choose(FromUtf16(caption), FromUtf16(text), DialogButtons(flags),
                platform::DefaultButtonIndex(flags), EscapeAnswer(flags));
}

int TerminalPresenter::Choose(const std::u32string& caption, const std::u32string& text,
                              const std::vector<DialogButton>& buttons, size_t selected,
                              int escape_answer) {
  if (buttons.empty()) return escape_answer;
  std::lock_guard<std::mutex> lock(device_->Lock());
  if (selected >= buttons.size()) selected = 0;
  if (device_->FullScreen()) return AskOnScreen(caption, text, buttons, selected, escape_answer);
  return AskByLines(caption, text, buttons, selected, escape_answer);
}

int TerminalPresenter::AskOnScreen(const std::u32string& caption, const std::u32string& text,
                                   const std::vector<DialogButton>& buttons, size_t selected,
                                   int escape_answer) {
  bool fresh = true;
  while (true) {
    if (device_->TakeResized()) {
      screen_->Repaint();
      fresh = true;
    }
    if (fresh) {
      const TerminalSize size = device_->Size();
      const DialogBox box =
          ComposeDialog(caption, text, buttons, selected, size.columns, size.rows, utf8_);
      screen_->Overlay(box.top, box.left, box.lines);
      fresh = false;
    }
    if (NoAnswerComing(*device_)) return escape_answer;
    for (const Key& key : device_->ReadKeys(kPollMs)) {
      fresh = true;
      switch (key.code) {
        case KeyCode::kLeft:
        case KeyCode::kUp:
        case KeyCode::kBackTab:
          selected = (selected + buttons.size() - 1) % buttons.size();
          break;
        case KeyCode::kRight:
        case KeyCode::kDown:
        case KeyCode::kTab:
          selected = (selected + 1) % buttons.size();
          break;
        case KeyCode::kEnter:
          return buttons[selected].answer;
        case KeyCode::kEscape:
        case KeyCode::kInterrupt:
          return escape_answer;
        case KeyCode::kChar:
          if (key.ch == U' ') return buttons[selected].answer;
          if (const int index = ButtonForLetter(buttons, key.ch); index >= 0) {
            return buttons[static_cast<size_t>(index)].answer;
          }
          break;
        case KeyCode::kRedraw:
          screen_->Repaint();
          break;
        case KeyCode::kSuspend:
          device_->Suspend();
          break;
        default:
          break;
      }
    }
  }
}

int TerminalPresenter::AskByLines(const std::u32string& caption, const std::u32string& text,
                                  const std::vector<DialogButton>& buttons, size_t selected,
                                  int escape_answer) {
  std::vector<std::u32string> captions;
  for (const DialogButton& button : buttons) captions.push_back(button.caption);
  const int width = device_->Size().columns - 1;
  std::string shown = "\n";
  for (const std::u32string& line :
       WrapText(text.empty() ? caption : caption + U": " + text, width)) {
    shown += ToUtf8(line) + "\n";
  }
  device_->Write(shown);
  while (true) {
    device_->Write(FormatChoices(captions) + "\n> ");
    std::optional<std::string> line;
    while (!line) {
      if (NoAnswerComing(*device_) || device_->TakeInterrupted()) {
        device_->Write("\n");
        return escape_answer;
      }
      line = device_->ReadLine(kPollMs);
    }
    if (HoldsEscape(*line)) return escape_answer;
    if (std::optional<size_t> choice = ParseChoice(*line, captions, selected)) {
      return buttons[*choice].answer;
    }
  }
}

}  // namespace setup_terminal
