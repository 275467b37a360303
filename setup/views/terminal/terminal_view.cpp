#include "setup/views/terminal/terminal_view.h"

#include <algorithm>

#include "platform/text_encoding.h"
#include "setup/core/setup_state.h"
#include "setup/text/languages.h"
#include "setup/views/terminal/folder_text.h"
#include "setup/views/terminal/text_layout.h"

namespace setup_terminal {

namespace {

constexpr int kPollMs = 100;
constexpr auto kFrameInterval = std::chrono::milliseconds(40);

// A sink that keeps the runner's figures on the board and tells the view on its own thread
// (the removal run reports from there, without the wait loop of an install run).
class ViewTextSink : public ProgressTextSink {
 public:
  ViewTextSink(ProgressBoard& board, bool second, std::function<void()> changed)
      : board_(board), second_(second), changed_(std::move(changed)) {}
  void SetText(const std::u16string& text, bool) override {
    board_.SetStatus(text, second_);
    changed_();
  }

 private:
  ProgressBoard& board_;
  bool second_;
  std::function<void()> changed_;
};

class ViewGaugeSink : public ProgressGaugeSink {
 public:
  ViewGaugeSink(ProgressBoard& board, std::function<void()> changed)
      : board_(board), changed_(std::move(changed)) {}
  void SetMax(int32_t max) override { board_.SetMaximum(max); }
  void SetPosition(int32_t position, bool) override {
    board_.SetPosition(position);
    changed_();
  }

