// TSetupInfoFile: the record that describes one setup as a whole (titles, executable names,
// install folder and where an existing one is found in the registry, change log, page sets and
// the installer/uninstaller flags). Stored as the package entry "SetupInfo": the fields in
// order, strings with a 2-byte length, bytes as one byte, no header.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

// A registry place that may hold the folder of an existing installation. An empty Key means the
// record names no place.
struct TInstallDirRegKey {
  uint8_t HKEY = 0;  // 0 HKLM, 1 HKCU, 2 HKCR, 3 HKU, 4 HKCC
  std::string Path;
  std::string Key;

  bool operator==(const TInstallDirRegKey&) const = default;
};

// An empty group-0 entry beside "SetupInfo" in the uninstaller of a per-machine install: the
// uninstaller removes it as a per-machine run, whoever starts it.
constexpr const char kAllUsersEntry[] = "AllUsers";

constexpr int kInstallDirRegKeyCount = 5;
// Seven strings, five registry records (byte and two strings), two strings, two flag bytes.
constexpr size_t kSetupInfoEmptySize = 7 * 2 + kInstallDirRegKeyCount * (1 + 2 * 2) + 2 * 2 + 2;
static_assert(kSetupInfoEmptySize == 45);

class TSetupInfoFile {
 public:
  std::string SetupName;
  std::string ShortName;
  std::string SetupExeName;
  std::string UninstallExeName;
  std::string UninstallPrefix;
  std::string InstallDir;
  std::string Changelog;
  std::array<TInstallDirRegKey, kInstallDirRegKeyCount> InstallDirRegKey;
  std::string PagesName;
  std::string UninstallPagesName;
  uint8_t IsUninstaller = 0;
  uint8_t CreateUninstaller = 0;

  // Replaces every field from the stored form; fields past the end of the data stay empty or 0.
  void ReadFromBuffer(const void* data, size_t size);
  // The stored form.
  std::string Encode() const;
  // Creates or truncates the file and writes the stored form; answers whether it all got written.
  bool WriteToFile(const std::string& file_name) const;
  // Back to the empty record.
  void Clear() { *this = TSetupInfoFile(); }

  bool operator==(const TSetupInfoFile&) const = default;
};
