// Appends a package to a file: entries are compressed on several threads at once and written in
// the order given, so the bytes are the same whatever the number of threads.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace setupc {

struct PackageItem {
  std::string entry_name;
  uint16_t group = 0;
  // Exactly one source: a host file, or bytes made by the compiler.
  std::string host_path;
  std::optional<std::string> bytes;
  // Stored as the bytes are, never compressed (an entry to be filled in place later).
  bool store_raw = false;
};

struct PackageResult {
  bool ok = false;
  std::string error;  // the first failure
};

// Appends `items` in order as a package after the current end of `file` (which must exist) and
// writes the directory. `threads` >= 1 compress at once; at most about `memory_budget` bytes of
// read or prepared entries wait at any time (one entry larger than that still goes through).
PackageResult AppendPackage(const std::string& file, const std::vector<PackageItem>& items,
                            unsigned threads, size_t memory_budget = size_t{512} << 20);

}  // namespace setupc
