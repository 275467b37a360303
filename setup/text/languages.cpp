#include "setup/text/languages.h"

#include <charconv>
#include <cstring>

#include "platform/ascii_case.h"
#include "platform/text_encoding.h"
#include "setup/core/pak.h"
#include "setup/core/setup_error.h"
#include "setup/core/text_services.h"

namespace {

constexpr char16_t kCr = u'\r';
constexpr char16_t kLf = u'\n';

// Blanks and control characters, as the trims of the table reader remove them.
bool IsBlankOrControl(char16_t c) { return c <= u' '; }

std::u16string TrimLeft(const std::u16string& text) {
  size_t start = 0;
  while (start < text.size() && IsBlankOrControl(text[start])) ++start;
  return text.substr(start);
}

std::u16string Trim(const std::u16string& text) {
  size_t start = 0;
  size_t end = text.size();
  while (start < end && IsBlankOrControl(text[start])) ++start;
  while (end > start && IsBlankOrControl(text[end - 1])) --end;
  return text.substr(start, end - start);
}

std::string ToNarrow(const std::u16string& text) { return platform::Utf16ToCp1252(text); }

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

// Parses a whole decimal (or, with `hex`, hexadecimal) text into an unsigned value of at most
// `max`; anything else is a conversion error with the usual wording.
uint32_t ParseNumber(const std::string& text, bool hex, uint32_t max) {
  size_t start = 0;
  size_t stop = text.size();
  while (start < stop && text[start] == ' ') ++start;
  while (stop > start && text[stop - 1] == ' ') --stop;
  const std::string digits = text.substr(start, stop - start);
  uint32_t value = 0;
  const int base = hex ? 16 : 10;
  const char* first = digits.data();
  const char* last = digits.data() + digits.size();
  auto [end, error] = std::from_chars(first, last, value, base);
  if (digits.empty() || error != std::errc() || end != last || value > max) {
    throw SetupError(Quoted(text) + " is not a valid integer value");
  }
  return value;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TUnicodeStringList

void TUnicodeStringList::LoadFromBuffer(const void* data, size_t size) {
  Clear();
  if (data == nullptr) throw SetupError("Cannot open file");
  if (size < 2) return;
  const auto* bytes = static_cast<const unsigned char*>(data) + 2;
  const size_t units = (size - 2) / 2;
  std::u16string text(units, u'\0');
  for (size_t i = 0; i < units; ++i) {
    text[i] = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  }
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == kLf) {
      start = i + 1;
    } else if (text[i] == kCr) {
      Add(text.substr(start, i - start));
      start = i + 1;
    }
  }
  if (start < text.size()) Add(text.substr(start));
}

int TUnicodeStringList::Add(const std::u16string& text) {
  items_.push_back(TUniItem{text, 0});
  return Count() - 1;
}

const std::u16string& TUnicodeStringList::Get(int index) const {
  static const std::u16string kEmpty;
  if (index < 0 || index >= Count()) return kEmpty;
  return items_[static_cast<size_t>(index)].Text;
}

// ---------------------------------------------------------------------------------------------
// TLanguage

void TLanguage::LoadFromBuffer(const void* data, size_t size) {
  TUnicodeStringList lines;
  lines.LoadFromBuffer(data, size);
  Name = lines.Get(0);

  LanguageIds.clear();
  std::string ids = ToNarrow(lines.Get(1));
  if (ids.find(';') == std::string::npos) {
    LanguageIds.push_back(static_cast<uint16_t>(ParseNumber(ids, true, 0xFFFF)));
  } else {
    while (!ids.empty()) {
      // A last id without its ';' leaves an empty piece, which is not a number.
      const size_t semicolon = ids.find(';');
      const std::string id =
          semicolon == std::string::npos ? std::string() : ids.substr(0, semicolon);
      LanguageIds.push_back(static_cast<uint16_t>(ParseNumber(id, true, 0xFFFF)));
      ids = semicolon == std::string::npos ? std::string() : ids.substr(semicolon + 1);
    }
  }

  Texts.clear();
  for (int i = 2; i < lines.Count(); ++i) {
    // Leading blanks go before the number is looked for; trailing blanks belong to the text.
    const std::u16string line = TrimLeft(lines.Get(i));
    size_t separator = std::u16string::npos;
    bool quoted = false;
    for (size_t k = 0; k < line.size(); ++k) {
      if (line[k] == u'"') quoted = !quoted;
      if (!quoted && (line[k] == u' ' || line[k] == u'\t')) {
        separator = k;
        break;
      }
    }
    std::u16string token =
        separator == std::u16string::npos ? Trim(line) : line.substr(0, separator);
    std::erase(token, u'"');
    TLID item;
    item.Number = static_cast<uint16_t>(ParseNumber(ToNarrow(token), false, 0xFFFF));
    if (separator != std::u16string::npos) item.Text = TrimLeft(line.substr(separator));
    Texts.push_back(std::move(item));
  }
}

const std::u16string* TLanguage::FindText(uint16_t number) const {
  for (const TLID& item : Texts) {
    if (item.Number == number) return &item.Text;
  }
  return nullptr;
}

// ---------------------------------------------------------------------------------------------
// TLanguages

void TLanguages::AddLanguage(const void* data, size_t size) {
  Items.push_back(std::make_unique<TLanguage>());
  Items.back()->LoadFromBuffer(data, size);
}

