#include "setup/session/temp_files.h"

#include "platform/files.h"
#include "setup/commands/uninstall_list.h"

namespace setup_session {

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  size_t start = 0;
  while (start < name.size() && name[start] == '\\') ++start;
  if (folder.back() == '\\') return folder + name.substr(start);
  return folder + "\\" + name.substr(start);
}

std::string TempFilePath(const std::string& name) {
  return JoinPath(platform::GetTempPath(), name);
}

bool WriteFreshFile(const std::string& path, const void* data, size_t size) {
  size_t cut = path.find_last_of('\\');
  if (cut != std::string::npos && cut > 2) ForceFolders(path.substr(0, cut));
  platform::DeleteFile(path);
  auto file = platform::File::Open(path, platform::File::Mode::kCreateNew);
  if (!file) return false;
  bool ok = size == 0 || file->Write(data, size);
  file->Close();
  if (!ok) platform::DeleteFile(path);
  return ok;
}

}  // namespace setup_session
