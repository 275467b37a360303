#include "platform/name_index.h"

#include <dirent.h>

#include <cstring>

#include "platform/ascii_case.h"
#include "platform/path_util.h"

namespace platform {
namespace internal {
namespace {

// One scope per thread at a time (scopes nest; the innermost answers), like a compiler's current
// object: the index belongs to the thread that writes the files.
thread_local NameIndex* active_index = nullptr;

// Host folder and name of a host path ("/a/b" -> "/a", "b"; "/a" -> "/", "a").
std::pair<std::string, std::string> SplitHostPath(const std::string& host_path) {
  const size_t slash = host_path.find_last_of('/');
  if (slash == std::string::npos) return {std::string(), host_path};
  return {slash == 0 ? std::string("/") : host_path.substr(0, slash), host_path.substr(slash + 1)};
}

// Whether host path `path` lies inside host folder `folder`, at any depth (not `folder` itself).
bool LiesBelow(const std::string& path, const std::string& folder) {
  if (folder == "/") return path.size() > 1 && path[0] == '/';
  return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
         path[folder.size()] == '/';
}

}  // namespace

NameIndex* ActiveNameIndex() { return active_index; }

void NameIndex::Insert(Folder& folder, const std::string& name) {
  folder.names.insert(name);
  auto [it, inserted] = folder.by_folded.try_emplace(AsciiLower(name), name);
  if (!inserted && name < it->second) it->second = name;
}

std::optional<std::string> NameIndex::Find(const std::string& folder, const std::string& name) {
  auto it = folders_.find(folder);
  if (it == folders_.end()) {
    Folder listed;
    // A folder that cannot be listed (missing, or a file) holds nothing; when it is created
    // through this layer later, it starts out empty anyway.
    if (DIR* dir = opendir(folder.c_str())) {
      while (const dirent* entry = readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
        Insert(listed, entry->d_name);
      }
      closedir(dir);
    }
    it = folders_.emplace(folder, std::move(listed)).first;
  }
  const Folder& names = it->second;
  if (names.names.count(name) != 0) return name;
  auto found = names.by_folded.find(AsciiLower(name));
  if (found == names.by_folded.end()) return std::nullopt;
  return found->second;
}

bool NameIndex::KnownMissing(const std::string& host_path) {
  const auto [folder, name] = SplitHostPath(host_path);
  return !folder.empty() && !name.empty() && !Find(folder, name);
}

const std::string* NameIndex::LastMapping(const std::string& windows_path) const {
  return last_mapping_valid_ && windows_path == last_windows_path_ ? &last_host_path_ : nullptr;
}

void NameIndex::RememberMapping(const std::string& windows_path, const std::string& host_path) {
  last_windows_path_ = windows_path;
  last_host_path_ = host_path;
  last_mapping_valid_ = true;
}

const NameIndex::FolderMapping* NameIndex::LastFolder(std::string_view windows_folder) const {
  return last_folder_valid_ && windows_folder == last_windows_folder_ ? &last_folder_ : nullptr;
}

void NameIndex::RememberFolder(std::string_view windows_folder, std::string host_folder,
                               bool exists) {
  last_windows_folder_ = windows_folder;
  last_folder_ = FolderMapping{std::move(host_folder), exists};
  last_folder_valid_ = true;
}

void NameIndex::Added(const std::string& host_path) {
  last_mapping_valid_ = false;
  const auto [folder, name] = SplitHostPath(host_path);
  // A new name matters to the remembered folder only in a folder its lookup went through: one
  // above it. Names added inside it (its files) leave its own mapping as it was.
  if (LiesBelow(last_folder_.host_folder, folder)) last_folder_valid_ = false;
  auto it = folders_.find(folder);
  if (it != folders_.end() && !name.empty()) Insert(it->second, name);
}

void NameIndex::Removed(const std::string& host_path) {
  last_mapping_valid_ = false;
  last_folder_valid_ = false;
  // Rare while files are written: the parent is listed again when next needed, and whatever was
  // indexed below a removed or moved folder is forgotten.
  folders_.erase(SplitHostPath(host_path).first);
  for (auto it = folders_.begin(); it != folders_.end();) {
    if (it->first == host_path || LiesBelow(it->first, host_path)) {
      it = folders_.erase(it);
    } else {
      ++it;
    }
  }
}

}  // namespace internal

NameIndexScope::NameIndexScope() : previous_(internal::active_index) {
  // A scope inside another uses the outer index, which must see what is created meanwhile.
  if (previous_ == nullptr) {
    index_ = std::make_unique<internal::NameIndex>();
    internal::active_index = index_.get();
  }
}

NameIndexScope::~NameIndexScope() { internal::active_index = previous_; }

}  // namespace platform
