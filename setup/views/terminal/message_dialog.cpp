#include "setup/views/terminal/message_dialog.h"

#include <algorithm>

#include "platform/message_box.h"
#include "setup/views/terminal/text_layout.h"

namespace setup_terminal {

namespace {

constexpr int kMaxBoxWidth = 64;

}  // namespace

std::vector<DialogButton> DialogButtons(uint32_t flags) {
  switch (flags & platform::kMbButtonMask) {
    case platform::kMbOkCancel:
      return {{platform::kIdOk, U"OK"}, {platform::kIdCancel, U"Cancel"}};
    case platform::kMbYesNoCancel:
      return {
          {platform::kIdYes, U"Yes"}, {platform::kIdNo, U"No"}, {platform::kIdCancel, U"Cancel"}};
    case platform::kMbYesNo:
      return {{platform::kIdYes, U"Yes"}, {platform::kIdNo, U"No"}};
    case platform::kMbRetryCancel:
      return {{platform::kIdRetry, U"Retry"}, {platform::kIdCancel, U"Cancel"}};
    default:
      return {{platform::kIdOk, U"OK"}};
  }
}

int EscapeAnswer(uint32_t flags) {
  const std::vector<DialogButton> buttons = DialogButtons(flags);
  for (int wanted : {platform::kIdCancel, platform::kIdNo}) {
    for (const DialogButton& button : buttons) {
      if (button.answer == wanted) return wanted;
    }
  }
  return platform::kIdOk;
}

int ButtonForLetter(const std::vector<DialogButton>& buttons, char32_t letter) {
  if (letter >= U'A' && letter <= U'Z') letter += 32;
  for (size_t i = 0; i < buttons.size(); ++i) {
    char32_t first = buttons[i].caption.empty() ? 0 : buttons[i].caption[0];
    if (first >= U'A' && first <= U'Z') first += 32;
    if (first == letter) return static_cast<int>(i);
  }
  return -1;
}

DialogBox ComposeDialog(const std::u32string& caption, const std::u32string& text,
                        const std::vector<DialogButton>& buttons, size_t selected, int columns,
                        int rows, bool utf8) {
  std::u32string row_text;
  for (size_t i = 0; i < buttons.size(); ++i) {
    if (i > 0) row_text += U"  ";
    row_text += U"[ " + buttons[i].caption + U" ]";
  }
  const int most = std::max(12, std::min(kMaxBoxWidth, columns - 4));
  // As wide as the text needs, between the buttons' row and the widest box.
  int inner = std::max(DisplayWidth(row_text), DisplayWidth(OneLine(caption)) + 2);
  for (const std::u32string& line : WrapText(text, most - 4)) {
    inner = std::max(inner, DisplayWidth(line));
  }
  inner = std::min(inner + 2, most - 2);
  std::vector<std::u32string> lines = WrapText(text, inner - 2);
  const int room = std::max(1, rows - 6);
  if (static_cast<int>(lines.size()) > room) lines.resize(static_cast<size_t>(room));

  const char32_t horizontal = utf8 ? U'\u2500' : U'-';
  const char32_t vertical = utf8 ? U'\u2502' : U'|';
  DialogBox box;
  auto framed = [&](const ScreenLine& content) {
    ScreenLine line;
    line.Add(std::u32string(1, vertical));
    for (const Segment& segment : content.segments) line.segments.push_back(segment);
    line.Add(std::u32string(static_cast<size_t>(std::max(0, inner - content.Width())), U' '));
    line.Add(std::u32string(1, vertical));
    return line;
  };
  const std::u32string title =
      U" " + FitWidth(OneLine(caption), std::min(DisplayWidth(OneLine(caption)), inner - 2)) + U" ";
  std::u32string top = std::u32string(1, utf8 ? U'\u250C' : U'+') + horizontal + title;
  top.append(static_cast<size_t>(std::max(0, inner + 1 - DisplayWidth(top))), horizontal);
  top += utf8 ? U'\u2510' : U'+';
  box.lines.push_back(ScreenLine().Add(top, kBold));
  box.lines.push_back(framed(ScreenLine()));
  for (const std::u32string& line : lines)
    box.lines.push_back(framed(ScreenLine().Add(U" " + line)));
  if (!lines.empty()) box.lines.push_back(framed(ScreenLine()));
  ScreenLine button_row;
  const int pad = std::max(0, (inner - DisplayWidth(row_text)) / 2);
  button_row.Add(std::u32string(static_cast<size_t>(pad), U' '));
  for (size_t i = 0; i < buttons.size(); ++i) {
    if (i > 0) button_row.Add(U"  ");
    button_row.Add(U"[ " + buttons[i].caption + U" ]", i == selected ? kReverse | kBold : kPlain);
  }
  box.lines.push_back(framed(button_row));
  std::u32string bottom(1, utf8 ? U'\u2514' : U'+');
  bottom.append(static_cast<size_t>(inner), horizontal);
  bottom += utf8 ? U'\u2518' : U'+';
  box.lines.push_back(ScreenLine().Add(bottom, kBold));
  const int width = inner + 2;
  box.left = std::max(0, (columns - width) / 2);
  box.top = std::max(0, (rows - static_cast<int>(box.lines.size())) / 2);
  return box;
}

}  // namespace setup_terminal
