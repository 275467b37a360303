// Starting programs (ShellExecuteExA) and polling their exit code (GetExitCodeProcess).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

constexpr uint32_t kStillActive = 259;

// Splits a command-line text by the Windows rules (CommandLineToArgvW): blanks separate,
// double quotes group, backslashes before a quote escape it.
std::vector<std::string> SplitCommandLine(const std::string& command_line);

class Process {
 public:
  // A process that has ended is reaped here; one still running is left running, and a
  // detached thread reaps it when it ends, so no zombie stays behind.
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;
  // GetExitCodeProcess: kStillActive while running, then the exit code (128 + signal for a
  // killed process); nothing when the code cannot be read.
  std::optional<uint32_t> ExitCode();
  bool Running();
  int Pid() const { return pid_; }

 private:
  friend std::unique_ptr<Process> ShellExecute(const std::string&, const std::string&,
                                               const std::string&);
  explicit Process(int pid) : pid_(pid) {}
  int pid_;
  std::optional<uint32_t> exit_code_;
};

// Starts `file` (a Windows or host path): an executable host file runs with `parameters` split
// by the Windows rules; any other existing file is handed to xdg-open. Nothing when the file is
// missing or the start failed.
std::unique_ptr<Process> ShellExecute(const std::string& file, const std::string& parameters,
                                      const std::string& working_directory = "");

// The host path of the running program's own file (/proc/self/exe).
std::string OwnExecutablePath();

// Whether any process runs the program file `host_path` (its /proc/PID/exe is that file).
bool AnyProcessRuns(const std::string& host_path);

}  // namespace platform
