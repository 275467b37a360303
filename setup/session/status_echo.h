// Status lines of a run without a person, printed on standard output one per line.
#pragma once

#include <string>

#include "setup/core/progress_sink.h"

namespace setup_session {

// Prints a caption as one line (its line breaks as blanks); an empty caption prints nothing.
// Safe to call from any thread.
void EchoStatusLine(const std::u16string& text);

// A status line that only prints.
class EchoTextSink : public ProgressTextSink {
 public:
  void SetText(const std::u16string& text, bool) override { EchoStatusLine(text); }
};

}  // namespace setup_session
