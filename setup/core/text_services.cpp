#include "setup/core/text_services.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <type_traits>

#include "platform/ascii_case.h"
#include "platform/drives.h"
#include "platform/text_encoding.h"
#include "setup/core/run_log.h"
#include "setup/core/setup_state.h"

namespace {

// printf's correctly rounded decimal form of a number with "." as the decimal separator, whatever
// locale a caller has set (the window's toolkit sets the user's). printf serves where
// std::to_chars would bring a large table of its own into every program that formats a size.
template <typename Number>
std::string CFormat(const char* format, int precision, Number value) {
  char buffer[128];
  const int length = std::snprintf(buffer, sizeof buffer, format, precision, value);
  if (length <= 0 || static_cast<size_t>(length) >= sizeof buffer) return std::string();
  std::string text(buffer, static_cast<size_t>(length));
  const char* point = std::localeconv()->decimal_point;
  if (point && *point && std::string_view(point) != ".") {
    const size_t at = text.find(point);
    if (at != std::string::npos) text.replace(at, std::char_traits<char>::length(point), ".");
  }
  return text;
}

// Limits of the repeated replacement when the value is at least as long as the pattern (only
// then can the text keep growing or cycle): at most text length + 4096 replacements and a
// result of at most 16 Mi characters. Every practical replacement (paths, language texts,
// placeholders) stays far below both; beyond them the replacement would not end.
constexpr size_t kExtraReplacements = 4096;
constexpr size_t kMaxReplacedLength = size_t{1} << 24;

std::string Fold(std::string_view text) { return platform::AsciiLower(text); }

// The characters that Windows-1252 keeps at 0x80-0x9F, by their UTF-16 units.
struct Cp1252High {
  char16_t unit[32];
  Cp1252High() {
    for (int i = 0; i < 32; ++i) {
      const std::u16string wide =
          platform::Cp1252ToUtf16(std::string(1, static_cast<char>(0x80 + i)));
      unit[i] = wide.size() == 1 ? wide[0] : u'\0';
    }
  }
};

char UnitToCp1252(char16_t unit) {
  if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) return static_cast<char>(unit);
  static const Cp1252High high;
  for (int i = 0; i < 32; ++i) {
    if (high.unit[i] == unit && unit != 0) return static_cast<char>(0x80 + i);
  }
  return '?';  // no Windows-1252 character, as the system conversion answers
}

// Each UTF-16 unit becomes one Windows-1252 byte, then A-Z are lowered.
std::string Fold(std::u16string_view text) {
  std::string folded;
  folded.reserve(text.size());
  for (char16_t unit : text) folded.push_back(platform::AsciiLowerChar(UnitToCp1252(unit)));
  return folded;
}

// Whether `pattern` (not empty) occurs in `text` with A-Z compared without case. Most
// replacements find nothing (a path holds one variable of the many tried), and this answers
// that without the folded copies the replacement itself works on.
bool ContainsFolded(std::string_view text, std::string_view pattern) {
  const char first = platform::AsciiLowerChar(pattern[0]);
  for (size_t i = 0; i + pattern.size() <= text.size(); ++i) {
    if (platform::AsciiLowerChar(text[i]) != first) continue;
    size_t matched = 1;
    while (matched < pattern.size() && platform::AsciiLowerChar(text[i + matched]) ==
                                           platform::AsciiLowerChar(pattern[matched])) {
      ++matched;
    }
    if (matched == pattern.size()) return true;
  }
  return false;
}

// Every occurrence of the original text replaced once, left to right; inserted text is not
// searched again.
template <typename Char>
std::basic_string<Char> ReplaceOnce(std::basic_string_view<Char> text, const std::string& ft,
                                    const std::string& fp, std::basic_string_view<Char> value) {
  std::basic_string<Char> result;
  size_t from = 0;
  for (size_t pos = ft.find(fp); pos != std::string::npos; pos = ft.find(fp, from)) {
    result.append(text.substr(from, pos - from));
    result.append(value);
    from = pos + fp.size();
  }
  result.append(text.substr(from));
  return result;
}

