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

namespace setup_session {

// Runs the finaliser for `uninstaller` (a Windows or host path; surrounding quotes are dropped).
// It acts only when the running program lies in the user's temporary folder and `uninstaller`
// names an uninstaller the kit wrote (a file whose package's setup record is marked for
// uninstalling); otherwise it deletes nothing and answers nothing. The answer is the exit code:
// 0 done, 1 when the uninstaller could not be deleted.
std::optional<int> RunFinaliser(std::string uninstaller);

}  // namespace setup_session
