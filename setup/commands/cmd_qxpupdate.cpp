#include "setup/commands/cmd_qxpupdate.h"

#include <string>

#include "setup/archive/pak_system.h"
#include "setup/commands/archive_runs.h"
#include "setup/commands/script_compiler.h"
#include "setup/core/ciphers.h"

bool TQXPUpdateCommand::Compile(TCompLine& line, int line_index) {
  if (!HasArgs(line)) return false;
  TScriptCompiler* compiler = TScriptCompiler::Current();
  if (compiler == nullptr) return true;
  if (line.Arguments[1].size() > kMaxPakPassword) {
    compiler->SetError(line_index, "Password longer than " + std::to_string(kMaxPakPassword) +
                                       " bytes - " + line.Arguments[2]);
  }
  const uint16_t group = compiler->NextGroup();
  std::vector<std::string> arguments = line.Arguments;
  arguments.push_back(std::to_string(group));
  arguments[1] = EncryptWithDigitKey(kUpdateKey, arguments[1]);
  line.SetArguments(std::move(arguments));
  compiler->AddPath(line.Arguments[0], group, line.Arguments[2], false, std::string());
  return true;
}

void TQXPUpdateCommand::SFXProcess(TCompLine& line, int /*line_index*/) { RunQxpUpdate(line); }
