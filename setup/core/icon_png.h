// Turning a Windows icon into a PNG picture, for the desktop entries and icons that Linux
// desktops read (they do not read .ico files).
#pragma once

#include <optional>
#include <string>
#include <string_view>

// The largest image of an icon file's bytes (.ico), as PNG bytes with its transparency (a PNG
// image of the icon comes back as it is stored there). A PNG given as it is comes back unchanged.
// Nothing when the bytes are neither, are damaged, or a directory entry points outside them.
std::optional<std::string> IconToPng(std::string_view icon_bytes);
