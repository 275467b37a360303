#include "setup/commands/cmd_goto.h"

#include <string>

#include "setup/commands/command_support.h"
#include "setup/commands/script_compiler.h"
#include "setup/core/setup_state.h"
#include "setup/core/text_services.h"
#include "setup/io/cp1252_case.h"

bool TGotoCommand::Compile(TCompLine& line, int line_index) {
  if (!HasArgs(line)) return false;
  TScriptCompiler* compiler = TScriptCompiler::Current();
  if (compiler == nullptr) return true;
  const std::string label = line.Arguments[0];
  const TCompLines& lines = compiler->Lines();
  // The first label of that name wins.
  for (int j = 0; j < lines.Count(); ++j) {
    const TCompLine& candidate = lines[j];
    if (candidate.CommandID == 0 && !candidate.Arguments.empty() &&
        SameTextCp1252(candidate.Arguments[0], label)) {
      line.Arguments[0] = std::to_string(j);
      break;
    }
  }
  if (StrToIntOrMinusOne(line.Arguments[0]) == -1 && line.Arguments[0] != "-1") {
    compiler->SetError(line_index, "Label not found - " + label);
  }
  return true;
}

void TGotoCommand::SFXProcess(TCompLine& line, int /*line_index*/) {
  const int32_t target = JumpTarget(line, 0);
  if (target >= 0) SetupState::Instance().SetCurrentLine(target);
}
