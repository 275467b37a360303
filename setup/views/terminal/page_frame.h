// One screen of the terminal wizard: the title, the page's items, the button row and a line of
// key hints, laid out for the terminal's size; and where the keyboard focus can go.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "setup/session/wizard_session.h"
#include "setup/views/terminal/page_items.h"
#include "setup/views/terminal/screen_lines.h"

namespace setup_terminal {

enum class Target { kNone, kField, kRadio, kScroll, kLanguage, kBack, kNext, kCancel };

struct Focus {
  Target target = Target::kNone;
  setup_session::ControlRef radio;  // the radio button, for kRadio
  bool operator==(const Focus& other) const {
    return target == other.target &&
           (target != Target::kRadio ||
            (radio.page == other.radio.page && radio.index == other.radio.index));
  }
};

// The button Enter presses: Next when it is there and enabled, else Finish (the Cancel button
// of the Finish page, when Next is hidden); nothing while a run works.
std::optional<Target> DefaultButton(const setup_session::ButtonState& buttons);
// Where Tab goes, in order: the field, the radio buttons, the scrolled text, then the language,
// Back, Next and Cancel buttons that are shown and enabled.
std::vector<Focus> FocusOrder(const std::vector<PageItem>& items,
                              const setup_session::ButtonState& buttons);
// The focus a page starts with: the field, the checked radio button, or the default button.
Focus FirstFocus(const std::vector<PageItem>& items, const setup_session::ButtonState& buttons);

struct FrameInput {
  int width = 80;
  int height = 24;
  std::u32string title;
  std::vector<PageItem> items;
  setup_session::ButtonState buttons;
  Focus focus;
  int scroll = 0;           // the first line of the scrolled text shown
  size_t field_cursor = 0;  // the cursor's place in the field, in characters
  bool utf8 = true;         // box and bar characters, or ASCII ones
  bool plain = false;       // lines to print, not a screen: the field is not padded
};

struct Frame {
  std::vector<ScreenLine> lines;  // exactly `height` lines
  int cursor_row = -1;            // where the terminal's cursor shows (in the field); -1: hidden
  int cursor_col = -1;
  int scroll_lines = 0;  // lines of the scrolled text
  int scroll_rows = 0;   // rows it is shown in
};

Frame ComposeFrame(const FrameInput& input);

// The page's items as plain lines of at most WIDTH columns, the scrolled text in full: what a
// dumb terminal prints.
std::vector<std::string> PlainPage(const std::vector<PageItem>& items, int width, bool utf8);

// The button row: the language button on the left; Back, Next and Cancel on the right.
ScreenLine ButtonRow(const setup_session::ButtonState& buttons, const Focus& focus, int width,
                     bool utf8);

// The gauge as a bar of WIDTH columns with the percentage after it.
std::u32string GaugeBar(int32_t position, int32_t maximum, int width, bool utf8);

}  // namespace setup_terminal
