// The command line of setup (installers and uninstallers alike), parsed without side effects so
// that a wrong option is refused before a window, a package or a file is touched.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace setup_app {

struct SetupOptions {
  bool unattended = false;
  bool help = false;
  bool version = false;
  std::string dir;                  // --dir: the install folder, a Windows or a host path
  std::string screenshot_dir;       // --screenshot-dir: where page pictures go
  std::string log_file;             // --log: the run's UTF-8 text log
  bool list_installed = false;      // --list-installed: print the Uninstall key's products
  bool json = false;                // --json: ... as a JSON array
  std::vector<std::string> params;  // the package path, when given, as parameter 1
};

// Either the options or the reason they were refused (one line, without the program name).
struct ParsedOptions {
  SetupOptions options;
  std::string error;
  bool ok() const { return error.empty(); }
};

// ARGS are the arguments after the program name. FILE_EXISTS tells a Windows-style switch
// ("/S") from a package file of that name at the root of the host's file system.
ParsedOptions ParseSetupOptions(const std::vector<std::string>& args,
                                const std::function<bool(const std::string&)>& file_exists);

// The usage line printed with a refusal, and the full text of --help.
std::string SetupUsageLine();
std::string SetupHelpText();

}  // namespace setup_app
