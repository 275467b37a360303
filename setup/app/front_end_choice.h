// Which view serves a run: the unattended view, the terminal wizard, or the window the installer
// carries (started as a program of its own where a display is found), and what happens when the
// window cannot be shown. One function, so that another view slots in beside these.
#pragma once

#include <memory>
#include <string>

#include "setup/app/options.h"
#include "setup/session/front_end.h"

namespace setup_app {

// Whether a window system is there to show a window on: DISPLAY or WAYLAND_DISPLAY set, or a
// Qt platform (QT_QPA_PLATFORM, such as offscreen) chosen by the caller.
bool HasDisplay();

enum class ViewKind { kUnattended, kTerminal, kWindow };

struct FrontEndChoice {
  // Null when no view can serve the run (what is missing has been printed; the program ends
  // with exit code 2).
  std::unique_ptr<setup_session::WizardFrontEnd> front_end;
  ViewKind kind = ViewKind::kUnattended;
};

// The front end for `options`, showing the package in the file `package_path`:
//  --unattended: no view (with --screenshot-dir, the window off screen, or nothing);
//  --text: the terminal wizard (standard input must be a terminal);
//  a display: the window; when it cannot be shown, the terminal wizard if standard input is a
//  terminal, else nothing;
//  no display: the terminal wizard if standard input is a terminal, else nothing.
FrontEndChoice ChooseFrontEnd(const SetupOptions& options, const std::string& package_path);

// What to run instead where no window can be shown: the file that was started (its host path),
// the package file when another was named, and the options an unattended run of it takes (an
// uninstaller's: no --dir), as `run "COMMAND" to install without a window`.
std::string UnattendedHint(const std::string& package_path);

}  // namespace setup_app
