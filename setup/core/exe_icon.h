// Giving an executable the icon of an icon file (the uninstaller gets the product's icon).
#pragma once

#include <string>

// Replaces icon image 1 of `executable` with the first image of `icon_file`. Answers false when
// the icon file cannot be read or is malformed (its first image must lie inside the file), or
// when the executable has no icon resource to replace (ELF programs carry none).
bool ReplaceExeIcon(const std::string& icon_file, const std::string& executable);
