// The drive table and the mapping between Windows paths and host paths.
#include "platform/drives.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>

#include "platform/ascii_case.h"
#include "platform/host_text.h"
#include "platform/name_index.h"
#include "platform/passwd_file.h"
#include "platform/path_util.h"
#include "platform/text_encoding.h"

namespace platform {
namespace {

constexpr const char kProgramFiles[] = "Program Files";

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

std::optional<DriveType> DriveTypeFromName(std::string name) {
  name = AsciiLower(name);
  if (name == "removable") return DriveType::kRemovable;
  if (name == "fixed") return DriveType::kFixed;
  if (name == "remote") return DriveType::kRemote;
  if (name == "cdrom") return DriveType::kCdRom;
  if (name == "ramdisk") return DriveType::kRamDisk;
  return std::nullopt;
}

// Decodes the octal escapes (\040 for a blank) of a /proc/self/mounts field.
std::string UnescapeMountField(const std::string& field) {
  std::string out;
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && field.size() - i >= 4 &&
        std::all_of(field.begin() + i + 1, field.begin() + i + 4,
                    [](char c) { return c >= '0' && c <= '7'; })) {
      out += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                               (field[i + 3] - '0'));
      i += 3;
    } else {
      out += field[i];
    }
  }
  return out;
}

// Mount points of the mounted CD/DVD file systems, in mount order.
std::vector<std::string> OpticalMounts() {
  std::vector<std::string> mounts;
  const std::string text = internal::ReadHostText("/proc/self/mounts").value_or("");
  for (std::string_view line : internal::SplitLines(text)) {
    const std::vector<std::string_view> fields = internal::SplitBlanks(line);
    // device, mount point, type, ...
    if (fields.size() < 3 || (fields[2] != "iso9660" && fields[2] != "udf")) continue;
    mounts.push_back(UnescapeMountField(std::string(fields[1])));
  }
  return mounts;
}

std::string TrimBlanks(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return "";
  const size_t last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

// Reads "X: TYPE HOSTFOLDER" lines; the folder is the rest of the line and may hold blanks.
// Blank lines and lines starting with '#' or ';' are skipped, as are malformed lines. A
// relative folder is taken relative to the setup root.
std::vector<Drive> ParseDrivesFile(const std::string& text, const std::string& root) {
  std::vector<Drive> drives;
  for (std::string_view raw : internal::SplitLines(text)) {
    const std::string line = TrimBlanks(std::string(raw));
    if (line.empty() || line[0] == '#' || line[0] == ';') continue;
    if (line.size() < 2 || line[1] != ':' || !IsAsciiLetter(line[0])) {
      continue;
    }
    const size_t type_start = line.find_first_not_of(" \t", 2);
    if (type_start == std::string::npos || type_start == 2) continue;
    const size_t type_end = line.find_first_of(" \t", type_start);
    if (type_end == std::string::npos) continue;
    const auto type = DriveTypeFromName(line.substr(type_start, type_end - type_start));
    if (!type) continue;
    std::string folder = TrimBlanks(line.substr(type_end));
    if (folder.empty()) continue;
    if (folder[0] != '/') folder = root + "/" + folder;
    Drive drive;
    drive.letter = AsciiUpperChar(line[0]);
    drive.type = *type;
    drive.host_folder = internal::NormalizeHostPath(folder);
    const bool taken = std::any_of(drives.begin(), drives.end(),
                                   [&](const Drive& d) { return d.letter == drive.letter; });
    if (!taken) drives.push_back(drive);
  }
  return drives;
}

std::vector<Drive> DefaultDrives(const std::string& root) {
  std::vector<Drive> drives;
  const std::string drive_c = root + "/drive_c";
  // A per-user look at the machine's table (the listing of installs) must not change it.
  const bool machine = MachineScope();
  if (!machine) internal::MakeHostFolders(drive_c);
  drives.push_back(Drive{'C', DriveType::kFixed, drive_c,
                         machine ? MachineFolder("/opt", "opt") : std::string()});
  drives.push_back(Drive{'Z', DriveType::kFixed, "/", ""});
  char letter = 'D';
  for (const std::string& mount : OpticalMounts()) {
    if (letter >= 'Z') break;
    drives.push_back(Drive{letter++, DriveType::kCdRom, internal::NormalizeHostPath(mount), ""});
  }
  return drives;
}

}  // namespace

std::string HomeFolder() {
  std::string home = Env("HOME");
  if (!home.empty()) return home;
  const std::string passwd = internal::ReadHostText("/etc/passwd").value_or("");
  return PasswdHomeFolder(passwd, getuid()).value_or("/tmp");
}

std::string DataHome() {
  const std::string data_home = Env("XDG_DATA_HOME");
  return data_home.empty() ? HomeFolder() + "/.local/share" : data_home;
}

