// Takes every default of a wizard session: Next on every page until the Finish page, which is
// then closed; a licence page only when the command line accepts it. Used by `setup --unattended`,
// whatever view shows the pages meanwhile.
#pragma once

#include <functional>

namespace setup_session {

class WizardSession;

enum class DriveResult {
  kEnded,  // the session closed (finished, cancelled) or an install error ended it
  kStuck,  // Next could not be pressed; the reason is on standard error and in the run log
};

// Drives the started session to its end. `idle` runs between steps (a view's event handling).
// A cancel requested from outside (a signal) closes the session once no run is working. A licence
// page is accepted only with `accept_license` (--accept-license); otherwise the run is stuck
// there, before anything was installed.
DriveResult DriveWithDefaults(WizardSession& session, const std::function<void()>& idle,
                              bool accept_license = false);

}  // namespace setup_session
