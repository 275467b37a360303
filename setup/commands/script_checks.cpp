#include "setup/commands/script_checks.h"

#include <initializer_list>

#include "platform/ascii_case.h"

namespace {

constexpr const char* kPathVariables[] = {"$INSTDIR",          "$INSTALLDIR", "$SMPROGRAMS",
                                          "$PROGRAMFILES",     "$DESKTOP",    "$CDDRIVE",
                                          "$LANGUAGESELECTION"};

bool IsNameChar(char c) { return platform::IsAsciiLetter(c) || (c >= '0' && c <= '9') || c == '_'; }

// The arguments (0-based, as written) that the run side expands, as paths and as values.
struct TExpandedArguments {
  const char* command;
  std::initializer_list<int> paths;
  std::initializer_list<int> values;
};
const TExpandedArguments kExpanded[] = {
    {"installdir", {0}, {}},       {"copyfile", {0, 1}, {}},
    {"createdirectory", {0}, {}},  {"createshortcut", {0, 1, 3}, {2}},
    {"delete", {0}, {}},           {"execute", {0}, {1}},
    {"iffileexists", {0}, {}},     {"messagebox", {}, {0, 1}},
    {"rename", {0, 1}, {}},        {"rmdir", {0}, {}},
    {"writeregstr", {}, {3}},      {"writeregstr_url", {}, {1, 2}},
    {"uninstalllogload", {0}, {}}, {"uninstalllogsave", {0}, {}},
};

bool Holds(std::initializer_list<int> indexes, size_t index) {
  for (const int i : indexes) {
    if (static_cast<size_t>(i) == index) return true;
  }
  return false;
}

}  // namespace

std::optional<std::string> UnknownPathVariable(const std::string& text, ArgumentUse use) {
  if (use == ArgumentUse::kText) return std::nullopt;
  for (size_t i = text.find('$'); i != std::string::npos; i = text.find('$', i + 1)) {
    if (i + 1 >= text.size() || !platform::IsAsciiLetter(text[i + 1])) continue;
    size_t end = i + 1;
    while (end < text.size() && IsNameChar(text[end])) ++end;
    if (use == ArgumentUse::kValue && (end >= text.size() || text[end] != '\\')) continue;
    const std::string word = platform::AsciiUpper(text.substr(i, end - i));
    bool known = false;
    for (const char* variable : kPathVariables) {
      if (word.rfind(variable, 0) == 0) known = true;
    }
    if (!known) return text.substr(i, end - i);
  }
  return std::nullopt;
}

std::string PathVariableList() {
  std::string list;
  for (const char* variable : kPathVariables) {
    if (!list.empty()) list += ", ";
    list += variable;
  }
  return list;
}

ArgumentUse ArgumentUseOf(const std::string& command, size_t index) {
  const std::string lower = platform::AsciiLower(command);
  for (const TExpandedArguments& entry : kExpanded) {
    if (lower != entry.command) continue;
    if (Holds(entry.paths, index)) return ArgumentUse::kPath;
    if (Holds(entry.values, index)) return ArgumentUse::kValue;
  }
  return ArgumentUse::kText;
}