bool MachineScope() { return Env("SETUP_SCOPE") == "machine"; }

std::string UserRoot() {
  std::string root = Env("SETUP_ROOT");
  if (root.empty()) {
    root = DataHome() + "/setupkit";
  }
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  return root;
}

std::string MachineFolder(const char* system_path, const char* test_name) {
  if (Env("SETUP_ROOT").empty()) return system_path;
  const std::string machine = UserRoot() + "/machine";
  return *test_name == '\0' ? machine : machine + "/" + test_name;
}

std::string MachineRoot() { return MachineFolder("/var/lib/setupkit", ""); }

ScopeSwitch::ScopeSwitch(bool machine) {
  if (const char* value = std::getenv("SETUP_SCOPE")) saved_ = value;
  setenv("SETUP_SCOPE", machine ? "machine" : "user", 1);
}

ScopeSwitch::~ScopeSwitch() {
  if (saved_) {
    setenv("SETUP_SCOPE", saved_->c_str(), 1);
  } else {
    unsetenv("SETUP_SCOPE");
  }
}

void MakeMachineDriveFolder() { internal::MakeHostFolders(MachineRoot() + "/drive_c"); }

std::string SetupRoot() { return MachineScope() ? MachineRoot() : UserRoot(); }

namespace {

std::vector<Drive> LoadDrives() {
  // The table is built again only when its inputs change: the setup root, the drives file's
  // content, or (for the default table) the mount table. Every path mapping asks for it.
  struct Cache {
    std::mutex mutex;
    bool valid = false;
    std::string root;
    std::optional<std::string> drives_file;
    std::vector<Drive> drives;
    int mounts_fd = -1;
  };
  static Cache cache;

  const std::string root = SetupRoot();
  std::optional<std::string> drives_file;
  if (const int fd = open((root + "/drives").c_str(), O_RDONLY | O_CLOEXEC); fd >= 0) {
    drives_file.emplace();
    char buffer[4096];
    ssize_t got;
    while ((got = read(fd, buffer, sizeof buffer)) > 0) drives_file->append(buffer, got);
    close(fd);
  }

  std::lock_guard<std::mutex> lock(cache.mutex);
  bool mounts_changed = false;
  if (!drives_file) {
    // An open /proc/self/mounts reports POLLPRI once after every mount or unmount.
    if (cache.mounts_fd < 0) {
      cache.mounts_fd = open("/proc/self/mounts", O_RDONLY | O_CLOEXEC);
      mounts_changed = true;
    } else {
      pollfd watch{cache.mounts_fd, POLLPRI, 0};
      mounts_changed = poll(&watch, 1, 0) > 0 && (watch.revents & (POLLPRI | POLLERR)) != 0;
    }
  }
  if (!cache.valid || cache.root != root || cache.drives_file != drives_file || mounts_changed) {
    std::vector<Drive> drives =
        drives_file ? ParseDrivesFile(*drives_file, root) : DefaultDrives(root);
    std::sort(drives.begin(), drives.end(),
              [](const Drive& a, const Drive& b) { return a.letter < b.letter; });
    cache.drives = std::move(drives);
    cache.root = root;
    cache.drives_file = std::move(drives_file);
    cache.valid = true;
  } else if (!cache.drives_file && !MachineScope()) {
    // The default C: folder comes back when someone removed it.
    internal::MakeHostFolders(root + "/drive_c");
  }
  return cache.drives;
}

}  // namespace

std::vector<Drive> Drives() {
  // Inside a name-index scope the table is read once, not checked again on every path mapping.
  internal::NameIndex* index = internal::ActiveNameIndex();
  if (index != nullptr && index->drives) return *index->drives;
  std::vector<Drive> drives = LoadDrives();
  if (index != nullptr) index->drives = drives;
  return drives;
}

std::optional<Drive> FindDrive(char letter) {
  letter = AsciiUpperChar(letter);
  for (const Drive& drive : Drives()) {
    if (drive.letter == letter) return drive;
  }
  return std::nullopt;
}

std::vector<std::string> GetLogicalDriveStrings() {
  std::vector<std::string> roots;
  for (const Drive& drive : Drives()) roots.push_back(std::string(1, drive.letter) + ":\\");
  return roots;
}

DriveType GetDriveType(const std::string& root) {
  if (root.size() < 2 || root[1] != ':') return DriveType::kNoRootDir;
  const auto drive = FindDrive(root[0]);
  return drive ? drive->type : DriveType::kNoRootDir;
}

