// The uninstaller's side of the runtime: registering and writing the uninstaller at the end of
// an install, the progress texts of the removal run, and starting the finaliser.
#pragma once

#include <string>
#include <vector>

#include "setup/commands/uninstall_entry.h"

namespace setup_session {

// Writes the uninstaller beside the product (the runtime image with a package of the
// installer's UNINSTALL_ entries and a setup record marked for uninstalling), installs the
// product's icon beside it, and once that file is complete registers it under the system's
// Uninstall key and gives it a desktop entry. Runs on the runner thread.
void RegisterUninstaller();

// GetText(19) with <%QXPNAME%>, <%FNUM%> and <%FTOTAL%> filled in.
std::u16string FormatProgressText(const std::u16string& name, int number, int total);
// Whether a step of a count shows progress: Trunc(done / total * 100) > last.
bool ProgressStep(int done, int total, int last);

// Writes the finaliser into the temporary folder and starts it with the running program's
// quoted path: the package's FINALISE.EXE when it carries one, else the runtime image itself
// (started with --finalise). A finaliser that could not be written is not started.
// `folders_above`: the folders the install made above the install folder, deepest first, which
// the runtime's finaliser removes too when they are left empty.
void StartFinaliser(const std::vector<std::string>& folders_above = {});

using ::UninstallKeyPath;

}  // namespace setup_session
