#include "setup/views/terminal/terminal_device.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "setup/core/setup_state.h"

namespace setup_terminal {

namespace {

constexpr char kEnterScreen[] = "\x1b[?1049h\x1b[?25l\x1b[H\x1b[2J";
constexpr char kLeaveScreen[] = "\x1b[0m\x1b[?25h\x1b[?1049l";
constexpr int kEscapeWaitMs = 40;  // what follows an ESC of a sequence arrives within this

// What the signal handlers need to give the terminal back. Signal handlers can reach only
// static storage; these are written before the handlers are installed and read by them with
// async-signal-safe calls only (write, tcsetattr, sigaction, raise).
struct RestoreState {
  termios saved;
  termios active;
  volatile sig_atomic_t engaged = 0;  // the terminal is in one of our modes
  volatile sig_atomic_t full_screen = 0;
  volatile sig_atomic_t resized = 0;
  volatile sig_atomic_t interrupted = 0;
  int out_fd = 1;
  int in_fd = 0;
  int wake[2] = {-1, -1};  // written by handlers so that a waiting poll returns
};
RestoreState g_restore;  // NOLINT: the one state signal handlers read

struct SavedAction {
  int signal;
  struct sigaction action;
  bool installed = false;
};
SavedAction g_saved_actions[] = {{SIGWINCH, {}}, {SIGTSTP, {}}, {SIGCONT, {}}, {SIGHUP, {}},
                                 {SIGINT, {}},   {SIGSEGV, {}}, {SIGBUS, {}},  {SIGFPE, {}},
                                 {SIGILL, {}},   {SIGABRT, {}}};

void WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t done = write(fd, data, size);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return;
    data += done;
    size -= static_cast<size_t>(done);
  }
}

void Wake() {
  if (g_restore.wake[1] >= 0) {
    const char byte = 1;
    [[maybe_unused]] ssize_t ignored = write(g_restore.wake[1], &byte, 1);
  }
}

// Async-signal-safe: gives the terminal its saved modes and screen back.
void RestoreNow() {
  if (!g_restore.engaged) return;
  if (g_restore.full_screen) WriteAll(g_restore.out_fd, kLeaveScreen, sizeof kLeaveScreen - 1);
  tcsetattr(g_restore.in_fd, TCSADRAIN, &g_restore.saved);
}

void Reengage() {
  tcsetattr(g_restore.in_fd, TCSADRAIN, &g_restore.active);
  if (g_restore.full_screen) WriteAll(g_restore.out_fd, kEnterScreen, sizeof kEnterScreen - 1);
}

void OnResize(int) {
  g_restore.resized = 1;
  Wake();
}

void OnInterrupt(int) {
  g_restore.interrupted = 1;
  Wake();
}

void OnHangUp(int) {
  SetupState::Instance().RequestCancel();  // an atomic store
  Wake();
}

void OnStop(int) {
  const int saved_errno = errno;
  const bool engaged = g_restore.engaged;
  if (engaged) RestoreNow();
  // Stop as the default action would, with the signal unblocked so that it happens here; the
  // handler goes on when the program is continued.
  struct sigaction stop_default;
  std::memset(&stop_default, 0, sizeof stop_default);
  stop_default.sa_handler = SIG_DFL;
  struct sigaction mine;
  sigaction(SIGTSTP, &stop_default, &mine);
  sigset_t unblock;
  sigemptyset(&unblock);
  sigaddset(&unblock, SIGTSTP);
  sigprocmask(SIG_UNBLOCK, &unblock, nullptr);
  raise(SIGTSTP);
  sigaction(SIGTSTP, &mine, nullptr);
  if (engaged) Reengage();
  g_restore.resized = 1;
  Wake();
  errno = saved_errno;
}

void OnCrash(int signal) {
  RestoreNow();
  raise(signal);  // the default action again (SA_RESETHAND): a core dump where asked for
}

