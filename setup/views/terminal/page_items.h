// A wizard page as a terminal shows it: the page's controls (and those of the main layout
// pages, which every page shows) in the order of their places on the page, each turned into
// an item that a screen or a line prompt can show: a text, the status line, the gauge, the
// install-folder field, a radio button, or a scrollable text (the change log).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "setup/session/wizard_session.h"
#include "setup/views/terminal/progress_board.h"

namespace setup_terminal {

enum class ItemKind {
  kText,
  kStatus,  // the status line: it keeps its line while empty
  kGauge,
  kField,  // the install-folder field
  kRadio,
  kScrollText,
  kNote,  // a note of the terminal's own under the field: where the folder lies on this machine
};

struct PageItem {
  ItemKind kind = ItemKind::kText;
  setup_session::ControlRef ref;
  std::u32string text;
  bool bold = false;
  bool checked = false;  // a radio button
  int32_t position = 0;  // the gauge
  int32_t maximum = 0;
};

// What the view holds beyond the session's state: the captions the session or the runner set,
// and the folder field as typed.
struct ViewTexts {
  std::map<std::pair<int, int>, std::u16string> captions;  // by page and control index
  ProgressFigures progress;
  std::u32string folder_field;
};

class PageItemBuilder {
 public:
  std::vector<PageItem> Build(const setup_session::WizardSession& session, const ViewTexts& texts);

 private:
  const std::u32string& ScrollText(const setup_session::LayoutRecord& record, int page, int index);
  std::map<std::pair<int, int>, std::u32string> scroll_texts_;
};

// The text of a memo or rich edit: its `text` key with <BR> as a line break, or the entry its
// `file` key named (rich text read as plain paragraphs, other text as Windows-1252 lines).
std::u32string ScrollTextOf(const setup_session::LayoutRecord& record);

}  // namespace setup_terminal