 private:
  ProgressBoard& board_;
  std::function<void()> changed_;
};

}  // namespace

TerminalView::TerminalView(setup_session::WizardSession& session, TerminalDevice& device, bool utf8)
    : session_(session),
      device_(device),
      utf8_(utf8),
      session_thread_(std::this_thread::get_id()) {}

void TerminalView::FolderTextSet(const std::string& text) {
  texts_.folder_field = FromUtf8(platform::Cp1252ToUtf8(text));
  field_cursor_ = texts_.folder_field.size();
}

void TerminalView::SpaceTextChanged(const std::u16string& text) {
  if (const auto& ref = session_.Named().space_available) {
    texts_.captions[{ref->page, ref->index}] = text;
  }
}

void TerminalView::RunStarted(const std::u16string& status, int total) {
  board_.Reset();
  board_.SetStatus(status, false);
  board_.SetMaximum(total);
}

std::shared_ptr<ProgressTextSink> TerminalView::StatusLineSink() {
  return std::make_shared<ViewTextSink>(board_, false, [this] { ProgressChanged(); });
}

std::shared_ptr<ProgressTextSink> TerminalView::SecondStatusLineSink() {
  return std::make_shared<ViewTextSink>(board_, true, [this] { ProgressChanged(); });
}

std::shared_ptr<ProgressGaugeSink> TerminalView::GaugeSink() {
  return std::make_shared<ViewGaugeSink>(board_, [this] { ProgressChanged(); });
}

std::vector<PageItem> TerminalView::Items() {
  texts_.progress = board_.Figures();
  return builder_.Build(session_, texts_);
}

void TerminalView::FieldEdited() {
  session_.EditFolder(SessionFolder(ToUtf8(texts_.folder_field)));
}

bool TerminalView::Finished() {
  if (session_.Ended()) return true;
  if (device_.InputEnded()) SetupState::Instance().RequestCancel();  // nobody left to ask
  if (SetupState::Instance().CancelRequested() && !session_.Working()) {
    session_.RequestClose();
    return true;
  }
  return false;
}

// --- the full screen ---

void ScreenWizard::Run() {
  while (!Finished()) {
    Draw();
    std::vector<Key> keys;
    {
      std::lock_guard<std::mutex> lock(device_.Lock());
      keys = device_.ReadKeys(kPollMs);
    }
    for (const Key& key : keys) {
      HandleKey(key);
      if (session_.Ended()) break;
    }
  }
}

void ScreenWizard::Draw() {
  std::lock_guard<std::mutex> lock(device_.Lock());
  DrawLocked();
}

void ScreenWizard::DrawLocked() {
  if (device_.TakeResized()) screen_.Invalidate();
  items_ = Items();
  const setup_session::ButtonState& buttons = session_.Buttons();
  const std::vector<Focus> order = FocusOrder(items_, buttons);
  if (page_changed_ || std::find(order.begin(), order.end(), focus_) == order.end()) {
    focus_ = FirstFocus(items_, buttons);
    if (page_changed_) scroll_ = 0;
    page_changed_ = false;
  }
  const TerminalSize size = device_.Size();
  FrameInput input;
  input.width = size.columns;
  input.height = size.rows;
  input.title = FromUtf16(session_.Title());
  input.items = items_;
  input.buttons = buttons;
  input.focus = focus_;
  input.scroll = scroll_;
  input.field_cursor = field_cursor_;
  input.utf8 = utf8_;
  frame_ = ComposeFrame(input);
  scroll_ = std::clamp(scroll_, 0, std::max(0, frame_.scroll_lines - frame_.scroll_rows));
  screen_.Show(frame_);
  last_draw_ = std::chrono::steady_clock::now();
}

void ScreenWizard::RunStarted(const std::u16string& status, int total) {
  TerminalView::RunStarted(status, total);
  // The run's page shows before the runner starts, which may at once ask something.
  Draw();
}

void ScreenWizard::ProgressChanged() {
  // The runner's thread only leaves its figures; the session's thread draws them.
  if (!OnSessionThread() || !session_.Working()) return;
  if (std::chrono::steady_clock::now() - last_draw_ < kFrameInterval) return;
  std::unique_lock<std::mutex> lock(device_.Lock(), std::try_to_lock);
  if (lock.owns_lock()) DrawLocked();
}

void ScreenWizard::KeepAlive() {
  if (std::chrono::steady_clock::now() - last_draw_ < kFrameInterval) return;
  std::vector<Key> keys;
  {
    // A message box of the runner holds the terminal: it draws and reads keys meanwhile.
    std::unique_lock<std::mutex> lock(device_.Lock(), std::try_to_lock);
    if (!lock.owns_lock()) return;
    keys = device_.ReadKeys(0);
    DrawLocked();
  }
  for (const Key& key : keys) {
    if (key.code == KeyCode::kEscape || key.code == KeyCode::kInterrupt) {
      session_.RequestClose();  // during an install run: the quit question
    } else if (key.code == KeyCode::kSuspend) {
      device_.Suspend();
    } else if (key.code == KeyCode::kRedraw) {
      screen_.Invalidate();
    }
  }
}

void ScreenWizard::HandleKey(const Key& key) {
  if (focus_.target == Target::kField && EditField(key)) return;
  switch (key.code) {
    case KeyCode::kEscape:
    case KeyCode::kInterrupt:
      session_.RequestClose();
      break;
    case KeyCode::kSuspend:
      device_.Suspend();
      break;
    case KeyCode::kRedraw:
      screen_.Invalidate();
      break;
    case KeyCode::kEndOfInput:
      break;
    case KeyCode::kTab:
      MoveFocus(1);
      break;
    case KeyCode::kBackTab:
      MoveFocus(-1);
      break;
    case KeyCode::kEnter:
      if (focus_.target == Target::kLanguage || focus_.target == Target::kBack ||
          focus_.target == Target::kNext || focus_.target == Target::kCancel) {
        Press(focus_.target);
      } else if (std::optional<Target> target = DefaultButton(session_.Buttons())) {
        Press(*target);
      }
      break;
    case KeyCode::kUp:
    case KeyCode::kDown: {
      const int step = key.code == KeyCode::kUp ? -1 : 1;
      if (focus_.target == Target::kRadio) {
        MoveRadio(step);
      } else if (frame_.scroll_lines > 0) {
        Scroll(step);
      } else {
        MoveFocus(step);
      }
      break;
    }
    case KeyCode::kLeft:
      MoveFocus(-1);
      break;
    case KeyCode::kRight:
      MoveFocus(1);
      break;
    case KeyCode::kPageUp:
      Scroll(-std::max(1, frame_.scroll_rows - 1));
      break;
    case KeyCode::kPageDown:
      Scroll(std::max(1, frame_.scroll_rows - 1));
      break;
    case KeyCode::kHome:
      Scroll(-frame_.scroll_lines);
      break;
    case KeyCode::kEnd:
      Scroll(frame_.scroll_lines);
      break;
    case KeyCode::kChar:
      if (key.ch == U' ') {
        if (focus_.target == Target::kRadio) {
          session_.ChooseOption(focus_.radio);
        } else if (focus_.target != Target::kScroll && focus_.target != Target::kNone) {
          Press(focus_.target);
        }
      }
      break;
    default:
      break;
  }
}

void ScreenWizard::Press(Target target) {
  const setup_session::ButtonState& buttons = session_.Buttons();
  switch (target) {
    case Target::kBack:
      if (buttons.back_visible) session_.Back();
      break;
    case Target::kNext:
      if (session_.CanGoOn()) session_.Next();
      break;
    case Target::kCancel:
      if (buttons.cancel_enabled) session_.RequestClose();
      break;
    case Target::kLanguage:
      if (buttons.language_visible) ChooseLanguage();
      break;
    default:
      break;
  }
}

void ScreenWizard::MoveFocus(int step) {
  const std::vector<Focus> order = FocusOrder(items_, session_.Buttons());
  if (order.empty()) return;
  auto at = std::find(order.begin(), order.end(), focus_);
  const int size = static_cast<int>(order.size());
  const int index = at == order.end() ? 0 : static_cast<int>(at - order.begin());
  focus_ = order[static_cast<size_t>(((index + step) % size + size) % size)];
}

void ScreenWizard::MoveRadio(int step) {
  std::vector<setup_session::ControlRef> radios;
  int index = -1;
  for (const PageItem& item : items_) {
    if (item.kind != ItemKind::kRadio) continue;
    if (Focus{Target::kRadio, item.ref} == focus_) index = static_cast<int>(radios.size());
    radios.push_back(item.ref);
  }
  if (radios.empty() || index < 0) return;
  const int next = std::clamp(index + step, 0, static_cast<int>(radios.size()) - 1);
  // As in a radio group, the arrow checks the button it moves to.
  focus_ = Focus{Target::kRadio, radios[static_cast<size_t>(next)]};
  session_.ChooseOption(radios[static_cast<size_t>(next)]);
}

void ScreenWizard::Scroll(int lines) { scroll_ = std::max(0, scroll_ + lines); }

bool ScreenWizard::EditField(const Key& key) {
  std::u32string& field = texts_.folder_field;
  field_cursor_ = std::min(field_cursor_, field.size());
  switch (key.code) {
    case KeyCode::kChar:
      field.insert(field_cursor_++, 1, key.ch);
      break;
    case KeyCode::kBackspace:
      if (field_cursor_ == 0) return true;
      field.erase(--field_cursor_, 1);
      break;
    case KeyCode::kDelete:
      if (field_cursor_ >= field.size()) return true;
      field.erase(field_cursor_, 1);
      break;
    case KeyCode::kClearLine:
      field.clear();
      field_cursor_ = 0;
      break;
    case KeyCode::kLeft:
      if (field_cursor_ > 0) --field_cursor_;
      return true;
    case KeyCode::kRight:
      if (field_cursor_ < field.size()) ++field_cursor_;
      return true;
    case KeyCode::kHome:
      field_cursor_ = 0;
      return true;
    case KeyCode::kEnd:
      field_cursor_ = field.size();
      return true;
    default:
      return false;
  }
  FieldEdited();
  return true;
}

void ScreenWizard::ChooseLanguage() {
  const TLanguages& languages = Languages();
  std::vector<DialogButton> buttons;
  for (size_t i = 0; i < languages.Items.size(); ++i) {
    buttons.push_back({static_cast<int>(i), FromUtf16(languages.Items[i]->Name)});
  }
  const int current = std::max(0, languages.Current);
  const int chosen = presenter_.Choose(FromUtf16(session_.Buttons().language_caption), U"", buttons,
                                       static_cast<size_t>(current), -1);
  screen_.Invalidate();
  if (chosen >= 0 && chosen != languages.Current) session_.ChooseLanguage(chosen);
}

}  // namespace setup_terminal
