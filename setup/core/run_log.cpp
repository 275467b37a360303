#include "setup/core/run_log.h"

#include <fcntl.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

#include "platform/local_time.h"
#include "platform/text_encoding.h"

namespace {

std::string TimeStamp() {
  timeval now{};
  gettimeofday(&now, nullptr);
  const platform::LocalTime local = platform::LocalTimeOf(now.tv_sec);
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d", local.year, local.month,
                local.day, local.hour, local.minute, local.second,
                static_cast<int>(now.tv_usec / 1000));
  return text;
}

bool WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t wrote = write(fd, bytes.data() + done, bytes.size() - done);
    if (wrote < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(wrote);
  }
  return true;
}

}  // namespace

TRunLog& TRunLog::Instance() {
  static TRunLog log;
  return log;
}

TRunLog::~TRunLog() { Close(); }

bool TRunLog::Open(const std::string& host_path) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (fd_ >= 0) close(fd_);
  fd_ = open(host_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644);
  return fd_ >= 0;
}

void TRunLog::Close() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

bool TRunLog::IsOpen() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return fd_ >= 0;
}

void TRunLog::WriteUtf8(std::string_view text) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (fd_ < 0) return;
  std::string line = TimeStamp() + "  ";
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      line += " / ";
    } else {
      line += c;
    }
  }
  line += '\n';
  // One write per line: a line is either wholly in the file or not at all.
  WriteAll(fd_, line);
}

void RunLog(std::string_view cp1252_text) {
  TRunLog& log = TRunLog::Instance();
  if (!log.IsOpen()) return;
  log.WriteUtf8(platform::Cp1252ToUtf8(std::string(cp1252_text)));
}

void RunLogUtf8(std::string_view utf8_text) { TRunLog::Instance().WriteUtf8(utf8_text); }
