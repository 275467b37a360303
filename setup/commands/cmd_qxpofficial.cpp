#include "setup/commands/cmd_qxpofficial.h"

#include "setup/archive/archive_runs.h"
#include "setup/commands/ciphers.h"

bool TQXPOfficialCommand::Compile(TCompLine& line, int /*line_index*/) {
  if (!HasArgs(line)) return false;
  line.Arguments[1] = EncryptWithDigitKey(kUpdateKey, line.Arguments[1]);
  return true;
}

void TQXPOfficialCommand::SFXProcess(TCompLine& line, int /*line_index*/) { RunQxpOfficial(line); }
