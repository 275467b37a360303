#include "platform/link_check.h"

#include <sys/stat.h>

#include "platform/path_util.h"

namespace platform {

std::optional<std::string> LinkBelow(const std::string& top, const std::string& path,
                                     bool last_too) {
  if (top.empty() || path.empty()) return std::nullopt;
  std::string top_host = internal::HostPathOf(top);
  const std::string host = internal::HostPathOf(path);
  while (top_host.size() > 1 && top_host.back() == '/') top_host.pop_back();
  if (top_host.empty() || host.size() <= top_host.size() + 1 ||
      host.compare(0, top_host.size(), top_host) != 0 ||
      (host[top_host.size()] != '/' && top_host != "/")) {
    return std::nullopt;
  }
  size_t end = host.size();
  while (end > top_host.size() && host[end - 1] == '/') --end;
  // Each component from the first below `top` on: lstat never follows the one it looks at.
  for (size_t slash = host.find('/', top_host.size() + 1);; slash = host.find('/', slash + 1)) {
    const size_t stop = slash == std::string::npos || slash >= end ? end : slash;
    const bool last = stop == end;
    if (!last || last_too) {
      const std::string component = host.substr(0, stop);
      struct stat info {};
      if (lstat(component.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) return component;
    }
    if (last) return std::nullopt;
  }
}

}  // namespace platform
