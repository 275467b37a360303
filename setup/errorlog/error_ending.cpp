#include "setup/errorlog/error_ending.h"

#include "platform/message_box.h"
#include "setup/core/setup_error.h"
#include "setup/errorlog/error_log.h"

int ShowEndingError(const SetupError& error) {
  switch (error.Ending()) {
    case ErrorEnding::kErrorReport:
      WriteErrorLog(error.what(), error.ErrorType());
    case ErrorEnding::kMessage:
      platform::MessageBox(error.what(), "Error", platform::kMbOk | platform::kMbIconError);
      break;
    case ErrorEnding::kQuiet:
      break;
  }
  return error.ExitCode();
}
