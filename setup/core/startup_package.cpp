#include "setup/core/startup_package.h"

#include <atomic>
#include <exception>
#include <memory>
#include <thread>
#include <vector>

#include "platform/files.h"
#include "platform/message_box.h"
#include "platform/process.h"
#include "platform/system.h"
#include "setup/core/pak.h"
#include "setup/core/setup_error.h"
#include "setup/core/setup_state.h"
#include "setup/errorlog/error_log.h"

PackageChoice ChoosePackageFile(const std::vector<std::string>& params) {
  if (!params.empty() && !params[0].empty() && platform::FileExists(params[0])) {
    return {params[0], true};
  }
  return {platform::OwnExecutablePath(), false};
}

std::string VerifyStatusText(int done, int count) {
  return "Status: " + std::to_string(done) + " out of " + std::to_string(count) +
         " files verifyed";
}

namespace {

enum : uint8_t { kPending = 0, kPassed = 1, kFailed = 2, kRaised = 3 };

// Verifies the odd entries on a second thread with a reader of its own, so the two cores inflate
// side by side while the caller still takes the results in directory order.
class SecondVerifier {
 public:
  SecondVerifier(const std::string& path, int count)
      : results_(static_cast<size_t>(count)), thread_([this, path, count] { Run(path, count); }) {}
  ~SecondVerifier() {
    stop_.store(true);
    thread_.join();
  }
  // Waits for the result of entry `index` (an odd one).
  uint8_t Wait(int index) {
    while (true) {
      uint8_t result = results_[static_cast<size_t>(index)].load(std::memory_order_acquire);
      if (result != kPending) return result;
      std::this_thread::yield();
    }
  }
  const std::string& Error() const { return error_; }

 private:
  void Run(const std::string& path, int count) {
    int index = 1;
    try {
      TPak pak(path, false, false);
      for (; index < count && !stop_.load(); index += 2) {
        const TPakFile* entry = pak.Entry(index);
        bool ok = !entry || entry->full_size == 0 || pak.VerifyEntry(index);
        results_[static_cast<size_t>(index)].store(ok ? kPassed : kFailed,
                                                   std::memory_order_release);
      }
    } catch (const std::exception& error) {
      error_ = error.what();
      for (; index < count; index += 2) {
        results_[static_cast<size_t>(index)].store(kRaised, std::memory_order_release);
      }
    }
  }

  std::vector<std::atomic<uint8_t>> results_;
  std::atomic<bool> stop_{false};
  std::string error_;  // written before the kRaised results are published
  std::thread thread_;
};

}  // namespace

FirstStageResult OpenAndVerifyPackage(const PackageChoice& choice, VerifyObserver* observer,
                                      uint32_t pause_ms) {
  SetupState& state = SetupState::Instance();
  FirstStageResult result;
  if (observer) observer->SetStatus("Loading Header", 0, 100);
  state.package = std::make_unique<TPak>(choice.path, false, false);
  TPak& pak = *state.package;
  if (!pak.Trailer().HasMagic()) {
    platform::MessageBox("Invalid Setup Header. No Contents or Corrupted Contents.", "Error",
                         platform::kMbOk);
    return result;
  }
  const int count = pak.EntryCount();
  if (observer) observer->SetStatus(VerifyStatusText(0, count), 0, count);
  try {
    std::unique_ptr<SecondVerifier> second;
    if (count > 1 && std::thread::hardware_concurrency() > 1) {
      second = std::make_unique<SecondVerifier>(choice.path, count);
    }
    for (int i = 0; i < count; ++i) {
      const TPakFile& entry = *pak.Entry(i);
      bool ok = true;
      if (second && i % 2 == 1) {
        uint8_t outcome = second->Wait(i);
        if (outcome == kRaised) throw SetupError(second->Error());
        ok = outcome == kPassed;
      } else if (entry.full_size != 0) {
        ok = pak.VerifyEntry(i);
      }
      if (!ok) {
        second.reset();  // the first failure in directory order is the one reported
        platform::MessageBox("Error: Verification Failed. Setup is corrupt.\rID: " +
                                 std::to_string(i) + " Filename: " + entry.name,
                             "Verification Error", platform::kMbOk);
        return result;
      }
      if (entry.group != 0) result.grouped_bytes += entry.full_size;
      if (observer) observer->SetStatus(VerifyStatusText(i + 1, count), i + 1, count);
    }
    second.reset();
    if (pause_ms > 0) platform::Sleep(pause_ms);
  } catch (const std::exception& error) {
    WriteErrorLog(error.what(), kErrorTypeVerification);
  }
  result.ok = true;
  return result;
}
