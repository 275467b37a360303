#include "setup/commands/cmd_file.h"

#include <string>

#include "platform/message_box.h"
#include "setup/commands/command_support.h"
#include "setup/commands/file_operations.h"
#include "setup/commands/script_compiler.h"
#include "setup/core/setup_info.h"
#include "setup/core/setup_state.h"
#include "setup/core/text_services.h"

bool TFileCommand::Compile(TCompLine& line, int /*line_index*/) {
  if (!HasArgs(line)) return false;
  TScriptCompiler* compiler = TScriptCompiler::Current();
  if (compiler == nullptr) return true;
  const uint16_t group = compiler->NextGroup();
  const std::string source = line.Arguments[0];
  std::vector<std::string> arguments = line.Arguments;
  arguments.push_back(std::to_string(group));
  line.SetArguments(std::move(arguments));
  compiler->AddPath(source, group, std::string(), false, std::string());
  return true;
}

void TFileCommand::SFXProcess(TCompLine& line, int /*line_index*/) {
  const int count = static_cast<int>(line.Arguments.size());
  const int32_t group = count > 0 ? StrToIntOrMinusOne(line.Arguments.back()) : -1;
  const std::string& install_dir = SetupState::Instance().SetupInfo().InstallDir;
  if (count <= 2) {
    ExtractGroup(install_dir, group);
    return;
  }
  // One backslash between the install folder and the subfolder, however either is written.
  const std::string folder = IncludeTrailingBackslash(JoinPath(install_dir, line.Arg(1)));
  if (count == 3) {
    ExtractGroup(folder, group);
  } else if (count == 8) {
    if (RegistryCondition(line.Arg(2), line.Arg(3), line.Arg(4), line.Arg(5), line.Arg(6))) {
      ExtractGroup(folder, group);
    }
  } else {
    // A line the compiler refuses (a package not made by this compiler): the box says so and the
    // script goes on with its next line, as scripts expect; the files this line was meant to
    // deliver are missing, so the run ends as failed (exit code 2), never as finished.
    platform::MessageBox("TFileCommand.SFXProcess - Param Count Invalid!!!", "Error",
                         platform::kMbOk);
    SetupState::Instance().NoteLineFault();
  }
}
