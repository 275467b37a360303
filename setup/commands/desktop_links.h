// Desktop entries for what an install puts in the Start menu and on the desktop: each link
// created in the Start-menu programs folder or in the desktop folder also becomes a
// freedesktop .desktop file, and the uninstaller gets an entry of its own. Entries and their
// PNG icons are recorded in the uninstall list like the links, so the uninstaller removes them.
#pragma once

#include <optional>
#include <string>

#include "platform/shell.h"

// Writes the entry of a link just created at `link_path` (Windows path), when the link lies in
// the Start-menu programs folder (entry in the applications folder) or in the desktop folder
// (entry on the user's desktop) and entries are enabled. `categories` goes to Categories when
// not empty. Answers the entry's host path, or nothing when none was written.
std::optional<std::string> AddDesktopEntryForLink(const std::string& link_path,
                                                  const platform::ShellLink& link,
                                                  const std::string& categories);

// The uninstaller's menu entry "Uninstall NAME", with the PNG icon at `icon_png` (a Windows path,
// may be empty). Answers the entry's host path, or nothing when none was written.
std::optional<std::string> AddUninstallerDesktopEntry(const std::string& product_name,
                                                      const std::string& uninstaller,
                                                      const std::string& icon_png);

// Converts an icon (.ico or .png bytes) to PNG and writes it at `png_path` (Windows path),
// recording the file (and the folders made for it) in the uninstall list. Answers whether it
// was written.
bool InstallPngIcon(const std::string& icon_bytes, const std::string& png_path);
