// The window's front end: the QApplication, the wizard window over its session, the Qt message
// boxes and the verification window. Unattended with screenshots, the same window is built off
// screen and driven with every default, so the pictures show the real pages.
#pragma once

#include <memory>
#include <string>

#include "setup/session/front_end.h"

namespace setup_wizard {

struct WindowOptions {
  bool unattended = false;     // off screen, driven with the defaults
  std::string screenshot_dir;  // a PNG of the window each time a page has been shown
};

// `argc` must outlive the front end (QApplication keeps a reference to it).
std::unique_ptr<setup_session::WizardFrontEnd> CreateWindowFrontEnd(int& argc, char** argv,
                                                                    const WindowOptions& options);

}  // namespace setup_wizard