std::optional<std::string> ToHostPath(const std::string& windows_path) {
  if (!windows_path.empty() && windows_path[0] == '/') return windows_path;
  if (windows_path.size() < 2 || windows_path[1] != ':' || !IsAsciiLetter(windows_path[0])) {
    return std::nullopt;
  }
  // "C:name" is relative to the drive's current folder, which this system does not keep.
  if (windows_path.size() > 2 && windows_path[2] != '\\' && windows_path[2] != '/') {
    return std::nullopt;
  }
  internal::NameIndex* index = internal::ActiveNameIndex();
  // A path whose last component is a plain name is that name in the folder the rest names,
  // which an index remembers from the file before in the same folder.
  const size_t separator = windows_path.find_last_of("\\/");
  const std::string_view leaf = std::string_view(windows_path).substr(separator + 1);
  // (Not for a Program Files, which the drive may keep elsewhere than its folder's.)
  const bool plain_leaf =
      !leaf.empty() && leaf != "." && leaf != ".." && !SameIgnoringAsciiCase(leaf, kProgramFiles);
  const std::string_view windows_folder = std::string_view(windows_path).substr(0, separator);
  if (index != nullptr) {
    if (const std::string* known = index->LastMapping(windows_path)) return *known;
    if (const auto* folder = plain_leaf ? index->LastFolder(windows_folder) : nullptr) {
      bool exists = folder->exists;
      std::string host = internal::ResolveStep(*index, folder->host_folder,
                                               Cp1252ToUtf8(std::string(leaf)), exists);
      index->RememberMapping(windows_path, host);
      return host;
    }
  }
  const auto drive = FindDrive(windows_path[0]);
  if (!drive) return std::nullopt;

  // ".." is resolved on the text, as Windows does, and never climbs above the drive's root.
  std::vector<std::string> components;
  for (const std::string& part : internal::SplitPath(windows_path.substr(2))) {
    if (part == ".") continue;
    if (part == "..") {
      if (!components.empty()) components.pop_back();
      continue;
    }
    // Windows paths are Windows-1252 text; host names are UTF-8.
    components.push_back(Cp1252ToUtf8(part));
  }
  std::string host = drive->host_folder;
  if (!drive->program_files.empty() && !components.empty() &&
      SameIgnoringAsciiCase(components[0], kProgramFiles)) {
    host = drive->program_files;
    components.erase(components.begin());
  }
  if (index == nullptr) return internal::ResolveIgnoringCase(host, components);

  // Every folder along the way is listed once for the scope, then answers from memory.
  bool exists = true;
  for (size_t i = 0; i < components.size(); ++i) {
    if (i + 1 == components.size() && plain_leaf) {
      index->RememberFolder(windows_folder, host, exists);
    }
    host = internal::ResolveStep(*index, host, components[i], exists);
  }
  index->RememberMapping(windows_path, host);
  return host;
}

std::optional<std::string> ToWindowsPath(const std::string& host_path) {
  if (host_path.empty() || host_path[0] != '/') return std::nullopt;
  const std::string path = internal::NormalizeHostPath(host_path);
  // The longest host folder that holds the path wins: a drive's own, or its Program Files.
  std::optional<char> letter;
  size_t best_length = 0;
  std::string best;
  auto consider = [&](char drive, const std::string& folder, const std::string& windows_folder) {
    std::string rest;
    if (folder == "/") {
      rest = path.substr(1);
    } else if (path == folder) {
      rest = "";
    } else if (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
               path[folder.size()] == '/') {
      rest = path.substr(folder.size() + 1);
    } else {
      return;
    }
    if (letter && folder.size() <= best_length) return;
    letter = drive;
    best_length = folder.size();
    best = windows_folder.empty() || rest.empty() ? windows_folder + rest
                                                  : windows_folder + "/" + rest;
  };
  for (const Drive& drive : Drives()) {
    consider(drive.letter, drive.host_folder, "");
    if (!drive.program_files.empty()) consider(drive.letter, drive.program_files, kProgramFiles);
  }
  if (!letter) return std::nullopt;
  // A host name Windows-1252 cannot spell has no Windows path (a '?' would name another file).
  std::optional<std::string> rest = Utf8ToCp1252Exact(best);
  if (!rest) return std::nullopt;
  std::replace(rest->begin(), rest->end(), '/', '\\');
  return std::string(1, *letter) + ":\\" + *rest;
}

std::optional<std::string> FindHostPathIgnoringCase(const std::string& folder,
                                                    const std::string& relative) {
  const std::vector<std::string> components = internal::SplitPath(relative);
  if (components.empty()) return std::nullopt;
  for (const std::string& part : components) {
    if (part == "." || part == "..") return std::nullopt;
  }
  const std::string host = internal::ResolveIgnoringCase(folder, components);
  struct stat info {};
  if (stat(host.c_str(), &info) != 0) return std::nullopt;
  return host;
}

}  // namespace platform
