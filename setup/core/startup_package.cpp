#include "setup/core/startup_package.h"

#include <atomic>
#include <exception>
#include <thread>

#include "platform/files.h"
#include "platform/message_box.h"
#include "platform/process.h"
#include "platform/system.h"
#include "setup/core/pak.h"
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
    for (int i = 0; i < count; ++i) {
      const TPakFile& entry = *pak.Entry(i);
      if (entry.full_size != 0 && !pak.VerifyEntry(i)) {
        platform::MessageBox("Error: Verification Failed. Setup is corrupt.\rID: " +
                                 std::to_string(i) + " Filename: " + entry.name,
                             "Verification Error", platform::kMbOk);
        return result;
      }
      if (entry.group != 0) result.grouped_bytes += entry.full_size;
      if (observer) observer->SetStatus(VerifyStatusText(i + 1, count), i + 1, count);
    }
    if (pause_ms > 0) platform::Sleep(pause_ms);
  } catch (const std::exception& error) {
    WriteErrorLog(error.what(), kErrorTypeVerification);
  }
  result.ok = true;
  return result;
}
