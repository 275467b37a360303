// The wizard's link to the engine's script runner: a TSetupThread whose closing steps write and
// register the uninstaller.
#include <memory>

#include "setup/runtime/setup_thread.h"
#include "setup/session/runner_link.h"
#include "setup/session/uninstall.h"

namespace setup_session {

namespace {

class ScriptRunnerLink : public RunnerLink {
 public:
  ScriptRunnerLink() : thread_(std::make_unique<TSetupThread>()) {
    thread_->SetWriteUninstallerHook([] { RegisterUninstaller(); });
  }
  ~ScriptRunnerLink() override { StopAndJoin(); }
  void RequestRun() override { thread_->RequestRun(); }
  bool RunRequested() const override { return thread_ && thread_->RunRequested(); }
  bool WaitForRunEnd(std::chrono::milliseconds limit) override {
    return !thread_ || thread_->WaitForRunEnd(limit);
  }
  void StopAndJoin() override {
    if (!thread_) return;
    thread_->RequestStop();
    thread_->WaitFor();
    thread_.reset();
  }

 private:
  std::unique_ptr<TSetupThread> thread_;
};

}  // namespace

std::unique_ptr<RunnerLink> CreateScriptRunner() { return std::make_unique<ScriptRunnerLink>(); }

}  // namespace setup_session
