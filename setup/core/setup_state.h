// SetupState: the process-wide state of one setup run, shared by the window thread and the
// script runner: the shared records, space figures, path variable values, the environment
// snapshot, the current script line, the stop request, progress and the progress sinks.
//
// Threads: the runner and the window thread share this object without a run-wide lock; the
// hand-over flag of the runner orders their phases. CurrentLine, StopRequested, the progress
// position and the two process flags are atomics (release on write, acquire on read); the sinks
// are guarded by a small mutex because the wizard may register them while a runner exists.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "setup/core/progress_sink.h"
#include "setup/core/registry_accessor.h"

class TPak;
class TSetupInfoFile;
class TCompLines;
class TCommandList;

// One variable of the environment snapshot.
struct TSysVar {
  std::string name;
  std::string value;
};

class SetupState {
 public:
  // The one instance; created on first use, lives until the process ends.
  static SetupState& Instance();

  // Back to the state of a fresh process: records recreated empty, figures and path variables
  // cleared, environment snapshot taken again, sinks removed, flags down. For tests.
  void Reset();

  // --- shared records ---
  // The package; none until start-up opens it.
  std::unique_ptr<TPak> package;
  TSetupInfoFile& SetupInfo() { return *setup_info_; }
  TCompLines& CompiledLines() { return *compiled_lines_; }
  TCommandList& Commands() { return *commands_; }
  // InstallDir of the setup information record (the value of $INSTDIR and $INSTALLDIR).
  const std::string& InstallDir() const;

  // The registry accessor shared by start-up, the registry commands and uninstall registration.
  TRegistryAccessor registry;

  // --- space figures (written at start-up and by the install-folder page) ---
  int64_t space_required = 0;
  std::string space_required_text;
  int64_t space_available = 0;
  std::string space_available_text;
  // Set the figure and its size text (FormatSize) together.
  void SetSpaceRequired(int64_t bytes);
  void SetSpaceAvailable(int64_t bytes);

  // --- path variables (values of $PROGRAMFILES, $SMPROGRAMS, $DESKTOP, $CDDRIVE) ---
  std::string program_files;  // ends in "\"
  std::string sm_programs;    // ends in "\"
  std::string desktop;        // ends in "\"
  std::string cd_drive;       // "D:\" or empty when the machine has no CD-ROM drive
  std::string language_selection = "English";
  // Resolves the shell folders and the first CD-ROM drive of the drive table once (start-up).
  // A shell folder that cannot be resolved gives "\".
  void ResolveSystemFolders();

  // Environment snapshot, taken when the state is created (and by Reset). Strings without a
  // name are left out, so "%%" never expands.
  std::vector<TSysVar> environment;
  void TakeEnvironmentSnapshot();
  // A %NAME% of a script text that the snapshot does not hold: true the first time NAME is
  // noted in this run, so each one is warned of once.
  bool NoteUnsetVariable(const std::string& name);

  // Kind flags of the package groups, filled at start-up.
  std::vector<bool> group_kinds;

  // Command-line parameters from the first on (not the program), as main() received them; the
  // error report lists them.
  std::vector<std::string> params;

  // --- the run ---
  int32_t CurrentLine() const { return current_line_.load(std::memory_order_acquire); }
  void SetCurrentLine(int32_t line) { current_line_.store(line, std::memory_order_release); }
  // Once requested, a stop stays requested for the rest of the process.
  bool StopRequested() const { return stop_requested_.load(std::memory_order_acquire); }
  void RequestStop() { stop_requested_.store(true, std::memory_order_release); }

