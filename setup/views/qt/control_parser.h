// TControlParser: builds the widgets of one wizard page from its layout records. Each record
// creates one control on the page host, names it and applies its keys in file order; the
// control's untranslated caption is kept so the page can be re-translated later.
#pragma once

#include <QWidget>
#include <cstdint>
#include <string>
#include <vector>

#include "setup/session/layout_records.h"
#include "setup/session/page_kind.h"

class TStringList;

namespace setup_wizard {

using setup_session::PageKind;
using setup_session::PageKindFromWord;

using setup_session::ControlKind;
using setup_session::IsValidComponentName;
using setup_session::LayoutProperty;
using setup_session::LayoutRecord;
using setup_session::ParseLayoutFlag;
using setup_session::ParseLayoutInteger;

class TControlParser {
 public:
  explicit TControlParser(QWidget* host);
  TControlParser(const TControlParser&) = delete;
  TControlParser& operator=(const TControlParser&) = delete;

  // Reads the layout entry from the package and builds every section's control. A missing
  // entry shows the layout reader's message and leaves the page without controls. Bad numbers
  // and bad or repeated control names raise SetupError.
  void LoadLayout(const std::string& entry_name);
  // Builds the controls of a page's records.
  void BuildPage(const std::vector<LayoutRecord>& records);
  // Builds one section (line 0 the header, line 1 the type line).
  void BuildControl(const TStringList& section);
  // Builds one record's control; a name another control of the host has raises SetupError.
  void BuildControl(const LayoutRecord& record);

  void HideAll();
  void ShowAll();
  // Puts the controls behind every other child of the host, the first control backmost.
  void SendAllToBack();
  // Re-applies the display text of every label, radio button and panel caption.
  void Retranslate();

  std::vector<QWidget*> Controls;
  std::vector<ControlKind> Kinds;           // parallel to Controls
  std::vector<std::u16string> SourceTexts;  // parallel to Controls
  PageKind Kind = PageKind::Welcome;

 private:
  void ApplyProperty(const LayoutProperty& property, size_t index);
  void ApplyFontKey(QWidget* control, const LayoutProperty& property);
  void LoadPicture(size_t index, const LayoutProperty& property);
  void SetCaption(size_t index, const std::u16string& raw);
  void FitLabel(size_t index);

  QWidget* host_;
};

}  // namespace setup_wizard
