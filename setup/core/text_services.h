// Text services of the setup runtime: path-variable expansion and contraction, the replacement
// rule shared with the language texts, size texts, registry root names and small parsers.
// Number texts never depend on the process locale: the decimal separator is always ".".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/ascii_case.h"
#include "platform/registry.h"

// Replaces every occurrence of `pattern` (letters A-Z compared without regard to case, texts
// compared as Windows-1252 bytes) by `value`, searching again from the start after each
// replacement, so text a replacement produced is searched too. An empty pattern replaces
// nothing. A replacement that would go on without end (the value holds the pattern, or the
// text keeps growing) instead gets every occurrence of the original text replaced once, left
// to right; see text_services.cpp for the exact bound.
std::string ReplaceAll(std::string_view text, std::string_view pattern, std::string_view value);
std::u16string ReplaceAll(std::u16string_view text, std::u16string_view pattern,
                          std::u16string_view value);

// Replaces $INSTDIR, $INSTALLDIR, $SMPROGRAMS, $PROGRAMFILES, $DESKTOP, $CDDRIVE and
// $LANGUAGESELECTION (any case) by their values from SetupState, then %NAME% environment
// variables from its snapshot, then collapses every run of backslashes into one.
// Values (registry data, program parameters, link arguments, message texts) keep their '/'.
std::string ExpandPath(std::string_view text);
// ExpandPath for a path the file system is given: in a drive path ("C:...") every '/' becomes a
// backslash as well, and runs of backslashes are collapsed again.
std::string ExpandFilePath(std::string_view text);
// A place on this machine as a message names it: the Windows path followed by the host folder it
// lies in, "C:\Program Files\X\ (/home/u/.local/share/setupkit/drive_c/Program Files/X)"
// (Windows-1252); the Windows path alone when no drive holds it.
std::string PlaceName(const std::string& windows_path);
// Replaces the current install folder by $INSTDIR, then the Start-menu programs, program-files
// and desktop folders by their variables, then expands %NAME% variables. No collapsing.
std::string ContractPath(std::string_view text);

// "0.00 Bytes", "1.50 KB", "5.00 MB", "3.00 GB" (GB is the largest unit).
std::string FormatSize(int64_t bytes);

// Registry roots by index: 0 HKLM, 1 HKCU, 2 HKCR, 3 HKU, 4 HKCC.
// Short name (upper-cased comparison) to index; any other text gives 0.
int RootIndexFromName(std::string_view name);
// Index to root; nothing for an index outside 0..4.
std::optional<platform::RootKey> RootKeyFromIndex(int index);
// "HKEY_LOCAL_MACHINE" ...; "!ERROR!" for an index outside 0..4.
std::string RootLongName(int index);
// "HKLM" ...; "!ERROR!" for an index outside 0..4.
std::string RootShortName(int index);

// Appends "\" unless the text is empty or already ends with one.
std::string IncludeTrailingBackslash(std::string_view text);
// Folds every run of backslashes into one, so paths joined from parts read cleanly.
std::string CollapseBackslashes(std::string_view path);

struct NameValue {
  std::string name;
  std::string value;
};
// Splits at the first "="; without one the name is empty and the value is the whole text.
NameValue SplitNameValue(std::string_view text);
// Splits at the first "="; without one both are empty.
NameValue SplitNameValueStrict(std::string_view text);

// The decimal value of the text, or -1 when it is not a valid 32-bit integer. Leading and
// trailing blanks are allowed, as is one sign.
int32_t StrToIntOrMinusOne(std::string_view text);

// General format with up to 15 significant digits and "." as separator; ".0" is appended when
// the text has no "." (3 gives "3.0", 2.5 gives "2.5", 1e-7 gives "1E-7.0"). Scientific notation
// is used when the magnitude is below 0.00001 or needs more than 15 digits before the point.
std::string FloatToStrDot(long double value);

// Lower-cases the letters A-Z only (the comparison form of names and paths): the platform's.
using platform::AsciiLower;
