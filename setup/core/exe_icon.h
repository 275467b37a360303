// Giving an executable the icon of an icon file (the uninstaller gets the product's icon).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// Replaces icon image 1 of `executable` with the first image of `icon_file`. Answers false when
// the icon file cannot be read or is malformed (its first image must lie inside the file), and
// when the executable's resources cannot be updated: ELF programs carry no resources, and this
// platform does not rewrite the resource section of PE images either.
bool ReplaceExeIcon(const std::string& icon_file, const std::string& executable);

// The bytes of the first image of an icon file, checked against the file's length; nothing when
// the file cannot be read or its first directory entry points outside it.
std::optional<std::string> ReadFirstIconImage(const std::string& icon_file);
