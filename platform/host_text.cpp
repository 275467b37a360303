#include "platform/host_text.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace platform::internal {

std::optional<std::string> ReadHostText(const std::string& path, size_t limit) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::string text;
  char buffer[16384];
  while (text.size() < limit) {
    const ssize_t got = read(fd, buffer, std::min(sizeof buffer, limit - text.size()));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      close(fd);
      return std::nullopt;
    }
    if (got == 0) break;
    text.append(buffer, static_cast<size_t>(got));
  }
  close(fd);
  return text;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    lines.push_back(text.substr(0, end));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

std::vector<std::string_view> SplitBlanks(std::string_view line) {
  std::vector<std::string_view> words;
  size_t at = 0;
  while ((at = line.find_first_not_of(" \t", at)) != std::string_view::npos) {
    const size_t end = line.find_first_of(" \t", at);
    words.push_back(line.substr(at, end - at));
    if (end == std::string_view::npos) break;
    at = end;
  }
  return words;
}

}  // namespace platform::internal
