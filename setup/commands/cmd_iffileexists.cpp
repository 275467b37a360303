#include "setup/commands/cmd_iffileexists.h"

#include "platform/files.h"
#include "setup/commands/command_support.h"
#include "setup/commands/file_operations.h"
#include "setup/commands/script_compiler.h"
#include "setup/core/setup_state.h"
#include "setup/core/text_services.h"

namespace {

// A jump label argument after compilation: "-1" for "0" (no jump), else the resolved index.
std::string ResolveJump(TScriptCompiler* compiler, const std::string& label, int line_index) {
  if (label == "0") return "-1";
  return compiler ? compiler->ResolveLabel(label, line_index) : label;
}

}  // namespace

bool TIfFileExistsCommand::Compile(TCompLine& line, int line_index) {
  if (!HasArgs(line)) return false;
  TScriptCompiler* compiler = TScriptCompiler::Current();
  line.Arguments[1] = ResolveJump(compiler, line.Arguments[1], line_index);
  line.Arguments[2] = ResolveJump(compiler, line.Arguments[2], line_index);
  return true;
}

void TIfFileExistsCommand::SFXProcess(TCompLine& line, int /*line_index*/) {
  const int32_t if_exists = JumpTarget(line, 1);
  const int32_t if_missing = JumpTarget(line, 2);
  const std::string path = ExpandFilePath(FindOnCdDrives(line.Arg(0)));
  SetupState& state = SetupState::Instance();
  if (platform::FileExists(path)) {
    if (if_exists >= 0) state.SetCurrentLine(if_exists);
  } else if (if_missing >= 0) {
    state.SetCurrentLine(if_missing);
  }
}
