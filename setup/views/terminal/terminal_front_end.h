// The front end of the terminal wizard (`setup --text`, or no display and a terminal): the
// full screen on a capable terminal, numbered line prompts on a dumb one; message boxes in the
// terminal too.
#pragma once

#include <memory>

#include "setup/session/front_end.h"

namespace setup_terminal {

std::unique_ptr<setup_session::WizardFrontEnd> CreateTerminalFrontEnd();

}  // namespace setup_terminal
