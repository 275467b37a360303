#include "setup/app/front_end_choice.h"

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <vector>

#include "platform/process.h"
#include "setup/app/terminal_launch.h"
#include "setup/core/pak.h"
#include "setup/core/run_log.h"
#include "setup/core/setup_info.h"
#include "setup/views/remote/remote_front_end.h"
#include "setup/views/remote/window_program.h"
#include "setup/views/terminal/terminal_device.h"
#include "setup/views/terminal/terminal_front_end.h"
#include "setup/views/unattended/unattended_view.h"

namespace setup_app {

namespace {

// How long the window program may take to load Qt and read the package.
constexpr int kWindowStartMs = 30000;

// A word of a shell command as typed: quoted when it holds anything but plain path characters.
std::string ShellWord(const std::string& word) {
  if (!word.empty() && word.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                              "0123456789_./+-=:,@%") == std::string::npos) {
    return word;
  }
  std::string quoted = "'";
  for (const char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Whether the package in the file is an uninstaller's (its setup record says so).
bool IsUninstallerPackage(const std::string& package_path) {
  TPak pak(package_path, false, false);
  const std::optional<std::string> record = pak.FindEntry("SetupInfo", 0);
  if (!record) return false;
  TSetupInfoFile info;
  info.ReadFromBuffer(record->data(), record->size());
  return info.IsUninstaller != 0;
}

}  // namespace

std::string UnattendedHint(const std::string& package_path) {
  const std::string own = platform::OwnExecutablePath();
  std::string command = ShellWord(own);
  if (!package_path.empty() && package_path != own) command += " " + ShellWord(package_path);
  if (IsUninstallerPackage(package_path)) {
    return "run \"" + command + " --unattended [--log=FILE]\" to uninstall without a window";
  }
  return "run \"" + command +
         " --unattended [--dir=PATH] [--log=FILE]\" to install without a "
         "window";
}

namespace {

void PrintNoDisplay(const std::string& package_path) {
  std::fprintf(stderr, "setup: no display found (DISPLAY and WAYLAND_DISPLAY are not set); %s\n",
               UnattendedHint(package_path).c_str());
}

// Says why the window cannot be shown, the program's own lines (the loader's) indented below.
void PrintWindowFailure(const std::string& failure) {
  std::string text = "setup: the window cannot be shown:";
  size_t start = 0;
  while (start <= failure.size()) {
    size_t end = failure.find('\n', start);
    if (end == std::string::npos) end = failure.size();
    text += (start == 0 ? " " : "\n  ") + failure.substr(start, end - start);
    start = end + 1;
  }
  std::fprintf(stderr, "%s\n", text.c_str());
  RunLog(text);
}

std::unique_ptr<setup_session::WizardFrontEnd> StartWindow(const SetupOptions& options,
                                                           const std::string& package_path,
                                                           std::string& failure) {
  std::vector<std::string> args;
  if (options.unattended) args.push_back("--offscreen");
  if (!options.screenshot_dir.empty()) args.push_back("--screenshot-dir=" + options.screenshot_dir);
  setup_remote::WindowStart start =
      setup_remote::StartWindowProgram(package_path, args, kWindowStartMs);
  if (!start.program) {
    failure = start.failure;
    return nullptr;
  }
  std::shared_ptr<setup_remote::WindowLink> link = start.program->Link();
  return setup_remote::CreateRemoteFrontEnd(
      std::move(link), std::move(start.program),
      setup_remote::RemoteOptions{options.unattended, !options.screenshot_dir.empty(),
                                  options.accept_license});
}

}  // namespace

bool HasDisplay() {
  auto set = [](const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
  };
  return set("QT_QPA_PLATFORM") || set("DISPLAY") || set("WAYLAND_DISPLAY");
}

FrontEndChoice ChooseFrontEnd(const SetupOptions& options, const std::string& package_path) {
  FrontEndChoice choice;
  std::string failure;
  if (options.unattended) {
    choice.kind = ViewKind::kUnattended;
    if (options.screenshot_dir.empty()) {
      choice.front_end = setup_unattended::CreateUnattendedFrontEnd(options.accept_license);
      return choice;
    }
    // The pictures are what was asked for: without the window there are none, and the run
    // says so instead of finishing without them.
    choice.front_end = StartWindow(options, package_path, failure);
    if (!choice.front_end) PrintWindowFailure(failure);
    return choice;
  }
  const bool terminal = setup_terminal::StdinIsTerminal();
  auto terminal_wizard = [&choice] {
    choice.kind = ViewKind::kTerminal;
    choice.front_end = setup_terminal::CreateTerminalFrontEnd();
    return std::move(choice);
  };
  if (options.text) {
    if (terminal) return terminal_wizard();
    std::fprintf(stderr, "setup: --text needs a terminal on standard input\n");
    return choice;
  }
  if (!HasDisplay()) {
    if (terminal) return terminal_wizard();
    PrintNoDisplay(package_path);
    return choice;
  }
  choice.kind = ViewKind::kWindow;
  choice.front_end = StartWindow(options, package_path, failure);
  if (choice.front_end) return choice;
  PrintWindowFailure(failure);
  if (terminal) {
    std::fprintf(stderr, "setup: the wizard continues in this terminal\n");
    return terminal_wizard();
  }
  // Started from a file manager: the terminal wizard in a terminal window of its own.
  std::fprintf(stderr, "setup: the wizard continues in a terminal window\n");
  ExecTerminalWizard(options.args);
  std::fprintf(stderr,
               "setup: no terminal window can be opened either (none of $TERMINAL, "
               "x-terminal-emulator, gnome-terminal, konsole, xfce4-terminal, mate-terminal, "
               "lxterminal, xterm is on PATH)\nsetup: %s\n",
               UnattendedHint(package_path).c_str());
  return choice;
}

}  // namespace setup_app
