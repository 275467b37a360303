// The finaliser: what the uninstaller cannot do itself. Started from a copy in the user's
// temporary folder with the uninstaller's path, it waits until no process runs that file any
// more (a few seconds at most), deletes it, removes the install folder when nothing is left in
// it, and deletes its own temporary copy. It acts under the kit's run lock, and only while the
// product is not registered again: an installer that ran in between may have put a new
// uninstaller at the same place. The uninstaller's runtime serves as its own finaliser
// (setup --finalise); a package may still carry a finaliser program of its own (FINALISE.EXE).
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace setup_session {

// The start of the name of the private folder the uninstaller makes in the temporary folder
// for the finaliser (the rest is random).
inline constexpr char kFinaliserFolderPrefix[] = "setup-finalise-";

// The argument of --finalise: the uninstaller's path, then the folders an install made above the
// install folder (deepest first), each after a '|' (a character no Windows path holds).
std::string FinaliseArgument(const std::string& uninstaller,
                             const std::vector<std::string>& folders_above);

// Runs the finaliser for `uninstaller` (a Windows or host path; surrounding quotes are dropped;
// folders after '|' are removed too once the install folder is gone, when they are empty and lie
// above it).
// It acts only when the running program lies in the user's temporary folder and `uninstaller`
// names an uninstaller the kit wrote (a file whose package's setup record is marked for
// uninstalling); otherwise it deletes nothing and answers nothing. The answer is the exit code:
// 0 done, 1 when the uninstaller could not be deleted.
std::optional<int> RunFinaliser(std::string uninstaller);

}  // namespace setup_session
