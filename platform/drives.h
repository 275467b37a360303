// Drive table and Windows/host path mapping: the letters, types and host folders that stand in
// for the machine's drives, and the translation of "X:\a\b" paths to host paths and back.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// Values as GetDriveTypeA answers them.
enum class DriveType : uint32_t {
  kUnknown = 0,
  kNoRootDir = 1,
  kRemovable = 2,
  kFixed = 3,
  kRemote = 4,
  kCdRom = 5,
  kRamDisk = 6,
};

struct Drive {
  char letter = 'C';  // upper case
  DriveType type = DriveType::kFixed;
  std::string host_folder;  // absolute host path without trailing slash ("/" for the root)
};

// $HOME, else the user's home folder from /etc/passwd, else /tmp.
std::string HomeFolder();
// $XDG_DATA_HOME, else ~/.local/share (no trailing slash).
std::string DataHome();

// $SETUP_ROOT, else $XDG_DATA_HOME/setupkit, else ~/.local/share/setupkit (no trailing slash).
std::string SetupRoot();

// The drive table: $SETUP_ROOT/drives when present, else C: (drive_c), Z: (/) and one CD-ROM
// drive per mounted iso9660/udf file system from D: on. Changes of SETUP_ROOT, of the drives
// file or of the mounts show at the next call (the table is kept only while they stay the same).
// A drives file line is "X: TYPE HOSTFOLDER" (TYPE removable, fixed, remote, cdrom or ramdisk;
// the folder is the rest of the line, relative ones below SETUP_ROOT); lines starting with '#'
// or ';' are comments. Sorted by letter.
std::vector<Drive> Drives();
std::optional<Drive> FindDrive(char letter);

// GetLogicalDriveStringsA: "C:\", "D:\", ... in letter order.
std::vector<std::string> GetLogicalDriveStrings();
// GetDriveTypeA of a root such as "C:\" (kNoRootDir when the letter is not in the table).
DriveType GetDriveType(const std::string& root);

// Windows paths are Windows-1252 text, host paths (and host names) UTF-8; these two are where
// one becomes the other.
// Maps a Windows path ("C:\Program Files\x", forward slashes accepted) to a host path. Existing
// components are matched without regard to ASCII case; missing ones are kept as spelled. A path
// that is already a host path (starts with '/') is returned unchanged. Nothing for a relative
// path or an unknown drive.
std::optional<std::string> ToHostPath(const std::string& windows_path);
// Maps a host path back through the longest matching drive folder ("/home/u" -> "Z:\home\u").
// Nothing when no drive holds it or a name in it has no Windows-1252 spelling.
std::optional<std::string> ToWindowsPath(const std::string& host_path);

// The host path of `relative` ('\' or '/' separated) below the host folder `folder`, each
// component matched the way ToHostPath matches them (its exact spelling first, else the first
// entry equal without regard to ASCII case). Nothing when no such file or folder exists, or when
// a component is "." or "..", which could lead out of the folder.
std::optional<std::string> FindHostPathIgnoringCase(const std::string& folder,
                                                    const std::string& relative);

}  // namespace platform
