#include "tools/setupc/kit_folders.h"

#include <filesystem>

#include "platform/files.h"

namespace setupc {

KitFolders FindKitFolders(const std::string& program_folder, const std::string& data_rel,
                          const std::string& programs_rel) {
  if (platform::DirectoryExists(program_folder + "/layout")) {
    return {program_folder, program_folder + "/setup", program_folder + "/setup-window"};
  }
  auto under = [&](const std::string& rel) {
    return (std::filesystem::path(program_folder) / rel).lexically_normal().string();
  };
  const std::string programs = under(programs_rel);
  return {under(data_rel), programs + "/setup", programs + "/setup-window"};
}

}  // namespace setupc
