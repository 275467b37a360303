// What an installer holds, read from its package without running its script: for
// `setup --list-contents [--json]`. No Qt.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "setup/core/package_integrity.h"
#include "setup/core/setup_info.h"

class TPak;

struct PackageContents {
  struct Entry {
    std::string name;  // Windows-1252, as stored
    uint16_t group = 0;
    uint32_t full_size = 0;
    uint32_t stored_size = 0;  // bytes in the file (the full size for a raw entry; a solid
                               // block's bytes count with its first entry, 0 for the others)
  };
  std::string setup_name;  // the setup record's title
  std::string short_name;  // the product's key name
  std::string version;     // from the product information, when there is one
  bool is_uninstaller = false;
  TIntegrityVerdict integrity;
  std::vector<Entry> entries;
};

// The package's setup record read without showing anything; empty when it cannot be read.
TSetupInfoFile QuietSetupRecord(const TPak& pak);

// Nothing when PATH carries no package.
std::optional<PackageContents> ReadPackageContents(const std::string& path);

// The listing as text (one "field: value" line each, then a line per entry: group, size and
// name separated by tabs) or as one JSON object. UTF-8.
std::string FormatPackageContents(const PackageContents& contents, bool json);
