#include "setup/commands/cmd_message.h"

#include "platform/text_encoding.h"
#include "setup/core/setup_error.h"
#include "setup/core/setup_state.h"
#include "setup/text/languages.h"

void TMessageCommand::SFXProcess(TCompLine& line, int /*line_index*/) {
  const std::u16string raw = platform::Cp1252ToUtf16(line.Arg(0));
  std::u16string text;
  try {
    text = ExpandLangTokens(raw);
  } catch (const SetupError&) {
    // A malformed <LANG token: the text is shown as written rather than ending the install.
    text = raw;
  }
  SetupState::Instance().SetStatusText(text);
}
