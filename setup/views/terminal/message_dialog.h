// A message box as the terminal shows it: its buttons by the box's flags, the answer of the
// Escape key, and the box's lines, centred over the screen.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "setup/views/terminal/screen_lines.h"

namespace setup_terminal {

struct DialogButton {
  int answer;  // a platform::kId value
  std::u32string caption;
};

// The buttons a message box shows (OK; OK Cancel; Yes No Cancel; Yes No; Retry Cancel), in
// order; the default one is the first unless the flags name another (DefaultButtonIndex).
std::vector<DialogButton> DialogButtons(uint32_t flags);
// Escape answers Cancel where the box has it, else No, else OK.
int EscapeAnswer(uint32_t flags);
// The button whose caption starts with the typed letter (y, n, o, c, r), or -1.
int ButtonForLetter(const std::vector<DialogButton>& buttons, char32_t letter);

struct DialogBox {
  int top = 0;
  int left = 0;
  std::vector<ScreenLine> lines;  // each of the box's full width
};

// The box for a screen of COLUMNS x ROWS: the caption in its frame, the text wrapped, the
// buttons in a row with SELECTED highlighted. A text too long for the screen is cut.
DialogBox ComposeDialog(const std::u32string& caption, const std::u32string& text,
                        const std::vector<DialogButton>& buttons, size_t selected, int columns,
                        int rows, bool utf8);

}  // namespace setup_terminal
