#include "setup/commands/cmd_qxpofficial.h"

#include "setup/commands/archive_runs.h"
#include "setup/core/ciphers.h"

bool TQXPOfficialCommand::Compile(TCompLine& line, int /*line_index*/) {
  if (!HasArgs(line)) return false;
  line.Arguments[1] = EncryptWithDigitKey(kUpdateKey, line.Arguments[1]);
  return true;
}

void TQXPOfficialCommand::SFXProcess(TCompLine& line, int /*line_index*/) { RunQxpOfficial(line); }
