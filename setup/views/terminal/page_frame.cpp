#include "setup/views/terminal/page_frame.h"

#include <algorithm>

#include "setup/views/terminal/text_layout.h"

namespace setup_terminal {

namespace {

using setup_session::ButtonState;

constexpr int kMargin = 2;         // columns left and right of the page's text
constexpr int kMinScrollRows = 3;  // a scrolled text gets at least these rows

std::u32string Wide(const std::u16string& text) { return FromUtf16(text); }

std::u32string ButtonText(const std::u16string& caption) { return U"[ " + Wide(caption) + U" ]"; }

// Items that follow another one without a blank line between them.
bool Joined(ItemKind before, ItemKind item) {
  return (before == ItemKind::kRadio && item == ItemKind::kRadio) || before == ItemKind::kField ||
         before == ItemKind::kNote || (before == ItemKind::kStatus && item == ItemKind::kGauge);
}

// The visible part of the field's text with the cursor in view, and the cursor's column in it.
std::u32string FieldWindow(const std::u32string& text, size_t cursor, int width, int& column) {
  cursor = std::min(cursor, text.size());
  size_t first = 0;
  // Scroll so that the text before the cursor fits, with the cursor's own column.
  while (first < cursor && DisplayWidth(text.substr(first, cursor - first)) > width - 1) ++first;
  column = DisplayWidth(text.substr(first, cursor - first));
  return FitWidth(text.substr(first), width);
}

struct Body {
  std::vector<ScreenLine> lines;
  int scroll_at = -1;  // the line where the scrolled text's rows go, -1 for none
  int cursor_row = -1;
  int cursor_col = -1;
  std::u32string scroll_text;
  bool scroll_focused = false;
};

Body LayOutItems(const FrameInput& input, int width) {
  Body body;
  std::optional<ItemKind> before;
  for (const PageItem& item : input.items) {
    if (item.kind == ItemKind::kNote && item.text.empty()) continue;
    if (before && !Joined(*before, item.kind)) body.lines.emplace_back();
    before = item.kind;
    switch (item.kind) {
      case ItemKind::kText:
        for (const std::u32string& line : WrapText(item.text, width)) {
          body.lines.push_back(ScreenLine().Add(line, item.bold ? kBold : kPlain));
        }
        break;
      case ItemKind::kStatus:
        body.lines.push_back(ScreenLine().Add(OneLine(item.text)));
        break;
      case ItemKind::kNote:
        for (const std::u32string& line : WrapText(item.text, width)) {
          body.lines.push_back(ScreenLine().Add(line, kDim));
        }
        break;
      case ItemKind::kGauge:
        body.lines.push_back(
            ScreenLine().Add(GaugeBar(item.position, item.maximum, width, input.utf8)));
        break;
      case ItemKind::kField: {
        const bool focused = input.focus.target == Target::kField;
        int column = 0;
        const std::u32string shown =
            input.plain ? OneLine(item.text)
                        : FieldWindow(item.text, input.field_cursor, width - 2, column);
        body.lines.push_back(ScreenLine().Add(U"[").Add(shown, kUnderline).Add(U"]"));
        if (focused) {
          body.cursor_row = static_cast<int>(body.lines.size()) - 1;
          body.cursor_col = 1 + column;
        }
        break;
      }
      case ItemKind::kRadio: {
        const bool focused = input.focus == Focus{Target::kRadio, item.ref};
        const std::u32string mark = item.checked ? U"(*) " : U"( ) ";
        // A caption of several lines shows its first line after the mark.
        const std::vector<std::u32string> lines = WrapText(item.text, width - 4);
        body.lines.push_back(ScreenLine().Add(U"  ").Add(mark + (lines.empty() ? U"" : lines[0]),
                                                         focused ? kReverse : kPlain));
        break;
      }
      case ItemKind::kScrollText:
        if (body.scroll_at >= 0) break;  // one scrolled text per page is shown
        body.scroll_at = static_cast<int>(body.lines.size());
        body.scroll_text = item.text;
        body.scroll_focused = input.focus.target == Target::kScroll;
        break;
    }
  }
  return body;
}

}  // namespace

std::vector<std::string> PlainPage(const std::vector<PageItem>& items, int width, bool utf8) {
  FrameInput input;
  input.items = items;
  input.utf8 = utf8;
  input.plain = true;
  // The status line and the gauge are printed as progress lines while a run works.
  std::erase_if(input.items, [](const PageItem& item) {
    return item.kind == ItemKind::kStatus || item.kind == ItemKind::kGauge;
  });
  Body body = LayOutItems(input, width);
  if (body.scroll_at >= 0) {
    std::vector<ScreenLine> rows;
    for (const std::u32string& line : WrapText(body.scroll_text, width - 2)) {
      rows.push_back(ScreenLine().Add(U"  " + line));
    }
    body.lines.insert(body.lines.begin() + body.scroll_at, rows.begin(), rows.end());
  }
  std::vector<std::string> lines;
  for (const ScreenLine& line : body.lines) lines.push_back(PlainLine(line));
  return lines;
}

std::optional<Target> DefaultButton(const ButtonState& buttons) {
  if (buttons.next_visible && buttons.next_enabled) return Target::kNext;
  if (!buttons.next_visible && buttons.cancel_enabled) return Target::kCancel;
  return std::nullopt;
}

std::vector<Focus> FocusOrder(const std::vector<PageItem>& items, const ButtonState& buttons) {
  std::vector<Focus> order;
  for (const PageItem& item : items) {
    if (item.kind == ItemKind::kField) order.push_back({Target::kField, {}});
    if (item.kind == ItemKind::kRadio) order.push_back({Target::kRadio, item.ref});
    if (item.kind == ItemKind::kScrollText &&
        std::none_of(order.begin(), order.end(),
                     [](const Focus& f) { return f.target == Target::kScroll; })) {
      order.push_back({Target::kScroll, {}});
    }
  }
  if (buttons.language_visible) order.push_back({Target::kLanguage, {}});
  if (buttons.back_visible) order.push_back({Target::kBack, {}});
  if (buttons.next_visible && buttons.next_enabled) order.push_back({Target::kNext, {}});
  if (buttons.cancel_enabled) order.push_back({Target::kCancel, {}});
  return order;
}

Focus FirstFocus(const std::vector<PageItem>& items, const ButtonState& buttons) {
  for (const PageItem& item : items) {
    if (item.kind == ItemKind::kField) return {Target::kField, {}};
  }
  for (const PageItem& item : items) {
    if (item.kind == ItemKind::kRadio && item.checked) return {Target::kRadio, item.ref};
  }
  if (std::optional<Target> target = DefaultButton(buttons)) return {*target, {}};
  return {};
}

std::u32string GaugeBar(int32_t position, int32_t maximum, int width, bool utf8) {
  const int bar = std::max(1, width - 7);
  const int64_t clamped = maximum > 0 ? std::clamp<int64_t>(position, 0, maximum) : 0;
  const int filled = maximum > 0 ? static_cast<int>(clamped * bar / maximum) : 0;
  const int percent = maximum > 0 ? static_cast<int>(clamped * 100 / maximum) : 0;
  std::u32string text = U"[";
  text.append(static_cast<size_t>(filled), utf8 ? U'\u2588' : U'#');
  text.append(static_cast<size_t>(bar - filled), utf8 ? U'\u2591' : U'.');
  std::u32string number = FromUtf8(std::to_string(percent));
  text += U"] " + std::u32string(3 - std::min<size_t>(3, number.size()), U' ') + number + U"%";
  return text;
}

ScreenLine ButtonRow(const ButtonState& buttons, const Focus& focus, int width, bool utf8) {
  const std::optional<Target> fallback = DefaultButton(buttons);
  auto look = [&](Target target, bool enabled) -> uint8_t {
    uint8_t value = enabled ? kPlain : kDim;
    if (focus.target == target) value |= kReverse;
    if (fallback && *fallback == target) value |= kBold;
    return value;
  };
  ScreenLine left;
  if (buttons.language_visible) {
    left.Add(ButtonText(buttons.language_caption + (utf8 ? u" \u25BE" : u" v")),
             look(Target::kLanguage, true));
  }
  auto buttons_right = [&](const std::u32string& gap) {
    ScreenLine right;
    auto add = [&](Target target, const std::u16string& caption, bool enabled) {
      if (!right.segments.empty()) right.Add(gap);
      right.Add(ButtonText(caption), look(target, enabled));
    };
    if (buttons.back_visible) add(Target::kBack, buttons.back_caption, true);
    if (buttons.next_visible) add(Target::kNext, buttons.next_caption, buttons.next_enabled);
    add(Target::kCancel, buttons.cancel_caption, buttons.cancel_enabled);
    return right;
  };
  // A narrow screen gets the language button without its caption, and the others closer.
  ScreenLine right = buttons_right(U"  ");
  if (left.Width() + right.Width() + 3 > width && !left.segments.empty()) {
    left.segments[0].text = utf8 ? U"[\u25BE]" : U"[v]";
  }
  if (left.Width() + right.Width() + 3 > width) right = buttons_right(U" ");
  ScreenLine row;
  row.Add(U" ");
  for (const Segment& segment : left.segments) row.segments.push_back(segment);
  const int gap = std::max(1, width - 1 - row.Width() - right.Width() - 1);
  row.Add(std::u32string(static_cast<size_t>(gap), U' '));
  for (const Segment& segment : right.segments) row.segments.push_back(segment);
  return row;
}

Frame ComposeFrame(const FrameInput& input) {
  Frame frame;
  const int width = std::max(20, input.width);
  const int height = std::max(8, input.height);
  const int text_width = width - 2 * kMargin;
  const int body_rows = height - 5;  // title, blank; rule, buttons, hints

  Body body = LayOutItems(input, text_width);
  std::vector<std::u32string> scroll_lines;
  if (body.scroll_at >= 0) {
    scroll_lines = WrapText(body.scroll_text, text_width - 2);
    const int other = static_cast<int>(body.lines.size());
    frame.scroll_rows = std::max(kMinScrollRows, body_rows - other);
    frame.scroll_lines = static_cast<int>(scroll_lines.size());
    const int first =
        std::clamp(input.scroll, 0, std::max(0, frame.scroll_lines - frame.scroll_rows));
    std::vector<ScreenLine> rows;
    for (int r = 0; r < frame.scroll_rows; ++r) {
      const int n = first + r;
      const std::u32string text = n < frame.scroll_lines ? scroll_lines[n] : U"";
      // The gutter on the left shows where the view is: a bar beside the shown part.
      const bool more_above = first > 0 && r == 0;
      const bool more_below = n + 1 < frame.scroll_lines && r == frame.scroll_rows - 1;
      std::u32string gutter = more_above   ? (input.utf8 ? U"\u25B2" : U"^")
                              : more_below ? (input.utf8 ? U"\u25BC" : U"v")
                                           : (input.utf8 ? U"\u2502" : U"|");
      rows.push_back(ScreenLine().Add(gutter, body.scroll_focused ? kBold : kDim).Add(U" " + text));
    }
    body.lines.insert(body.lines.begin() + body.scroll_at, rows.begin(), rows.end());
    if (body.cursor_row >= body.scroll_at) body.cursor_row += frame.scroll_rows;
  }

  // On a low screen the page moves up so that the field being typed in stays in view.
  if (body.cursor_row >= body_rows) {
    const int shift = body.cursor_row - body_rows + 1;
    body.lines.erase(body.lines.begin(), body.lines.begin() + shift);
    body.cursor_row -= shift;
  }
  frame.lines.push_back(ScreenLine().Add(FitWidth(U" " + input.title, width), kReverse));
  frame.lines.emplace_back();
  for (int r = 0; r < body_rows; ++r) {
    ScreenLine line;
    line.Add(std::u32string(kMargin, U' '));
    if (r < static_cast<int>(body.lines.size())) {
      for (const Segment& segment : body.lines[r].segments) line.segments.push_back(segment);
    }
    frame.lines.push_back(line);
  }
  if (body.cursor_row >= 0 && body.cursor_row < body_rows) {
    frame.cursor_row = 2 + body.cursor_row;
    frame.cursor_col = kMargin + body.cursor_col;
  }
  frame.lines.push_back(ScreenLine().Add(
      std::u32string(static_cast<size_t>(width), input.utf8 ? U'\u2500' : U'-'), kDim));
  frame.lines.push_back(ButtonRow(input.buttons, input.focus, width, input.utf8));

  std::u32string hints;
  if (std::optional<Target> target = DefaultButton(input.buttons)) {
    hints =
        U"Enter: " +
        Wide(*target == Target::kNext ? input.buttons.next_caption : input.buttons.cancel_caption) +
        U"   ";
  }
  hints += U"Tab: move   ";
  if (frame.scroll_lines > frame.scroll_rows) hints += U"PgUp/PgDn: scroll   ";
  hints += U"Esc: quit";
  frame.lines.push_back(ScreenLine().Add(U" " + hints, kDim));
  return frame;
}

}  // namespace setup_terminal
