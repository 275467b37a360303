#include "setup/app/options.h"

#include "platform/ascii_case.h"

namespace setup_app {
namespace {

// "/S", "/silent", "/?": switches of other installers' command lines, which this one has not.
bool LooksLikeWindowsSwitch(const std::string& arg) {
  if (arg.size() < 2 || arg[0] != '/') return false;
  for (size_t i = 1; i < arg.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(arg[i]);
    if (!platform::IsAsciiLetter(static_cast<char>(c)) && c != '?' && c != '-') return false;
  }
  return true;
}

// Reads the value of an option that takes one, given as `--name=VALUE` or `--name VALUE`.
// Answers false when ARG is not this option; sets ERROR when the value is missing.
bool TakeValue(const std::string& name, const std::vector<std::string>& args, size_t& i,
               std::string& value, std::string& error) {
  const std::string& arg = args[i];
  if (arg == name) {
    if (i + 1 >= args.size() || args[i + 1].empty()) {
      error = name + " needs a value";
      return true;
    }
    value = args[++i];
    return true;
  }
  if (arg.size() > name.size() && arg.compare(0, name.size(), name) == 0 &&
      arg[name.size()] == '=') {
    value = arg.substr(name.size() + 1);
    if (value.empty()) error = name + " needs a value";
    return true;
  }
  return false;
}

}  // namespace

ParsedOptions ParseSetupOptions(const std::vector<std::string>& args,
                                const std::function<bool(const std::string&)>& file_exists) {
  ParsedOptions parsed;
  SetupOptions& options = parsed.options;
  bool options_ended = false;
  for (size_t i = 0; i < args.size() && parsed.ok(); ++i) {
    const std::string& arg = args[i];
    const bool is_option = !options_ended && arg.size() > 1 && arg[0] == '-';
    if (!is_option) {
      if (!options_ended && LooksLikeWindowsSwitch(arg) && !(file_exists && file_exists(arg))) {
        parsed.error = "unknown option " + arg;
      } else if (!options.params.empty()) {
        parsed.error = "more than one package named (" + options.params[0] + ", " + arg + ")";
      } else {
        options.params.push_back(arg);
      }
      continue;
    }
    if (arg == "--") {
      options_ended = true;
    } else if (arg == "--unattended") {
      options.unattended = true;
    } else if (arg == "--help" || arg == "-h") {
      options.help = true;
    } else if (arg == "--version") {
      options.version = true;
    } else if (arg == "--list-installed") {
      options.list_installed = true;
    } else if (arg == "--json") {
      options.json = true;
    } else if (TakeValue("--dir", args, i, options.dir, parsed.error) ||
               TakeValue("--screenshot-dir", args, i, options.screenshot_dir, parsed.error) ||
               TakeValue("--log", args, i, options.log_file, parsed.error)) {
      // taken
    } else {
      parsed.error = "unknown option " + arg;
    }
  }
  if (parsed.ok() && options.json && !options.list_installed) {
    parsed.error = "--json goes with --list-installed";
  }
  return parsed;
}

std::string SetupUsageLine() {
  return "usage: setup [PACKAGE] [--unattended] [--dir=PATH] [--screenshot-dir=DIR] "
         "[--log=FILE] [--help] [--version]\n"
         "       setup --list-installed [--json]";
}

std::string SetupHelpText() {
  return SetupUsageLine() +
         "\n"
         "\n"
         "Runs the installer (or uninstaller) this program carries.\n"
         "\n"
         "  PACKAGE               read the package from this file instead of the program's own\n"
         "  --unattended          install without a window: Next is pressed until Finish,\n"
         "                        messages go to standard error, status lines to standard output\n"
         "  --dir=PATH            the install folder (--dir PATH as well); a Windows path such as\n"
         "                        C:\\Games\\Demo or a host path such as /opt/demo\n"
         "  --screenshot-dir=DIR  save a picture of each page shown into DIR\n"
         "  --log=FILE            write a UTF-8 text log of the run to FILE (--log FILE as well)\n"
         "  --list-installed      print the installed products: name, version, install folder\n"
         "                        and quiet uninstall command, tab-separated, one per line\n"
         "  --json                with --list-installed: the same as a JSON array\n"
         "  --help                show this text\n"
         "  --version             show the version of the runtime\n"
         "\n"
         "Exit codes: 0 finished, 1 cancelled, 2 failed or refused.\n";
}

}  // namespace setup_app
