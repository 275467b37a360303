// The command line of setup (installers and uninstallers alike), parsed without side effects so
// that a wrong option is refused before a window, a package or a file is touched.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace setup_app {

struct SetupOptions {
  bool unattended = false;
  bool accept_license = false;  // --accept-license: an unattended run accepts the licence page
  bool text = false;            // --text: the terminal wizard, even where a window could open
  bool help = false;
  bool version = false;
  std::string dir;                // --dir: the install folder, a Windows or a host path
  std::string screenshot_dir;     // --screenshot-dir: where page pictures go
  std::string log_file;           // --log: the run's UTF-8 text log
  bool list_installed = false;    // --list-installed: print the Uninstall key's products
  bool json = false;              // --json: ... as JSON
  bool verify = false;            // --verify: check the installer, install nothing
  bool list_contents = false;     // --list-contents: what the installer holds
  std::string require_signature;  // --require-signature: keys one of which must have signed
  int wait_seconds = -1;          // --wait: how long to wait for another run; -1 no limit
  std::string finalise;           // --finalise: the uninstaller to remove once it has ended
  bool allow_downgrade = false;   // --allow-downgrade: install over a newer installed version
  std::string show_log;           // --show-log: the install log (file or product) to print
  bool all_users = false;         // --all-users: install for the machine
  // Every word that is not an option, in order: the first names the package when that file
  // exists; the others are ignored and kept for the error report.
  std::vector<std::string> params;
  // The arguments as given, to start the same run again (in a terminal window).
  std::vector<std::string> args;
};

// Either the options or the reason they were refused (one line, without the program name).
struct ParsedOptions {
  SetupOptions options;
  std::string error;
  bool ok() const { return error.empty(); }
};

// ARGS are the arguments after the program name. Options start with "--" (and -h); an unknown
// one is refused. Any other word is a parameter and never refused.
ParsedOptions ParseSetupOptions(const std::vector<std::string>& args);

// The install folder --dir names, as a Windows path ending in a backslash: a Windows path as
// given (UTF-8 on the command line, Windows-1252 in the answer), a host path (absolute, or
// relative to the working folder) through the drive that holds it. Nothing when a name in it has
// no Windows-1252 spelling or no drive holds it: such a folder cannot be installed into.
std::optional<std::string> InstallFolderFromOption(const std::string& dir);

// What decides whether a run is per-machine.
struct ScopeFacts {
  bool all_users = false;                       // --all-users
  std::string scope_setting;                    // $SETUP_SCOPE
  bool root = false;                            // run by the superuser
  bool setup_root_set = false;                  // SETUP_ROOT names a private root
  std::optional<bool> uninstaller_for_machine;  // an uninstaller: whether its install was
};

// An uninstaller runs in the scope of its install. Otherwise --all-users or SETUP_SCOPE=machine
// make the run per-machine and SETUP_SCOPE=user per-user; without either, a run of root is
// per-machine unless SETUP_ROOT names a private root.
bool ChooseMachineScope(const ScopeFacts& facts);

// The usage line printed with a refusal, and the full text of --help.
std::string SetupUsageLine();
std::string SetupHelpText();

}  // namespace setup_app
