// setup-finalise: left behind by the uninstaller to finish what it cannot do itself. Started
// from a copy in the temporary folder with the uninstaller's full path, it waits until no
// process runs that file any more (a few seconds at most), deletes it, removes the install
// folder when nothing is left in it, and deletes its own temporary copy.
//
// It acts under the kit's run lock, and only while the product is not registered again: an
// installer that ran in between may have put a new uninstaller at the same place.
//
// Started any other way it does nothing: it acts only when it runs from the user's temporary
// folder and its one argument names an uninstaller the kit wrote (a file carrying a package
// whose setup record is marked for uninstalling). Anything else (--help, no argument, another
// file) prints a usage line and ends with exit code 2, deleting nothing.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <thread>

#include "platform/drives.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/run_lock.h"
#include "setup/core/pak.h"
#include "setup/core/setup_info.h"
#include "setupkit_version.h"

namespace {

constexpr auto kWaitLimit = std::chrono::seconds(10);
constexpr auto kPollInterval = std::chrono::milliseconds(50);

// Whether any process runs the program file `host_path` (its /proc/PID/exe points there).
bool AnyProcessRuns(const std::filesystem::path& host_path) {
  std::error_code error;
  std::filesystem::path wanted = std::filesystem::weakly_canonical(host_path, error);
  if (error) wanted = host_path;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
    const std::string name = entry.path().filename().string();
    if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::error_code link_error;
    std::filesystem::path exe = std::filesystem::read_symlink(entry.path() / "exe", link_error);
    if (link_error) continue;
    if (exe == wanted) return true;
  }
  return false;
}

std::string HostPath(const std::string& path) {
  if (!path.empty() && path[0] == '/') return path;
  return platform::ToHostPath(path).value_or(path);
}

// The setup record of an uninstaller written by the kit (its package's record says so).
std::optional<TSetupInfoFile> KitUninstallerRecord(const std::string& host_path) {
  if (!platform::FileExists(host_path)) return std::nullopt;
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

// Whether this program runs from the user's temporary folder, where the uninstaller puts it.
bool RunsFromTempFolder() {
  std::error_code error;
  std::filesystem::path temp =
      std::filesystem::weakly_canonical(HostPath(platform::GetTempPath()), error);
  if (error) return false;
  const std::filesystem::path own =
      std::filesystem::weakly_canonical(platform::OwnExecutablePath(), error);
  if (error) return false;
  if (temp.filename().empty()) temp = temp.parent_path();  // the folder's trailing separator
  return own.parent_path() == temp;
}

int Usage() {
  std::fprintf(stderr,
               "usage: setup-finalise \"UNINSTALLER PATH\" (started by the uninstaller; by "
               "hand it does nothing)\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::string(argv[1]) == "--version") {
    std::printf("setup-finalise %s\n", SETUPKIT_VERSION);
    return 0;
  }
  if (argc != 2 || !argv[1][0]) return Usage();
  std::string uninstaller = argv[1];
  // A quoted path may arrive with its quotes when the caller did not split it.
  if (uninstaller.size() >= 2 && uninstaller.front() == '"' && uninstaller.back() == '"') {
    uninstaller = uninstaller.substr(1, uninstaller.size() - 2);
  }
  const std::string host = HostPath(uninstaller);
  const std::optional<TSetupInfoFile> info = KitUninstallerRecord(host);
  if (!RunsFromTempFolder() || !info) return Usage();
  const auto deadline = std::chrono::steady_clock::now() + kWaitLimit;
  while (AnyProcessRuns(host) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(kPollInterval);
  }
  // Held until this program ends. An installer of the same product that took the lock first
  // registers it again, and then its new uninstaller stays.
  std::optional<platform::RunLock> lock;
  platform::RunLock::Acquire(platform::RunLock::DefaultPath(), "setup-finalise", std::nullopt,
                             nullptr, nullptr, lock);
  if (IsRegistered(*info)) {
    platform::DeleteFile(platform::OwnExecutablePath());
    return 0;
  }
  int exit_code = 0;
  if (platform::FileExists(uninstaller) && !platform::DeleteFile(uninstaller)) exit_code = 1;
  // The install folder goes only when the uninstaller was the last thing in it.
  size_t cut = uninstaller.find_last_of("\\/");
  if (cut != std::string::npos && cut > 0) {
    std::string folder = uninstaller.substr(0, cut);
    if (platform::DirectoryExists(folder)) platform::RemoveDirectory(folder);
  }
  platform::DeleteFile(platform::OwnExecutablePath());
  return exit_code;
}
