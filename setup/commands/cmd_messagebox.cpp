#include "setup/commands/cmd_messagebox.h"

#include "platform/message_box.h"
#include "setup/commands/command_support.h"
#include "setup/commands/script_compiler.h"
#include "setup/core/setup_state.h"
#include "setup/core/text_services.h"

bool TMessageBoxCommand::Compile(TCompLine& line, int line_index) {
  if (!HasArgs(line)) return false;
  TScriptCompiler* compiler = TScriptCompiler::Current();
  for (int i : {2, 3}) {
    std::string& label = line.Arguments[static_cast<size_t>(i)];
    if (label == "0") {
      label = "-1";
    } else if (compiler != nullptr) {
      label = compiler->ResolveLabel(label, line_index);
    }
  }
  return true;
}

void TMessageBoxCommand::SFXProcess(TCompLine& line, int /*line_index*/) {
  const int32_t on_ok = JumpTarget(line, 2);
  const int32_t on_cancel = JumpTarget(line, 3);
  const std::string caption = ExpandPath(line.Arg(1));
  const std::string text = ExpandPath(line.Arg(0));
  const int answer =
      platform::MessageBox(text, caption, platform::kMbOkCancel | platform::kMbIconQuestion);
  SetupState& state = SetupState::Instance();
  // The runner adds one before the next line, so the target line (a label) comes next.
  if (answer == platform::kIdOk) {
    if (on_ok > 0) state.SetCurrentLine(on_ok - 1);
  } else if (on_cancel > 0) {
    state.SetCurrentLine(on_cancel - 1);
  }
}
