#include "platform/desktop_entry.h"

#include <sys/stat.h>

#include <cstdlib>
#include <string_view>

#include "platform/drives.h"
#include "platform/files.h"
#include "platform/path_util.h"
#include "platform/safe_parent.h"

namespace platform {
namespace {

constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// A value of type string: backslash and the control characters the format names are escaped.
std::string EscapeString(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        out += c;
    }
  }
  return out;
}

// XDG_DESKTOP_DIR="..." from user-dirs.dirs; $HOME at its start is the home folder. Only
// "$HOME/..." and absolute paths are allowed there, as xdg-user-dirs writes them.
std::string DesktopFromUserDirs(const std::string& file) {
  const std::optional<std::string> text = ReadFileBytes(file);
  if (!text) return "";
  size_t pos = 0;
  std::string found;
  while (pos < text->size()) {
    size_t end = text->find('\n', pos);
    if (end == std::string::npos) end = text->size();
    std::string line = text->substr(pos, end - pos);
    pos = end + 1;
    constexpr std::string_view kKey = "XDG_DESKTOP_DIR=\"";
    if (line.compare(0, kKey.size(), kKey) != 0) continue;
    const size_t close = line.find('"', kKey.size());
    if (close == std::string::npos) continue;
    std::string value = line.substr(kKey.size(), close - kKey.size());
    if (value.compare(0, 5, "$HOME") == 0) {
      value = HomeFolder() + value.substr(5);
    } else if (value.empty() || value[0] != '/') {
      continue;
    }
    found = value;
  }
  while (found.size() > 1 && found.back() == '/') found.pop_back();
  return found;
}

// A root set for the run (a test root) keeps the entries below it, so removing the root leaves
// no menu entries behind; an explicit XDG_DATA_HOME still names where they go.
bool EntriesBelowSetupRoot() { return !Env("SETUP_ROOT").empty() && Env("XDG_DATA_HOME").empty(); }

}  // namespace

bool DesktopEntriesEnabled() { return Env("SETUP_NO_DESKTOP_ENTRIES") != "1"; }

std::string ApplicationsFolder() {
  if (MachineScope()) return MachineFolder("/usr/local/share/applications", "applications");
  return (EntriesBelowSetupRoot() ? SetupRoot() : DataHome()) + "/applications";
}

std::string DesktopFolder() {
  if (MachineScope()) return "";
  if (EntriesBelowSetupRoot()) return SetupRoot() + "/Desktop";
  std::string config = Env("XDG_CONFIG_HOME");
  if (config.empty()) config = HomeFolder() + "/.config";
  std::string desktop = DesktopFromUserDirs(config + "/user-dirs.dirs");
  return desktop.empty() ? HomeFolder() + "/Desktop" : desktop;
}

std::string QuoteExecArgument(const std::string& argument) {
  std::string doubled;
  for (char c : argument) {
    doubled += c;
    if (c == '%') doubled += '%';
  }
  if (!doubled.empty() && doubled.find_first_of(kReserved) == std::string::npos) return doubled;
  std::string quoted = "\"";
  for (char c : doubled) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

std::string FormatDesktopEntry(const DesktopEntry& entry) {
  std::string exec;
  for (const std::string& argument : entry.exec) {
    if (!exec.empty()) exec += ' ';
    exec += QuoteExecArgument(argument);
  }
  // No Version key: it is optional, and validators of older releases refuse "1.5".
  std::string text = "[Desktop Entry]\nType=Application\n";
  text += "Name=" + EscapeString(entry.name) + "\n";
  if (!entry.comment.empty()) text += "Comment=" + EscapeString(entry.comment) + "\n";
  text += "Exec=" + EscapeString(exec) + "\n";
  if (!entry.working_folder.empty()) text += "Path=" + EscapeString(entry.working_folder) + "\n";
  if (!entry.icon.empty()) text += "Icon=" + EscapeString(entry.icon) + "\n";
  if (!entry.categories.empty()) {
    std::string categories = entry.categories;
    if (categories.back() != ';') categories += ';';
    text += "Categories=" + EscapeString(categories) + "\n";
  }
  text += "Terminal=false\n";
  return text;
}

std::string DesktopFileName(const std::string& text) {
  std::string name = "setupkit";
  bool gap = true;
  for (char c : text) {
    const unsigned char u = static_cast<unsigned char>(c);
    if ((u >= 'a' && u <= 'z') || (u >= '0' && u <= '9')) {
      if (gap) name += '-';
      name += c;
      gap = false;
    } else if (u >= 'A' && u <= 'Z') {
      if (gap) name += '-';
      name += static_cast<char>(u - 'A' + 'a');
      gap = false;
    } else {
      gap = true;
    }
  }
  return name + ".desktop";
}

bool WriteDesktopEntry(const std::string& host_path, const DesktopEntry& entry) {
  const size_t slash = host_path.find_last_of('/');
  if (slash == std::string::npos || slash == 0) return false;
  if (!internal::MakeHostFolders(host_path.substr(0, slash), true)) return false;
  const std::string text = FormatDesktopEntry(entry);
  if (!WriteFileAtomically(host_path, text.data(), text.size())) return false;
  return ChangeModeNoFollow(host_path, 0755);
}

}  // namespace platform
