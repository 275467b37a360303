#include "setup/views/terminal/folder_text.h"

#include <optional>

#include "platform/drives.h"
#include "platform/text_encoding.h"
#include "setup/session/wizard_session.h"

namespace setup_terminal {

std::string SessionFolder(const std::string& typed) {
  // A host path goes as typed: the session maps it and says why when no drive holds it. An
  // empty answer names no drive, so the folder check keeps Next disabled.
  if (setup_session::IsHostFolderText(typed))
    return platform::Utf8ToCp1252Exact(typed).value_or("");
  return setup_session::WindowsFolderOf(typed);
}

std::string HostFolder(const std::string& windows_folder) {
  std::string folder = windows_folder;
  while (folder.size() > 3 && folder.back() == '\\') folder.pop_back();
  return platform::ToHostPath(folder).value_or("");
}

}  // namespace setup_terminal
