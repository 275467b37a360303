// Shell services: special folders and shell links (.lnk files in the Shell Link binary format).
#pragma once

#include <optional>
#include <string>

namespace platform {

enum class ShellFolder { kProgramFiles, kPrograms, kDesktop, kPersonal, kTemp };

// Windows path without a trailing backslash ("C:\Program Files", "C:\users\USER\Desktop",
// "C:\users\USER\Start Menu\Programs", "C:\users\USER\Documents"); created on demand. USER is
// Public in a per-machine run.
std::string GetShellFolder(ShellFolder folder);

struct ShellLink {
  std::string target;  // Windows path of the target
  std::string arguments;
  std::string working_directory;
  int show_command = 1;       // SW_SHOWNORMAL
  std::string icon_location;  // empty = none
  int icon_index = 0;
  std::string description;
};

// Writes a .lnk file at a Windows path (the folder must exist).
bool WriteShellLink(const std::string& link_path, const ShellLink& link);
// Reads a .lnk file written by WriteShellLink or by Windows; nothing when it is not one.
std::optional<ShellLink> ReadShellLink(const std::string& link_path);

}  // namespace platform
