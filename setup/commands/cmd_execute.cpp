#include "setup/commands/cmd_execute.h"

#include <cerrno>
#include <memory>

#include "platform/process.h"
#include "platform/system.h"
#include "setup/commands/command_support.h"
#include "setup/core/run_log.h"
#include "setup/core/setup_state.h"
#include "setup/core/text_services.h"

void TExecuteCommand::SFXProcess(TCompLine& line, int /*line_index*/) {
  if (line.Arguments.empty()) return;
  line.Arguments[0] = ExpandFilePath(line.Arguments[0]);
  std::string parameters;
  if (line.Arguments.size() >= 2) {
    line.Arguments[1] = ExpandPath(line.Arguments[1]);
    parameters = line.Arguments[1];
  }
  errno = 0;
  std::unique_ptr<platform::Process> process =
      platform::ShellExecute(line.Arguments[0], parameters);
  if (!process) {
    if (errno == 0) errno = ENOEXEC;
    const int reason = errno;
    RunLog("program not started: " + line.Arguments[0]);
    errno = reason;
    // A program that cannot start is skipped; the install goes on.
    return WarnStep("Cannot start " + PlaceName(line.Arguments[0]));
  }
  RunLog("program started: " + line.Arguments[0] + (parameters.empty() ? "" : " " + parameters));
  SetupState& state = SetupState::Instance();
  // Waits for the process itself to end, so a program whose exit code happens to be 259 (the
  // "still active" value) does not keep the install waiting.
  while (process->Running()) {
    if (state.StopRequested() || state.Terminating()) break;
    platform::Sleep(1);
  }
  if (TRunLog::Instance().IsOpen()) {
    const std::optional<uint32_t> code = process->ExitCode();
    RunLog("program ended: " + line.Arguments[0] + ", exit code " +
           (code && *code != platform::kStillActive ? std::to_string(*code)
                                                    : std::string("unknown (not waited for)")));
  }
}
