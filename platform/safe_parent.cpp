#include "platform/safe_parent.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <utility>

#include "platform/desktop_entry.h"
#include "platform/drives.h"
#include "platform/path_util.h"

namespace platform {

namespace {

// Whether `host` lies strictly below the folder `top` (both normalized).
bool IsBelow(const std::string& host, const std::string& top) {
  if (top == "/") return host.size() > 1;
  return host.size() > top.size() + 1 && host[top.size()] == '/' &&
         host.compare(0, top.size(), top) == 0;
}

void CloseIfOpen(int fd) {
  if (fd >= 0) close(fd);
}

// The folder this thread's last walk reached: an extraction changes many entries of one folder in
// a row, and each would otherwise walk down to it again.
struct LastParent {
  std::string folder;  // normalized host path
  int fd = -1;
  LastParent() = default;
  LastParent(const LastParent&) = delete;
  LastParent& operator=(const LastParent&) = delete;
  ~LastParent() { CloseIfOpen(fd); }
};
thread_local LastParent last_parent;

// A new descriptor of the folder kept for `folder`, when the path still names that very folder
// (by any route: it is the folder the walk opened) and it was not removed since; -1 otherwise.
int KeptParent(const std::string& folder) {
  if (last_parent.fd < 0 || last_parent.folder != folder) return -1;
  struct stat named {};
  struct stat held {};
  if (stat(folder.c_str(), &named) != 0 || fstat(last_parent.fd, &held) != 0 ||
      held.st_nlink == 0 || named.st_dev != held.st_dev || named.st_ino != held.st_ino) {
    return -1;
  }
  return fcntl(last_parent.fd, F_DUPFD_CLOEXEC, 0);
}

void KeepParent(const std::string& folder, int fd) {
  const int kept = fcntl(fd, F_DUPFD_CLOEXEC, 0);
  if (kept < 0) return;
  CloseIfOpen(last_parent.fd);
  last_parent.fd = kept;
  last_parent.folder = folder;
}

// The folder of the innermost live TrustedFolderScope (normalized), read by every thread of the
// run (the writer of extracted files too); a scope ends only under the lock.
std::mutex trusted_mutex;
const std::string* trusted_folder = nullptr;

}  // namespace

TrustedFolderScope::TrustedFolderScope(const std::string& folder)
    : folder_(internal::NormalizeHostPath(internal::HostPathOf(folder))) {
  const std::lock_guard<std::mutex> lock(trusted_mutex);
  previous_ = std::exchange(trusted_folder, &folder_);
}

TrustedFolderScope::~TrustedFolderScope() {
  const std::lock_guard<std::mutex> lock(trusted_mutex);
  trusted_folder = previous_;
}

std::vector<std::string> GuardedFolders() {
  std::vector<std::string> folders;
  const std::string root = internal::NormalizeHostPath(SetupRoot());
  for (const Drive& drive : Drives()) {
    const std::string folder = internal::NormalizeHostPath(drive.host_folder);
    if (IsBelow(folder, root)) folders.push_back(folder);
  }
  // Never the host's root, which would hold every path of the machine.
  const std::string entries = internal::NormalizeHostPath(ApplicationsFolder());
  if (entries != "/") folders.push_back(entries);
  const std::lock_guard<std::mutex> lock(trusted_mutex);
  if (trusted_folder == nullptr) return folders;
  // Only when no other holds it: the deepest trusted folder is the one the walk starts from.
  bool held = *trusted_folder == "/";
  for (const std::string& folder : folders) held = held || IsBelow(*trusted_folder, folder);
  if (!held) folders.push_back(*trusted_folder);
  return folders;
}

std::optional<SafeParent> SafeParent::Open(const std::string& host) {
  const std::string path = internal::NormalizeHostPath(host);
  const size_t slash = path.find_last_of('/');
  if (slash != 0 && slash != std::string::npos) {
    const int kept = KeptParent(path.substr(0, slash));
    if (kept >= 0) return SafeParent(kept, path.substr(slash + 1));
  }
  std::string top;
  for (std::string& folder : GuardedFolders()) {
    if (IsBelow(path, folder) && folder.size() > top.size()) top = std::move(folder);
  }
  if (top.empty()) return SafeParent(AT_FDCWD, path);
  std::optional<SafeParent> parent = OpenBelow(top, path);
  if (parent) KeepParent(path.substr(0, slash), parent->Fd());
  return parent;
}

std::optional<SafeParent> SafeParent::OpenBelow(const std::string& top, const std::string& host) {
  const std::string path = internal::NormalizeHostPath(host);
  const std::string base = internal::NormalizeHostPath(top);
  if (host.empty() || host[0] != '/' || !IsBelow(path, base)) {
    errno = EXDEV;
    return std::nullopt;
  }
  int fd = open(base.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  size_t start = base == "/" ? 1 : base.size() + 1;
  for (size_t slash = path.find('/', start); slash != std::string::npos;
       slash = path.find('/', start)) {
    const std::string name = path.substr(start, slash - start);
    const int next = openat(fd, name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (next < 0) {
      // O_PATH opens a link itself, which O_DIRECTORY then refuses as not a folder.
      int reason = errno;
      struct stat info {};
      if (fstatat(fd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(info.st_mode)) {
        reason = ELOOP;
      }
      close(fd);
      errno = reason;
      return std::nullopt;
    }
    close(fd);
    fd = next;
    start = slash + 1;
  }
  return SafeParent(fd, path.substr(start));
}

SafeParent::SafeParent(SafeParent&& other) noexcept
    : fd_(std::exchange(other.fd_, AT_FDCWD)), leaf_(std::move(other.leaf_)) {}

SafeParent& SafeParent::operator=(SafeParent&& other) noexcept {
  if (this != &other) {
    CloseIfOpen(fd_);
    fd_ = std::exchange(other.fd_, AT_FDCWD);
    leaf_ = std::move(other.leaf_);
  }
  return *this;
}

SafeParent::~SafeParent() { CloseIfOpen(fd_); }

bool SafeParent::LeafIsLink() const {
  struct stat info {};
  return fstatat(fd_, leaf_.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(info.st_mode);
}

int SafeParent::OpenForFlush() const {
  if (Guarded()) return openat(fd_, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  const size_t slash = leaf_.find_last_of('/');
  const std::string folder =
      slash == 0 || slash == std::string::npos ? "/" : leaf_.substr(0, slash);
  return open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

bool MeetsLink(const std::string& path, bool last_too) {
  const std::optional<SafeParent> parent = SafeParent::Open(internal::HostPathOf(path));
  if (!parent) return errno == ELOOP;
  return last_too && parent->Guarded() && parent->LeafIsLink();
}

bool ChangeModeNoFollow(const std::string& host, mode_t mode) {
  const std::optional<SafeParent> parent = SafeParent::Open(host);
  if (!parent) return false;
  if (parent->LeafIsLink()) {
    errno = ELOOP;
    return false;
  }
  return fchmodat(parent->Fd(), parent->Leaf(), mode, 0) == 0;
}

}  // namespace platform