template <typename Char>
std::basic_string<Char> ReplaceAllImpl(std::basic_string_view<Char> text,
                                       std::basic_string_view<Char> pattern,
                                       std::basic_string_view<Char> value) {
  if (pattern.empty()) return std::basic_string<Char>(text);
  if constexpr (std::is_same_v<Char, char>) {
    if (!ContainsFolded(text, pattern)) return std::string(text);
  }
  const std::string fp = Fold(pattern);
  const std::string fv = Fold(value);
  std::string ft = Fold(text);
  // A value that holds the pattern would be found again after every replacement, forever.
  if (fv.find(fp) != std::string::npos) return ReplaceOnce(text, ft, fp, value);

  const bool shrinks = value.size() < pattern.size();  // then the loop always ends
  const size_t max_steps = text.size() + kExtraReplacements;
  std::basic_string<Char> result(text);
  size_t steps = 0;
  size_t from = 0;
  for (size_t pos = ft.find(fp); pos != std::string::npos; pos = ft.find(fp, from)) {
    if (!shrinks && (++steps > max_steps ||
                     result.size() - pattern.size() + value.size() > kMaxReplacedLength)) {
      return ReplaceOnce(text, Fold(text), fp, value);
    }
    result.replace(pos, pattern.size(), value);
    ft.replace(pos, fp.size(), fv);
    // No occurrence started before `pos`, and the text before it did not change, so the next
    // first occurrence cannot start earlier than one pattern length before it: searching from
    // there finds the same occurrence as a search from the start.
    from = pos >= fp.size() - 1 ? pos - (fp.size() - 1) : 0;
  }
  return result;
}

bool IsVariableNameChar(char c) {
  return platform::IsAsciiLetter(c) || (c >= '0' && c <= '9') || c == '_' || c == '(' || c == ')';
}

// Every %NAME% left in a text after the environment was put in names a variable that is not
// set: the text keeps it as written (a folder "%APPDATA%\x" is no drive path), which the run log
// and, unattended, standard error say once per name. "100%" and "50% off" name nothing.
void WarnOfUnsetVariables(const std::string& text) {
  SetupState& state = SetupState::Instance();
  size_t open = text.find('%');
  while (open != std::string::npos) {
    const size_t close = text.find('%', open + 1);
    if (close == std::string::npos) return;
    const std::string name = text.substr(open + 1, close - open - 1);
    const bool is_name = !name.empty() && (platform::IsAsciiLetter(name[0]) || name[0] == '_') &&
                         std::all_of(name.begin(), name.end(), IsVariableNameChar);
    if (!is_name) {
      open = close;
      continue;
    }
    // A value may bring a %NAME% of a variable that is set; it is left as the value has it.
    const std::string upper = platform::AsciiUpper(name);
    const bool set = std::any_of(
        state.environment.begin(), state.environment.end(),
        [&upper](const TSysVar& var) { return platform::AsciiUpper(var.name) == upper; });
    if (!set && state.NoteUnsetVariable(upper)) {
      const std::string warning = "warning: the environment variable %" + name +
                                  "% is not set; the text keeps it as written: " + text;
      RunLog(warning);
      if (state.Unattended()) {
        std::fprintf(stderr, "setup: %s\n", platform::Cp1252ToUtf8(warning).c_str());
      }
    }
    open = text.find('%', close + 1);
  }
}

std::string ExpandEnvironment(std::string text) {
  const SetupState& state = SetupState::Instance();
  if (text.find('%') == std::string::npos) return text;
  for (const TSysVar& var : state.environment) {
    text = ReplaceAll(text, "%" + var.name + "%", var.value);
  }
  WarnOfUnsetVariables(text);
  return text;
}