void Install(int signal, void (*handler)(int), int flags) {
  for (SavedAction& saved : g_saved_actions) {
    if (saved.signal != signal || saved.installed) continue;
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = flags;
    if (sigaction(signal, &action, &saved.action) == 0) saved.installed = true;
  }
}

void RestoreActions() {
  for (SavedAction& saved : g_saved_actions) {
    if (saved.installed) sigaction(saved.signal, &saved.action, nullptr);
    saved.installed = false;
  }
}

bool IgnoredSignal(int signal) {
  struct sigaction current;
  return sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN;
}

bool EnvSet(const char* name) {
  const char* value = std::getenv(name);
  return value && *value;
}

void RestoreAtExit() { RestoreNow(); }

}  // namespace

bool StdinIsTerminal() { return isatty(STDIN_FILENO) == 1; }

bool CapableTerminal() {
  const char* term = std::getenv("TERM");
  if (!term || !*term) return false;
  const std::string_view name(term);
  return name != "dumb" && name != "unknown";
}

bool Utf8Locale() {
  for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    if (!EnvSet(name)) continue;
    std::string value = std::getenv(name);
    for (char& c : value) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return value.find("utf-8") != std::string::npos || value.find("utf8") != std::string::npos;
  }
  return false;
}

TerminalDevice::TerminalDevice() {
  in_fd_ = STDIN_FILENO;
  out_fd_ = STDOUT_FILENO;
  if (isatty(out_fd_) != 1) {
    // Drawn on the terminal even when standard output goes to a file.
    const int tty = open("/dev/tty", O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (tty >= 0) {
      out_fd_ = tty;
      own_out_fd_ = true;
    }
  }
  if (g_restore.wake[0] < 0 && pipe2(g_restore.wake, O_CLOEXEC | O_NONBLOCK) != 0) {
    g_restore.wake[0] = g_restore.wake[1] = -1;
  }
  static bool registered = false;
  if (!registered) {
    registered = true;
    std::at_quick_exit(RestoreAtExit);
    std::atexit(RestoreAtExit);
  }
}

TerminalDevice::~TerminalDevice() {
  Leave();
  if (own_out_fd_) close(out_fd_);
}

void TerminalDevice::Engage(const termios& active, bool full_screen) {
  g_restore.active = active;
  g_restore.in_fd = in_fd_;
  g_restore.out_fd = out_fd_;
  g_restore.full_screen = full_screen ? 1 : 0;
  g_restore.engaged = 1;
  Install(SIGWINCH, OnResize, SA_RESTART);
  if (!IgnoredSignal(SIGHUP)) Install(SIGHUP, OnHangUp, SA_RESTART);
}

void TerminalDevice::EnterFullScreen() {
  if (full_screen_ || lines_) return;
  if (tcgetattr(in_fd_, &g_restore.saved) != 0) return;
  termios raw = g_restore.saved;
  raw.c_iflag &= ~static_cast<tcflag_t>(BRKINT | ICRNL | INPCK | ISTRIP | IXON);
  raw.c_lflag &= ~static_cast<tcflag_t>(ECHO | ICANON | IEXTEN | ISIG);
  raw.c_cflag |= CS8;
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  Engage(raw, true);
  full_screen_ = true;
  Install(SIGTSTP, OnStop, SA_RESTART);
  Install(SIGCONT, OnResize, SA_RESTART);
  for (int crash : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) {
    Install(crash, OnCrash, SA_RESETHAND | SA_NODEFER);
  }
  tcsetattr(in_fd_, TCSADRAIN, &raw);
  Write(kEnterScreen);
}

void TerminalDevice::EnterLines() {
  if (full_screen_ || lines_) return;
  if (tcgetattr(in_fd_, &g_restore.saved) != 0) return;
  Engage(g_restore.saved, false);
  lines_ = true;
  // Ctrl-C asks the quit question; SIGTERM still stops the run at once.
  if (!IgnoredSignal(SIGINT)) Install(SIGINT, OnInterrupt, SA_RESTART);
}

void TerminalDevice::Leave() {
  if (!full_screen_ && !lines_) return;
  RestoreNow();
  g_restore.engaged = 0;
  RestoreActions();
  full_screen_ = lines_ = false;
}

TerminalSize TerminalDevice::Size() const {
  TerminalSize size;
  winsize window;
  if (ioctl(out_fd_, TIOCGWINSZ, &window) == 0 && window.ws_col > 0 && window.ws_row > 0) {
    size.columns = window.ws_col;
    size.rows = window.ws_row;
  } else {
    if (const char* columns = std::getenv("COLUMNS")) size.columns = std::atoi(columns);
    if (const char* rows = std::getenv("LINES")) size.rows = std::atoi(rows);
    if (size.columns <= 0) size.columns = 80;
    if (size.rows <= 0) size.rows = 24;
  }
  // Bounds that keep the layout's arithmetic sane on absurd answers.
  if (size.columns > 1000) size.columns = 1000;
  if (size.rows > 500) size.rows = 500;
  return size;
}

void TerminalDevice::Write(const std::string& bytes) {
  WriteAll(out_fd_, bytes.data(), bytes.size());
}

bool TerminalDevice::TakeResized() {
  const bool resized = g_restore.resized != 0;
  g_restore.resized = 0;
  return resized;
}

bool TerminalDevice::TakeInterrupted() {
  const bool interrupted = g_restore.interrupted != 0;
  g_restore.interrupted = 0;
  return interrupted;
}

void TerminalDevice::Suspend() { kill(getpid(), SIGTSTP); }

bool TerminalDevice::WaitReadable(int timeout_ms) {
  if (input_ended_) return false;
  pollfd fds[2] = {{in_fd_, POLLIN, 0}, {g_restore.wake[0], POLLIN, 0}};
  const int count = poll(fds, g_restore.wake[0] >= 0 ? 2 : 1, timeout_ms);
  if (count <= 0) return false;
  if (fds[1].revents & POLLIN) {
    char drain[64];
    while (read(g_restore.wake[0], drain, sizeof drain) > 0) {
    }
  }
  if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL) && !(fds[0].revents & POLLIN)) {
    input_ended_ = true;
    return false;
  }
  return (fds[0].revents & POLLIN) != 0;
}

