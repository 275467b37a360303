// TSetupThread: the script runner. A worker thread that idles until the wizard requests a run,
// then runs every compiled line once through the command registry, performs the closing steps
// of an install (install folder, install log, uninstaller) and clears the request again.
//
// Hand-over: RunRequested and QuitRequested are atomics (release on write, acquire on read);
// while a run is in progress the window thread only waits for RunRequested to clear, so the
// runner alone touches the package, the compiled lines and the uninstall list. No exception
// leaves the thread: the thread's top takes an error escaping a run, shows it (the error report
// as "Setup Thread", or the message a fatal archive error carries) and ends the process with the
// error's exit code.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class SetupError;

class TSetupThread {
 public:
  // Writes and registers the uninstaller; called on the runner thread after the install log was
  // saved, only when the setup information's CreateUninstaller is 1. A failure inside stops the
  // run as a failed step does (FailStep).
  using UninstallerWriter = std::function<void()>;
  // Receives an error that escaped a run, its error type set to "Setup Thread" when it named
  // none. Without a reporter the thread shows the error and ends the process; a reporter that
  // returns ends just that run.
  using ErrorReporter = std::function<void(const SetupError&)>;

  // Clears both flags and starts the thread at once.
  TSetupThread();
  // Asks the thread to quit and waits for it (a run in progress is finished first).
  ~TSetupThread();
  TSetupThread(const TSetupThread&) = delete;
  TSetupThread& operator=(const TSetupThread&) = delete;

  // The wizard's side: set CurrentLine to -1 first, then request the run and wait until
  // RunRequested() is false again.
  void RequestRun() { run_requested_.store(true, std::memory_order_release); }
  bool RunRequested() const { return run_requested_.load(std::memory_order_acquire); }
  // Waits at most `limit` for RunRequested() to clear; answers whether it has. The wizard keeps
  // its view alive between these waits and learns of the run's end at once.
  bool WaitForRunEnd(std::chrono::milliseconds limit);
  // QuitRequested := true; the idle loop ends after the current run (if any).
  void RequestStop() { quit_requested_.store(true, std::memory_order_release); }
  bool QuitRequested() const { return quit_requested_.load(std::memory_order_acquire); }
  // Waits for the thread to end (after RequestStop).
  void WaitFor();

  // The call point for writing the uninstaller (set by the wizard before a run).
  void SetWriteUninstallerHook(UninstallerWriter hook);
  void SetErrorReporter(ErrorReporter reporter);

  // One run on the calling thread, as a transaction: the rollback journal is opened, the line
  // loop and the closing steps run, and the journal is committed. The script's failure line
  // stops the loop but keeps what was done: the closing steps run and the journal is committed.
  // A failed step or a cancel stops the loop, skips the closing steps and rolls every change
  // back; a failed step is then named in a message box ("Setup Error"). The thread body calls
  // it; it may throw, after rolling back.
  void PerformRun();
  // Runs without a rollback journal (for measuring what the journal costs). On by default.
  void SetJournalEnabled(bool enabled);

 private:
  void Body();
  void RunLines();
  void ClosingSteps();

  std::atomic<bool> run_requested_{false};
  std::atomic<bool> quit_requested_{false};
  std::atomic<bool> journal_enabled_{true};
  std::mutex run_end_mutex_;
  std::condition_variable run_ended_;
  std::mutex hook_mutex_;
  UninstallerWriter write_uninstaller_;
  ErrorReporter error_reporter_;
  // An earlier install's folders, removed once the run is committed when they are empty.
  std::vector<std::string> emptied_folders_;
  std::thread thread_;
};
