// TControlParser: builds one wizard page from its layout file. Each section of the layout
// creates one control on the page host, names it and applies its keys in file order; the
// control's untranslated caption is kept so the page can be re-translated later.
#pragma once

#include <QWidget>
#include <cstdint>
#include <string>
#include <vector>

#include "setup/session/page_kind.h"

class TStringList;

namespace setup_wizard {

using setup_session::PageKind;
using setup_session::PageKindFromWord;

enum class ControlKind {
  kLabel,
  kEdit,
  kShellTreeView,
  kButton,
  kImage,
  kPanel,
  kBevel,
  kMemo,
  kRichEdit,
  kGauge,
  kRadio,
};

// Parses an integer as layouts write it: decimal, or hexadecimal after '$'. Raises SetupError
// (the start-up error) for anything else.
int32_t ParseLayoutInteger(const std::string& value);
// "true" in any letter case.
bool ParseLayoutFlag(const std::string& value);
// A component name: a letter or underscore first, then letters, digits and underscores.
bool IsValidComponentName(const std::string& name);

class TControlParser {
 public:
  explicit TControlParser(QWidget* host);
  TControlParser(const TControlParser&) = delete;
  TControlParser& operator=(const TControlParser&) = delete;

  // Reads the layout entry from the package and builds every section's control. A missing
  // entry shows the layout reader's message and leaves the page without controls. Bad numbers
  // and bad or repeated control names raise SetupError.
  void LoadLayout(const std::string& entry_name);
  // Builds one section (line 0 the header, line 1 the type line).
  void BuildControl(const TStringList& section);

  void HideAll();
  void ShowAll();
  // Puts the controls behind every other child of the host, the first control backmost.
  void SendAllToBack();
  // Re-applies the display text of every label, radio button and panel caption.
  void Retranslate();

  std::vector<QWidget*> Controls;
  std::vector<ControlKind> Kinds;  // parallel to Controls
  std::vector<std::u16string> SourceTexts;  // parallel to Controls
  PageKind Kind = PageKind::Welcome;

 private:
  void ApplyProperty(const std::string& key, const std::string& value, size_t index);
  void ApplyFontKey(QWidget* control, const std::string& key, const std::string& value);
  void LoadPicture(size_t index, const std::string& value);
  void LoadRichText(size_t index, const std::string& value);
  void SetCaption(size_t index, const std::u16string& raw);
  void FitLabel(size_t index);

  QWidget* host_;
};

}  // namespace setup_wizard
