// The small product "Tiny" that several end-to-end tests install, upgrade, roll back and remove.
#pragma once

namespace setupkit_test {

inline constexpr const char* kTinyFolder = "C:\\Program Files\\Tiny\\";
inline constexpr const char* kTinyUninstallKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tiny";

}  // namespace setupkit_test
