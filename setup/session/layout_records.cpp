#include "setup/session/layout_records.h"

#include <cctype>

#include "platform/files.h"
#include "platform/message_box.h"
#include "platform/text_encoding.h"
#include "setup/core/pak.h"
#include "setup/core/setup_error.h"
#include "setup/core/setup_state.h"
#include "setup/core/text_services.h"
#include "setup/session/temp_files.h"
#include "setup/text/languages.h"
#include "setup/text/sectioned_text.h"

namespace setup_session {

namespace {

std::optional<ControlKind> KindFromTypeWord(const std::string& type) {
  static constexpr struct {
    const char* word;
    ControlKind kind;
  } kTypes[] = {
      {"tlabel", ControlKind::kLabel},
      {"tedit", ControlKind::kEdit},
      {"tshelltreeview", ControlKind::kShellTreeView},
      {"tbutton", ControlKind::kButton},
      {"timage", ControlKind::kImage},
      {"tpanel", ControlKind::kPanel},
      {"tbevel", ControlKind::kBevel},
      {"tmemo", ControlKind::kMemo},
      {"trichedit", ControlKind::kRichEdit},
      {"tprogressbar", ControlKind::kGauge},
      {"tradio", ControlKind::kRadio},
  };
  for (const auto& entry : kTypes) {
    if (type == entry.word) return entry.kind;
  }
  return std::nullopt;
}

// The keys a kind reads as integers or colours (the position keys hold for every kind).
bool IsNumberKey(ControlKind kind, const std::string& key) {
  if (key == "left" || key == "top" || key == "width" || key == "height") return true;
  switch (kind) {
    case ControlKind::kLabel:
    case ControlKind::kRadio:
    case ControlKind::kPanel:
    case ControlKind::kMemo:
      return key == "fontsize" || key == "fontcolour";
    case ControlKind::kEdit:
    case ControlKind::kRichEdit:
      return key == "fontsize" || key == "fontcolour" || key == "colour";
    case ControlKind::kShellTreeView:
      return key == "colour" || key == "fontcolour" || key == "fontselcolour" || key == "selcolour";
    case ControlKind::kGauge:
      return key == "forecolour" || key == "backcolour";
    case ControlKind::kImage:
    case ControlKind::kButton:
    case ControlKind::kBevel:
      return false;
  }
  return false;
}

bool HoldsSourceText(ControlKind kind, const std::string& key) {
  switch (kind) {
    case ControlKind::kLabel:
    case ControlKind::kRadio:
    case ControlKind::kPanel:
      return key == "caption";
    case ControlKind::kEdit:
      return key == "text";
    default:
      return false;
  }
}

// The bytes of a group-0 entry after their trip through a fresh file of the temporary folder,
// as pictures and change logs are loaded; nothing when any step fails.
std::optional<std::string> ThroughTempFile(const std::string& data, const std::string& name) {
  const std::string path = TempFilePath(name);
  if (!WriteFreshFile(path, data.data(), data.size())) return std::nullopt;
  std::optional<std::string> written = platform::ReadFileBytes(path);
  platform::DeleteFile(path);
  return written;
}

TPak* Package() { return SetupState::Instance().package.get(); }

std::optional<std::string> PictureData(const std::string& value) {
  TPak* pak = Package();
  std::optional<std::string> data = pak ? pak->FindEntry(value, 0) : std::nullopt;
  if (!data) return std::nullopt;  // a missing picture shows nothing and says nothing
  return ThroughTempFile(*data, value);
}

std::optional<std::string> ChangeLogData(const std::string& value) {
  const std::string name =
      platform::Utf16ToCp1252(LanguageStrings().ApplyPlaceholders(platform::Cp1252ToUtf16(value)));
  TPak* pak = Package();
  std::optional<std::string> data = pak ? pak->FindEntry(name, 0) : std::nullopt;
  if (!data) {
    platform::MessageBox("Error: File \"" + name + "\" Missing", "Rich Edit Error",
                         platform::kMbOk);
    return std::nullopt;
  }
  return ThroughTempFile(*data, "RETL.temp");
}

}  // namespace

bool LayoutRecord::HasCaption() const {
  return kind == ControlKind::kLabel || kind == ControlKind::kButton ||
         kind == ControlKind::kRadio || kind == ControlKind::kPanel;
}

int32_t ParseLayoutInteger(const std::string& value) {
  const std::string& text = value;
  bool hex = false;
  size_t pos = 0;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) {
    negative = text[pos] == '-';
    ++pos;
  }
  if (pos < text.size() && text[pos] == '$') {
    hex = true;
    ++pos;
  } else if (pos + 1 < text.size() && text[pos] == '0' &&
             (text[pos + 1] == 'x' || text[pos + 1] == 'X')) {
    hex = true;
    pos += 2;
  }
  if (pos >= text.size()) throw SetupError("'" + value + "' is not a valid integer value");
  int64_t result = 0;
  for (; pos < text.size(); ++pos) {
    int digit;
    unsigned char c = static_cast<unsigned char>(text[pos]);
    if (std::isdigit(c)) {
      digit = c - '0';
    } else if (hex && std::isxdigit(c)) {
      digit = std::tolower(c) - 'a' + 10;
    } else {
      throw SetupError("'" + value + "' is not a valid integer value");
    }
    result = result * (hex ? 16 : 10) + digit;
    // Hexadecimal values may use all 32 bits (colours); decimal ones must fit a signed int.
    if (result > (hex ? int64_t{0xFFFFFFFF} : int64_t{0x7FFFFFFF} + (negative ? 1 : 0))) {
      throw SetupError("'" + value + "' is not a valid integer value");
    }
  }
  if (negative) result = -result;
  return static_cast<int32_t>(static_cast<uint32_t>(result));
}

