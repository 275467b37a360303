#include "setup/views/terminal/folder_text.h"

#include <cstdlib>
#include <optional>

#include "platform/drives.h"
#include "platform/text_encoding.h"

namespace setup_terminal {

std::string SessionFolder(const std::string& typed) {
  std::string host = typed;
  if (host.rfind("~/", 0) == 0 || host == "~") {
    const char* home = std::getenv("HOME");
    if (home && *home == '/') host = home + host.substr(1);
  }
  // An empty answer names no drive, so the folder check keeps Next disabled.
  if (host.empty() || host[0] != '/') return platform::Utf8ToCp1252Exact(typed).value_or("");
  // ToWindowsPath collapses ".", ".." and repeated or trailing slashes itself.
  return platform::ToWindowsPath(host).value_or("");
}

std::string HostFolder(const std::string& windows_folder) {
  std::string folder = windows_folder;
  while (folder.size() > 3 && folder.back() == '\\') folder.pop_back();
  return platform::ToHostPath(folder).value_or("");
}

}  // namespace setup_terminal
