// Freedesktop desktop entries (.desktop files, freedesktop desktop-entry format 1.5): how the
// Start-menu and desktop links of an install become visible to Linux desktops and menus.
// All texts here are UTF-8 and all paths host paths.
#pragma once

#include <string>
#include <vector>

namespace platform {

// False when SETUP_NO_DESKTOP_ENTRIES is 1 (test roots, scripted installs that want none).
bool DesktopEntriesEnabled();
// Where menu entries go: $SETUP_ROOT/applications when SETUP_ROOT is set and XDG_DATA_HOME is
// not, else $XDG_DATA_HOME/applications, else ~/.local/share/applications.
// In a per-machine run: /usr/local/share/applications (every user's menu), or
// $SETUP_ROOT/machine/applications.
std::string ApplicationsFolder();
// Where desktop links' entries go: $SETUP_ROOT/Desktop when SETUP_ROOT is set and XDG_DATA_HOME
// is not, else the user's desktop folder as `xdg-user-dir DESKTOP` answers it: XDG_DESKTOP_DIR
// of $XDG_CONFIG_HOME/user-dirs.dirs (default ~/.config), else ~/Desktop. Empty in a per-machine
// run: desktops have no folder shared by all users.
std::string DesktopFolder();

struct DesktopEntry {
  std::string name;               // Name
  std::vector<std::string> exec;  // the program, then its arguments, each unquoted
  std::string working_folder;     // Path; empty = left out
  std::string icon;               // Icon: a PNG file's host path; empty = left out
  std::string categories;         // Categories ("A;B;"); empty = left out
  std::string comment;            // Comment; empty = left out
};

// One Exec argument quoted by the desktop-entry rules: percent signs doubled, and an argument
// holding a reserved character enclosed in double quotes with " ` $ \ escaped.
std::string QuoteExecArgument(const std::string& argument);
// The whole file text, values escaped as strings (\\ \n \t \r).
std::string FormatDesktopEntry(const DesktopEntry& entry);
// A file name for an entry: "setupkit-" and the words of `text` in lower case joined by '-',
// then ".desktop" (the vendor prefix keeps the kit's entries apart from others').
std::string DesktopFileName(const std::string& text);
// Writes the entry (atomically), creating the folder when missing. Entries are executable, as
// desktops only start launchers on the desktop that are.
bool WriteDesktopEntry(const std::string& host_path, const DesktopEntry& entry);

}  // namespace platform
