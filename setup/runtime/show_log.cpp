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

struct LogPlace {
  std::string folder;  // the install folder, a Windows path ending in a backslash
  std::string prefix;  // the log's name before "install.log"
  std::string product;
};

int Refuse(const std::string& reason) {
  std::fprintf(stderr, "setup: %s\n", reason.c_str());
  return 2;
}

// A log file: the install folder is the folder it lies in.
std::optional<LogPlace> PlaceOfFile(const std::string& host_path) {
  const std::optional<std::string> windows = platform::ToWindowsPath(host_path);
  const std::string suffix = "install.log";
  if (!windows) return std::nullopt;
  const size_t slash = windows->find_last_of('\\');
  const std::string name = windows->substr(slash + 1);
  if (slash == std::string::npos || name.size() < suffix.size() ||
      AsciiLower(name.substr(name.size() - suffix.size())) != suffix) {
    return std::nullopt;
  }
  return LogPlace{windows->substr(0, slash + 1), name.substr(0, name.size() - suffix.size()),
                  platform::Cp1252ToUtf8(name)};
}

// An installed product: its folder from the Uninstall entry, the log's prefix from the setup
// record its uninstaller carries.
std::optional<LogPlace> PlaceOfProduct(const std::string& what, std::string& problem) {
  const std::string wanted = AsciiLower(what);
  for (const TInstalledProduct& product : ListInstalledProducts()) {
    if (AsciiLower(product.key) != wanted && AsciiLower(product.name) != wanted) continue;
    const std::string key = UninstallKeyPath(platform::Utf8ToCp1252Exact(product.key).value_or(""));
    const auto read = [&key](const char* name) {
      return platform::RegGetString(platform::RootKey::kLocalMachine, key, name).value_or("");
    };
    const std::optional<TSetupInfoFile> record = UninstallerSetupRecord(read("UninstallString"));
    std::string folder = read("InstallLocation");
    if (!record || folder.empty()) {
      problem = "cannot read the uninstaller of " + product.name;
      return std::nullopt;
    }
    if (folder.back() != '\\') folder += '\\';
    return LogPlace{folder, record->UninstallPrefix, product.name};
  }
  problem = "no installed product is named " + what + " (setup --list-installed shows them)";
  return std::nullopt;
}

std::string Line(const std::string& windows_path) {
  return "  " + platform::Cp1252ToUtf8(PlaceName(windows_path)) + "\n";
}

}  // namespace

int ShowLogCommand(const std::string& what) {
  const std::string host = platform::AbsoluteHostPath(what);
  std::optional<LogPlace> place;
  std::string problem = "not an install log (NAMEinstall.log): " + what;
  if (!host.empty() && platform::IsHostFile(host)) {
    place = PlaceOfFile(host);
  } else {
    place = PlaceOfProduct(what, problem);
  }
  if (!place) return Refuse(problem);

  // The paths are expanded as the uninstaller expands them: its install folder, this user's
  // shell folders and environment.
  SetupState& state = SetupState::Instance();
  state.SetupInfo().InstallDir = place->folder;
  state.ResolveSystemFolders();
  state.TakeEnvironmentSnapshot();
  const std::string log_path = TUninstallList::LogPath(place->folder, place->prefix);
  const std::string shown = platform::Cp1252ToUtf8(PlaceName(log_path));
  TUninstallList list;
  if (!platform::FileExists(log_path)) return Refuse("no install log at " + shown);
  if (!list.LoadLog(place->folder, place->prefix) || !list.LooksValid()) {
    return Refuse("the install log " + shown + " is damaged" +
                  (list.ChecksumMismatch() ? " (its checksum does not match)"
                                           : " (it is cut short or not an install log)"));
  }
  std::string out = "Install log of " + place->product + ": " + shown + "\n";
  out += "Files (" + std::to_string(list.Files().size()) + "):\n";
  for (const std::string& file : list.Files()) out += Line(ExpandFilePath(file));
  out += "Folders, removed when empty (" + std::to_string(list.Folders().size()) + "):\n";
  for (auto it = list.Folders().rbegin(); it != list.Folders().rend(); ++it) out += Line(*it);
  out += "Registry values (" + std::to_string(list.RegistryEntries().size()) + "):\n";
  for (const std::string& record : list.RegistryEntries()) {
    out += "  " + platform::Cp1252ToUtf8(TUninstallList::RegistryEntryName(record)) + "\n";
  }
  std::fputs(out.c_str(), stdout);
  return 0;
}
