// Failure texts and the fault-injection seam of the changing platform operations.
#include "platform/failure.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace platform {
namespace {

struct FaultPlan {
  long long at = 0;  // 0: no fault planned
  int error = EIO;
  bool kill = false;
  bool stop = false;  // the process stops itself there and goes on once continued
};

int ErrnoFromName(const std::string& name) {
  struct Named {
    const char* name;
    int value;
  };
  static constexpr Named kNames[] = {{"ENOSPC", ENOSPC}, {"EACCES", EACCES}, {"EIO", EIO},
                                     {"EROFS", EROFS},   {"EPERM", EPERM},   {"EDQUOT", EDQUOT},
                                     {"ENOENT", ENOENT}, {"EBUSY", EBUSY}};
  for (const Named& named : kNames) {
    if (name == named.name) return named.value;
  }
  char* end = nullptr;
  const long value = std::strtol(name.c_str(), &end, 10);
  return (end != name.c_str() && *end == '\0' && value > 0 && value < 4096)
             ? static_cast<int>(value)
             : EIO;
}

std::string TallyFile() {
  const char* path = std::getenv("SETUP_FAULT_TALLY");
  return path != nullptr ? path : "";
}

FaultPlan ReadPlan() {
  FaultPlan plan;
  const char* text = std::getenv("SETUP_FAULT");
  if (text == nullptr || *text == '\0') return plan;
  const std::string plan_text = text;
  const size_t colon = plan_text.find(':');
  char* end = nullptr;
  const long long at = std::strtoll(plan_text.c_str(), &end, 10);
  if (end == plan_text.c_str() || at <= 0) return plan;
  plan.at = at;
  if (colon != std::string::npos) {
    const std::string reason = plan_text.substr(colon + 1);
    plan.kill = reason == "kill";
    plan.stop = reason == "stop";
    if (!plan.kill && !plan.stop) plan.error = ErrnoFromName(reason);
  }
  return plan;
}

}  // namespace

std::string ErrorText(int error) {
  char buffer[256];
  // The GNU strerror_r answers a pointer that may or may not be the buffer.
  return strerror_r(error, buffer, sizeof buffer);
}

std::string LastErrorText() { return ErrorText(errno); }

namespace {

// The seam's state: one per process, as the environment it is read from.
struct FaultSeam {
  const FaultPlan plan = ReadPlan();
  const std::string tally = TallyFile();
  std::atomic<bool> counting{false};
  std::atomic<long long> count{0};
  std::mutex tally_mutex;
  std::vector<std::string> steps;  // "N operation path", kept only for the tally
  // Tells the tally file how many operations the process counted, and which. A process that
  // never counted (the finaliser an uninstaller starts, which may end after it) leaves the
  // file to the run that did.
  ~FaultSeam() {
    if (tally.empty() || !counting.load()) return;
    if (FILE* out = std::fopen(tally.c_str(), "w")) {
      std::fprintf(out, "%lld\n", count.load());
      for (const std::string& step : steps) std::fprintf(out, "%s\n", step.c_str());
      std::fclose(out);
    }
  }
};

FaultSeam& Seam() {
  static FaultSeam seam;
  return seam;
}

}  // namespace

void StartFaultCounting() { Seam().counting.store(true, std::memory_order_release); }

namespace {

// Counts the operation; answers whether the plan makes it fail (or kills the process there).
// `path` is asked for only when a tally is kept.
template <typename PathOf>
bool CountOperation(const char* operation, PathOf path) {
  FaultSeam& seam = Seam();
  const FaultPlan& plan = seam.plan;
  if ((plan.at == 0 && seam.tally.empty()) || !seam.counting.load(std::memory_order_acquire)) {
    return true;
  }
  const long long number = seam.count.fetch_add(1, std::memory_order_relaxed) + 1;
  if (!seam.tally.empty()) {
    const int saved = errno;
    std::string line = std::to_string(number) + " " + operation + " " + path();
    std::lock_guard<std::mutex> lock(seam.tally_mutex);
    seam.steps.push_back(std::move(line));
    errno = saved;
  }
  if (number != plan.at) return true;
  if (plan.kill) {
    ::kill(::getpid(), SIGKILL);
    _exit(137);
  }
  if (plan.stop) {
    // Between the checks of the operation and the operation itself: a test changes the machine
    // meanwhile (plants a link) and continues the process (SIGCONT), as a race would.
    ::kill(::getpid(), SIGSTOP);
    return true;
  }
  errno = plan.error;
  return false;
}

}  // namespace

bool PassFaultPoint(const char* operation, const std::string& path) {
  return CountOperation(operation, [&] { return path; });
}

bool PassFaultPointOnFile(const char* operation, int fd) {
  return CountOperation(operation, [fd] {
    char target[4096];
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t length = readlink(link.c_str(), target, sizeof target);
    return length > 0 ? std::string(target, static_cast<size_t>(length)) : link;
  });
}

}  // namespace platform
