#include "setup/app/terminal_launch.h"

#include <unistd.h>

#include <cstdlib>

#include "platform/process.h"

namespace setup_app {

namespace {

// The absolute path of `program` (a name looked up on PATH, or a path), when it can be run.
std::string FindProgram(const std::string& program) {
  if (program.find('/') != std::string::npos) {
    return access(program.c_str(), X_OK) == 0 ? program : "";
  }
  const char* path = std::getenv("PATH");
  std::string folders = path ? path : "";
  size_t start = 0;
  while (start <= folders.size()) {
    size_t end = folders.find(':', start);
    if (end == std::string::npos) end = folders.size();
    const std::string folder = folders.substr(start, end - start);
    const std::string candidate = (folder.empty() ? "." : folder) + "/" + program;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return "";
}

}  // namespace

std::vector<TerminalEmulator> TerminalEmulators() {
  std::vector<TerminalEmulator> emulators;
  // $TERMINAL is a user's own choice; Debian's policy asks every emulator to take -e.
  if (const char* chosen = std::getenv("TERMINAL"); chosen && *chosen) {
    emulators.push_back({chosen, "-e"});
  }
  emulators.insert(emulators.end(), {{"x-terminal-emulator", "-e"},
                                     {"gnome-terminal", "--"},
                                     {"konsole", "-e"},
                                     {"xfce4-terminal", "-x"},
                                     {"mate-terminal", "-x"},
                                     {"lxterminal", "-e"},
                                     {"xterm", "-e"}});
  return emulators;
}

void ExecTerminalWizard(const std::vector<std::string>& args) {
  const std::string self = platform::OwnExecutablePath();
  if (self.empty()) return;
  for (const TerminalEmulator& emulator : TerminalEmulators()) {
    const std::string program = FindProgram(emulator.program);
    if (program.empty()) continue;
    std::vector<std::string> words = {program, emulator.run_option, self};
    words.insert(words.end(), args.begin(), args.end());
    words.push_back("--text");
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    // Found but not started (a broken link, a foreign binary): the next one may serve.
  }
}

}  // namespace setup_app
