// The script runner as the wizard sees it: idle until a run is requested, cleared when done.
#pragma once

#include <memory>

namespace setup_session {

class RunnerLink {
 public:
  virtual ~RunnerLink() = default;
  virtual void RequestRun() = 0;
  virtual bool RunRequested() const = 0;
  // Asks the runner to quit and waits for it without a time limit; harmless when repeated.
  virtual void StopAndJoin() = 0;
};

// Creates the runner thread, idle (the engine's script runner, whose closing steps write and
// register the uninstaller).
std::unique_ptr<RunnerLink> CreateScriptRunner();

}  // namespace setup_session