struct RootName {
  const char* short_name;
  const char* long_name;
  platform::RootKey key;
};
constexpr RootName kRoots[] = {
    {"HKLM", "HKEY_LOCAL_MACHINE", platform::RootKey::kLocalMachine},
    {"HKCU", "HKEY_CURRENT_USER", platform::RootKey::kCurrentUser},
    {"HKCR", "HKEY_CLASSES_ROOT", platform::RootKey::kClassesRoot},
    {"HKU", "HKEY_USERS", platform::RootKey::kUsers},
    {"HKCC", "HKEY_CURRENT_CONFIG", platform::RootKey::kCurrentConfig},
};
constexpr int kRootCount = 5;

}  // namespace

std::string ReplaceAll(std::string_view text, std::string_view pattern, std::string_view value) {
  return ReplaceAllImpl<char>(text, pattern, value);
}

std::u16string ReplaceAll(std::u16string_view text, std::u16string_view pattern,
                          std::u16string_view value) {
  return ReplaceAllImpl<char16_t>(text, pattern, value);
}

std::string ExpandPath(std::string_view text) {
  const SetupState& state = SetupState::Instance();
  const std::string& install_dir = state.InstallDir();
  std::string result(text);
  result = ReplaceAll(result, "$INSTDIR", install_dir);
  result = ReplaceAll(result, "$INSTALLDIR", install_dir);
  result = ReplaceAll(result, "$SMPROGRAMS", state.sm_programs);
  result = ReplaceAll(result, "$PROGRAMFILES", state.program_files);
  result = ReplaceAll(result, "$DESKTOP", state.desktop);
  result = ReplaceAll(result, "$CDDRIVE", state.cd_drive);
  result = ReplaceAll(result, "$LANGUAGESELECTION", state.language_selection);
  result = ExpandEnvironment(std::move(result));
  return ReplaceAll(result, "\\\\", "\\");
}

std::string ExpandFilePath(std::string_view text) {
  std::string result = ExpandPath(text);
  // Windows takes '/' as a separator too; a variable holding a host path ("Z:%HOME%\x")
  // brings slashes, and the path helpers split at backslashes only.
  const bool drive_path =
      result.size() >= 2 && result[1] == ':' && platform::IsAsciiLetter(result[0]);
  if (!drive_path) return result;
  std::replace(result.begin(), result.end(), '/', '\\');
  return CollapseBackslashes(result);
}

std::string PlaceName(const std::string& windows_path) {
  // Failed steps name the place before they add errno's reason; looking the host path up must
  // not change that reason.
  const int reason = errno;
  std::string folder = windows_path;
  while (folder.size() > 3 && folder.back() == '\\') folder.pop_back();
  const std::optional<std::string> host = platform::ToHostPath(folder);
  errno = reason;
  if (!host || host->empty()) return windows_path;
  return windows_path + " (" + platform::Utf8ToCp1252Escaped(*host) + ")";
}

std::string ContractPath(std::string_view text) {
  const SetupState& state = SetupState::Instance();
  std::string result(text);
  const std::pair<const std::string*, const char*> folders[] = {
      {&state.InstallDir(), "$INSTDIR"},
      {&state.sm_programs, "$SMPROGRAMS"},
      {&state.program_files, "$PROGRAMFILES"},
      {&state.desktop, "$DESKTOP"},
  };
  for (const auto& [folder, variable] : folders) {
    // A folder that could not be resolved is just "\"; contracting it would turn every
    // backslash of the path into a variable.
    if (*folder == "\\") continue;
    result = ReplaceAll(result, *folder, variable);
  }
  return ExpandEnvironment(std::move(result));
}

std::string FormatSize(int64_t bytes) {
  static const char* const kUnits[] = {"Bytes", "KB", "MB", "GB"};
  // The unit is chosen by magnitude, so a negative count reads like its positive counterpart
  // with a minus sign.
  const bool negative = bytes < 0;
  double value = std::fabs(static_cast<double>(bytes));
  int unit = 0;
  for (;;) {
    value /= 1024.0;
    const double whole = std::trunc(value);
    if (whole > 0) ++unit;
    if (whole == 0) {
      value *= 1024.0;
      break;
    }
    if (unit == 3) break;
  }
  if (negative) value = -value;
  std::string text = CFormat("%.*f", 2, value);
  if (text.empty()) text = "0.00";
  return text + " " + kUnits[unit];
}

