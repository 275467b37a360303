// The scope of a run (per-user or per-machine), chosen before anything of the run happens and
// handed to everything below, the programs the run starts included, through SETUP_SCOPE.
#pragma once

#include <string>

#include "setup/app/options.h"

namespace setup_app {

// Chooses the scope of a run of PACKAGE_PATH (an uninstaller's is its install's) and sets
// SETUP_SCOPE to it. Answers the one-line reason when a per-machine run lacks the rights to
// change the machine's state (nothing has been touched then); empty when the run may go on.
std::string EnterRunScope(const SetupOptions& options, const std::string& package_path);

}  // namespace setup_app
