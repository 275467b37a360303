// Temporary files of atomic writes: named after the file they replace, with a marker the next
// start looks for, and locked while the writing process lives, so one that a killed process
// left behind is found and removed without touching a write still in progress.
#pragma once

#include <string>

namespace platform {

// The mkstemp pattern of a temporary beside the host file `host`: ".NAME.setup-tmp-XXXXXX".
std::string TemporaryPattern(const std::string& host);

// Removes the temporaries in the host folder `folder` that no living process holds: those of
// the file named `name` only, or every one when `name` is empty. Answers how many it removed.
int RemoveAbandonedTemporaries(const std::string& folder, const std::string& name = {});

}  // namespace platform
