#include "setup/runtime/setup_thread.h"

#include <exception>
#include <optional>
#include <utility>

#include "platform/failure.h"
#include "platform/message_box.h"
#include "platform/safe_parent.h"
#include "platform/system.h"
#include "platform/text_encoding.h"
#include "setup/commands/archive_runs.h"
#include "setup/commands/command_support.h"
#include "setup/commands/rollback_journal.h"
#include "setup/commands/uninstall_list.h"
#include "setup/commands/upgrade_cleanup.h"
#include "setup/core/command_class.h"
#include "setup/core/compiled_lines.h"
#include "setup/core/run_log.h"
#include "setup/core/setup_error.h"
#include "setup/core/setup_info.h"
#include "setup/core/setup_state.h"
#include "setup/core/text_services.h"
#include "setup/errorlog/error_ending.h"
#include "setup/errorlog/error_log.h"

namespace {

// Ids the registry defines; a line with any other id is not dispatched.
constexpr int32_t kFirstCommandId = 1;
constexpr int32_t kLastCommandId = 32;

// "line N: command arguments", arguments as the line holds them (quoted when they hold blanks).
void LogScriptLine(const std::string& command, const TCompLine& line) {
  std::string text = "script line " + std::to_string(line.LineIndex + 1) + ": " + command;
  for (const std::string& argument : line.Arguments) {
    const bool quote = argument.empty() || argument.find(' ') != std::string::npos;
    text += quote ? " \"" + argument + "\"" : " " + argument;
  }
  RunLog(text);
}

// The journal's folder is a host path (UTF-8); messages are Windows-1252 text.
std::string JournalFailure() {
  return "Cannot write the rollback journal in " +
         platform::Utf8ToCp1252Escaped(TRollbackJournal::Folder());
}

// A container a vfsupdate line left open is closed before a rollback puts the files it changed
// back, so nothing writes to them afterwards. Its own failure changes nothing: the copy goes back.
void FinishOpenContainer() {
  try {
    CloseOpenVfsContainer();
  } catch (...) {
  }
}

void LogWriteFailed(const TSetupInfoFile& info) {
  FailStep("Cannot write " +
           PlaceName(TUninstallList::LogPath(info.InstallDir, info.UninstallPrefix)));
}

}  // namespace

TSetupThread::TSetupThread() : thread_([this] { Body(); }) {}

TSetupThread::~TSetupThread() {
  RequestStop();
  WaitFor();
}

