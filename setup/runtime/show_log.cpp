#include "setup/runtime/show_log.h"

#include <cstdio>
#include <optional>

#include "platform/ascii_case.h"
#include "platform/drives.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/text_encoding.h"
#include "setup/commands/uninstall_entry.h"
#include "setup/commands/uninstall_list.h"
#include "setup/core/setup_state.h"
#include "setup/core/text_services.h"

namespace {

constexpr char kLogName[] = "install.log";
constexpr size_t kLogNameLength = sizeof kLogName - 1;

// An installed product's install folder (from its Uninstall entry) and the log's prefix (from
// the setup record its uninstaller carries). Answers the reason when there is none.
std::string FindProduct(const std::string& what, std::string& folder, std::string& prefix) {
  const std::string wanted = AsciiLower(what);
  for (const TInstalledProduct& product : ListInstalledProducts()) {
    if (AsciiLower(product.key) != wanted && AsciiLower(product.name) != wanted) continue;
    const std::string key = UninstallKeyPath(platform::Utf8ToCp1252Exact(product.key).value_or(""));
    const std::optional<TSetupInfoFile> record = UninstallerSetupRecord(
        platform::RegGetString(platform::RootKey::kLocalMachine, key, "UninstallString")
            .value_or(""));
    folder = platform::RegGetString(platform::RootKey::kLocalMachine, key, "InstallLocation")
                 .value_or("");
    if (!record || folder.empty()) return "cannot read the uninstaller of " + product.name;
    if (folder.back() != '\\') folder += '\\';
    prefix = record->UninstallPrefix;
    return "";
  }
  return "no installed product is named " + what + " (setup --list-installed shows them)";
}

void PrintLine(const std::string& text) {
  std::printf("  %s\n", platform::Cp1252ToUtf8(text).c_str());
}

}  // namespace

int ShowLogCommand(const std::string& what) {
  SetupState& state = SetupState::Instance();
  std::string& folder = state.SetupInfo().InstallDir;
  std::string prefix;
  std::string problem;
  const std::string host = platform::AbsoluteHostPath(what);
  if (!host.empty() && platform::IsHostFile(host)) {
    // A log file: its folder is the install folder, its name the prefix and "install.log".
    const std::string path = platform::ToWindowsPath(host).value_or("");
    const size_t name = path.rfind('\\') + 1;
    if (name == 0 || path.size() - name < kLogNameLength ||
        AsciiLower(path.substr(path.size() - kLogNameLength)) != kLogName) {
      problem = "not an install log (NAMEinstall.log): " + what;
    } else {
      folder = path.substr(0, name);
      prefix = path.substr(name, path.size() - name - kLogNameLength);
    }
  } else {
    problem = FindProduct(what, folder, prefix);
  }
  // The paths are expanded as the uninstaller expands them: its install folder, this user's
  // shell folders and environment.
  state.ResolveSystemFolders();
  state.TakeEnvironmentSnapshot();
  const std::string log_path = TUninstallList::LogPath(folder, prefix);
  const std::string shown = platform::Cp1252ToUtf8(PlaceName(log_path));
  TUninstallList list;
  const char* damage = nullptr;
  if (problem.empty() && !list.LoadLog(folder, prefix)) {
    if (!platform::FileExists(log_path)) problem = "no install log at " + shown;
    damage = list.ChecksumMismatch() ? "its checksum does not match" : "it is cut short";
  } else if (problem.empty() && !list.LooksValid()) {
    damage = "it is not an install log";
  }
  if (!problem.empty() || damage) {
    if (problem.empty()) {
      std::fprintf(stderr, "setup: the install log %s is damaged (%s)\n", shown.c_str(), damage);
    } else {
      std::fprintf(stderr, "setup: %s\n", problem.c_str());
    }
    return 2;
  }
  std::printf("Install log: %s\nFiles (%zu):\n", shown.c_str(), list.Files().size());
  for (const std::string& file : list.Files()) PrintLine(PlaceName(ExpandFilePath(file)));
  std::printf("Folders, removed when empty (%zu):\n", list.Folders().size());
  for (auto it = list.Folders().rbegin(); it != list.Folders().rend(); ++it) {
    PrintLine(PlaceName(*it));
  }
  std::printf("Registry values (%zu):\n", list.RegistryEntries().size());
  for (const std::string& record : list.RegistryEntries()) {
    PrintLine(TUninstallList::RegistryEntryName(record));
  }
  return 0;
}
