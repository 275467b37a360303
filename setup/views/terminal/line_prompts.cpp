#include "setup/views/terminal/line_prompts.h"

#include "setup/views/terminal/page_frame.h"
#include "setup/views/terminal/text_layout.h"

namespace setup_terminal {

namespace {

char32_t Lower(char32_t c) { return c >= U'A' && c <= U'Z' ? c + 32 : c; }

// The caption as a word to type: lower case, without the arrows and blanks around it.
std::u32string Word(const std::u32string& caption) {
  std::u32string word;
  for (char32_t c : OneLine(caption)) {
    if (c != U'<' && c != U'>' && c != U'&') word += Lower(c);
  }
  const size_t first = word.find_first_not_of(U' ');
  if (first == std::u32string::npos) return U"";
  const size_t last = word.find_last_not_of(U' ');
  return word.substr(first, last - first + 1);
}

}  // namespace

std::string FormatChoices(const std::vector<std::u32string>& captions) {
  std::string text;
  for (size_t i = 0; i < captions.size(); ++i) {
    if (i > 0) text += "  ";
    text += std::to_string(i + 1) + ") " + ToUtf8(OneLine(captions[i]));
  }
  return text;
}

std::optional<size_t> ParseChoice(const std::string& line,
                                  const std::vector<std::u32string>& captions,
                                  size_t default_index) {
  const std::u32string typed = Word(FromUtf8(line));
  if (typed.empty()) {
    if (default_index < captions.size()) return default_index;
    return std::nullopt;
  }
  if (typed.find_first_not_of(U"0123456789") == std::u32string::npos) {
    if (typed.size() > 4) return std::nullopt;
    const size_t number = std::stoul(ToUtf8(typed));
    if (number >= 1 && number <= captions.size()) return number - 1;
    return std::nullopt;
  }
  std::optional<size_t> found;
  for (size_t i = 0; i < captions.size(); ++i) {
    const std::u32string word = Word(captions[i]);
    if (word.compare(0, typed.size(), typed) != 0) continue;
    if (word == typed) return i;  // a whole caption wins over captions it starts
    if (found) return std::nullopt;
    found = i;
  }
  return found;
}

bool HoldsEscape(const std::string& line) { return line.find('\x1b') != std::string::npos; }

std::vector<LineChoice> PageChoices(const std::vector<PageItem>& items,
                                    const setup_session::ButtonState& buttons) {
  std::vector<LineChoice> choices;
  auto caption = [](const std::u16string& text) { return FromUtf16(text); };
  const std::optional<Target> fallback = DefaultButton(buttons);
  if (fallback == Target::kNext) {
    choices.push_back({LineAction::kNext, caption(buttons.next_caption), {}});
  } else if (fallback == Target::kCancel) {
    choices.push_back({LineAction::kClose, caption(buttons.cancel_caption), {}});
  }
  if (!fallback && !buttons.cancel_enabled) return choices;  // a run works: nothing to choose
  if (buttons.back_visible)
    choices.push_back({LineAction::kBack, caption(buttons.back_caption), {}});
  if (fallback != Target::kCancel && buttons.cancel_enabled) {
    choices.push_back({LineAction::kClose, caption(buttons.cancel_caption), {}});
  }
  for (const PageItem& item : items) {
    if (item.kind == ItemKind::kRadio && !item.checked) {
      choices.push_back({LineAction::kRadio, OneLine(item.text), item.ref});
    } else if (item.kind == ItemKind::kField) {
      choices.push_back({LineAction::kFolder, U"Folder...", {}});
    }
  }
  if (buttons.language_visible) {
    choices.push_back({LineAction::kLanguage, caption(buttons.language_caption) + U"...", {}});
  }
  return choices;
}

}  // namespace setup_terminal