int RootIndexFromName(std::string_view name) {
  const std::string upper = platform::AsciiUpper(name);
  for (int i = 0; i < kRootCount; ++i) {
    if (upper == kRoots[i].short_name) return i;
  }
  return 0;
}

std::optional<platform::RootKey> RootKeyFromIndex(int index) {
  if (index < 0 || index >= kRootCount) return std::nullopt;
  return kRoots[index].key;
}

std::string RootLongName(int index) {
  if (index < 0 || index >= kRootCount) return "!ERROR!";
  return kRoots[index].long_name;
}

std::string RootShortName(int index) {
  if (index < 0 || index >= kRootCount) return "!ERROR!";
  return kRoots[index].short_name;
}

std::string IncludeTrailingBackslash(std::string_view text) {
  std::string result(text);
  if (!result.empty() && result.back() != '\\') result.push_back('\\');
  return result;
}

std::string CollapseBackslashes(std::string_view path) {
  std::string result;
  result.reserve(path.size());
  for (char c : path) {
    if (c == '\\' && !result.empty() && result.back() == '\\') continue;
    result.push_back(c);
  }
  return result;
}

NameValue SplitNameValue(std::string_view text) {
  const size_t eq = text.find('=');
  if (eq == std::string_view::npos) return {std::string(), std::string(text)};
  return {std::string(text.substr(0, eq)), std::string(text.substr(eq + 1))};
}

NameValue SplitNameValueStrict(std::string_view text) {
  const size_t eq = text.find('=');
  if (eq == std::string_view::npos) return {};
  return {std::string(text.substr(0, eq)), std::string(text.substr(eq + 1))};
}

int32_t StrToIntOrMinusOne(std::string_view text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && (text[begin] == ' ' || text[begin] == '\t')) ++begin;
  while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
  if (begin < end && text[begin] == '+') {
    ++begin;  // from_chars takes "-" only
    if (begin < end && text[begin] == '-') return -1;
  }
  if (begin == end) return -1;
  int32_t value = 0;
  const auto [ptr, ec] = std::from_chars(text.data() + begin, text.data() + end, value, 10);
  if (ec != std::errc() || ptr != text.data() + end) return -1;
  return value;
}

std::string FloatToStrDot(long double value) {
  constexpr int kPrecision = 15;
  std::string text;
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  if (value == 0) {
    text = "0";
  } else {
    // Correctly rounded to 15 significant digits, independent of the locale: "d.ddd...e+XX".
    const std::string formatted = CFormat("%.*Le", kPrecision - 1, value);
    const std::string_view sci(formatted);
    const size_t e_pos = sci.find('e');
    if (e_pos == std::string_view::npos) return "0.0";
    std::string digits;
    bool negative = false;
    for (char c : sci.substr(0, e_pos)) {
      if (c == '-') negative = true;
      if (c >= '0' && c <= '9') digits.push_back(c);
    }
    int exponent = 0;
    std::string_view exp_text = sci.substr(e_pos + 1);
    if (!exp_text.empty() && exp_text[0] == '+') exp_text.remove_prefix(1);
    std::from_chars(exp_text.data(), exp_text.data() + exp_text.size(), exponent);
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

    if (negative) text.push_back('-');
    if (exponent >= kPrecision || exponent < -5) {
      text.push_back(digits[0]);
      if (digits.size() > 1) text += "." + digits.substr(1);
      text += "E" + std::to_string(exponent);
    } else if (exponent >= 0) {
      const size_t int_digits = static_cast<size_t>(exponent) + 1;
      if (digits.size() <= int_digits) {
        text += digits + std::string(int_digits - digits.size(), '0');
      } else {
        text += digits.substr(0, int_digits) + "." + digits.substr(int_digits);
      }
    } else {
      text += "0." + std::string(static_cast<size_t>(-exponent - 1), '0') + digits;
    }
  }
  if (text.find('.') == std::string::npos) text += ".0";
  return text;
}
