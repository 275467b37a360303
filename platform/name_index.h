// Path lookups for writing many files into a tree that nothing else changes meanwhile, as
// extracting a package group does.
//
// Existing path components are matched without regard to ASCII case, so a name that does not
// exist as spelled (every file about to be created) costs a listing of its folder. While a
// NameIndexScope lives, the lookups made on its thread are answered from an index of each
// folder's names instead: one listing per folder, kept up to date with what this thread creates,
// deletes and moves through the platform layer. The drive table is read once per scope as well.
// Changes made meanwhile by other threads or processes in those folders are not seen.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/drives.h"

namespace platform {

namespace internal {
class NameIndex;
}

class NameIndexScope {
 public:
  NameIndexScope();
  ~NameIndexScope();
  NameIndexScope(const NameIndexScope&) = delete;
  NameIndexScope& operator=(const NameIndexScope&) = delete;

 private:
  std::unique_ptr<internal::NameIndex> index_;  // none when an outer scope's index serves
  internal::NameIndex* previous_;
};

namespace internal {

// The names of the folders looked up so far; for the platform sources only.
class NameIndex {
 public:
  // The entry of host folder `folder` named `name`: the exact name when it is there, else the
  // first (in byte order) equal to it without regard to ASCII case; nothing when there is none
  // or the folder cannot be listed.
  std::optional<std::string> Find(const std::string& folder, const std::string& name);
  // Whether the folder of `host_path` (as resolved) holds no entry of its name: a path looked
  // up through this index that names nothing there, so asking the file system is not needed.
  bool KnownMissing(const std::string& host_path);
  // The host path the last Windows path looked up mapped to, when `windows_path` is that path
  // and nothing was created, deleted or moved through this layer since: a file is looked at and
  // then created under the same name, which maps its path twice.
  const std::string* LastMapping(const std::string& windows_path) const;
  void RememberMapping(const std::string& windows_path, const std::string& host_path);
  // The host folder Windows folder `windows_folder` mapped to when last looked up, and whether
  // it was there, while nothing was created, deleted or moved in the folders above it: the files
  // of one folder map their folder once between them.
  struct FolderMapping {
    std::string host_folder;
    bool exists = false;
  };
  const FolderMapping* LastFolder(std::string_view windows_folder) const;
  void RememberFolder(std::string_view windows_folder, std::string host_folder, bool exists);
  // A file or folder was created at, or moved to, `host_path`.
  void Added(const std::string& host_path);
  // A file or folder at `host_path` was deleted or moved away.
  void Removed(const std::string& host_path);

  std::optional<std::vector<Drive>> drives;  // the drive table, once read

 private:
  struct Folder {
    std::unordered_set<std::string> names;                   // as spelled on disk
    std::unordered_map<std::string, std::string> by_folded;  // ASCII lower case -> first name
  };
  static void Insert(Folder& folder, const std::string& name);
  std::unordered_map<std::string, Folder> folders_;  // host folder -> its names
  std::string last_windows_path_;
  std::string last_host_path_;
  bool last_mapping_valid_ = false;
  std::string last_windows_folder_;
  FolderMapping last_folder_;
  bool last_folder_valid_ = false;
};

// The index of the calling thread's innermost live scope, or nullptr.
NameIndex* ActiveNameIndex();

}  // namespace internal
}  // namespace platform
