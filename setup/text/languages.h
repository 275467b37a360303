// Language tables: numbered UTF-16 texts per language, the <LANGn> token expansion, the
// registered <%...%> placeholders and the display-text pipeline that turns a raw caption into
// what a control shows. No Qt; used by the wizard, the runner's progress texts and setupc.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TPak;  // setup/core/pak.h

// One line of a TUnicodeStringList.
struct TUniItem {
  std::u16string Text;
  int32_t Tag = 0;
};

// An ordered list of UTF-16 lines, used to read language blobs.
class TUnicodeStringList {
 public:
  // Replaces the list with the lines of a UTF-16LE blob whose first two bytes (the byte-order
  // mark) are skipped. CR LF and CR end a line; text between a line start and a bare LF is
  // dropped. A null `data` raises SetupError("Cannot open file").
  void LoadFromBuffer(const void* data, size_t size);
  int Add(const std::u16string& text);  // appends with tag 0, answers the index
  int Count() const { return static_cast<int>(items_.size()); }
  // The line at `index`; an empty text when the index is out of range.
  const std::u16string& Get(int index) const;
  void Clear() { items_.clear(); }

 private:
  std::vector<TUniItem> items_;
};

// One numbered text.
struct TLID {
  uint16_t Number = 0;
  std::u16string Text;
};

// One language table: display name, the language ids it serves, numbered texts in file order.
class TLanguage {
 public:
  std::u16string Name = u"Untitled";
  std::vector<uint16_t> LanguageIds;
  std::vector<TLID> Texts;

  // Fills the table from one blob (line 1 name, line 2 ids, lines 3+ "number text"). A
  // malformed id or text number raises SetupError; what was read before the fault stays.
  void LoadFromBuffer(const void* data, size_t size);
  // The first text with that number, or null.
  const std::u16string* FindText(uint16_t number) const;
};

// All tables of the package and the index of the current one.
class TLanguages {
 public:
  int32_t Current = -1;
  std::vector<std::unique_ptr<TLanguage>> Items;

  // Appends a new table, then fills it (a table whose parsing fails is still counted; the
  // error goes on to the caller).
  void AddLanguage(const void* data, size_t size);
  // The current table's text with that number, or "NOT FOUND " + number.
  std::u16string GetText(int number) const;
  // Every <LANGn> token replaced by GetText(n), searching again from the start after each
  // replacement so texts that hold tokens are expanded in turn. At most kMaxTokenReplacements
  // replacements are made per call, and none once the text is longer than kMaxExpandedLength:
  // a text that leads back to itself stops there with the remaining tokens left as written. A token
  // without a number or without '>' raises SetupError. With no current table the text comes back
  // unchanged.
  std::u16string ExpandLangTokens(const std::u16string& text) const;
  // Index of the first table listing the id, or -1.
  int FindByLanguageId(uint16_t id) const;
  // Current := FindByLanguageId(id), or 0 when no table lists it (-1 stays when Items is empty).
  void ChooseForLanguageId(uint16_t id);
  void Clear() {
    Items.clear();
    Current = -1;
  }

  static constexpr int kMaxTokenReplacements = 1000;
  static constexpr size_t kMaxExpandedLength = 1 << 20;
};

// Entry names that hold language tables: the first 9 characters, upper-cased, are "LANGUAGE-".
bool IsLanguageEntryName(const std::string& entry_name);

// Loads every group-0 "LANGUAGE-" entry of the package in directory order into `languages`
// and chooses the table for `system_language_id` (start-up, install and uninstall mode). Every
// such entry is a table: one that yields no data raises SetupError("Cannot open file") and a
// malformed one its conversion error, with the tables before it (and the failed one) counted.
void LoadLanguagesFromPackage(TPak& pak, TLanguages& languages, uint16_t system_language_id);

// The registered <%...%> placeholders; each reads its value when applied, so later changes of
// the variable show in texts built afterwards.
class TLanguageStrings {
 public:
  // `name` is stored lower-cased; `value` is read at every ApplyPlaceholders.
  void RegisterPlaceholder(const std::string& name, std::function<std::u16string()> value);
  // Convenience: the value is a Windows-1252 string variable that must outlive this object.
  void RegisterPlaceholder(const std::string& name, const std::string& variable);
  // Replaces every registered placeholder (case-insensitive) in registration order.
  std::u16string ApplyPlaceholders(const std::u16string& text) const;
  size_t Count() const { return items_.size(); }
  void Clear() { items_.clear(); }

 private:
  struct Item {
    std::u16string name;
    std::function<std::u16string()> value;
  };
  std::vector<Item> items_;
};

// Text numbers the runtime asks for itself.
inline constexpr int kTextSpaceAvailable = 7;   // free-space label on the patch page
inline constexpr int kTextBack = 12;            // Back button
inline constexpr int kTextNext = 13;            // Next button
inline constexpr int kTextCancel = 14;          // Cancel button
inline constexpr int kTextStart = 15;           // Next button on the patch page
inline constexpr int kTextFinish = 16;          // Cancel button on the finish page
inline constexpr int kTextCopyingFile = 17;     // "<%FILENAME%>"
inline constexpr int kTextExtracting = 18;      // "<%FILENAME%>"
inline constexpr int kTextItemProgress = 19;    // "<%QXPNAME%>", "<%FNUM%>", "<%FTOTAL%>"
inline constexpr int kTextWritingHeader = 20;   // "<%QXPNAME%>"
inline constexpr int kTextFailed = 23;          // second status line of a failed run
inline constexpr int kTextRegistryPhase = 24;   // removal run: registry values
inline constexpr int kTextFolderPhase = 25;     // removal run: folders
inline constexpr int kTextUninstallTitle = 26;  // appended to the uninstaller's title
inline constexpr int kTextQuitQuestion = 27;    // close confirmation text
inline constexpr int kTextQuitCaption = 28;     // close confirmation caption
inline constexpr int kTextLoadingArchive = 29;  // "<%QXPNAME%>"

// The five placeholders every run registers, in this order.
inline constexpr const char* kPlaceholderSetupTitle = "<%SETUPTITLE%>";
inline constexpr const char* kPlaceholderShortTitle = "<%SETUPSHORTTITLE%>";
inline constexpr const char* kPlaceholderChangelog = "<%CHANGELOG%>";
inline constexpr const char* kPlaceholderSpaceRequired = "<%SPACEREQ%>";
inline constexpr const char* kPlaceholderSpaceAvailable = "<%SPACEAVA%>";

// Registers the five placeholders on the given variables (setup title, short title, change-log
// entry name, size texts of space required and available); they must live as long as `strings`.
void RegisterStandardPlaceholders(TLanguageStrings& strings, const std::string& setup_name,
                                  const std::string& short_name, const std::string& changelog,
                                  const std::string& space_required_text,
                                  const std::string& space_available_text);

// The process-wide tables and placeholder list (created empty on first use, never destroyed
// before the process ends).
TLanguages& Languages();
TLanguageStrings& LanguageStrings();

// Display-text pipeline: ExpandLangTokens, then every "<BR>" (any case) becomes CR, then the
// placeholders. A placeholder value holding "<LANG" or "<BR>" is not expanded further.
std::u16string DisplayText(const TLanguages& languages, const TLanguageStrings& strings,
                           const std::u16string& raw);
// The same on the process-wide objects.
std::u16string DisplayText(const std::u16string& raw);
// GetText of the process-wide tables (the runtime's fixed text numbers).
std::u16string GetText(int number);
// ExpandLangTokens of the process-wide tables.
std::u16string ExpandLangTokens(const std::u16string& text);
