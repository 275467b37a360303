// The wizard's pages as the page list names them: each page's layout records and kind, and the
// page background colour. No Qt.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "setup/session/layout_records.h"
#include "setup/session/page_kind.h"

class TStringList;

namespace setup_session {

struct WizardPage {
  std::string layout;  // the layout entry's name as the list gives it
  PageKind kind = PageKind::Welcome;
  std::vector<LayoutRecord> controls;
};

class TPageList {
 public:
  // Reads the page list entry and reads its pages. A missing entry shows "Error File Missing:"
  // and reads nothing. A [Settings] value that is not a number, and a control name that another
  // control of any page already has, raise SetupError.
  void LoadPages(const std::string& entry_name);
  void AddPage(const std::string& layout_entry);
  // Handles one section of the page list.
  void HandleSection(const TStringList& section);

  std::vector<WizardPage> Pages;
  uint32_t Colour = 0xFFFFFF;
  uint32_t FontColour = 0x000000;
};

}  // namespace setup_session