std::u16string TLanguages::GetText(int number) const {
  if (Current >= 0 && static_cast<size_t>(Current) < Items.size() && number >= 0 &&
      number <= 0xFFFF) {
    if (const std::u16string* text = Items[Current]->FindText(static_cast<uint16_t>(number))) {
      return *text;
    }
  }
  return u"NOT FOUND " + platform::Utf8ToUtf16(std::to_string(number));
}

std::u16string TLanguages::ExpandLangTokens(const std::u16string& text) const {
  if (Current < 0 || static_cast<size_t>(Current) >= Items.size()) return text;
  static const std::u16string kToken = u"<LANG";
  std::u16string result = text;
  // Each replacement searches again, so a text that refers to itself (directly or through
  // others) would never end; the bounds stop it with the remaining tokens left in place.
  // Text before the token just replaced holds no token, except one that the replacement
  // completes (a "<LAN" before it and "G1>" at its start), so the search goes back only that far.
  size_t from = 0;
  for (int replacements = 0; replacements < kMaxTokenReplacements; ++replacements) {
    if (result.size() > kMaxExpandedLength) break;
    const size_t at = result.find(kToken, from);
    if (at == std::u16string::npos) break;
    const size_t number_start = at + kToken.size();
    const size_t close = result.find(u'>', number_start);
    const std::string digits = ToNarrow(result.substr(
        number_start, close == std::u16string::npos ? std::u16string::npos : close - number_start));
    if (close == std::u16string::npos) {
      throw SetupError(Quoted(digits) + " is not a valid integer value");
    }
    const uint32_t number = ParseNumber(digits, false, 0x7FFFFFFF);
    result.replace(at, close + 1 - at, GetText(static_cast<int>(number)));
    from = at >= kToken.size() - 1 ? at - (kToken.size() - 1) : 0;
  }
  return result;
}

int TLanguages::FindByLanguageId(uint16_t id) const {
  for (size_t i = 0; i < Items.size(); ++i) {
    for (uint16_t listed : Items[i]->LanguageIds) {
      if (listed == id) return static_cast<int>(i);
    }
  }
  return -1;
}

void TLanguages::ChooseForLanguageId(uint16_t id) {
  if (Items.empty()) return;
  const int found = FindByLanguageId(id);
  Current = found >= 0 ? found : 0;
}

bool IsLanguageEntryName(const std::string& entry_name) {
  static const char kPrefix[] = "LANGUAGE-";
  if (entry_name.size() < sizeof(kPrefix) - 1) return false;
  return platform::AsciiUpper(entry_name.substr(0, sizeof(kPrefix) - 1)) == kPrefix;
}

void LoadLanguagesFromPackage(TPak& pak, TLanguages& languages, uint16_t system_language_id) {
  for (size_t i = 0; i < pak.Entries().size(); ++i) {
    const TPakFile& entry = pak.Entries()[i];
    if (entry.group != 0 || !IsLanguageEntryName(entry.name)) continue;
    std::optional<std::string> data = pak.LoadEntry(static_cast<int>(i));
    // An entry that cannot be read is handed on as an absent blob ("Cannot open file").
    if (!data) {
      languages.AddLanguage(nullptr, 0);
      continue;
    }
    languages.AddLanguage(data->data(), data->size());
  }
  languages.ChooseForLanguageId(system_language_id);
}

// ---------------------------------------------------------------------------------------------
// TLanguageStrings

void TLanguageStrings::RegisterPlaceholder(const std::string& name,
                                           std::function<std::u16string()> value) {
  items_.push_back(Item{platform::Cp1252ToUtf16(platform::AsciiLower(name)), std::move(value)});
}

void TLanguageStrings::RegisterPlaceholder(const std::string& name, const std::string& variable) {
  const std::string* source = &variable;
  RegisterPlaceholder(name, [source] { return platform::Cp1252ToUtf16(*source); });
}

std::u16string TLanguageStrings::ApplyPlaceholders(const std::u16string& text) const {
  std::u16string result = text;
  for (const Item& item : items_) {
    result = ReplaceAll(result, item.name, item.value ? item.value() : std::u16string());
  }
  return result;
}

void RegisterStandardPlaceholders(TLanguageStrings& strings, const std::string& setup_name,
                                  const std::string& short_name, const std::string& changelog,
                                  const std::string& space_required_text,
                                  const std::string& space_available_text) {
  strings.RegisterPlaceholder(kPlaceholderSetupTitle, setup_name);
  strings.RegisterPlaceholder(kPlaceholderShortTitle, short_name);
  strings.RegisterPlaceholder(kPlaceholderChangelog, changelog);
  strings.RegisterPlaceholder(kPlaceholderSpaceRequired, space_required_text);
  strings.RegisterPlaceholder(kPlaceholderSpaceAvailable, space_available_text);
}

// ---------------------------------------------------------------------------------------------
// Process-wide objects and the display-text pipeline

TLanguages& Languages() {
  static TLanguages languages;
  return languages;
}

TLanguageStrings& LanguageStrings() {
  static TLanguageStrings strings;
  return strings;
}

std::u16string DisplayText(const TLanguages& languages, const TLanguageStrings& strings,
                           const std::u16string& raw) {
  std::u16string text = languages.ExpandLangTokens(raw);
  text = ReplaceAll(text, u"<BR>", std::u16string(1, kCr));
  return strings.ApplyPlaceholders(text);
}

std::u16string DisplayText(const std::u16string& raw) {
  return DisplayText(Languages(), LanguageStrings(), raw);
}

std::u16string GetText(int number) { return Languages().GetText(number); }

std::u16string ExpandLangTokens(const std::u16string& text) {
  return Languages().ExpandLangTokens(text);
}
