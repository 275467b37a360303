#include "setup/app/stop_signals.h"

#include <signal.h>

#include <atomic>
#include <cstring>

#include "setup/core/setup_state.h"

static_assert(std::atomic<bool>::is_always_lock_free,
              "the handler may only store a lock-free flag");

namespace {

// Only an atomic store: safe inside a signal handler. The window's timer and the runner's
// line loop notice it.
void OnStopSignal(int /*signal*/) { SetupState::Instance().RequestCancel(); }

}  // namespace

void InstallStopSignalHandlers() {
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  // A closed terminal (or ssh session) ends the run the same way, undone, rather than killing it
  // halfway through a change.
  sigaction(SIGHUP, &action, nullptr);
}
