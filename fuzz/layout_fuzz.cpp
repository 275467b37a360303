// libFuzzer harness for the sectioned text reader and the control builder: the bytes are cut into
// sections (every line trimmed, none empty, none holding a CR), and every section builds its
// control on a page (offscreen) or raises SetupError for a bad number or name.
#include <QApplication>
#include <QWidget>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "fuzz/silent_presenter.h"
#include "setup/core/setup_error.h"
#include "setup/text/sectioned_text.h"
#include "setup/views/qt/control_parser.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static QApplication app(*argc, *argv);
  fuzz::SilenceMessageBoxes();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  QWidget page;
  setup_wizard::TControlParser parser(&page);
  ReadSections(bytes, [&parser](const TStringList& section) {
    if (section.count() == 0) std::abort();
    for (int i = 0; i < section.count(); ++i) {
      const std::string& line = section.Get(i);
      if (line.empty() || line.find('\r') != std::string::npos || TrimControl(line) != line) {
        std::abort();
      }
    }
    try {
      parser.BuildControl(section);
    } catch (const SetupError&) {
      // Bad numbers and bad or repeated names end the page's start-up by design.
    }
  });
  if (parser.Controls.size() != parser.Kinds.size() ||
      parser.Controls.size() != parser.SourceTexts.size()) {
    std::abort();
  }
  parser.Retranslate();
  return 0;
}
