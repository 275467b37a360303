#include "setup/session/finaliser.h"

#include <chrono>
#include <thread>

#include "platform/ascii_case.h"
#include "platform/drives.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/run_lock.h"
#include "platform/temporaries.h"
#include "setup/core/pak.h"
#include "setup/core/setup_info.h"

namespace setup_session {

namespace {

constexpr auto kWaitLimit = std::chrono::seconds(10);
constexpr auto kPollInterval = std::chrono::milliseconds(50);

std::string HostPath(const std::string& path) {
  if (!path.empty() && path[0] == '/') return path;
  return platform::ToHostPath(path).value_or(path);
}

// The setup record of an uninstaller written by the kit (its package's record says so).
std::optional<TSetupInfoFile> KitUninstallerRecord(const std::string& host_path) {
  if (!platform::IsHostFile(host_path)) return std::nullopt;
  TPak pak(host_path, false, false);
  if (!pak.Trailer().HasMagic()) return std::nullopt;
  std::optional<std::string> record = pak.FindEntry("SetupInfo", 0);
  if (!record) return std::nullopt;
  TSetupInfoFile info;
  info.ReadFromBuffer(record->data(), record->size());
  if (info.IsUninstaller != 1) return std::nullopt;
  return info;
}

// Whether the product has an entry in the list of installed programs.
bool IsRegistered(const TSetupInfoFile& info) {
  return !info.ShortName.empty() &&
         platform::RegKeyExists(
             platform::RootKey::kLocalMachine,
             "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + info.ShortName);
}

constexpr char kFolderSeparator = '|';

// Whether `folder` lies above `below` (a proper prefix ending at a separator, without case).
bool IsAbove(std::string folder, const std::string& below) {
  while (folder.size() > 3 && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
  return folder.size() >= 2 && folder.size() < below.size() &&
         platform::AsciiLower(below.substr(0, folder.size())) == platform::AsciiLower(folder) &&
         (below[folder.size()] == '\\' || below[folder.size()] == '/' || folder.back() == '\\');
}

// Whether this program runs from the user's temporary folder, where the uninstaller puts it.
bool RunsFromTempFolder() {
  std::string temp = platform::CanonicalHostPath(HostPath(platform::GetTempPath()));
  const std::string own = platform::CanonicalHostPath(platform::OwnExecutablePath());
  if (temp.empty() || own.empty()) return false;
  while (temp.size() > 1 && temp.back() == '/') temp.pop_back();
  const size_t cut = own.find_last_of('/');
  if (cut == std::string::npos) return false;
  const std::string folder = own.substr(0, cut == 0 ? 1 : cut);
  if (folder == temp) return true;
  // Or a private folder of its own there.
  const size_t up = folder.find_last_of('/');
  return up != std::string::npos && folder.substr(0, up) == temp &&
         folder.compare(up + 1, sizeof kFinaliserFolderPrefix - 1, kFinaliserFolderPrefix) == 0;
}

// Deletes this program's file, and the private folder the uninstaller made for it.
void DeleteOwnCopy() {
  const std::string own = platform::OwnExecutablePath();
  platform::DeleteFile(own);
  const size_t cut = own.find_last_of('/');
  const std::string folder = cut == std::string::npos ? std::string() : own.substr(0, cut);
  const size_t up = folder.find_last_of('/');
  if (up != std::string::npos &&
      folder.compare(up + 1, sizeof kFinaliserFolderPrefix - 1, kFinaliserFolderPrefix) == 0) {
    platform::RemoveDirectory(folder);
  }
}

}  // namespace

std::string FinaliseArgument(const std::string& uninstaller,
                             const std::vector<std::string>& folders_above) {
  std::string argument = uninstaller;
  for (const std::string& folder : folders_above) argument += kFolderSeparator + folder;
  return argument;
}

std::optional<int> RunFinaliser(std::string uninstaller) {
  // A quoted path may arrive with its quotes when the caller did not split it.
  if (uninstaller.size() >= 2 && uninstaller.front() == '"' && uninstaller.back() == '"') {
    uninstaller = uninstaller.substr(1, uninstaller.size() - 2);
  }
  std::vector<std::string> folders_above;
  for (size_t bar = uninstaller.rfind(kFolderSeparator); bar != std::string::npos;
       bar = uninstaller.rfind(kFolderSeparator)) {
    folders_above.insert(folders_above.begin(), uninstaller.substr(bar + 1));
    uninstaller.resize(bar);
  }
  if (uninstaller.empty()) return std::nullopt;
  const std::string host = HostPath(uninstaller);
  const std::optional<TSetupInfoFile> info = KitUninstallerRecord(host);
  if (!RunsFromTempFolder() || !info) return std::nullopt;
  const auto deadline = std::chrono::steady_clock::now() + kWaitLimit;
  while (platform::AnyProcessRuns(host) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(kPollInterval);
  }
  // Held until the finaliser is done. An installer of the same product that took the lock first
  // registers it again, and then its new uninstaller stays.
  std::optional<platform::RunLock> lock;
  platform::RunLock::Acquire(platform::RunLock::DefaultPath(), "setup-finalise", std::nullopt,
                             nullptr, nullptr, lock);
  if (IsRegistered(*info)) {
    DeleteOwnCopy();
    return 0;
  }
  int exit_code = 0;
  if (platform::FileExists(uninstaller) && !platform::DeleteFile(uninstaller)) exit_code = 1;
  // The install folder goes only when the uninstaller was the last thing in it.
  const size_t cut = uninstaller.find_last_of("\\/");
  if (cut != std::string::npos && cut > 0) {
    const std::string folder = uninstaller.substr(0, cut);
    // Temporaries a killed write left there are not the product's files.
    platform::RemoveAbandonedTemporaries(HostPath(folder));
    if (platform::DirectoryExists(folder)) platform::RemoveDirectory(folder);
    // Then the folders the install made above it, deepest first, while they are empty.
    if (!platform::DirectoryExists(folder)) {
      for (const std::string& above : folders_above) {
        if (!IsAbove(above, folder) || !platform::RemoveDirectory(above)) break;
      }
    }
  }
  DeleteOwnCopy();
  return exit_code;
}

}  // namespace setup_session
