// The product's entry under the system's Uninstall key (what tools that list or remove installed
// software read), and the listing of every entry there for `setup --list-installed`.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "setup/core/setup_info.h"

// "SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\" + key name (under HKLM).
std::string UninstallKeyPath(const std::string& key_name);

// The values of one entry. Strings are Windows-1252; empty optional texts are not written.
struct TUninstallEntry {
  std::string display_name;      // DisplayName: the product's short name
  std::string uninstaller;       // Windows path of the uninstaller
  std::string install_location;  // InstallLocation
  std::string display_icon;      // DisplayIcon: the installed icon file; empty = left out
  uint64_t installed_bytes = 0;  // EstimatedSize, written in KB (rounded up)
  std::string install_date;      // InstallDate, YYYYMMDD
  std::string version;           // DisplayVersion
  std::string publisher;         // Publisher
  std::string url;               // URLInfoAbout
};

// "\"" + uninstaller + "\"", and the same with " --unattended".
std::string QuotedUninstallString(const std::string& uninstaller);
std::string QuietUninstallString(const std::string& uninstaller);
// Today's local date as YYYYMMDD.
std::string TodayAsInstallDate();

class TUninstallList;
// The bytes of the files a list records: as this run last wrote them, else as they are now.
uint64_t InstalledBytes(const TUninstallList& list);

// Writes every value of the entry under the key named `key_name` (never an empty name: that
// would address the Uninstall key itself). Answers whether all values were written.
bool WriteUninstallEntry(const std::string& key_name, const TUninstallEntry& entry);
// Deletes the values an entry holds and then its key (only when it has no subkeys).
void RemoveUninstallEntry(const std::string& key_name);

// One product of the Uninstall key, as --list-installed prints it. Texts are UTF-8; paths and
// commands are host paths and shell commands, ready for a script.
struct TInstalledProduct {
  std::string key;
  std::string name;  // the full name its uninstaller carries, else DisplayName, else the key
  std::string version;
  std::string publisher;
  std::string install_folder;   // host path of InstallLocation (empty when unknown)
  std::string uninstall;        // the uninstaller as a shell command
  std::string quiet_uninstall;  // the same with --unattended
  bool machine = false;         // a per-machine install
};

// The setup record the uninstaller of an UninstallString carries; nothing when it cannot be read.
std::optional<TSetupInfoFile> UninstallerSetupRecord(const std::string& uninstall_command);

// Every entry under HKLM's Uninstall key of the current scope's state, in the key's order.
std::vector<TInstalledProduct> ListInstalledProducts();
// The per-machine products, then the user's; reading the machine's state changes nothing there.
std::vector<TInstalledProduct> ListInstalledProductsOfBothScopes();
// One line per product: name, version, install folder, quiet uninstall command, and "machine"
// or "user", separated by tabs, "-" for an empty field. With `json`, a JSON array of objects with
// every field ("scope" for the last).
std::string FormatInstalledProducts(const std::vector<TInstalledProduct>& products, bool json);
// TEXT as a JSON string literal (quotes and control characters escaped; bytes kept as they are).
std::string JsonString(const std::string& text);
