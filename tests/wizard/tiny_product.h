// The small product "Tiny" that several end-to-end tests install, upgrade, roll back and remove.
#pragma once

namespace setupkit_test {

inline constexpr const char* kTinyFolder = "C:\\Program Files\\Tiny\\";
inline constexpr const char* kTinyUninstallKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tiny";

// A script's lines before its install lines: the product, its change log, pages and languages.
inline constexpr const char* kTinyScriptHead =
    "name Tiny\nshortname Tiny\noutfile TinySetup.exe\n"
    "installdir \"$PROGRAMFILES\\Tiny\\\"\nchangelog Changes.txt\n"
    "pages install\nuninstallpages uninstall\nprefix Tiny\n"
    "language install\\english\nuninstalllanguage uninstall\\english\n";

}  // namespace setupkit_test
