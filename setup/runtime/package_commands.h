// The runtime's commands that look at an installer without running it (--verify,
// --list-contents) and the run lock every run that changes the machine takes first. No Qt.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/run_lock.h"
#include "setup/runtime/integrity_check.h"

// --verify: checks the package at PATH as the start-up does (messages go to the presenter) and
// prints one line with the result. Answers the exit code: 0 good, 2 refused.
int VerifyPackageCommand(const std::string& path, const SignaturePolicy& policy);

// --list-contents: prints what the package at PATH holds. 0, or 2 when it holds no package.
int ListContentsCommand(const std::string& path, bool json);

// Takes the run lock for the product of the package in SetupState. A run that has to wait says
// so on standard error and in the run log ("another setup is running: NAME (process PID);
// waiting"); WAIT_SECONDS < 0 waits until the lock is free, 0 not at all. Nothing (after a
// line that says why) when the lock was not taken: busy for too long, STOP answered true, or
// the lock file cannot be made.
std::optional<platform::RunLock> TakeRunLock(int wait_seconds, const std::function<bool()>& stop);
