#include "setup/runtime/startup_package.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <future>
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
#include "setup/runtime/package_contents.h"

PackageChoice ChoosePackageFile(const std::vector<std::string>& params) {
  if (!params.empty() && !params[0].empty() && platform::FileExists(params[0])) {
    return {params[0], true};
  }
  return {platform::OwnExecutablePath(), false};
}

std::string VerifyStatusText(int done, int count) {
  return "Status: " + std::to_string(done) + " out of " + std::to_string(count) + " files verifyed";
}

namespace {

enum : uint8_t { kPending = 0, kPassed = 1, kFailed = 2, kRaised = 3 };

// Whether an entry passes, without showing or raising anything. An entry the install extracts
// (any group but 0) is proven by the CRC of its stored bytes, which is what the directory
// records; it is inflated once, while it is extracted, where the inflate's own length and
// Adler-32 checks stop the run should a stream be bad despite its CRC. Group-0 entries are the
// start-up's own material and are inflated here in full.
bool PassesQuietly(const TPak& pak, int index) {
  const TPakFile* entry = pak.Entry(index);
  if (!entry || entry->full_size == 0) return true;
  if (entry->IsLarge()) return pak.VerifyEntry(index);  // reads no data, shows nothing
  if (entry->group != 0) return pak.StoredBytesPass(index);
  return pak.ReadEntryQuietly(index).status == TEntryData::Status::kOk;
}

// Checks entries on every core. Helper threads and the calling thread take the next unchecked
// entry in turn; the caller takes the results in directory order, so the first failure in
// that order is the one reported, and every message comes from the caller's thread.
class ParallelVerifier {
 public:
  ParallelVerifier(const TPak& pak, unsigned helpers)
      : pak_(pak), count_(pak.EntryCount()), results_(static_cast<size_t>(count_)) {
    for (unsigned i = 0; i < helpers; ++i) threads_.emplace_back([this] { Work(); });
  }
  ~ParallelVerifier() { Stop(); }

  // Stops the helpers (after the entry each is checking) and waits for them.
  void Stop() {
    stop_.store(true);
    for (std::thread& thread : threads_) {
      if (thread.joinable()) thread.join();
    }
  }

  // The quiet result of entry `index`; the caller checks further entries while it waits.
  uint8_t Result(int index) {
    std::atomic<uint8_t>& slot = results_[static_cast<size_t>(index)];
    for (;;) {
      const uint8_t result = slot.load(std::memory_order_acquire);
      if (result != kPending) return result;
      if (!CheckNext()) slot.wait(kPending, std::memory_order_acquire);
    }
  }

 private:
  void Work() {
    while (!stop_.load() && CheckNext()) {
    }
  }

  // Checks the next unclaimed entry; false when none is left.
  bool CheckNext() {
    const int index = next_.fetch_add(1);
    if (index >= count_) return false;
    uint8_t result = kRaised;  // the caller checks it again itself and raises what it raises
    try {
      result = PassesQuietly(pak_, index) ? kPassed : kFailed;
    } catch (const std::exception&) {
    }
    std::atomic<uint8_t>& slot = results_[static_cast<size_t>(index)];
    slot.store(result, std::memory_order_release);
    slot.notify_all();
    return true;
  }

  const TPak& pak_;
  const int count_;
  std::vector<std::atomic<uint8_t>> results_;
  std::atomic<int> next_{0};
  std::atomic<bool> stop_{false};
  std::vector<std::thread> threads_;
};

void ShowVerificationFailed(int index, const std::string& name) {
  platform::MessageBox("Error: Verification Failed. Setup is corrupt.\rID: " +
                           std::to_string(index) + " Filename: " + name,
                       "Verification Error", platform::kMbOk);
}

}  // namespace

FirstStageResult OpenAndVerifyPackage(const PackageChoice& choice, VerifyObserver* observer,
                                      uint32_t pause_ms, const SignaturePolicy& policy) {
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
    // The whole file is hashed while the entries are checked; its verdict counts only once
    // every entry has passed, so a damaged entry is still reported by its own index and name.
    std::future<TIntegrityVerdict> integrity =
        std::async(std::launch::async, [&pak] { return CheckPackageIntegrity(pak); });
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    ParallelVerifier verifier(pak, count > 1 ? std::min<unsigned>(cores - 1, count - 1) : 0);
    for (int i = 0; i < count; ++i) {
      const TPakFile& entry = *pak.Entry(i);
      const uint8_t quiet = verifier.Result(i);
      bool ok = quiet == kPassed;
      if (quiet == kRaised || (quiet == kFailed && entry.group == 0 && !entry.IsLarge())) {
        // Checked again on this thread, which shows the size message or raises the stream's
        // error of an entry the start-up loads, in directory order.
        ok = entry.group == 0 ? pak.VerifyEntry(i) : PassesQuietly(pak, i);
      }
      if (!ok) {
        verifier.Stop();  // the first failure in directory order is the one reported
        ShowVerificationFailed(i, entry.name);
        return result;
      }
      if (entry.group != 0) result.grouped_bytes += entry.full_size;
      if (observer) observer->SetStatus(VerifyStatusText(i + 1, count), i + 1, count);
    }
    verifier.Stop();
    result.integrity = integrity.get();
    if (result.integrity.status == TIntegrityVerdict::Status::kBad) {
      ShowVerificationFailed(result.integrity.index < 0 ? count : result.integrity.index,
                             kIntegrityEntry);
      return result;
    }
    if (const std::optional<std::string> refusal =
            PolicyRefusal(policy, result.integrity, QuietSetupRecord(pak).IsUninstaller != 0)) {
      platform::MessageBox(*refusal, "Verification Error", platform::kMbOk);
      return result;
    }
    if (pause_ms > 0) platform::Sleep(pause_ms);
  } catch (const SetupError& error) {
    throw error.InStage(kErrorTypeVerification);
  } catch (const std::exception& error) {
    throw SetupError(error.what(), kErrorTypeVerification);
  }
  result.ok = true;
  return result;
}
