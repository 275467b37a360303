#include "setup/commands/command_support.h"

#include <cerrno>
#include <cstdio>

#include "platform/failure.h"
#include "platform/text_encoding.h"
#include "setup/commands/script_command.h"
#include "setup/core/run_log.h"
#include "setup/core/setup_state.h"
#include "setup/core/text_services.h"
#include "setup/text/languages.h"

bool TScriptCommand::Compile(TCompLine& line, int /*line_index*/) { return HasArgs(line); }

int32_t JumpTarget(const TCompLine& line, int argument) {
  return StrToIntOrMinusOne(line.Arg(argument));
}

std::u16string TextWithFileName(int number, const std::string& file_name) {
  return ReplaceAll(GetText(number), u"<%FILENAME%>", platform::Cp1252ToUtf16(file_name));
}

std::string JoinPath(const std::string& folder, const std::string& part) {
  if (folder.empty()) return part;
  size_t skip = 0;
  while (skip < part.size() && (part[skip] == '\\' || part[skip] == '/')) ++skip;
  return IncludeTrailingBackslash(folder) + part.substr(skip);
}

std::string ExtractFilePath(const std::string& path) {
  const size_t pos = path.find_last_of("\\/:");
  return pos == std::string::npos ? std::string() : path.substr(0, pos + 1);
}

std::string ExtractFileName(const std::string& path) {
  const size_t pos = path.find_last_of("\\/:");
  return pos == std::string::npos ? path : path.substr(pos + 1);
}

platform::RootKey RootFromShortName(const std::string& name) {
  return RootKeyFromIndex(RootIndexFromName(name)).value_or(platform::RootKey::kLocalMachine);
}

std::string RegistryRecord(const std::string& root, const std::string& key,
                           const std::string& value_name, const std::string& value) {
  return "\"" + root + "\" \"" + key + "\" \"" + value_name + "\" \"" + value + "\"";
}

namespace {

void ShowFailedText() {
  SetupState::Instance().SetSecondStatusText(GetText(kTextFailed), true);
  RunLogUtf8("run stopped: " + platform::Utf16ToUtf8(GetText(kTextFailed)));
}

}  // namespace

void StopRunAsScriptAsks() {
  ShowFailedText();
  SetupState::Instance().RequestScriptFailure();
}

void StopRunWithFailure() {
  ShowFailedText();
  SetupState::Instance().RequestStepFailure();
}

namespace {

// `what` with the system's reason for the current errno.
std::string WithReason(const std::string& what) {
  const int reason = errno;
  return what + ": " + (reason != 0 ? platform::ErrorText(reason) : std::string("Unknown error"));
}

}  // namespace

void FailStep(const std::string& what) {
  SetupState::Instance().SetFailureMessage(WithReason(what));
  StopRunWithFailure();
}

void WarnStep(const std::string& what) {
  const std::string text = WithReason(what);
  RunLog("warning: " + text);
  if (SetupState::Instance().Unattended()) {
    std::fprintf(stderr, "setup: warning: %s\n", platform::Cp1252ToUtf8(text).c_str());
  }
}
