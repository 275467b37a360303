// The records of a layout file: one per control section, with the control's kind, its name and
// its keys in file order. Numbers are checked here (a value that is not a number ends start-up
// as the layout's error), and the entries that picture and change-log keys name are read from
// the package, so every view builds its page from the same checked records. No Qt.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class TStringList;

namespace setup_session {

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

struct LayoutProperty {
  std::string key;    // lower-cased
  std::string value;  // as written (trimmed at the line's ends)
  // The value as an integer, for the keys that the control's kind reads as numbers or colours.
  std::optional<int32_t> number;
  // The bytes of the entry a `file` key names (a picture, or a change log for a rich edit);
  // nothing when the entry is missing.
  std::optional<std::string> data;
};

struct LayoutRecord {
  std::string name;  // the section header without its brackets
  ControlKind kind = ControlKind::kLabel;
  std::vector<LayoutProperty> properties;
  // The raw value of the last `caption` or `text` key of a label, radio button, edit or panel.
  std::optional<std::u16string> source_text;
  // A radio button's state once its `checked` keys are applied.
  bool checked = false;
  // Whether the control's caption shows a text (a label, push button, radio button or panel).
  bool HasCaption() const;
};

// Parses an integer as layouts write it: decimal, or hexadecimal after '$'. Raises SetupError
// (the start-up error) for anything else.
int32_t ParseLayoutInteger(const std::string& value);
// "true" in any letter case.
bool ParseLayoutFlag(const std::string& value);
// A component name: a letter or underscore first, then letters, digits and underscores.
bool IsValidComponentName(const std::string& name);

// The record of one section (line 0 the header, line 1 the type line); nothing for a type word
// that creates no control. Raises SetupError for a bad name or number.
std::optional<LayoutRecord> ReadLayoutRecord(const TStringList& section);
// Every record of a layout entry of the shared package. A missing entry shows the layout
// reader's message and yields no records.
std::vector<LayoutRecord> ReadLayout(const std::string& entry_name);

// The text a caption shows for its raw value: tokens, line breaks and placeholders applied.
std::u16string CaptionText(const LayoutRecord& record);

}  // namespace setup_session
