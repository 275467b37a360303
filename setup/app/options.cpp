#include "setup/app/options.h"

#include "platform/drives.h"
#include "platform/files.h"
#include "platform/text_encoding.h"

namespace setup_app {
namespace {

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

// Whole seconds from 0 to a day; -1 with ERROR set for anything else.
int ParseSeconds(const std::string& text, std::string& error) {
  constexpr int kMaxSeconds = 86400;
  int seconds = 0;
  for (char c : text) {
    if (c < '0' || c > '9' || seconds > kMaxSeconds) {
      seconds = kMaxSeconds + 1;
      break;
    }
    seconds = seconds * 10 + (c - '0');
  }
  if (text.empty() || seconds > kMaxSeconds) {
    error = "--wait takes whole seconds from 0 to " + std::to_string(kMaxSeconds) + ": " + text;
    return -1;
  }
  return seconds;
}

}  // namespace

ParsedOptions ParseSetupOptions(const std::vector<std::string>& args) {
  ParsedOptions parsed;
  SetupOptions& options = parsed.options;
  options.args = args;
  bool options_ended = false;
  for (size_t i = 0; i < args.size() && parsed.ok(); ++i) {
    const std::string& arg = args[i];
    // Only "--" words (and -h) are options; every other word is a parameter: the first may name
    // the package, the others ("/S", "/J host 1.2.3.4") are kept for the error report only.
    const bool is_option = !options_ended && (arg.rfind("--", 0) == 0 || arg == "-h");
    if (!is_option) {
      options.params.push_back(arg);
      continue;
    }
    if (arg == "--") {
      options_ended = true;
    } else if (arg == "--unattended") {
      options.unattended = true;
    } else if (arg == "--accept-license") {
      options.accept_license = true;
    } else if (arg == "--text") {
      options.text = true;
    } else if (arg == "--help" || arg == "-h") {
      options.help = true;
    } else if (arg == "--version") {
      options.version = true;
    } else if (arg == "--list-installed") {
      options.list_installed = true;
    } else if (arg == "--json") {
      options.json = true;
    } else if (arg == "--all-users") {
      options.all_users = true;
    } else if (arg == "--verify") {
      options.verify = true;
    } else if (arg == "--list-contents") {
      options.list_contents = true;
    } else if (arg == "--allow-downgrade") {
      options.allow_downgrade = true;
    } else if (std::string wait; TakeValue("--wait", args, i, wait, parsed.error)) {
      if (parsed.ok()) options.wait_seconds = ParseSeconds(wait, parsed.error);
    } else if (TakeValue("--dir", args, i, options.dir, parsed.error) ||
               TakeValue("--screenshot-dir", args, i, options.screenshot_dir, parsed.error) ||
               TakeValue("--log", args, i, options.log_file, parsed.error) ||
               TakeValue("--require-signature", args, i, options.require_signature, parsed.error) ||
               TakeValue("--finalise", args, i, options.finalise, parsed.error) ||
               TakeValue("--show-log", args, i, options.show_log, parsed.error)) {
      // taken
    } else {
      parsed.error = "unknown option " + arg;
    }
  }
  if (parsed.ok() && options.json && !options.list_installed && !options.list_contents) {
    parsed.error = "--json goes with --list-installed or --list-contents";
  }
  if (parsed.ok() && options.text && options.unattended) {
    parsed.error = "--text and --unattended exclude each other";
  }
  if (parsed.ok() && options.text && !options.screenshot_dir.empty()) {
    parsed.error = "--screenshot-dir goes with the window, not with --text";
  }
  if (parsed.ok() && !options.finalise.empty() && args.size() != 2 &&
      !(args.size() == 1 && args[0].rfind("--finalise=", 0) == 0)) {
    parsed.error = "--finalise goes alone";
  }
  return parsed;
}

bool ChooseMachineScope(const ScopeFacts& facts) {
  if (facts.uninstaller_for_machine) return *facts.uninstaller_for_machine;
  if (facts.all_users || facts.scope_setting == "machine") return true;
  if (facts.scope_setting == "user") return false;
  return facts.root && !facts.setup_root_set;
}

std::optional<std::string> InstallFolderFromOption(const std::string& dir) {
  std::optional<std::string> folder;
  if (dir.size() >= 2 && dir[1] == ':') {
    folder = platform::Utf8ToCp1252Exact(dir);
  } else {
    // A host path, absolute or relative to the working folder; reached through its drive.
    const std::string host = platform::AbsoluteHostPath(dir);
    if (host.empty()) return std::nullopt;
    folder = platform::ToWindowsPath(host);
  }
  if (!folder) return std::nullopt;
  for (char& c : *folder) {
    if (c == '/') c = '\\';
  }
  if (folder->empty() || folder->back() != '\\') folder->push_back('\\');
  return folder;
}

std::string SetupUsageLine() {
  return "usage: setup [PACKAGE] [--unattended [--accept-license] | --text] [--dir=PATH]\n"
         "             [--screenshot-dir=DIR] [--log=FILE] [--wait=SECONDS] [--all-users]\n"
         "             [--require-signature=KEY] [--allow-downgrade] [--help] [--version]\n"
         "       setup [PACKAGE] --verify [--require-signature=KEY]\n"
         "       setup [PACKAGE] --list-contents [--json]\n"
         "       setup --list-installed [--json]\n"
         "       setup --show-log PRODUCT|LOGFILE";
}

std::string SetupHelpText() {
  return SetupUsageLine() +
         "\n"
         "\n"
         "Runs the installer (or uninstaller) this program carries.\n"
         "\n"
         "  PACKAGE               read the package from this file instead of the program's own\n"
         "                        (when no such file exists, and for any further words such as\n"
         "                        /S, the program's own package is read; they are ignored)\n"
         "  --unattended          install without a window: Next is pressed until Finish,\n"
         "                        messages go to standard error, status lines to standard output\n"
         "  --accept-license      with --unattended: accept the installer's license agreement\n"
         "                        (an installer that shows one fails without it)\n"
         "  --text                the wizard in this terminal; also chosen when neither DISPLAY\n"
         "                        nor WAYLAND_DISPLAY is set and standard input is a terminal.\n"
         "                        Enter goes on, Esc asks to quit; numbered prompts on a dumb\n"
         "                        terminal (TERM=dumb)\n"
         "  --dir=PATH            the install folder (--dir PATH as well); a Windows path such as\n"
         "                        C:\\Games\\Demo or a host path such as /opt/demo\n"
         "  --screenshot-dir=DIR  save a picture of each page shown into DIR\n"
         "  --log=FILE            write a UTF-8 text log of the run to FILE (--log FILE as well)\n"
         "  --list-installed      print the installed products: name, version, install folder\n"
         "                        and quiet uninstall command, tab-separated, one per line\n"
         "  --json                with --list-installed or --list-contents: the same as JSON\n"
         "  --show-log=PRODUCT    print what the uninstaller of an installed product (its key\n"
         "                        or name as --list-installed shows it) or an install log file\n"
         "                        will remove\n"
         "  --allow-downgrade     install over a newer installed version of the product without\n"
         "                        asking (unattended runs refuse that otherwise)\n"
         "  --wait=SECONDS        when another setup runs, wait at most this long for it, then\n"
         "                        fail (0: fail at once; default: wait until it ends)\n"
         "  --verify              check the installer (every entry, the digest of the whole\n"
         "                        file, the signature) and print the result; installs nothing\n"
         "  --list-contents       print what the installer holds (product, version, signer,\n"
         "                        entries and sizes) without running its script\n"
         "  --require-signature=KEY  refuse an installer not signed by KEY: a public key in\n"
         "                        base64 or a .pub file made by setupc --keygen (several\n"
         "                        separated by commas); SETUP_REQUIRE_SIGNATURE sets the same\n"
         "                        for every installer started with it\n"
         "  --all-users           install for every user of the machine (root's default unless\n"
         "                        SETUP_ROOT is set): programs in /opt, state in\n"
         "                        /var/lib/setupkit, menu entries in /usr/local/share/applications\n"
         "  --help                show this text\n"
         "  --version             show the version of the runtime\n"
         "  --finalise=PATH       (the uninstaller starts its own copy so, from the temporary\n"
         "                        folder) remove the uninstaller PATH once it has ended\n"
         "\n"
         "Exit codes: 0 finished, 1 cancelled, 2 failed or refused.\n"
         "\n"
         "Environment:\n"
         "  SETUP_ROOT            the per-user state (hive, drive table, C: drive); default\n"
         "                        $XDG_DATA_HOME/setupkit. When set, the per-machine state and\n"
         "                        folders go below it, to $SETUP_ROOT/machine\n"
         "  SETUP_SCOPE           machine: as --all-users; user: per-user, also for root\n"
         "  SETUP_LANGID          the language as a hexadecimal language id (0405 Czech)\n"
         "  SETUP_NO_DESKTOP_ENTRIES  1: make no menu or desktop entries\n"
         "  SETUP_REQUIRE_SIGNATURE   as --require-signature\n"
         "\n"
         "Documentation: man setup, and setup-command-line.md and script-reference.md in\n"
         "share/doc/setupkit of the kit's prefix (/usr/share/doc/setupkit) or in docs/.\n";
}

}  // namespace setup_app
