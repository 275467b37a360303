#include "setup/commands/cmd_vfsupdate.h"

#include <string>

#include "setup/commands/archive_runs.h"
#include "setup/commands/script_compiler.h"

bool TVFSUpdateCommand::Compile(TCompLine& line, int /*line_index*/) {
  if (!HasArgs(line)) return false;
  TScriptCompiler* compiler = TScriptCompiler::Current();
  if (compiler == nullptr) return true;
  const uint16_t group = compiler->NextGroup();
  std::vector<std::string> arguments = line.Arguments;
  arguments.push_back(std::to_string(group));
  line.SetArguments(std::move(arguments));
  compiler->AddPath(line.Arguments[0], group, line.Arguments[1], false, std::string());
  return true;
}

void TVFSUpdateCommand::SFXProcess(TCompLine& line, int /*line_index*/) { RunVfsUpdate(line); }
