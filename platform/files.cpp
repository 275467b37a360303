// Files and folders with Windows semantics on top of POSIX calls.
#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/ascii_case.h"
#include "platform/drives.h"
#include "platform/failure.h"
#include "platform/host_text.h"
#include "platform/name_index.h"
#include "platform/path_util.h"
#include "platform/safe_parent.h"
#include "platform/system.h"
#include "platform/temporaries.h"
#include "platform/text_encoding.h"

namespace platform {

static_assert(sizeof(off_t) == 8, "large files need 64-bit file offsets");

namespace {

using internal::HostPathOf;

bool StatHost(const std::string& host, struct stat& info) {
  return !host.empty() && stat(host.c_str(), &info) == 0;
}

// Windows refuses to write or delete a read-only file. The owner write bit is the read-only
// flag here, and the check is made by hand because root would pass the kernel's check.
bool IsReadOnly(const struct stat& info) { return (info.st_mode & S_IWUSR) == 0; }

uint32_t AttributesOf(const struct stat& info) {
  uint32_t attributes = S_ISDIR(info.st_mode) ? kFileAttributeDirectory : kFileAttributeArchive;
  if (IsReadOnly(info)) attributes |= kFileAttributeReadOnly;
  return attributes;
}

// Matches a Windows wildcard pattern (* and ?) without regard to ASCII case.
bool MatchPattern(const std::string& pattern, const std::string& name) {
  // "*.*" lists every name, those without a dot too.
  if (pattern == "*" || pattern == "*.*") return true;
  const std::string p = AsciiUpper(pattern);
  const std::string n = AsciiUpper(name);
  size_t pi = 0, ni = 0, star = std::string::npos, resume = 0;
  while (ni < n.size()) {
    if (pi < p.size() && (p[pi] == '?' || p[pi] == n[ni])) {
      ++pi, ++ni;
    } else if (pi < p.size() && p[pi] == '*') {
      star = pi++;
      resume = ni;
    } else if (star != std::string::npos) {
      pi = star + 1;
      ni = ++resume;
    } else {
      return false;
    }
  }
  while (pi < p.size() && p[pi] == '*') ++pi;
  return pi == p.size();
}

// The process umask, read without changing it.
mode_t CurrentUmask() {
  const std::string status = internal::ReadHostText("/proc/self/status").value_or("");
  for (std::string_view line : internal::SplitLines(status)) {
    if (line.rfind("Umask:", 0) == 0) {
      return static_cast<mode_t>(std::strtoul(std::string(line.substr(6)).c_str(), nullptr, 8));
    }
  }
  return 022;
}

// Adds execute bits where read bits are, when the file starts like a program: `known` holds
// its first `known_size` bytes, or is null and they are read.
void MarkExecutableIfProgram(int fd, const unsigned char* known, size_t known_size) {
  unsigned char head[4] = {};
  ssize_t got = static_cast<ssize_t>(std::min(known_size, sizeof head));
  if (known != nullptr) {
    std::memcpy(head, known, static_cast<size_t>(got));
  } else {
    got = pread(fd, head, sizeof head, 0);
  }
  const bool elf =
      got >= 4 && head[0] == 0x7F && head[1] == 'E' && head[2] == 'L' && head[3] == 'F';
  const bool script = got >= 2 && head[0] == '#' && head[1] == '!';
  if (!elf && !script) return;
  struct stat info {};
  if (fstat(fd, &info) != 0) return;
  const mode_t mode = info.st_mode & 07777;
  const mode_t exec = ((mode & S_IRUSR) ? S_IXUSR : 0) | ((mode & S_IRGRP) ? S_IXGRP : 0) |
                      ((mode & S_IROTH) ? S_IXOTH : 0);
  if ((mode | exec) != mode) fchmod(fd, mode | exec);
}

// Keeps the calling thread's name index (if any) in step with what this layer changes.
void NoteAdded(const std::string& host) {
  if (internal::NameIndex* index = internal::ActiveNameIndex()) index->Added(host);
}

void NoteRemoved(const std::string& host) {
  if (internal::NameIndex* index = internal::ActiveNameIndex()) index->Removed(host);
}

// Whether the name index serving this thread knows that nothing is at host path `host`, so the
// file system need not be asked: the target of almost every file of a first install, and each
// folder of a new folder chain.
bool IndexKnowsMissing(const std::string& host) {
  internal::NameIndex* index = internal::ActiveNameIndex();
  return index != nullptr && !host.empty() && index->KnownMissing(host);
}

// Creates the temporary of an atomic write beside the parent's last component, as mkstemp
// would (TemporaryPattern's X's made random), but relative to the parent's folder and never
// through a link. Answers the open descriptor, or -1 with errno set.
int CreateTemporary(const SafeParent& parent, std::string& name) {
  static constexpr char kLetters[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = TemporaryPattern(parent.Leaf());
    unsigned char random[6] = {};
    if (getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random)) return -1;
    for (size_t i = 0; i < sizeof random; ++i) {
      name[name.size() - sizeof random + i] = kLetters[random[i] % (sizeof kLetters - 1)];
    }
    const int fd =
        openat(parent.Fd(), name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

}  // namespace

// Anything that is not a folder, a dangling symbolic link too (it is still a directory entry).
bool FileExists(const std::string& path) {
  const uint32_t attributes = GetFileAttributes(path);
  return attributes != kInvalidFileAttributes && (attributes & kFileAttributeDirectory) == 0;
}

bool DirectoryExists(const std::string& path) {
  const std::string host = HostPathOf(path);
  if (IndexKnowsMissing(host)) return false;
  struct stat info {};
  return StatHost(host, info) && S_ISDIR(info.st_mode);
}

// The entry itself is looked at first (lstat), so a missing one, the usual case before a file
// is written, costs one call, or none while a name index serves this thread and its folder's
// names do not hold it; a symbolic link is followed with a second.
uint32_t GetFileAttributes(const std::string& path) {
  const std::string host = HostPathOf(path);
  if (host.empty() || IndexKnowsMissing(host)) return kInvalidFileAttributes;
  struct stat info {};
  if (lstat(host.c_str(), &info) != 0) return kInvalidFileAttributes;
  if (!S_ISLNK(info.st_mode)) return AttributesOf(info);
  // A link answers for its target; a dangling one is an entry with no attributes of its own.
  return stat(host.c_str(), &info) == 0 ? AttributesOf(info) : kFileAttributeArchive;
}

bool SetFileAttributes(const std::string& path, uint32_t attributes) {
  const std::string host = HostPathOf(path);
  struct stat info {};
  if (!StatHost(host, info)) return false;
  if (!PassFaultPoint("chmod", host)) return false;
  mode_t mode = info.st_mode & 07777;
  if (attributes & kFileAttributeReadOnly) {
    mode &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
  } else {
    mode |= S_IWUSR;
  }
  return mode == (info.st_mode & 07777) || ChangeModeNoFollow(host, mode);
}

std::optional<uint64_t> GetFileSize(const std::string& path) {
  struct stat info {};
  if (!StatHost(HostPathOf(path), info) || S_ISDIR(info.st_mode)) return std::nullopt;
  return static_cast<uint64_t>(info.st_size);
}

std::string FileReadProblem(const std::string& path) {
  const std::string host = HostPathOf(path);
  if (host.empty()) return "no drive holds it";
  struct stat info {};
  if (stat(host.c_str(), &info) != 0) {
    if (lstat(host.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) return "link to nothing";
    return std::strerror(errno);
  }
  if (S_ISDIR(info.st_mode)) return "is a folder";
  const int fd = open(host.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::strerror(errno);
  close(fd);
  return "";
}

// Each change below acts relative to the folder SafeParent opened, so a link planted at one of
// the folders of the path after the checks (the fault point stands for that moment) cannot send
// it elsewhere.
bool CreateDirectory(const std::string& path) {
  const std::string host = HostPathOf(path);
  if (host.empty() || !PassFaultPoint("mkdir", host)) return false;
  const std::optional<SafeParent> parent = SafeParent::Open(host);
  if (!parent || mkdirat(parent->Fd(), parent->Leaf(), 0777) != 0) return false;
  NoteAdded(host);
  return true;
}

bool RemoveDirectory(const std::string& path) {
  const std::string host = HostPathOf(path);
  if (host.empty() || !PassFaultPoint("rmdir", host)) return false;
  const std::optional<SafeParent> parent = SafeParent::Open(host);
  if (!parent) return false;
  if (unlinkat(parent->Fd(), parent->Leaf(), AT_REMOVEDIR) != 0) {
    // A folder swapped for a link is not the folder to remove: said as such.
    if (errno == ENOTDIR && parent->LeafIsLink()) errno = ELOOP;
    return false;
  }
  NoteRemoved(host);
  return true;
}

namespace {

// DeleteFile, and with `plain_only` DeleteRegularFile.
bool DeleteEntry(const std::string& path, bool plain_only) {
  const std::string host = HostPathOf(path);
  struct stat info {};
  if (host.empty() || lstat(host.c_str(), &info) != 0 || S_ISDIR(info.st_mode)) return false;
  if (!PassFaultPoint("unlink", host)) return false;
  const std::optional<SafeParent> parent = SafeParent::Open(host);
  // Looked at again through the folder that is unlinked from: what goes is that entry.
  if (!parent || fstatat(parent->Fd(), parent->Leaf(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
    return false;
  }
  if (S_ISDIR(info.st_mode) || (plain_only && !S_ISREG(info.st_mode))) {
    errno = S_ISLNK(info.st_mode) ? ELOOP : S_ISDIR(info.st_mode) ? EISDIR : EPERM;
    return false;
  }
  if (!S_ISLNK(info.st_mode) && IsReadOnly(info)) {
    errno = EACCES;
    return false;
  }
  if (unlinkat(parent->Fd(), parent->Leaf(), 0) != 0) return false;
  NoteRemoved(host);
  return true;
}

}  // namespace

bool DeleteFile(const std::string& path) { return DeleteEntry(path, false); }

bool DeleteRegularFile(const std::string& path) { return DeleteEntry(path, true); }

bool CopyFile(const std::string& from, const std::string& to, bool fail_if_exists) {
  struct stat source_info {};
  if (!StatHost(HostPathOf(from), source_info) || S_ISDIR(source_info.st_mode)) return false;
  // Copying a file onto itself would truncate it before reading; Windows refuses it too.
  struct stat target_before {};
  if (StatHost(HostPathOf(to), target_before) && target_before.st_dev == source_info.st_dev &&
      target_before.st_ino == source_info.st_ino) {
    return false;
  }
  auto source = File::Open(from, File::Mode::kRead);
  if (!source) return false;
  auto target = File::Open(to, fail_if_exists ? File::Mode::kCreateNew : File::Mode::kCreate);
  if (!target) return false;
  std::vector<char> buffer(1 << 20);
  for (;;) {
    const size_t got = source->Read(buffer.data(), buffer.size());
    if (got == 0) break;
    if (!target->Write(buffer.data(), got)) return false;
  }
  // The copy keeps the source's permission bits, which carry its read-only flag.
  const std::string target_host = HostPathOf(to);
  target->Close();
  struct stat target_info {};
  if (stat(target_host.c_str(), &target_info) == 0) {
    ChangeModeNoFollow(target_host, (source_info.st_mode | target_info.st_mode) & 07777 &
                                        ~(IsReadOnly(source_info) ? 0222 : 0));
  }
  return true;
}

bool MoveFile(const std::string& from, const std::string& to) {
  const std::string source = HostPathOf(from);
  const std::string target = HostPathOf(to);
  struct stat info {};
  if (source.empty() || target.empty() || lstat(source.c_str(), &info) != 0) return false;
  if (!PassFaultPoint("rename", source + " -> " + target)) return false;
  // Whatever happens below, the two folders are listed again when next looked up.
  NoteRemoved(source);
  NoteRemoved(target);
  const std::optional<SafeParent> from_parent = SafeParent::Open(source);
  if (!from_parent) return false;
  const std::optional<SafeParent> to_parent = SafeParent::Open(target);
  if (!to_parent) return false;
  if (renameat2(from_parent->Fd(), from_parent->Leaf(), to_parent->Fd(), to_parent->Leaf(),
                RENAME_NOREPLACE) == 0) {
    return true;
  }
  const int reason = errno;
  if (reason == EEXIST) return false;
  struct stat existing {};
  if (fstatat(to_parent->Fd(), to_parent->Leaf(), &existing, AT_SYMLINK_NOFOLLOW) == 0) {
    errno = EEXIST;
    return false;
  }
  errno = reason;
  if (reason == EINVAL || reason == ENOSYS) {
    // The file system cannot refuse replacement itself; the check above stands in.
    return renameat(from_parent->Fd(), from_parent->Leaf(), to_parent->Fd(), to_parent->Leaf()) ==
           0;
  }
  if (errno != EXDEV || !S_ISREG(info.st_mode)) return false;
  // Another file system: copy, then delete the original. Both are opened, and the original
  // deleted, in the folders reached above, so neither end goes through a link.
  const int in = openat(from_parent->Fd(), from_parent->Leaf(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  const int out = in < 0 ? -1
                         : openat(to_parent->Fd(), to_parent->Leaf(),
                                  O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  bool ok = out >= 0 && fchmod(out, info.st_mode & 07777) == 0;
  for (ssize_t sent = 1; ok && sent > 0;) {
    sent = sendfile(out, in, nullptr, 1 << 30);
    ok = sent >= 0;
  }
  ok = ok && fsync(out) == 0;
  if (in >= 0) close(in);
  ok = out >= 0 && close(out) == 0 && ok;
  if (ok && unlinkat(from_parent->Fd(), from_parent->Leaf(), 0) == 0) return true;
  if (out >= 0) unlinkat(to_parent->Fd(), to_parent->Leaf(), 0);
  return false;
}

std::vector<FindData> FindFiles(const std::string& folder, const std::string& pattern) {
  std::string folder_path = folder;
  std::string wildcard = pattern;
  // Also accept the Win32 form "folder\pattern" in the first argument.
  const size_t last_separator = folder_path.find_last_of("\\/");
  if (wildcard == "*" && last_separator != std::string::npos &&
      folder_path.find_first_of("*?", last_separator) != std::string::npos) {
    wildcard = folder_path.substr(last_separator + 1);
    folder_path.resize(last_separator + 1);
  }
  std::vector<FindData> found;
  const std::string host = HostPathOf(folder_path);
  if (host.empty()) return found;
  // Names come back in the form of the folder asked for: Windows-1252 below a Windows path,
  // host bytes below a host path, so folder + name always names the file again.
  const bool windows_names = folder_path.empty() || folder_path[0] != '/';
  DIR* dir = opendir(host.c_str());
  if (dir == nullptr) return found;
  while (const dirent* entry = readdir(dir)) {
    const std::string host_name = entry->d_name;
    if (host_name == "." || host_name == "..") continue;
    FindData data;
    data.name = host_name;
    data.host_name = host_name;
    if (windows_names) {
      std::optional<std::string> name = Utf8ToCp1252Exact(host_name);
      data.name_fits = name.has_value();
      data.name = name ? *name : Utf8ToCp1252(host_name);
    }
    if (!MatchPattern(wildcard, data.name)) continue;
    const std::string full = internal::JoinHostPath(host, host_name);
    struct stat link_info {};
    struct stat info {};
    if (lstat(full.c_str(), &link_info) != 0) continue;
    data.is_symlink = S_ISLNK(link_info.st_mode);
    if (stat(full.c_str(), &info) != 0) info = link_info;
    data.attributes = AttributesOf(info);
    data.size = S_ISDIR(info.st_mode) ? 0 : static_cast<uint64_t>(info.st_size);
    found.push_back(std::move(data));
  }
  closedir(dir);
  std::sort(found.begin(), found.end(), [](const FindData& a, const FindData& b) {
    const std::string ua = AsciiUpper(a.name);
    const std::string ub = AsciiUpper(b.name);
    // Unsigned byte order; names equal apart from case keep a fixed order too.
    const int order = std::memcmp(ua.data(), ub.data(), std::min(ua.size(), ub.size()));
    if (order != 0) return order < 0;
    if (ua.size() != ub.size()) return ua.size() < ub.size();
    return a.name < b.name;
  });
  return found;
}

std::string GetTempPath() {
  const std::string path = "C:\\users\\" + GetUserName() + "\\Temp\\";
  internal::MakeHostFolders(HostPathOf(path), true);
  return path;
}

std::optional<uint64_t> GetDiskFreeSpace(const std::string& path) {
  std::string host = HostPathOf(path);
  if (host.empty()) return std::nullopt;
  // A folder that does not exist yet lies on the drive of its nearest existing ancestor.
  struct stat info {};
  while (stat(host.c_str(), &info) != 0 && host != "/") {
    const size_t slash = host.find_last_of('/');
    host = slash == 0 || slash == std::string::npos ? "/" : host.substr(0, slash);
  }
  struct statvfs fs {};
  if (statvfs(host.c_str(), &fs) != 0) return std::nullopt;
  return static_cast<uint64_t>(fs.f_bavail) * fs.f_frsize;
}

int FolderWriteProblem(const std::string& path) {
  std::string host = HostPathOf(path);
  if (host.empty()) return ENOENT;
  while (host.size() > 1 && host.back() == '/') host.pop_back();
  struct stat info {};
  while (stat(host.c_str(), &info) != 0) {
    if (errno == ENOTDIR) return ENOTDIR;  // a file stands where a folder of the path should be
    if (host == "/") return ENOENT;
    const size_t slash = host.find_last_of('/');
    host = slash == 0 || slash == std::string::npos ? "/" : host.substr(0, slash);
  }
  if (!S_ISDIR(info.st_mode)) return ENOTDIR;
  struct statvfs fs {};
  if (statvfs(host.c_str(), &fs) == 0 && (fs.f_flag & ST_RDONLY) != 0) return EROFS;
  if (access(host.c_str(), W_OK | X_OK) != 0) return errno == EROFS ? EROFS : EACCES;
  return 0;
}

// ---- File ----

std::string HostPathToCreate(const std::string& path) {
  const std::string host = HostPathOf(path);
  if (!host.empty()) NoteAdded(host);
  return host;
}

std::optional<File> File::Open(const std::string& path, Mode mode) {
  const std::string host = HostPathOf(path);
  if (host.empty()) return std::nullopt;
  int flags = O_CLOEXEC;
  bool writable = true;
  switch (mode) {
    case Mode::kRead:
      flags |= O_RDONLY;
      writable = false;
      break;
    case Mode::kReadWrite:
      flags |= O_RDWR;
      break;
    case Mode::kCreate:
      flags |= O_RDWR | O_CREAT;
      break;
    case Mode::kCreateNew:
      flags |= O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW;
      break;
  }
  if (writable && !PassFaultPoint("open", host)) return std::nullopt;
  // A file opened to be written is opened in its folder as reached without links (a link as
  // the file itself is refused there too); one only read is opened by its path.
  std::optional<SafeParent> parent;
  int folder = AT_FDCWD;
  const char* name = host.c_str();
  if (writable) {
    parent = SafeParent::Open(host);
    if (!parent) return std::nullopt;
    folder = parent->Fd();
    name = parent->Leaf();
    if (parent->Guarded()) flags |= O_NOFOLLOW;
  }
  if (mode == Mode::kCreate) {
    // Usually nothing is there yet: a file created here is empty and writable, so it needs
    // none of the checks below. Anything already there (links too) takes the general way.
    const int fd = openat(folder, name, flags | O_EXCL, 0666);
    if (fd >= 0) {
      NoteAdded(host);
      return File(fd, writable);
    }
  }
  if (writable && mode != Mode::kCreateNew) {
    struct stat info {};
    if (fstatat(folder, name, &info, 0) == 0 && (S_ISDIR(info.st_mode) || IsReadOnly(info))) {
      errno = S_ISDIR(info.st_mode) ? EISDIR : EACCES;
      return std::nullopt;
    }
  }
  const int fd = openat(folder, name, flags, 0666);
  if (fd < 0) return std::nullopt;
  struct stat info {};
  if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    close(fd);
    errno = EISDIR;
    return std::nullopt;
  }
  // Truncation after the checks, so a refused open leaves the old content in place.
  if (mode == Mode::kCreate && ftruncate(fd, 0) != 0) {
    close(fd);
    return std::nullopt;
  }
  if (mode == Mode::kCreate || mode == Mode::kCreateNew) NoteAdded(host);
  return File(fd, writable);
}

File::File(int fd, bool writable) : fd_(fd), writable_(writable) {}

File::File(File&& other) noexcept
    : fd_(other.fd_),
      writable_(other.writable_),
      wrote_start_(other.wrote_start_),
      head_(other.head_),
      head_size_(other.head_size_),
      head_known_(other.head_known_),
      position_(other.position_) {
  other.fd_ = -1;
}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = other.fd_;
    writable_ = other.writable_;
    wrote_start_ = other.wrote_start_;
    head_ = other.head_;
    head_size_ = other.head_size_;
    head_known_ = other.head_known_;
    position_ = other.position_;
    other.fd_ = -1;
  }
  return *this;
}

File::~File() { Close(); }

size_t File::Read(void* buffer, size_t size) {
  if (fd_ < 0) return 0;
  auto* out = static_cast<char*>(buffer);
  size_t total = 0;
  while (total < size) {
    const ssize_t got = read(fd_, out + total, size - total);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    total += static_cast<size_t>(got);
  }
  if (position_) *position_ += total;
  return total;
}

bool File::ReadExact(void* buffer, size_t size) { return Read(buffer, size) == size; }

bool File::ReadExactAt(uint64_t position, void* buffer, size_t size) const {
  if (fd_ < 0 || position > static_cast<uint64_t>(INT64_MAX)) return false;
  auto* out = static_cast<char*>(buffer);
  size_t total = 0;
  while (total < size) {
    const ssize_t got = pread(fd_, out + total, size - total, static_cast<off_t>(position + total));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    total += static_cast<size_t>(got);
  }
  return true;
}

bool File::Write(const void* buffer, size_t size) {
  if (fd_ < 0 || !writable_) {
    errno = EBADF;  // closed, or opened for reading
    return false;
  }
  if (size == 0) return true;
  if (!PassFaultPointOnFile("write", fd_)) return false;
  const off_t at = position_ ? static_cast<off_t>(*position_) : lseek(fd_, 0, SEEK_CUR);
  if (at == 0) {
    wrote_start_ = true;
    head_size_ = std::min(size, head_.size());
    std::memcpy(head_.data(), buffer, head_size_);
    head_known_ = true;
  } else if (at < static_cast<off_t>(head_.size())) {
    head_known_ = false;  // changes the first bytes, or the position is not known
  }
  const auto* in = static_cast<const char*>(buffer);
  size_t total = 0;
  while (total < size) {
    const ssize_t put = write(fd_, in + total, size - total);
    if (put < 0 && errno == EINTR) continue;
    if (put == 0) errno = ENOSPC;
    if (put <= 0) {
      position_.reset();
      return false;
    }
    total += static_cast<size_t>(put);
  }
  if (position_) *position_ += size;
  return true;
}

bool File::Seek(uint64_t position) {
  if (fd_ < 0 || position > static_cast<uint64_t>(INT64_MAX)) return false;
  if (lseek(fd_, static_cast<off_t>(position), SEEK_SET) < 0) {
    position_.reset();
    return false;
  }
  position_ = position;
  return true;
}

std::optional<uint64_t> File::Position() const {
  if (fd_ < 0) return std::nullopt;
  if (position_) return position_;
  const off_t position = lseek(fd_, 0, SEEK_CUR);
  if (position < 0) return std::nullopt;
  return static_cast<uint64_t>(position);
}

std::optional<uint64_t> File::Size() const {
  struct stat info {};
  if (fd_ < 0 || fstat(fd_, &info) != 0) return std::nullopt;
  return static_cast<uint64_t>(info.st_size);
}

bool File::Truncate(uint64_t size) {
  if (fd_ < 0 || !writable_ || size > static_cast<uint64_t>(INT64_MAX)) return false;
  if (size < head_size_) head_known_ = false;
  return PassFaultPointOnFile("truncate", fd_) && ftruncate(fd_, static_cast<off_t>(size)) == 0;
}

bool File::Flush() { return fd_ >= 0 && fsync(fd_) == 0; }

bool File::TryLock() {
  if (fd_ < 0) return false;
  int result;
  do {
    result = flock(fd_, LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  return result == 0;
}

void File::Close() {
  if (fd_ < 0) return;
  if (writable_ && wrote_start_) {
    MarkExecutableIfProgram(fd_, head_known_ ? head_.data() : nullptr, head_size_);
  }
  close(fd_);
  fd_ = -1;
}

// ---- Whole files ----

std::optional<std::string> ReadFileBytes(const std::string& path) {
  auto file = File::Open(path, File::Mode::kRead);
  if (!file) return std::nullopt;
  std::string bytes;
  if (auto size = file->Size()) bytes.reserve(static_cast<size_t>(*size));
  char buffer[65536];
  for (;;) {
    const size_t got = file->Read(buffer, sizeof buffer);
    if (got == 0) break;
    bytes.append(buffer, got);
  }
  return bytes;
}

bool WriteFileBytes(const std::string& path, const void* data, size_t size) {
  auto file = File::Open(path, File::Mode::kCreate);
  if (!file || !file->Write(data, size)) return false;
  file->Close();
  return true;
}

bool WriteFileAtomically(const std::string& path, const void* data, size_t size) {
  const std::string host = HostPathOf(path);
  if (host.empty()) return false;
  // The temporary is made, and renamed over the file, in the folder as reached without links.
  const std::optional<SafeParent> parent = SafeParent::Open(host);
  if (!parent) return false;
  struct stat old_info {};
  // Below a guarded folder a link as the file is replaced itself, never written through.
  const bool replacing = fstatat(parent->Fd(), parent->Leaf(), &old_info,
                                 parent->Guarded() ? AT_SYMLINK_NOFOLLOW : 0) == 0 &&
                         !S_ISLNK(old_info.st_mode);
  if (replacing && (S_ISDIR(old_info.st_mode) || IsReadOnly(old_info))) {
    errno = S_ISDIR(old_info.st_mode) ? EISDIR : EACCES;
    return false;
  }
  std::string temp;
  const int fd = CreateTemporary(*parent, temp);
  if (fd < 0) return false;
  // Locked while it lives: a temporary found unlocked was left by a process that ended, and
  // the next start removes it (RemoveAbandonedTemporaries). Where the file system has no locks,
  // the sweep cannot lock it either and leaves it alone.
  flock(fd, LOCK_EX | LOCK_NB);
  bool ok = true;
  const auto* bytes = static_cast<const char*>(data);
  size_t total = 0;
  while (ok && total < size) {
    const ssize_t put = write(fd, bytes + total, size - total);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0)
      ok = false;
    else
      total += static_cast<size_t>(put);
  }
  // The new file takes the old one's permissions, or the usual ones for a new file.
  const mode_t mode = replacing ? (old_info.st_mode & 07777) : (0666 & ~CurrentUmask());
  ok = ok && fchmod(fd, mode) == 0;
  if (ok && size > 0) {
    MarkExecutableIfProgram(fd, reinterpret_cast<const unsigned char*>(bytes), size);
  }
  ok = ok && fsync(fd) == 0;
  // The step the fault seam counts comes once the temporary is complete, so a process killed
  // there leaves one behind as a real kill could.
  ok = ok && PassFaultPoint("replace", host);
  ok = ok && renameat(parent->Fd(), temp.c_str(), parent->Fd(), parent->Leaf()) == 0;
  ok = (close(fd) == 0) && ok;
  if (!ok) {
    const int reason = errno;
    unlinkat(parent->Fd(), temp.c_str(), 0);
    errno = reason;
    return false;
  }
  NoteAdded(host);
  const int dir_fd = parent->OpenForFlush();
  if (dir_fd >= 0) {
    fsync(dir_fd);
    close(dir_fd);
  }
  return true;
}

}  // namespace platform
