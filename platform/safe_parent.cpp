#include "platform/safe_parent.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <iterator>
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

// The folders this thread's last walks reached: an extraction changes many entries of a few
// folders in turn (a solid package orders files by kind, not by folder), and each change would
// otherwise walk down to its folder again. A walk to a folder not kept starts from the deepest
// kept folder above it. The oldest kept folder makes room for the next.
struct WalkedFolder {
  std::string folder;  // normalized host path; empty: the place is free
  SafeParent::Folder opened;
  // Its identity when opened. Held open, the folder keeps its number even once removed, so a
  // path that leads to this number leads to this very folder, still in place.
  dev_t device = 0;
  ino_t inode = 0;
};
struct WalkedFolders {
  WalkedFolder kept[32];
  size_t next = 0;  // the place the next folder takes
};
thread_local WalkedFolders walked;

// The deepest kept folder that is the first `length` characters of `path` or lies above them,
// when its path still names that very folder (by any route: it is the folder the walk opened). A
// kept folder that fails the check is dropped.
const WalkedFolder* KeptFolderAbove(const std::string& path, size_t length) noexcept {
  WalkedFolder* best = nullptr;
  for (WalkedFolder& kept : walked.kept) {
    const size_t size = kept.folder.size();
    if (size != 0 && size <= length && (size == length || path[size] == '/') &&
        path.compare(0, size, kept.folder) == 0 &&
        (best == nullptr || size > best->folder.size())) {
      best = &kept;
    }
  }
  if (best == nullptr) return nullptr;
  struct stat named {};
  if (stat(best->folder.c_str(), &named) != 0 || named.st_dev != best->device ||
      named.st_ino != best->inode) {
    best->folder.clear();
    best->opened = SafeParent::Folder();
    return nullptr;
  }
  return best;
}

// Keeps `opened`, the folder `folder` as `info` describes it.
void KeepFolder(std::string folder, const SafeParent::Folder& opened,
                const struct stat& info) noexcept {
  WalkedFolders& folders = walked;
  WalkedFolder& place = folders.kept[folders.next];
  place.folder = std::move(folder);
  place.opened = opened;
  place.device = info.st_dev;
  place.inode = info.st_ino;
  folders.next = (folders.next + 1) % std::size(folders.kept);
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
    if (const WalkedFolder* kept = KeptFolderAbove(path, slash)) {
      return Walk(kept->opened, kept->folder.size(), path);
    }
  }
  std::string top;
  for (std::string& folder : GuardedFolders()) {
    if (IsBelow(path, folder) && folder.size() > top.size()) top = std::move(folder);
  }
  if (top.empty()) return SafeParent(Folder(), path);
  return OpenBelow(top, path);
}

std::optional<SafeParent> SafeParent::OpenBelow(const std::string& top, const std::string& host) {
  const std::string path = internal::NormalizeHostPath(host);
  const std::string base = internal::NormalizeHostPath(top);
  if (host.empty() || host[0] != '/' || !IsBelow(path, base)) {
    errno = EXDEV;
    return std::nullopt;
  }
  const int fd = open(base.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  return Walk(Folder(fd), base == "/" ? 0 : base.size(), path);
}

std::optional<SafeParent> SafeParent::Walk(Folder from, size_t from_length,
                                           const std::string& path) {
  size_t start = from_length + 1;
  for (size_t slash = path.find('/', start); slash != std::string::npos;
       slash = path.find('/', start)) {
    const std::string name = path.substr(start, slash - start);
    // A link is opened itself (and then refused), as is anything that is not a folder.
    const int next = openat(from.Fd(), name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (next < 0) return std::nullopt;
    Folder opened(next);
    struct stat info {};
    if (fstat(next, &info) != 0 || !S_ISDIR(info.st_mode)) {
      errno = S_ISLNK(info.st_mode) ? ELOOP : ENOTDIR;
      return std::nullopt;
    }
    from = std::move(opened);
    KeepFolder(path.substr(0, slash), from, info);
    start = slash + 1;
  }
  return SafeParent(std::move(from), path.substr(start));
}

SafeParent::SafeParent(SafeParent&& other) noexcept = default;
SafeParent& SafeParent::operator=(SafeParent&& other) noexcept = default;
SafeParent::~SafeParent() = default;

SafeParent::Folder::Folder(int fd) : held_(new Held{fd, {1}}) {}

SafeParent::Folder::Folder(const Folder& other) noexcept : held_(other.held_) {
  if (held_ != nullptr) held_->holders.fetch_add(1, std::memory_order_relaxed);
}

SafeParent::Folder& SafeParent::Folder::operator=(Folder other) noexcept {
  std::swap(held_, other.held_);
  return *this;
}

SafeParent::Folder::~Folder() {
  if (held_ != nullptr && held_->holders.fetch_sub(1, std::memory_order_acq_rel) == 1) {
    close(held_->fd);
    delete held_;
  }
}

bool SafeParent::LeafIsLink() const {
  struct stat info {};
  return fstatat(Fd(), leaf_.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(info.st_mode);
}

int SafeParent::OpenForFlush() const {
  if (Guarded()) return openat(Fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
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
