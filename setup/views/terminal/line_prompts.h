// Numbered choices for a terminal that cannot place its cursor (TERM=dumb): "1) Next >
// 2) Cancel" under the page or the message, and the answer typed to them.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "setup/session/wizard_session.h"
#include "setup/views/terminal/page_items.h"

namespace setup_terminal {

// "1) Next >  2) < Back  3) Cancel" (UTF-8).
std::string FormatChoices(const std::vector<std::u32string>& captions);

// The choice a typed line names: empty for DEFAULT_INDEX, a number from 1, or a word that
// starts the caption of exactly one choice (letters compared without regard to ASCII case, the
// caption's "<", ">" and blanks around them left out: "n" or "next" for "Next >"). Nothing for
// anything else.
std::optional<size_t> ParseChoice(const std::string& line,
                                  const std::vector<std::u32string>& captions,
                                  size_t default_index);

// Whether a typed line holds an Escape (typed before Enter): the quit question's key.
bool HoldsEscape(const std::string& line);

// What a choice under a page does.
enum class LineAction { kNext, kBack, kClose, kRadio, kFolder, kLanguage };

struct LineChoice {
  LineAction action;
  std::u32string caption;
  setup_session::ControlRef radio;  // for kRadio
};

// The choices under a page, the default first: Next (or Finish where Next is hidden), Back,
// Cancel, then a radio button each, the folder and the language. Empty while a run works.
std::vector<LineChoice> PageChoices(const std::vector<PageItem>& items,
                                    const setup_session::ButtonState& buttons);

}  // namespace setup_terminal