bool ParseLayoutFlag(const std::string& value) { return AsciiLower(value) == "true"; }

bool IsValidComponentName(const std::string& name) {
  if (name.empty()) return false;
  auto c0 = static_cast<unsigned char>(name[0]);
  if (!(std::isalpha(c0) || c0 == '_') || c0 >= 0x80) return false;
  for (char ch : name) {
    auto c = static_cast<unsigned char>(ch);
    if (c >= 0x80 || !(std::isalnum(c) || c == '_')) return false;
  }
  return true;
}

std::optional<LayoutRecord> ReadLayoutRecord(const TStringList& section) {
  const std::string& header = section.Get(0);
  const std::string& type_line = section.Get(1);
  const size_t eq = type_line.find('=');
  std::optional<ControlKind> kind = KindFromTypeWord(
      AsciiLower(eq == std::string::npos ? std::string() : type_line.substr(eq + 1)));
  if (!kind) return std::nullopt;  // an unknown type word creates nothing
  LayoutRecord record;
  record.name = header.size() >= 2 ? header.substr(1, header.size() - 2) : std::string();
  record.kind = *kind;
  if (!record.name.empty() && !IsValidComponentName(record.name)) {
    throw SetupError("'" + record.name + "' is not a valid component name");
  }
  for (int i = 2; i < section.count(); ++i) {
    NameValue pair = SplitNameValue(section.Get(i));
    LayoutProperty property{AsciiLower(pair.name), pair.value, std::nullopt, std::nullopt};
    if (IsNumberKey(record.kind, property.key)) {
      property.number = ParseLayoutInteger(property.value);
    } else if (property.key == "file" && record.kind == ControlKind::kImage) {
      property.data = PictureData(property.value);
    } else if (property.key == "file" && record.kind == ControlKind::kRichEdit) {
      property.data = ChangeLogData(property.value);
    } else if (HoldsSourceText(record.kind, property.key)) {
      record.source_text = platform::Cp1252ToUtf16(property.value);
    } else if (property.key == "checked" && record.kind == ControlKind::kRadio) {
      // One radio button of a group cannot be unchecked; another one's check moves the choice.
      if (ParseLayoutFlag(property.value)) record.checked = true;
    }
    record.properties.push_back(std::move(property));
  }
  return record;
}

std::vector<LayoutRecord> ReadLayout(const std::string& entry_name) {
  std::vector<LayoutRecord> records;
  TPak* pak = Package();
  if (!pak) {
    platform::MessageBox("Error File Missing: |" + entry_name + "|", "Missing File",
                         platform::kMbOk);
    return records;
  }
  ReadSectionedEntry(*pak, entry_name, MissingEntryMessage::kLayout,
                     [&records](const TStringList& section) {
                       if (std::optional<LayoutRecord> record = ReadLayoutRecord(section)) {
                         records.push_back(std::move(*record));
                       }
                     });
  return records;
}

std::u16string CaptionText(const LayoutRecord& record) {
  return record.source_text ? DisplayText(*record.source_text)
                            : platform::Cp1252ToUtf16(record.name);
}

}  // namespace setup_session
