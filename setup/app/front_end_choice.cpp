#include "setup/app/front_end_choice.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "setup/app/terminal_launch.h"
#include "setup/core/run_log.h"
#include "setup/views/remote/remote_front_end.h"
#include "setup/views/remote/window_program.h"
#include "setup/views/terminal/terminal_device.h"
#include "setup/views/terminal/terminal_front_end.h"
#include "setup/views/unattended/unattended_view.h"

namespace setup_app {

namespace {

// How long the window program may take to load Qt and read the package.
constexpr int kWindowStartMs = 30000;

constexpr const char* kUnattendedHint =
    "run \"setup --unattended [--dir=PATH]\" to install without a window";

void PrintNoDisplay() {
  std::fprintf(stderr, "setup: no display found (DISPLAY and WAYLAND_DISPLAY are not set); %s\n",
               kUnattendedHint);
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
      setup_remote::RemoteOptions{options.unattended, !options.screenshot_dir.empty()});
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
      choice.front_end = setup_unattended::CreateUnattendedFrontEnd();
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
    PrintNoDisplay();
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
               kUnattendedHint);
  return choice;
}

}  // namespace setup_app
