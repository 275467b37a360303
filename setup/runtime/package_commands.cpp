#include "setup/runtime/package_commands.h"

#include <cstdio>

#include "platform/text_encoding.h"
#include "setup/core/run_log.h"
#include "setup/core/setup_state.h"
#include "setup/runtime/package_contents.h"
#include "setup/runtime/startup_package.h"

int VerifyPackageCommand(const std::string& path, const SignaturePolicy& policy) {
  const FirstStageResult result = OpenAndVerifyPackage({path, true}, nullptr, 0, policy);
  std::printf("setup: %s: %s\n", path.c_str(),
              result.ok ? DescribeIntegrity(result.integrity).c_str() : "refused");
  return result.ok ? 0 : 2;
}

int ListContentsCommand(const std::string& path, bool json) {
  const std::optional<PackageContents> contents = ReadPackageContents(path);
  if (!contents) {
    std::fprintf(stderr, "setup: %s carries no package\n", path.c_str());
    return 2;
  }
  std::fputs(FormatPackageContents(*contents, json).c_str(), stdout);
  return 0;
}

std::optional<platform::RunLock> TakeRunLock(int wait_seconds, const std::function<bool()>& stop) {
  const SetupState& state = SetupState::Instance();
  std::string name;
  if (state.package) {
    const TSetupInfoFile info = QuietSetupRecord(*state.package);
    name = platform::Cp1252ToUtf8(info.SetupName.empty() ? info.ShortName : info.SetupName);
  }
  std::optional<std::chrono::milliseconds> wait;
  if (wait_seconds >= 0) wait = std::chrono::seconds(wait_seconds);
  std::optional<platform::RunLock> lock;
  std::string holder;
  const platform::RunLock::Outcome outcome = platform::RunLock::Acquire(
      platform::RunLock::DefaultPath(), name, wait, stop,
      [&](const std::optional<platform::LockHolder>& who) {
        holder = platform::DescribeHolder(who);
        const std::string line =
            "another setup is running: " + holder + (wait_seconds == 0 ? "" : "; waiting");
        std::fprintf(stderr, "setup: %s\n", line.c_str());
        RunLogUtf8(line);
      },
      lock);
  std::string reason;
  switch (outcome) {
    case platform::RunLock::Outcome::kTaken:
      return lock;
    case platform::RunLock::Outcome::kBusy:
      if (wait_seconds > 0) reason = "gave up waiting for " + holder;
      break;
    case platform::RunLock::Outcome::kStopped:
      reason = "stopped while waiting for " + holder;
      break;
    case platform::RunLock::Outcome::kFailed:
      reason = "cannot make the lock file " + platform::RunLock::DefaultPath();
      break;
  }
  if (!reason.empty()) {
    std::fprintf(stderr, "setup: %s\n", reason.c_str());
    RunLogUtf8(reason);
  }
  return std::nullopt;
}
