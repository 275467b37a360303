// A whole snapshot of what a setup run may change on the test machine: every file and folder
// under the given host folders (kind, permission bits, the full contents of files) and the
// registry hive's root files (their contents; the lock files that only serialise writers are
// left out). Two snapshots compare equal exactly when the machine is the same.
#pragma once

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace setupkit_test {

using MachineSnapshot = std::map<std::string, std::string>;

inline void AddTreeToSnapshot(const std::filesystem::path& top, const std::string& label,
                              MachineSnapshot& snapshot) {
  namespace fs = std::filesystem;
  std::error_code error;
  if (!fs::exists(top, error)) return;
  for (auto it = fs::recursive_directory_iterator(top, error);
       !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    const fs::path& path = it->path();
    if (path.extension() == ".lock") continue;
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) continue;
    std::string value = std::to_string(info.st_mode & 07777) + " ";
    if (S_ISDIR(info.st_mode)) {
      value += "folder";
    } else if (S_ISLNK(info.st_mode)) {
      value += "link " + fs::read_symlink(path, error).string();
    } else {
      std::ifstream in(path, std::ios::binary);
      value += "file " + std::string(std::istreambuf_iterator<char>(in), {});
    }
    snapshot[label + "/" + fs::relative(path, top, error).string()] = value;
  }
}

// The drive folders and the hive of a SETUP_ROOT, plus any further host folders.
inline MachineSnapshot TakeSnapshot(const std::filesystem::path& setup_root,
                                    const std::vector<std::filesystem::path>& more = {}) {
  MachineSnapshot snapshot;
  AddTreeToSnapshot(setup_root / "drive_c", "drive_c", snapshot);
  AddTreeToSnapshot(setup_root / "registry", "registry", snapshot);
  for (size_t i = 0; i < more.size(); ++i) {
    AddTreeToSnapshot(more[i], "more" + std::to_string(i), snapshot);
  }
  return snapshot;
}

// The entries in which two snapshots differ, for a readable failure message.
inline std::string SnapshotDifference(const MachineSnapshot& before, const MachineSnapshot& after) {
  std::string text;
  for (const auto& [path, value] : before) {
    auto found = after.find(path);
    if (found == after.end()) {
      text += "  gone: " + path + "\n";
    } else if (found->second != value) {
      text += "  changed: " + path + "\n";
    }
  }
  for (const auto& [path, value] : after) {
    if (before.count(path) == 0) text += "  new: " + path + "\n";
  }
  return text;
}

// A snapshot without the hive's files: the uninstaller leaves emptied keys, by design.
inline MachineSnapshot DrivesOnly(MachineSnapshot snapshot) {
  std::erase_if(snapshot, [](const auto& item) { return item.first.rfind("registry/", 0) == 0; });
  return snapshot;
}

}  // namespace setupkit_test
