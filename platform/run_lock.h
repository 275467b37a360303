// RunLock: one setup run at a time per SETUP_ROOT. Installers and uninstallers take it before
// they change anything and hold it until they end (the system drops it however the process
// ends, a kill included). The lock file names its holder, so a run that has to wait can say
// who it waits for.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>

namespace platform {

// Who holds the lock, as the holder wrote it.
struct LockHolder {
  std::string name;  // the product being installed or removed (UTF-8)
  long pid = 0;
};

class RunLock {
 public:
  enum class Outcome { kTaken, kBusy, kStopped, kFailed };

  // $SETUP_ROOT/setup.lock
  static std::string DefaultPath();

  // Takes the lock at PATH for NAME. With another holder: WAITING is called once with that
  // holder, then the lock is tried again until it is free, WAIT has passed (nothing: no limit)
  // or STOP answers true. The answer says which; `lock` holds the lock when it is kTaken.
  static Outcome Acquire(const std::string& path, const std::string& name,
                         std::optional<std::chrono::milliseconds> wait,
                         const std::function<bool()>& stop,
                         const std::function<void(const std::optional<LockHolder>&)>& waiting,
                         std::optional<RunLock>& lock);

  // The holder written in the lock file; nothing when the file is missing or names nobody.
  static std::optional<LockHolder> ReadHolder(const std::string& path);

  RunLock(RunLock&& other) noexcept;
  RunLock& operator=(RunLock&& other) noexcept;
  RunLock(const RunLock&) = delete;
  RunLock& operator=(const RunLock&) = delete;
  ~RunLock();

 private:
  explicit RunLock(int fd) : fd_(fd) {}
  int fd_ = -1;
};

// "NAME (process PID)": how a waiting run names the holder.
std::string DescribeHolder(const std::optional<LockHolder>& holder);

}  // namespace platform
