// The window program's name and icon as desktops see them: the application (and so the X11
// window class and the Wayland application id) is named after the product, and the installer's
// icon is the icon of every window it opens.
#pragma once

#include <QIcon>
#include <string>

namespace setup_wizard {

// The icon of the installer whose package is at PACKAGE_PATH (a host path): the package's own
// icon entry ("ICON.ICO", which an installer without an uninstaller carries, else the
// uninstaller's "UNINSTALL_ICON.ICO"), else the icon installed beside an uninstaller (its name
// with ".ico"). A null icon when there is none or it is damaged.
QIcon InstallerIcon(const std::string& package_path);

// Names the application after the wizard's title (the product, or for an uninstaller its short
// name and "Uninstall") and gives it the installer's icon. Call once the package and language
// tables are loaded and before the first window is shown: X11 takes the window class from the
// first window made.
void NameApplication(const std::string& package_path);

}  // namespace setup_wizard
