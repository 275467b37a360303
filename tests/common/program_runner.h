// Runs the kit's programs for the tests that drive them from outside: one child process with its
// standard output and error collected apart, no standard input, and a time limit after which
// the child and everything it started are killed, so a hung program fails its test instead of
// stopping the whole suite.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <utility>
#include <vector>

namespace setupkit_test {

struct ProgramResult {
  int exit_code = -1;  // -1 when the program did not exit normally (or was killed)
  bool timed_out = false;
  std::string out;
  std::string err;
  std::string output;  // both, standard output first
};

struct ProgramOptions {
  std::string working_folder;                                // empty: the test's own
  std::vector<std::pair<std::string, std::string>> env;      // set in the child only
  std::chrono::seconds timeout = std::chrono::seconds(300);  // then the child is killed
};

// A path of the build's bin folder ("setupc" -> ".../bin/setupc").
inline std::string BinPath(const std::string& program) {
  return std::string(SETUPKIT_BIN_DIR) + "/" + program;
}

// Single-quotes a word for /bin/sh.
inline std::string ShellQuote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Runs `args` (program first, searched in PATH when it has no '/').
inline ProgramResult RunProgram(const std::vector<std::string>& args,
                                const ProgramOptions& options = {}) {
  ProgramResult result;
  if (args.empty()) return result;
  int out_pipe[2];
  int err_pipe[2];
  if (pipe2(out_pipe, O_CLOEXEC) != 0) return result;
  if (pipe2(err_pipe, O_CLOEXEC) != 0) {
    close(out_pipe[0]);
    close(out_pipe[1]);
    return result;
  }
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);

  const pid_t pid = fork();
  if (pid == 0) {
    // Its own process group, so a time-out also ends what the program started.
    setpgid(0, 0);
    const int null_in = open("/dev/null", O_RDONLY);
    if (null_in >= 0) dup2(null_in, STDIN_FILENO);
    dup2(out_pipe[1], STDOUT_FILENO);
    dup2(err_pipe[1], STDERR_FILENO);
    if (!options.working_folder.empty() && chdir(options.working_folder.c_str()) != 0) _exit(126);
    for (const auto& [name, value] : options.env) setenv(name.c_str(), value.c_str(), 1);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  if (pid > 0) setpgid(pid, pid);  // as the child does, whichever of the two runs first
  close(out_pipe[1]);
  close(err_pipe[1]);
  if (pid < 0) {
    close(out_pipe[0]);
    close(err_pipe[0]);
    return result;
  }

  // Reads both streams until the program has ended and they are drained. A process the program
  // left running may keep the pipes open; it is not waited for.
  const auto deadline = std::chrono::steady_clock::now() + options.timeout;
  pollfd fds[2] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  int status = 0;
  bool ended = false;
  while (true) {
    if (!ended && waitpid(pid, &status, WNOHANG) == pid) {
      ended = true;
      for (pollfd& fd : fds) {
        if (fd.fd >= 0) fcntl(fd.fd, F_SETFL, O_NONBLOCK);
      }
    }
    if (!ended && std::chrono::steady_clock::now() >= deadline) {
      result.timed_out = true;
      kill(-pid, SIGKILL);
      waitpid(pid, &status, 0);
      break;
    }
    if (!ended) poll(fds, 2, 20);  // with both streams closed this only waits
    bool read_any = false;
    for (int i = 0; i < 2; ++i) {
      // Before the end only a stream that poll reported is read, so no read blocks.
      if (fds[i].fd < 0 || (!ended && fds[i].revents == 0)) continue;
      char buffer[4096];
      const ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
      if (got > 0) {
        sinks[i]->append(buffer, static_cast<size_t>(got));
        read_any = true;
      } else if (got == 0 || ended) {
        close(fds[i].fd);  // end of the stream, or nothing more waiting after the end
        fds[i].fd = -1;    // poll passes over negative descriptors
      }
    }
    if (ended && !read_any) break;
  }
  for (pollfd& fd : fds) {
    if (fd.fd >= 0) close(fd.fd);
  }
  result.exit_code = ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.output = result.out + result.err;
  return result;
}

// Runs a /bin/sh command line, for tests whose arguments are written the way a user types them.
inline ProgramResult RunShell(const std::string& command, const ProgramOptions& options = {}) {
  return RunProgram({"/bin/sh", "-c", command}, options);
}

}  // namespace setupkit_test
