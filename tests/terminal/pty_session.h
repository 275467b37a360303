// A program run on a pseudo terminal of a given size, for tests that type at it as a person
// would: what it writes is collected, keys are sent as the bytes a terminal sends, and a time
// limit ends a program that hangs (with everything it started).
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <utility>
#include <vector>

namespace setupkit_test {

class PtySession {
 public:
  // Starts ARGS (the program's path first) with ENV added to this process's environment and
  // the variables UNSET removed.
  PtySession(const std::vector<std::string>& args,
             const std::vector<std::pair<std::string, std::string>>& env,
             const std::vector<std::string>& unset, int columns = 80, int rows = 24) {
    winsize size{};
    size.ws_col = static_cast<unsigned short>(columns);
    size.ws_row = static_cast<unsigned short>(rows);
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_ = forkpty(&master_, nullptr, nullptr, &size);
    if (pid_ == 0) {
      for (const std::string& name : unset) unsetenv(name.c_str());
      for (const auto& [name, value] : env) setenv(name.c_str(), value.c_str(), 1);
      execv(argv[0], argv.data());
      _exit(127);
    }
  }
  ~PtySession() {
    if (pid_ > 0 && !ended_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (master_ >= 0) close(master_);
  }
  PtySession(const PtySession&) = delete;
  PtySession& operator=(const PtySession&) = delete;

  bool Started() const { return pid_ > 0 && master_ >= 0; }

  // Waits until the output written since the last mark holds TEXT; the mark then moves past
  // it. False after the time limit (or when the program ended without writing it).
  bool WaitFor(const std::string& text, std::chrono::seconds limit = std::chrono::seconds(30)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (true) {
      const size_t found = output_.find(text, mark_);
      if (found != std::string::npos) {
        mark_ = found + text.size();
        return true;
      }
      if (std::chrono::steady_clock::now() >= deadline) return false;
      ReadSome(50);
    }
  }

  void Send(const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = write(master_, bytes.data() + done, bytes.size() - done);
      if (n <= 0) return;
      done += static_cast<size_t>(n);
    }
  }

  // The exit code once the program has ended (reading its output meanwhile); -1 after the time
  // limit or for a program that did not exit normally.
  int Wait(std::chrono::seconds limit = std::chrono::seconds(60)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (std::chrono::steady_clock::now() < deadline) {
      ReadSome(20);
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        ended_ = true;
        while (ReadSome(0)) {
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
    }
    return -1;
  }

  const std::string& Output() const { return output_; }

 private:
  // Reads what is there within TIMEOUT_MS; false when nothing came (or the terminal closed).
  bool ReadSome(int timeout_ms) {
    pollfd fd{master_, POLLIN, 0};
    if (poll(&fd, 1, timeout_ms) <= 0 || !(fd.revents & POLLIN)) return false;
    char buffer[4096];
    const ssize_t got = read(master_, buffer, sizeof buffer);
    if (got <= 0) return false;
    output_.append(buffer, static_cast<size_t>(got));
    return true;
  }

  pid_t pid_ = -1;
  int master_ = -1;
  bool ended_ = false;
  std::string output_;
  size_t mark_ = 0;
};

}  // namespace setupkit_test
