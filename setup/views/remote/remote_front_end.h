// The window as a view in another process: the session stays here, and the window program
// (started from the package) is told of every change and sends back the user's actions. Message
// boxes are shown there and the asking thread waits for the answer; progress is sent at most a
// few hundred times a second whatever the runner's pace.
#pragma once

#include <memory>
#include <string>

#include "setup/session/front_end.h"
#include "setup/session/runner_link.h"
#include "setup/views/remote/window_link.h"

namespace setup_remote {

class WindowProgram;

struct RemoteOptions {
  // Driven with every default (the window off screen, for its screenshots); the window's
  // actions are not taken and message boxes go to the console.
  bool unattended = false;
  // The window saves a picture of every page: each page waits until its picture is taken, so
  // the picture shows the page as it was when it arrived, before the run changed anything.
  bool screenshots = false;
  // Unattended: a licence page is accepted (--accept-license).
  bool accept_license = false;
};

// A front end over a window that is connected and ready. `program` (may be null, as in tests)
// is ended after the link when the front end goes; `runner` is the session's script runner.
std::unique_ptr<setup_session::WizardFrontEnd> CreateRemoteFrontEnd(
    std::shared_ptr<WindowLink> link, std::unique_ptr<WindowProgram> program,
    const RemoteOptions& options,
    std::unique_ptr<setup_session::RunnerLink> runner = setup_session::CreateScriptRunner());

}  // namespace setup_remote