  // The user (the quit question, SIGINT or SIGTERM) asked to stop the run and undo it. Also
  // requests the stop; safe to call from a signal handler.
  bool CancelRequested() const { return cancel_requested_.load(std::memory_order_acquire); }
  void RequestCancel() {
    cancel_requested_.store(true, std::memory_order_release);
    stop_requested_.store(true, std::memory_order_release);
  }
  // The script's own `failure` line ended the run: it keeps what was done, unlike a failed step
  // or a cancel. Also requests the stop.
  bool ScriptFailureRequested() const { return script_failure_.load(std::memory_order_acquire); }
  void RequestScriptFailure() {
    script_failure_.store(true, std::memory_order_release);
    stop_requested_.store(true, std::memory_order_release);
  }
  // A step of the kit's own (a write, a folder, the journal, a damaged package) failed: the run
  // is undone. Also requests the stop.
  bool StepFailed() const { return step_failed_.load(std::memory_order_acquire); }
  void RequestStepFailure() {
    step_failed_.store(true, std::memory_order_release);
    stop_requested_.store(true, std::memory_order_release);
  }
  // A line could not be carried out as written (a file line with an argument count its run side
  // refuses): the script goes on with the next line, but the run is not reported as finished.
  bool LineFaulted() const { return line_faulted_.load(std::memory_order_acquire); }
  void NoteLineFault() { line_faulted_.store(true, std::memory_order_release); }
  // Whether the run keeps what it did: it was not stopped, or only the script's failure line
  // stopped it.
  bool RunKept() const {
    return !StopRequested() || (ScriptFailureRequested() && !StepFailed() && !CancelRequested());
  }
  // Why the run failed, in one line ("Cannot write C:\x\a.dll: No space left on device");
  // empty while nothing failed. The first failure is kept.
  std::string FailureMessage() const;
  void SetFailureMessage(const std::string& message);

  // The application is closing (the window asked the runner to quit).
  bool Terminating() const { return terminating_.load(std::memory_order_acquire); }
  void SetTerminating(bool value) { terminating_.store(value, std::memory_order_release); }
  // Running without a user (setup --unattended): nothing is opened for a person to look at.
  bool Unattended() const { return unattended_.load(std::memory_order_acquire); }
  void SetUnattended(bool value) { unattended_.store(value, std::memory_order_release); }

  // --- progress ---
  // Position: only ever increases, through StepProgress.
  int32_t ProgressPosition() const { return progress_position_.load(std::memory_order_acquire); }
  int32_t ProgressTotal() const { return progress_total_.load(std::memory_order_acquire); }
  // Stores the total and, when a gauge is registered, makes it the gauge's maximum.
  void SetProgressTotal(int32_t total);

  // Registration of the wizard's controls; nullptr removes one. Before registration (or when
  // the layouts hold no such control) the status and progress calls do nothing.
  void SetStatusLineSink(std::shared_ptr<ProgressTextSink> sink);
  void SetSecondStatusLineSink(std::shared_ptr<ProgressTextSink> sink);
  void SetGaugeSink(std::shared_ptr<ProgressGaugeSink> sink);
  std::shared_ptr<ProgressTextSink> StatusLineSink() const;
  std::shared_ptr<ProgressTextSink> SecondStatusLineSink() const;
  std::shared_ptr<ProgressGaugeSink> GaugeSink() const;

  // Sets the status line's caption when a status line is registered.
  void SetStatusText(const std::u16string& text);
  // Sets the second status line's caption when registered; `repaint` repaints its parent.
  void SetSecondStatusText(const std::u16string& text, bool repaint);
  // With a registered gauge: position += 1 and, with `update`, the gauge shows it.
  void StepProgress(bool update);

  SetupState(const SetupState&) = delete;
  SetupState& operator=(const SetupState&) = delete;

 private:
  SetupState();
  ~SetupState();

  std::unique_ptr<TSetupInfoFile> setup_info_;
  std::unique_ptr<TCompLines> compiled_lines_;
  std::unique_ptr<TCommandList> commands_;

  std::atomic<int32_t> current_line_{0};
  std::atomic<bool> stop_requested_{false};
  std::atomic<bool> cancel_requested_{false};
  std::atomic<bool> script_failure_{false};
  std::atomic<bool> line_faulted_{false};
  std::atomic<bool> step_failed_{false};
  std::atomic<bool> terminating_{false};
  std::atomic<bool> unattended_{false};
  std::atomic<int32_t> progress_position_{0};
  std::atomic<int32_t> progress_total_{0};

  mutable std::mutex failure_mutex_;
  std::string failure_message_;
  std::mutex unset_variables_mutex_;
  std::set<std::string> unset_variables_;
  mutable std::mutex sink_mutex_;
  std::shared_ptr<ProgressTextSink> status_line_;
  std::shared_ptr<ProgressTextSink> second_status_line_;
  std::shared_ptr<ProgressGaugeSink> gauge_;
};
