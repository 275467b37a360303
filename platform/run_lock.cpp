#include "platform/run_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <thread>

#include "platform/drives.h"
#include "platform/files.h"

namespace platform {
namespace {

// How often a waiting run tries the lock again; short enough that the next run starts soon
// after the holder ends, and that a stop request is seen at once.
constexpr std::chrono::milliseconds kRetryInterval(50);

// Opens (or makes) the lock file without cutting what its holder wrote. Not inherited by the
// programs a run starts, so none of them keeps the lock after the run has ended.
int OpenLockFile(const std::string& path) {
  int fd;
  do {
    fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

bool TryFlock(int fd) {
  int result;
  do {
    result = flock(fd, LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  return result == 0;
}

// The holder's record: its process id and name, one a line.
void WriteHolder(int fd, const std::string& name) {
  const std::string text = std::to_string(::getpid()) + "\n" + name + "\n";
  if (ftruncate(fd, 0) != 0) return;
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t put = pwrite(fd, text.data() + done, text.size() - done, done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return;  // the lock holds without the record; a waiter names nobody
    done += static_cast<size_t>(put);
  }
}

}  // namespace

std::string RunLock::DefaultPath() { return SetupRoot() + "/setup.lock"; }

RunLock::Outcome RunLock::Acquire(
    const std::string& path, const std::string& name, std::optional<std::chrono::milliseconds> wait,
    const std::function<bool()>& stop,
    const std::function<void(const std::optional<LockHolder>&)>& waiting,
    std::optional<RunLock>& lock) {
  lock.reset();
  const std::string parent = SetupRoot();
  if (!DirectoryExists(parent)) CreateDirectory(parent);
  const int fd = OpenLockFile(path);
  if (fd < 0) return Outcome::kFailed;
  RunLock held(fd);
  const auto deadline = wait ? std::chrono::steady_clock::now() + *wait
                             : std::chrono::steady_clock::time_point::max();
  bool told = false;
  while (!TryFlock(fd)) {
    if (errno != EWOULDBLOCK) return Outcome::kFailed;
    if (!told) {
      if (waiting) waiting(ReadHolder(path));
      told = true;
    }
    if (stop && stop()) return Outcome::kStopped;
    if (std::chrono::steady_clock::now() >= deadline) return Outcome::kBusy;
    std::this_thread::sleep_for(kRetryInterval);
  }
  WriteHolder(fd, name);
  lock.emplace(std::move(held));
  return Outcome::kTaken;
}

std::optional<LockHolder> RunLock::ReadHolder(const std::string& path) {
  const std::optional<std::string> text = ReadFileBytes(path);
  if (!text) return std::nullopt;
  const size_t line_end = text->find('\n');
  if (line_end == std::string::npos || line_end == 0) return std::nullopt;
  LockHolder holder;
  char* end = nullptr;
  holder.pid = std::strtol(text->c_str(), &end, 10);
  if (end != text->c_str() + line_end || holder.pid <= 0) return std::nullopt;
  const size_t name_end = text->find('\n', line_end + 1);
  holder.name = text->substr(
      line_end + 1, name_end == std::string::npos ? std::string::npos : name_end - line_end - 1);
  return holder;
}

RunLock::RunLock(RunLock&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }

RunLock& RunLock::operator=(RunLock&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) close(fd_);
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

RunLock::~RunLock() {
  // Closing drops the lock. The holder's record stays: the next holder writes its own, and a
  // reader checks the lock, not the record, to learn whether anyone holds it.
  if (fd_ >= 0) close(fd_);
}

std::string DescribeHolder(const std::optional<LockHolder>& holder) {
  if (!holder) return "another program";
  return (holder->name.empty() ? std::string("setup") : holder->name) + " (process " +
         std::to_string(holder->pid) + ")";
}

}  // namespace platform
