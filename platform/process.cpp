// Starting programs and documents, and polling their exit codes.
#include "platform/process.h"

#include <dirent.h>
#include <limits.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <thread>

#include "platform/drives.h"
#include "platform/files.h"
#include "platform/path_util.h"

extern char** environ;

namespace platform {
namespace {

// An executable file found along $PATH; empty when there is none.
std::string FindInPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::string folders = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
  size_t pos = 0;
  while (pos <= folders.size()) {
    size_t end = folders.find(':', pos);
    if (end == std::string::npos) end = folders.size();
    const std::string folder = folders.substr(pos, end - pos);
    pos = end + 1;
    if (folder.empty()) continue;
    const std::string candidate = folder + "/" + name;
    struct stat info {};
    if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
        access(candidate.c_str(), X_OK) == 0) {
      return candidate;
    }
  }
  return "";
}

bool IsExecutableFile(const std::string& host) {
  struct stat info {};
  return stat(host.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
         (info.st_mode & (S_IXUSR | S_IXGRP | S_IXOTH)) != 0 && access(host.c_str(), X_OK) == 0;
}

int Spawn(const std::string& program, const std::vector<std::string>& args,
          const std::string& working_folder) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!working_folder.empty()) {
    posix_spawn_file_actions_addchdir_np(&actions, working_folder.c_str());
  }
  pid_t pid = -1;
  const int result = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return result == 0 ? pid : -1;
}

}  // namespace

std::vector<std::string> SplitCommandLine(const std::string& command_line) {
  // CommandLineToArgvW's rules: blanks and tabs outside quotes separate arguments; 2n
  // backslashes before a quote give n backslashes and the quote toggles quoting; 2n+1 give n
  // backslashes and a literal quote; other backslashes are literal. Within a run of quotes,
  // every third quote counted from the opening one is a literal quote and ends quoting.
  std::vector<std::string> args;
  std::string current;
  bool in_argument = false;
  int quotes = 0;  // 1 while inside quotes
  size_t backslashes = 0;
  const size_t n = command_line.size();
  for (size_t i = 0; i < n; ++i) {
    const char c = command_line[i];
    if ((c == ' ' || c == '\t') && quotes == 0) {
      current.append(backslashes, '\\');
      backslashes = 0;
      if (in_argument) args.push_back(current);
      current.clear();
      in_argument = false;
      continue;
    }
    in_argument = true;
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') {
      current.append(backslashes / 2, '\\');
      if (backslashes % 2 == 0) {
        ++quotes;
      } else {
        current += '"';
      }
      backslashes = 0;
      while (i + 1 < n && command_line[i + 1] == '"') {
        ++i;
        if (++quotes == 3) {
          current += '"';
          quotes = 0;
        }
      }
      if (quotes == 2) quotes = 0;
      continue;
    }
    current.append(backslashes, '\\');
    backslashes = 0;
    current += c;
  }
  current.append(backslashes, '\\');
  if (in_argument) args.push_back(current);
  return args;
}

Process::~Process() {
  if (exit_code_ || pid_ <= 0) return;
  int status = 0;
  if (waitpid(pid_, &status, WNOHANG) != 0) return;  // reaped now, or not ours to reap
  // Still running: a detached thread waits for it so it never stays a zombie. The program
  // itself is left running, as a started Windows process outlives its handle.
  try {
    std::thread([pid = pid_] {
      int ignored = 0;
      while (waitpid(pid, &ignored, 0) < 0 && errno == EINTR) {
      }
    }).detach();
  } catch (const std::system_error&) {
    // No thread to spare: the child is reaped by init once this process ends.
  }
}

std::optional<uint32_t> Process::ExitCode() {
  if (exit_code_) return exit_code_;
  if (pid_ <= 0) return std::nullopt;
  int status = 0;
  pid_t result;
  do {
    result = waitpid(pid_, &status, WNOHANG);
  } while (result < 0 && errno == EINTR);
  if (result == 0) return kStillActive;
  if (result < 0) return std::nullopt;
  if (WIFEXITED(status)) {
    exit_code_ = static_cast<uint32_t>(WEXITSTATUS(status));
  } else if (WIFSIGNALED(status)) {
    exit_code_ = 128u + static_cast<uint32_t>(WTERMSIG(status));
  } else {
    return kStillActive;  // stopped or continued: still there
  }
  return exit_code_;
}

bool Process::Running() { return ExitCode() == kStillActive; }

std::unique_ptr<Process> ShellExecute(const std::string& file, const std::string& parameters,
                                      const std::string& working_directory) {
  std::string host = internal::HostPathOf(file);
  struct stat info {};
  // A bare program name not in the working folder is looked up along PATH.
  if ((host.empty() || stat(host.c_str(), &info) != 0) && !file.empty() &&
      file.find_first_of("\\/:") == std::string::npos) {
    host = FindInPath(file);
  }
  if (host.empty() || stat(host.c_str(), &info) != 0) return nullptr;

  std::string working_folder;
  if (!working_directory.empty()) {
    working_folder = internal::HostPathOf(working_directory);
    if (working_folder.empty()) return nullptr;
  }

  int pid = -1;
  if (IsExecutableFile(host)) {
    pid = Spawn(host, SplitCommandLine(parameters), working_folder);
  } else {
    // Documents and folders go to the desktop's default handler.
    const std::string opener = FindInPath("xdg-open");
    if (opener.empty()) return nullptr;
    pid = Spawn(opener, {host}, working_folder);
  }
  if (pid <= 0) return nullptr;
  return std::unique_ptr<Process>(new Process(pid));
}

std::string OwnExecutablePath() {
  char buffer[PATH_MAX + 1];
  const ssize_t length = readlink("/proc/self/exe", buffer, PATH_MAX);
  if (length <= 0) return "";
  return std::string(buffer, static_cast<size_t>(length));
}

bool AnyProcessRuns(const std::string& host_path) {
  std::string wanted = CanonicalHostPath(host_path);
  if (wanted.empty()) wanted = host_path;
  DIR* processes = opendir("/proc");
  if (!processes) return false;
  bool found = false;
  while (dirent* entry = readdir(processes)) {
    const std::string name = entry->d_name;
    if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
    char buffer[PATH_MAX + 1];
    const ssize_t length = readlink(("/proc/" + name + "/exe").c_str(), buffer, PATH_MAX);
    if (length > 0 && std::string(buffer, static_cast<size_t>(length)) == wanted) {
      found = true;
      break;
    }
  }
  closedir(processes);
  return found;
}

}  // namespace platform
