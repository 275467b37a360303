// Runs a program stopped at one of its changing steps through the fault seam (SETUP_FAULT=N:stop),
// so a test can change the machine between the program's checks and its change, as a second
// process racing it could.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace setupkit_test {

// Runs `args` (the program by its path) with SETUP_FAULT=STEP:stop, its standard output dropped
// and its standard error in `error_file` (dropped too when empty); once it has stopped itself at
// that step, calls `planted` and lets it go on. Answers its exit code (-1 when it did not exit
// normally); `stopped` says whether it stopped at all.
inline int RunStoppedAt(const std::vector<std::string>& args, long long step,
                        const std::function<void()>& planted, bool& stopped,
                        const std::string& error_file = "") {
  const pid_t pid = fork();
  if (pid == 0) {
    setenv("SETUP_FAULT", (std::to_string(step) + ":stop").c_str(), 1);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(error_file.empty() ? null : open(error_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644),
         2);
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  stopped = false;
  while (waitpid(pid, &status, WUNTRACED) == pid) {
    if (!WIFSTOPPED(status)) break;
    if (!stopped) planted();
    stopped = true;
    kill(pid, SIGCONT);
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// One changing step of a run, as SETUP_FAULT_TALLY lists it ("N operation path"; a rename's path
// is "FROM -> TO", of which `path` keeps FROM).
struct TalliedStep {
  long long number = 0;
  std::string operation;
  std::string path;
};

// The steps a tally file lists (its first line, the count, left out).
inline std::vector<TalliedStep> ReadTally(const std::string& tally_file) {
  std::vector<TalliedStep> steps;
  std::ifstream in(tally_file);
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line)) {
    const size_t number_end = line.find(' ');
    const size_t path_at = line.find(' ', number_end + 1) + 1;
    if (number_end == std::string::npos || path_at == 0) continue;
    steps.push_back({std::stoll(line.substr(0, number_end)),
                     line.substr(number_end + 1, path_at - number_end - 2),
                     line.substr(path_at, line.find(" -> ") - path_at)});
  }
  return steps;
}

}  // namespace setupkit_test
