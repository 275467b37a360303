#include "setup/app/run_scope.h"

#include <unistd.h>

#include <cstdlib>
#include <optional>

#include "platform/drives.h"
#include "platform/files.h"
#include "setup/core/pak.h"
#include "setup/core/setup_info.h"

namespace setup_app {
namespace {

// Nothing for an installer; for an uninstaller, whether it removes a per-machine install.
std::optional<bool> UninstallerForMachine(const std::string& package_path) {
  TPak pak(package_path, false, false);
  const std::optional<std::string> record = pak.FindEntry("SetupInfo", 0);
  if (!record) return std::nullopt;
  TSetupInfoFile info;
  info.ReadFromBuffer(record->data(), record->size());
  if (info.IsUninstaller == 0) return std::nullopt;
  return pak.FindEntryIndex(kAllUsersEntry, 0).has_value();
}

}  // namespace

std::string EnterRunScope(const SetupOptions& options, const std::string& package_path) {
  ScopeFacts facts;
  facts.all_users = options.all_users;
  const char* setting = std::getenv("SETUP_SCOPE");
  facts.scope_setting = setting != nullptr ? setting : "";
  facts.root = geteuid() == 0;
  const char* root = std::getenv("SETUP_ROOT");
  facts.setup_root_set = root != nullptr && *root != '\0';
  facts.uninstaller_for_machine = UninstallerForMachine(package_path);
  const bool machine = ChooseMachineScope(facts);
  setenv("SETUP_SCOPE", machine ? "machine" : "user", 1);
  if (!machine) return "";
  const std::string state = platform::MachineRoot();
  if (platform::FolderWriteProblem(state) != 0) {
    return std::string(facts.uninstaller_for_machine ? "removing this install" : "installing") +
           " for all users needs the rights of root (" + state + " cannot be written)";
  }
  return "";
}

}  // namespace setup_app
