// The script runner as the wizard sees it: idle until a run is requested, cleared when done.
#pragma once

#include <chrono>
#include <memory>
#include <thread>

namespace setup_session {

class RunnerLink {
 public:
  virtual ~RunnerLink() = default;
  virtual void RequestRun() = 0;
  virtual bool RunRequested() const = 0;
  // Waits at most `limit` for the requested run to end; answers whether it has. A runner that
  // cannot be waited on is looked at every millisecond.
  virtual bool WaitForRunEnd(std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (RunRequested()) {
      if (std::chrono::steady_clock::now() >= until) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
  }
  // Asks the runner to quit and waits for it without a time limit; harmless when repeated.
  virtual void StopAndJoin() = 0;
};

// Creates the runner thread, idle (the engine's script runner, whose closing steps write and
// register the uninstaller).
std::unique_ptr<RunnerLink> CreateScriptRunner();

}  // namespace setup_session