void TerminalDevice::ReadAvailable() {
  char buffer[256];
  const ssize_t got = read(in_fd_, buffer, sizeof buffer);
  if (got > 0) {
    pending_.append(buffer, static_cast<size_t>(got));
  } else if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
    input_ended_ = true;
  }
}

std::vector<Key> TerminalDevice::ReadKeys(int timeout_ms) {
  std::vector<Key> keys;
  if (pending_.empty() && WaitReadable(timeout_ms)) ReadAvailable();
  while (!pending_.empty()) {
    size_t used = 0;
    std::optional<Key> key = DecodeKey(pending_, false, used);
    if (!key) {
      // The start of a sequence: its rest comes at once, or it was a key of its own.
      if (WaitReadable(kEscapeWaitMs)) {
        ReadAvailable();
        continue;
      }
      key = DecodeKey(pending_, true, used);
    }
    pending_.erase(0, used);
    if (key && key->code != KeyCode::kIgnored) keys.push_back(*key);
  }
  return keys;
}

std::optional<std::string> TerminalDevice::ReadLine(int timeout_ms) {
  if (pending_.find('\n') == std::string::npos && WaitReadable(timeout_ms)) ReadAvailable();
  const size_t end = pending_.find('\n');
  if (end == std::string::npos) {
    if (input_ended_ && !pending_.empty()) {
      std::string line = pending_;
      pending_.clear();
      return line;
    }
    return std::nullopt;
  }
  std::string line = pending_.substr(0, end);
  pending_.erase(0, end + 1);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

}  // namespace setup_terminal
