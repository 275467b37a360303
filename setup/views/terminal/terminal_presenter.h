// Message boxes in the terminal: a box over the page with its buttons (arrows or Tab move,
// Enter takes the highlighted one, a button's first letter takes it, Esc answers Cancel or No),
// or numbered choices under the text on a dumb terminal. Any thread may ask: the script
// runner's waits here until the box is answered, holding the terminal so that the wizard's own
// drawing waits too.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/message_box.h"
#include "setup/views/terminal/message_dialog.h"
#include "setup/views/terminal/terminal_device.h"
#include "setup/views/terminal/terminal_screen.h"

namespace setup_terminal {

class TerminalPresenter : public platform::MessageBoxPresenter {
 public:
  TerminalPresenter(std::shared_ptr<TerminalDevice> device, std::shared_ptr<TerminalScreen> screen,
                    bool utf8)
      : device_(std::move(device)), screen_(std::move(screen)), utf8_(utf8) {}

  int Show(const std::string& text, const std::string& caption, uint32_t flags) override;
  int ShowWide(const std::u16string& text, const std::u16string& caption, uint32_t flags) override;

  // A box of BUTTONS with SELECTED highlighted; answers the chosen button's answer, or
  // ESCAPE_ANSWER for Esc (and when no answer can come).
  int Choose(const std::u32string& caption, const std::u32string& text,
             const std::vector<DialogButton>& buttons, size_t selected, int escape_answer);

 private:
  int AskOnScreen(const std::u32string& caption, const std::u32string& text,
                  const std::vector<DialogButton>& buttons, size_t selected, int escape_answer);
  int AskByLines(const std::u32string& caption, const std::u32string& text,
                 const std::vector<DialogButton>& buttons, size_t selected, int escape_answer);

  std::shared_ptr<TerminalDevice> device_;
  std::shared_ptr<TerminalScreen> screen_;
  bool utf8_;
};

}  // namespace setup_terminal
