#include "setup/runtime/startup_package.h"

#include <zlib.h>

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
  return "Status: " + std::to_string(done) + " out of " + std::to_string(count) + " files verifyed";
}

namespace {

enum : uint8_t { kPending = 0, kPassed = 1, kFailed = 2, kRaised = 3 };

// Whether a zlib stream inflates to exactly `expected` bytes and ends there. Never raises; the
// output is only counted.
bool InflatesToExactly(const std::string& stored, uint32_t expected) {
  z_stream stream{};
  if (inflateInit(&stream) != Z_OK) return false;
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(stored.data()));
  stream.avail_in = static_cast<uInt>(stored.size());
  char scratch[64 * 1024];
  uint64_t produced = 0;
  int status = Z_OK;
  while (status == Z_OK && produced <= expected) {
    stream.next_out = reinterpret_cast<Bytef*>(scratch);
    stream.avail_out = sizeof scratch;
    status = inflate(&stream, Z_NO_FLUSH);
    produced += sizeof scratch - stream.avail_out;
  }
  inflateEnd(&stream);
  return status == Z_STREAM_END && produced == expected;
}

// Checks an entry on the second thread without showing or raising anything: reading an entry
// whose inflated length differs from the directory shows a message box, which must come from
// the window's thread and only once the entries before it have passed. An entry this check does
// not vouch for is verified again on the window's thread, which then shows or raises whatever
// that entry causes, in directory order.
bool PassesQuietly(TPak& pak, int index) {
  const TPakFile* entry = pak.Entry(index);
  if (!entry || entry->full_size == 0) return true;
  if (entry->IsLarge()) return pak.VerifyEntry(index);        // reads no data, shows nothing
  std::optional<std::string> stored = pak.ReadStored(index);  // CRC checked, silently
  if (!stored) return false;
  if (entry->IsRaw()) return true;
  return entry->stored_size != 0 && InflatesToExactly(*stored, entry->full_size);
}

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

 private:
  void Run(const std::string& path, int count) {
    int index = 1;
    try {
      TPak pak(path, false, false);
      for (; index < count && !stop_.load(); index += 2) {
        bool ok = PassesQuietly(pak, index);
        results_[static_cast<size_t>(index)].store(ok ? kPassed : kFailed,
                                                   std::memory_order_release);
      }
    } catch (const std::exception&) {
      // The window's thread verifies the rest itself and raises whatever they raise.
      for (; index < count; index += 2) {
        results_[static_cast<size_t>(index)].store(kRaised, std::memory_order_release);
      }
    }
  }

  std::vector<std::atomic<uint8_t>> results_;
  std::atomic<bool> stop_{false};
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
        // Anything the second thread did not vouch for is verified again here, so its message
        // or error comes from this thread and in order.
        if (second->Wait(i) != kPassed) ok = pak.VerifyEntry(i);
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
  } catch (const SetupError& error) {
    throw error.InStage(kErrorTypeVerification);
  } catch (const std::exception& error) {
    throw SetupError(error.what(), kErrorTypeVerification);
  }
  result.ok = true;
  return result;
}