void TSetupThread::WaitFor() {
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

bool TSetupThread::WaitForRunEnd(std::chrono::milliseconds limit) {
  std::unique_lock<std::mutex> lock(run_end_mutex_);
  return run_ended_.wait_for(lock, limit, [this] { return !RunRequested(); });
}

void TSetupThread::SetWriteUninstallerHook(UninstallerWriter hook) {
  std::lock_guard<std::mutex> lock(hook_mutex_);
  write_uninstaller_ = std::move(hook);
}

void TSetupThread::SetErrorReporter(ErrorReporter reporter) {
  std::lock_guard<std::mutex> lock(hook_mutex_);
  error_reporter_ = std::move(reporter);
}

void TSetupThread::Body() {
  while (!QuitRequested()) {
    if (RunRequested()) {
      std::optional<SetupError> error;
      try {
        PerformRun();
      } catch (const SetupError& e) {
        error = e.InStage(kErrorTypeSetupThread);
      } catch (const std::exception& e) {
        error = SetupError(*e.what() ? e.what() : "Unknown error", kErrorTypeSetupThread);
      } catch (...) {
        error = SetupError("Unknown error", kErrorTypeSetupThread);
      }
      if (error) {
        ErrorReporter reporter;
        {
          std::lock_guard<std::mutex> lock(hook_mutex_);
          reporter = error_reporter_;
        }
        if (reporter) {
          reporter(*error);
        } else {
          // The top of the runner: the error is shown here and the process ends with its code.
          platform::ExitProcess(ShowEndingError(*error));
        }
      }
      {
        std::lock_guard<std::mutex> lock(run_end_mutex_);
        run_requested_.store(false, std::memory_order_release);
      }
      run_ended_.notify_all();
    }
    platform::Sleep(1);
  }
}

void TSetupThread::SetJournalEnabled(bool enabled) {
  journal_enabled_.store(enabled, std::memory_order_release);
}

void TSetupThread::PerformRun() {
  SetupState& state = SetupState::Instance();
  RunLog("run started: install folder " + state.SetupInfo().InstallDir + ", space required " +
         state.space_required_text + ", space available " + state.space_available_text);
  TRollbackJournal& journal = TRollbackJournal::Instance();
  // Below the install folder nothing is changed through a link, wherever the folder lies.
  const platform::TrustedFolderScope run_folder(state.InstallDir());
  platform::StartFaultCounting();
  emptied_folders_.clear();
  if (journal_enabled_.load(std::memory_order_acquire) && !journal.Begin()) {
    FailStep(JournalFailure());
  }
  try {
    if (!state.StopRequested()) RunLines();
    // The script's own failure line keeps what was done: the closing steps run after it too.
    if (state.RunKept()) ClosingSteps();
    // Kept only once the commit is on disk; a commit that cannot be written undoes the run.
    if (state.RunKept() && !journal.Commit()) {
      FailStep(JournalFailure());
    }
    // Only now are the set-aside copies of an earlier install's files gone from its folders.
    if (state.RunKept()) RemoveEmptiedFolders(std::exchange(emptied_folders_, {}));
  } catch (...) {
    FinishOpenContainer();
    journal.Rollback();
    throw;
  }
  if (state.RunKept()) {
    RunLog(state.StopRequested() ? "run stopped by the script's failure line; what it did is kept"
                                 : "run finished");
    return;
  }
  RunLog("run stopped");
  FinishOpenContainer();
  const size_t not_undone = journal.Rollback();
  std::string message = state.FailureMessage();
  if (not_undone > 0) {
    if (message.empty()) message = "The install was stopped";
    message += " (" + std::to_string(not_undone) + " changes could not be undone)";
  }
  // A cancel is the user's own doing; a failed step is named here, once the machine is back as
  // it was.
  if (!message.empty() && !state.CancelRequested()) {
    platform::MessageBox(message, "Setup Error", platform::kMbOk | platform::kMbIconError);
  }
}

void TSetupThread::RunLines() {
  SetupState& state = SetupState::Instance();
  TCompLines& lines = state.CompiledLines();
  TCommandList& commands = state.Commands();
  while (lines.Count() > 0) {
    const int32_t current = state.CurrentLine() + 1;
    state.SetCurrentLine(current);
    if (current >= 0 && current < lines.Count()) {
      const TCompLine& line = lines[current];
      const int32_t target = line.LineIndex;
      // Only registry ids with a line index inside the script reach a command.
      if (line.CommandID >= kFirstCommandId && line.CommandID <= kLastCommandId && target >= 0 &&
          target < lines.Count()) {
        if (TCommandClass* command = commands.ById(line.CommandID)) {
          if (TRunLog::Instance().IsOpen()) LogScriptLine(command->Name(), lines[target]);
          command->SFXProcess(lines[target], target);
        }
      }
    }
    if (state.CurrentLine() >= lines.Count() - 1 || state.StopRequested()) break;
  }
}

void TSetupThread::ClosingSteps() {
  SetupState& state = SetupState::Instance();
  // A container a vfsupdate line left open is finished before anything else.
  CloseOpenVfsContainer();
  const TSetupInfoFile& info = state.SetupInfo();
  if (!ForceFolders(info.InstallDir))
    return FailStep("Cannot create folder " + PlaceName(info.InstallDir));
  if (info.CreateUninstaller != 1) return;
  TUninstallList& list = TUninstallList::Instance();
  // The log an earlier install of this product left here. Read whole and trusted by its
  // checksum, it also says what that install made and this one did not make again, which goes.
  // A damaged log adds only its complete texts to the merge, and none when they look wrong.
  TUninstallList older;
  const bool older_whole = older.LoadLog(info.InstallDir, info.UninstallPrefix);
  const bool older_usable = older.LooksValid();
  if (!list.SaveLog(info.InstallDir, info.UninstallPrefix)) return LogWriteFailed(info);
  UninstallerWriter hook;
  {
    std::lock_guard<std::mutex> lock(hook_mutex_);
    hook = write_uninstaller_;
  }
  if (hook) hook();
  if (state.StepFailed()) return;
  // After every file of this run is written and before the commit: the journal sets each
  // removed file aside, so a failure from here on puts the earlier install back whole.
  // Not after the script's own failure line: what the script did not reach is not dropped.
  if (older_whole && older_usable && !state.StopRequested()) {
    TUpgradeCleanup cleanup = RemoveDroppedFiles(older, list);
    if (!cleanup.ok()) return FailStep("Cannot delete " + PlaceName(cleanup.failed));
    RunLog("upgrade: " + std::to_string(cleanup.removed.size()) +
           " files of the earlier install that this one does not have removed");
    emptied_folders_ = std::move(cleanup.folders);
  }
  // The merged log lists what both runs made that is still there (and still nothing that was
  // there before either run), so the uninstaller removes all of it.
  if (older_usable) list.MergeOlder(older);
  if (!list.SaveLog(info.InstallDir, info.UninstallPrefix)) return LogWriteFailed(info);
}
