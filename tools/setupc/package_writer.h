// Appends a package to a file: entries are compressed on several threads at once and written in
// the order given, so the bytes are the same whatever the number of threads.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tools/setupc/solid_blocks.h"

namespace setupc {

struct PackageItem {
  std::string entry_name;
  uint16_t group = 0;
  // Exactly one source: a host file, or bytes made by the compiler.
  std::string host_path;
  std::optional<std::string> bytes;
  // Stored as the bytes are, never compressed (an entry to be filled in place later).
  bool store_raw = false;
  // How the entry is coded (the group's `compression` line; zstd's level).
  PackCoding::Kind coding = PackCoding::Kind::kZlib;
  int level = 0;

  PackCoding Coding() const { return {coding, level}; }
  void SetCoding(const PackCoding& to) {
    coding = to.kind;
    level = to.level;
  }
};

// What one group's entries came to.
struct GroupFigures {
  PackCoding coding;
  uint64_t bytes_in = 0;
  uint64_t bytes_out = 0;  // blobs written for the group (a block's frame counted once)
};

struct PackageResult {
  bool ok = false;
  std::string error;  // the first failure
  std::map<uint16_t, GroupFigures> groups;
};

// Appends `items` as a package after the current end of `file` (which must exist) and writes the
// directory: in the order given, except that each run of items of a solid group is laid out as
// PlanUnits says. `threads` >= 1 compress at once; at most about `memory_budget` bytes of
// read or prepared entries wait at any time (one entry larger than that still goes through).
PackageResult AppendPackage(const std::string& file, const std::vector<PackageItem>& items,
                            unsigned threads, size_t memory_budget = size_t{512} << 20);

}  // namespace setupc
