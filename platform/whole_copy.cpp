#include "platform/whole_copy.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/failure.h"
#include "platform/path_util.h"
#include "platform/safe_parent.h"

namespace platform {

namespace {

bool CopyBytes(int source, int target) {
  if (ioctl(target, FICLONE, source) == 0) return true;
  std::vector<char> buffer(1 << 20);
  for (;;) {
    ssize_t got = read(source, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) return true;
    for (ssize_t put = 0; put < got;) {
      const ssize_t wrote = write(target, buffer.data() + put, static_cast<size_t>(got - put));
      if (wrote < 0 && errno == EINTR) continue;
      if (wrote <= 0) return false;
      put += wrote;
    }
  }
}

}  // namespace

bool CopyFileWhole(const std::string& from, const std::string& to) {
  const std::string source_host = internal::HostPathOf(from);
  const std::string target_host = internal::HostPathOf(to);
  if (source_host.empty() || target_host.empty()) {
    errno = ENOENT;
    return false;
  }
  if (!PassFaultPoint("copy", target_host)) return false;
  const int source = open(source_host.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (source < 0) return false;
  struct stat info {};
  if (fstat(source, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(source);
    errno = EINVAL;
    return false;
  }
  // The copy is made in its folder as reached without links (SafeParent).
  const std::optional<SafeParent> parent = SafeParent::Open(target_host);
  const int target = parent ? openat(parent->Fd(), parent->Leaf(),
                                     O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600)
                            : -1;
  if (target < 0) {
    const int reason = errno;
    close(source);
    errno = reason;
    return false;
  }
  bool ok =
      CopyBytes(source, target) && fchmod(target, info.st_mode & 07777) == 0 && fsync(target) == 0;
  const int reason = errno;
  ok = close(target) == 0 && ok;
  close(source);
  if (!ok) {
    unlinkat(parent->Fd(), parent->Leaf(), 0);
    errno = reason;
  }
  return ok;
}

}  // namespace platform
