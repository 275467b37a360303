// First stage of the runtime's start-up: choose the package file, open it, verify every entry
// and add up the bytes of the install's package groups. No Qt: the verification window is
// reached through a small observer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "setup/runtime/integrity_check.h"

// Shown while verifying; the window implementation repaints on every call.
class VerifyObserver {
 public:
  virtual ~VerifyObserver() = default;
  virtual void SetStatus(const std::string& text, int position, int maximum) = 0;
};

struct PackageChoice {
  std::string path;                // host or Windows path of the file holding the package
  bool from_command_line = false;  // switches off the file-name check
};

// Parameter 1, when it names an existing file, is the package; otherwise the runtime's own file.
PackageChoice ChoosePackageFile(const std::vector<std::string>& params);

// "Status: I out of N files verifyed"
std::string VerifyStatusText(int done, int count);

struct FirstStageResult {
  bool ok = false;              // false: a message was shown, the program ends (exit code 2)
  uint64_t grouped_bytes = 0;   // full sizes of every entry outside group 0
  TIntegrityVerdict integrity;  // the whole-file check, once every entry has passed
};

// Opens the package into SetupState and verifies it. Shows "Invalid Setup Header" when the file
// carries no package and "Verification Failed" with the first failing entry's index and name.
// Then the whole file is checked against the package's digest (and signature): a mismatch is
// "Verification Failed" too, naming the integrity entry; an installer that POLICY refuses
// shows why. `pause_ms` is the pause after the last entry so a person sees the full bar (0 when
// unattended). An error raised while verifying leaves as a SetupError of the type
// "Verification Stage", for the program's top to hand to the error report.
FirstStageResult OpenAndVerifyPackage(const PackageChoice& choice, VerifyObserver* observer,
                                      uint32_t pause_ms, const SignaturePolicy& policy = {});
