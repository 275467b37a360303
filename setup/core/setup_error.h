// The one exception type of the product: errors it raises by design (a broken zlib stream, a
// missing source file while packing, a damaged or locked game archive). The code that finds the
// fault only raises it; the program's main and the runner's top show it and choose the exit
// code, so no library code ends the process and every destructor on the way runs.
#pragma once

#include <stdexcept>
#include <string>
#include <utility>

// Exit codes a process ended by an error gives (ARCHITECTURE: 1 cancelled, 2 failed).
inline constexpr int kExitCodeCancelled = 1;
inline constexpr int kExitCodeFailed = 2;

// How the program's top shows an error before it ends.
enum class ErrorEnding {
  kErrorReport,  // the error report: report file, "Error Report" box; exit code 2
  kMessage,      // the text in an "Error" message box, nothing else
  kQuiet,        // nothing more to show: the user was asked and chose to stop
};

class SetupError : public std::runtime_error {
 public:
  // An error for the error report; `error_type` names the stage ("" is reported as "Unknown").
  explicit SetupError(const std::string& message, std::string error_type = {})
      : std::runtime_error(message), error_type_(std::move(error_type)) {}

  // An error whose message alone is shown ("Error" box), after which the program ends with
  // exit code 2: the archive errors that end the setup.
  static SetupError Fatal(const std::string& message) {
    return SetupError(message, ErrorEnding::kMessage, kExitCodeFailed);
  }
  // The user answered a question with Cancel: the setup ends without another message, with
  // exit code 1. `message` says what was cancelled, for logs and tests.
  static SetupError Cancelled(const std::string& message) {
    return SetupError(message, ErrorEnding::kQuiet, kExitCodeCancelled);
  }

  ErrorEnding Ending() const { return ending_; }
  int ExitCode() const { return exit_code_; }
  const std::string& ErrorType() const { return error_type_; }
  // The same error, for the error report of the given stage when it names none yet.
  SetupError InStage(const std::string& error_type) const {
    SetupError copy = *this;
    if (copy.error_type_.empty()) copy.error_type_ = error_type;
    return copy;
  }

 private:
  SetupError(const std::string& message, ErrorEnding ending, int exit_code)
      : std::runtime_error(message), ending_(ending), exit_code_(exit_code) {}

  ErrorEnding ending_ = ErrorEnding::kErrorReport;
  int exit_code_ = kExitCodeFailed;
  std::string error_type_;
};
