#include "platform/helper_process.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

extern char** environ;

namespace platform {

namespace {

// Each part of a path made when missing, owner-only where this call makes it.
bool MakeFolderChain(const std::string& host) {
  for (size_t cut = host.find('/', 1);; cut = host.find('/', cut + 1)) {
    const std::string part = cut == std::string::npos ? host : host.substr(0, cut);
    if (!part.empty() && mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
    if (cut == std::string::npos) return true;
  }
}

}  // namespace

Channel::~Channel() { Close(); }

Channel& Channel::operator=(Channel&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = other.Release();
  }
  return *this;
}

std::optional<std::pair<Channel, Channel>> Channel::SocketPair() {
  int fds[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) return std::nullopt;
  return std::make_pair(Channel(fds[0]), Channel(fds[1]));
}

int Channel::Release() {
  const int fd = fd_;
  fd_ = -1;
  return fd;
}

void Channel::Close() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

bool Channel::SendAll(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t sent = send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(sent));
  }
  return true;
}

void Channel::ShutdownSending() {
  if (fd_ >= 0) shutdown(fd_, SHUT_WR);
}

Channel::ReadStatus Channel::Read(std::string& out, int timeout_ms) {
  if (fd_ < 0) return ReadStatus::kEnded;
  pollfd wanted{fd_, POLLIN, 0};
  int ready;
  do {
    ready = poll(&wanted, 1, timeout_ms);
  } while (ready < 0 && errno == EINTR);
  if (ready == 0) return ReadStatus::kTimedOut;
  if (ready < 0) return ReadStatus::kEnded;
  char buffer[16384];
  ssize_t got;
  do {
    got = read(fd_, buffer, sizeof buffer);
  } while (got < 0 && errno == EINTR);
  if (got <= 0) return ReadStatus::kEnded;
  out.append(buffer, static_cast<size_t>(got));
  return ReadStatus::kData;
}

std::optional<size_t> WaitReadable(const std::vector<const Channel*>& channels, int timeout_ms) {
  std::vector<pollfd> wanted;
  for (const Channel* channel : channels) wanted.push_back({channel->Descriptor(), POLLIN, 0});
  int ready;
  do {
    ready = poll(wanted.data(), wanted.size(), timeout_ms);
  } while (ready < 0 && errno == EINTR);
  if (ready <= 0) return std::nullopt;
  for (size_t i = 0; i < wanted.size(); ++i) {
    if (wanted[i].revents != 0) return i;
  }
  return std::nullopt;
}

std::optional<std::string> MakePrivateFolder(const std::string& host_parent,
                                             const std::string& prefix) {
  std::string parent = host_parent;
  while (parent.size() > 1 && parent.back() == '/') parent.pop_back();
  if (parent.empty() || parent[0] != '/' || !MakeFolderChain(parent)) return std::nullopt;
  std::string pattern = parent + "/" + prefix + "XXXXXX";
  // mkdtemp makes a folder that did not exist, with mode 0700.
  if (!mkdtemp(pattern.data())) return std::nullopt;
  return pattern;
}

void RemovePrivateFolder(const std::string& host_folder) {
  if (DIR* folder = opendir(host_folder.c_str())) {
    while (dirent* entry = readdir(folder)) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..") unlink((host_folder + "/" + name).c_str());
    }
    closedir(folder);
  }
  rmdir(host_folder.c_str());
}

std::unique_ptr<HelperProcess> HelperProcess::Start(const std::string& program,
                                                    const std::vector<std::string>& args,
                                                    Channel channel) {
  int error_pipe[2];
  if (pipe2(error_pipe, O_CLOEXEC) != 0) return nullptr;
  Channel error_read(error_pipe[0]);
  Channel error_write(error_pipe[1]);
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);

  const pid_t pid = fork();
  if (pid < 0) return nullptr;
  if (pid == 0) {
    // Only calls that are safe after fork in a threaded program. dup2 onto another number
    // clears close-on-exec; a descriptor that already has the wanted number is cleared by hand.
    const int fd = channel.Descriptor();
    if (fd == kChannelDescriptor) {
      fcntl(fd, F_SETFD, 0);
    } else if (dup2(fd, kChannelDescriptor) < 0) {
      _exit(127);
    }
    if (dup2(error_write.Descriptor(), STDERR_FILENO) < 0) _exit(127);
    execve(program.c_str(), argv.data(), environ);
    static const char kFailed[] = "cannot start the program\n";
    (void)!write(STDERR_FILENO, kFailed, sizeof kFailed - 1);
    _exit(127);
  }
  return std::unique_ptr<HelperProcess>(new HelperProcess(pid, std::move(error_read)));
}

HelperProcess::~HelperProcess() { Wait(-1); }

std::optional<int> HelperProcess::Wait(int timeout_ms) {
  if (exit_code_) return exit_code_;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    int status = 0;
    const pid_t done = waitpid(pid_, &status, timeout_ms < 0 ? 0 : WNOHANG);
    if (done == pid_) {
      exit_code_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      return exit_code_;
    }
    if (done < 0 && errno != EINTR) {
      exit_code_ = -1;  // not our child any more: nothing to wait for
      return exit_code_;
    }
    if (timeout_ms >= 0 && std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    if (done == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

void HelperProcess::Terminate() {
  if (!exit_code_) kill(pid_, SIGTERM);
}

}  // namespace platform
