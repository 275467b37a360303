#include "platform/temporaries.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

namespace platform {

namespace {

constexpr char kMarker[] = ".setup-tmp-";
constexpr size_t kRandomPart = 6;  // mkstemp's XXXXXX

// Whether `entry` is a temporary of the file `name` (of any file when `name` is empty).
bool IsTemporaryOf(const std::string& entry, const std::string& name) {
  const std::string marker(kMarker);
  if (entry.size() < 1 + marker.size() + kRandomPart || entry[0] != '.') return false;
  const size_t at = entry.size() - kRandomPart - marker.size();
  if (entry.compare(at, marker.size(), marker) != 0) return false;
  return name.empty() || entry.compare(1, at - 1, name) == 0;
}

}  // namespace

std::string TemporaryPattern(const std::string& host) {
  const size_t slash = host.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : host.substr(0, slash);
  const std::string name = slash == std::string::npos ? host : host.substr(slash + 1);
  return folder + "/." + name + kMarker + std::string(kRandomPart, 'X');
}

int RemoveAbandonedTemporaries(const std::string& folder, const std::string& name) {
  const int folder_fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder_fd < 0) return 0;
  std::unique_ptr<DIR, int (*)(DIR*)> listing(fdopendir(folder_fd), closedir);
  if (!listing) {
    close(folder_fd);
    return 0;
  }
  int removed = 0;
  while (const dirent* entry = readdir(listing.get())) {
    const std::string entry_name = entry->d_name;
    if (!IsTemporaryOf(entry_name, name)) continue;
    // Opened without following a link and only when it is a plain file; a writer that still
    // lives holds its lock. One that finished renamed it away, so the name is gone by then.
    const int fd = openat(folder_fd, entry_name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat info {};
    const bool abandoned =
        fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && flock(fd, LOCK_EX | LOCK_NB) == 0;
    if (abandoned && unlinkat(folder_fd, entry_name.c_str(), 0) == 0) ++removed;
    close(fd);
  }
  return removed;
}

}  // namespace platform
