// Host path helpers shared by the platform sources.
#include "platform/path_util.h"

#include <dirent.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "platform/ascii_case.h"
#include "platform/drives.h"
#include "platform/files.h"
#include "platform/name_index.h"
#include "platform/safe_parent.h"
#include "platform/text_encoding.h"

namespace platform::internal {

std::vector<std::string> SplitPath(const std::string& path) {
  std::vector<std::string> parts;
  std::string current;
  for (char c : path) {
    if (c == '\\' || c == '/') {
      if (!current.empty()) parts.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) parts.push_back(current);
  return parts;
}

std::string NormalizeHostPath(const std::string& path) {
  std::vector<std::string> parts;
  std::string current;
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '/') {
      if (current == "..") {
        if (!parts.empty()) parts.pop_back();
      } else if (!current.empty() && current != ".") {
        parts.push_back(current);
      }
      current.clear();
    } else {
      current += path[i];
    }
  }
  std::string out;
  for (const std::string& part : parts) out += "/" + part;
  return out.empty() ? "/" : out;
}

std::string JoinHostPath(const std::string& folder, const std::string& name) {
  if (!folder.empty() && folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

namespace {

// The first entry of `folder` (in byte order) equal to `name` without regard to ASCII case.
std::optional<std::string> ListNameIgnoringCase(const std::string& folder,
                                                const std::string& name) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return std::nullopt;
  std::optional<std::string> best;
  while (const dirent* entry = readdir(dir)) {
    // Compared in place: most entries differ in length or early on, and a listing can be long.
    const char* candidate = entry->d_name;
    size_t i = 0;
    while (i < name.size() && candidate[i] != '\0' &&
           AsciiLowerChar(candidate[i]) == AsciiLowerChar(name[i])) {
      ++i;
    }
    if (i != name.size() || candidate[i] != '\0') continue;
    if (!best || candidate < *best) best = std::string(candidate);
  }
  closedir(dir);
  return best;
}

}  // namespace

std::optional<std::string> FindNameIgnoringCase(const std::string& folder,
                                                const std::string& name) {
  struct stat info {};
  if (lstat(JoinHostPath(folder, name).c_str(), &info) == 0) return name;
  return ListNameIgnoringCase(folder, name);
}

std::string ResolveIgnoringCase(const std::string& base,
                                const std::vector<std::string>& components) {
  if (NameIndex* index = ActiveNameIndex()) {
    // Every folder along the way is listed once for the scope, then answers from memory.
    std::string host = base;
    bool exists = true;
    for (const std::string& part : components) host = ResolveStep(*index, host, part, exists);
    return host;
  }
  // Most paths exist as spelled, or all but their last component do (a file about to be
  // created). One lstat of such a prefix stands for one per component: every component of a
  // path that exists as spelled is itself its exact spelling on disk.
  if (!components.empty()) {
    std::string prefix = base;
    for (size_t i = 0; i + 1 < components.size(); ++i) prefix = JoinHostPath(prefix, components[i]);
    const std::string whole = JoinHostPath(prefix, components.back());
    struct stat info {};
    if (lstat(whole.c_str(), &info) == 0) return whole;
    if (components.size() > 1 && lstat(prefix.c_str(), &info) == 0) {
      // Only the last component is left, and it is known not to exist as spelled.
      return JoinHostPath(
          prefix, ListNameIgnoringCase(prefix, components.back()).value_or(components.back()));
    }
  }
  std::string host = base;
  bool parent_exists = true;
  for (const std::string& part : components) {
    std::string name = part;
    if (parent_exists) {
      if (auto found = FindNameIgnoringCase(host, part)) {
        name = *found;
      } else {
        parent_exists = false;  // nothing below a missing folder can exist
      }
    }
    host = JoinHostPath(host, name);
  }
  return host;
}

std::string ResolveStep(NameIndex& index, const std::string& host, const std::string& part,
                        bool& exists) {
  std::optional<std::string> found;
  if (exists) found = index.Find(host, part);
  exists = found.has_value();
  return JoinHostPath(host, found.value_or(part));
}

bool MakeHostFolders(const std::string& path, bool guarded) {
  struct stat info {};
  if (stat(path.c_str(), &info) == 0) return S_ISDIR(info.st_mode);
  const size_t slash = path.find_last_of('/');
  if (slash != std::string::npos && slash > 0 && !MakeHostFolders(path.substr(0, slash), guarded)) {
    return false;
  }
  // Guarded, the folder is made in its parent as SafeParent reached it.
  std::optional<SafeParent> parent;
  if (guarded && !(parent = SafeParent::Open(path))) return false;
  const int folder = parent ? parent->Fd() : AT_FDCWD;
  const char* name = parent ? parent->Leaf() : path.c_str();
  if (mkdirat(folder, name, 0777) == 0) {
    if (NameIndex* index = ActiveNameIndex()) index->Added(path);
    return true;
  }
  return errno == EEXIST && fstatat(folder, name, &info, 0) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace platform::internal

namespace platform {

std::string CurrentHostFolder() {
  char buffer[PATH_MAX];
  return getcwd(buffer, sizeof buffer) ? std::string(buffer) : std::string();
}

std::string AbsoluteHostPath(const std::string& host_path) {
  if (!host_path.empty() && host_path[0] == '/') return internal::NormalizeHostPath(host_path);
  const std::string folder = CurrentHostFolder();
  if (folder.empty()) return "";
  return internal::NormalizeHostPath(folder + "/" + host_path);
}

bool IsHostFile(const std::string& host_path) {
  struct stat info {};
  return stat(host_path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string CanonicalHostPath(const std::string& host_path) {
  char buffer[PATH_MAX];
  return realpath(host_path.c_str(), buffer) ? std::string(buffer) : std::string();
}

}  // namespace platform

namespace platform::internal {

std::string HostPathOf(const std::string& path) {
  if (path.empty()) return "";
  if (path[0] == '/' || (path.size() >= 2 && path[1] == ':')) return ToHostPath(path).value_or("");
  char buffer[PATH_MAX];
  if (getcwd(buffer, sizeof buffer) == nullptr) return "";
  const std::string cwd = buffer;
  if (path[0] == '\\') {
    // "\\server\share" names a network share, which no drive maps.
    if (path.size() >= 2 && path[1] == '\\') return "";
    // "\folder" starts at the root of the working folder's drive.
    const auto drive = ToWindowsPath(cwd);
    if (!drive) return "";
    return ToHostPath(drive->substr(0, 2) + path).value_or("");
  }
  std::string joined = cwd + "/";
  for (char c : Cp1252ToUtf8(path)) joined += c == '\\' ? '/' : c;
  return ResolveIgnoringCase("/", SplitPath(NormalizeHostPath(joined)));
}

}  // namespace platform::internal
