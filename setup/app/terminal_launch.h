// A terminal window for the terminal wizard, for an installer started from a file manager on a
// desktop where its own window cannot be shown: there is no terminal to fall back on, and
// ending in silence would leave the user with nothing.
#pragma once

#include <string>
#include <vector>

namespace setup_app {

// The terminal emulators tried, in order, each with the option after which it takes the
// program to run and its arguments: the one $TERMINAL names, Debian's x-terminal-emulator, then
// the common desktops' own.
struct TerminalEmulator {
  std::string program;
  std::string run_option;
};
std::vector<TerminalEmulator> TerminalEmulators();

// Replaces this process with the first terminal emulator found on PATH, running this program
// again with `args` (the arguments it was started with) and --text. Returns only when none can
// be started.
void ExecTerminalWizard(const std::vector<std::string>& args);

}  // namespace setup_app
