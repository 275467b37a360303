// The line wizard of a dumb terminal (part of the terminal views).
#include <algorithm>

#include "platform/text_encoding.h"
#include "setup/core/setup_state.h"
#include "setup/text/languages.h"
#include "setup/views/terminal/line_prompts.h"
#include "setup/views/terminal/terminal_view.h"
#include "setup/views/terminal/text_layout.h"

namespace setup_terminal {

namespace {

constexpr int kPollMs = 100;

}  // namespace

void LineWizard::Run() {
  while (!Finished()) {
    {
      std::lock_guard<std::mutex> lock(device_.Lock());
      if (printed_tenth_ >= 0) PrintProgress(true);
      if (page_changed_) PrintPage();
    }
    const std::vector<PageItem> items = Items();
    const std::vector<LineChoice> choices = PageChoices(items, session_.Buttons());
    if (choices.empty()) {
      // Nothing to choose (a page that cannot go on): only quitting is left.
      session_.RequestClose();
      continue;
    }
    std::vector<std::u32string> captions;
    for (const LineChoice& choice : choices) captions.push_back(choice.caption);
    const std::optional<std::string> line = AskLine(FormatChoices(captions) + "\n> ");
    if (!line) continue;
    if (HoldsEscape(*line)) {
      session_.RequestClose();
      continue;
    }
    const std::optional<size_t> index = ParseChoice(*line, captions, 0);
    if (!index) continue;  // asked again
    const LineChoice& choice = choices[*index];
    switch (choice.action) {
      case LineAction::kNext:
        session_.Next();
        break;
      case LineAction::kBack:
        session_.Back();
        break;
      case LineAction::kClose:
        session_.RequestClose();
        break;
      case LineAction::kRadio:
        session_.ChooseOption(choice.radio);
        page_changed_ = true;
        break;
      case LineAction::kFolder:
        AskFolder();
        break;
      case LineAction::kLanguage:
        AskLanguage();
        break;
    }
  }
}

std::optional<std::string> LineWizard::AskLine(const std::string& prompt) {
  {
    std::lock_guard<std::mutex> lock(device_.Lock());
    device_.Write(prompt);
  }
  while (true) {
    if (device_.TakeInterrupted()) {
      {
        std::lock_guard<std::mutex> lock(device_.Lock());
        device_.Write("\n");
      }
      session_.RequestClose();  // the quit question takes the terminal itself
      return std::nullopt;
    }
    if (Finished()) return std::nullopt;
    std::lock_guard<std::mutex> lock(device_.Lock());
    if (std::optional<std::string> line = device_.ReadLine(kPollMs)) return line;
  }
}

void LineWizard::PrintPage() {
  page_changed_ = false;
  const int width = std::max(20, device_.Size().columns - 1);
  std::string text = "\n" + ToUtf8(FromUtf16(session_.Title())) + "\n";
  text += std::string(static_cast<size_t>(std::min(width, 40)), '-') + "\n";
  for (const std::string& line : PlainPage(Items(), width, false)) text += line + "\n";
  text += "\n";
  device_.Write(text);
}

void LineWizard::AskFolder() {
  const std::optional<std::string> line =
      AskLine("Folder (C:\\... or /path) [" + ToUtf8(texts_.folder_field) + "]: ");
  if (!line || line->empty() || HoldsEscape(*line)) return;
  texts_.folder_field = FromUtf8(*line);
  FieldEdited();
  page_changed_ = true;
}

void LineWizard::AskLanguage() {
  const TLanguages& languages = Languages();
  std::vector<std::u32string> names;
  for (const auto& language : languages.Items) names.push_back(FromUtf16(language->Name));
  const std::optional<std::string> line = AskLine(FormatChoices(names) + "\n> ");
  if (!line || HoldsEscape(*line)) return;
  const size_t current = static_cast<size_t>(std::max(0, languages.Current));
  if (std::optional<size_t> index = ParseChoice(*line, names, current)) {
    session_.ChooseLanguage(static_cast<int>(*index));
    page_changed_ = true;
  }
}

void LineWizard::PrintProgress(bool last) {
  const ProgressFigures figures = board_.Figures();
  const int percent =
      figures.maximum > 0
          ? static_cast<int>(std::clamp<int64_t>(figures.position, 0, figures.maximum) * 100 /
                             figures.maximum)
          : 0;
  const int tenth = percent / 10;
  const std::u16string status = figures.status.value_or(u"");
  const bool news = tenth != printed_tenth_ || (last && status != printed_status_);
  printed_tenth_ = last ? -1 : tenth;
  printed_status_ = status;
  if (!news) return;
  std::string line = (percent < 10    ? "  "
                      : percent < 100 ? " "
                                      : "") +
                     std::to_string(percent) + "%  " + ToUtf8(OneLine(FromUtf16(status)));
  device_.Write(line + "\n");
}

void LineWizard::ProgressChanged() {
  if (!OnSessionThread() || !session_.Working()) return;
  std::unique_lock<std::mutex> lock(device_.Lock(), std::try_to_lock);
  if (!lock.owns_lock()) return;
  if (page_changed_) PrintPage();
  PrintProgress(false);
}

void LineWizard::KeepAlive() {
  bool interrupted = false;
  {
    std::unique_lock<std::mutex> lock(device_.Lock(), std::try_to_lock);
    if (!lock.owns_lock()) return;   // a message box of the runner is being answered
    if (page_changed_) PrintPage();  // the run's page, before its progress
    PrintProgress(false);
    interrupted = device_.TakeInterrupted();
  }
  if (interrupted) session_.RequestClose();  // during an install run: the quit question
}

}  // namespace setup_terminal
