#include "setup/commands/cmd_language.h"

#include "setup/commands/script_compiler.h"

bool TLanguageCommand::Compile(TCompLine& line, int line_index) {
  if (!HasArgs(line)) return false;
  if (TScriptCompiler* compiler = TScriptCompiler::Current()) {
    compiler->AddLanguage(line.Arguments[0], false, line_index);
  }
  return true;
}

bool TUninstallLanguageCommand::Compile(TCompLine& line, int line_index) {
  if (!HasArgs(line)) return false;
  if (TScriptCompiler* compiler = TScriptCompiler::Current()) {
    compiler->AddLanguage(line.Arguments[0], true, line_index);
  }
  return true;
}
