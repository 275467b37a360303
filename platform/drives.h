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
  // The host folder that stands for "\Program Files" of this drive; empty: the drive's own.
  std::string program_files;
};

// $HOME, else the user's home folder from /etc/passwd, else /tmp.
std::string HomeFolder();
// $XDG_DATA_HOME, else ~/.local/share (no trailing slash).
std::string DataHome();

// A run is per-user or per-machine. SETUP_SCOPE=machine makes it per-machine (setup sets it for
// the whole run, so that the programs it starts follow); anything else is per-user.
bool MachineScope();
// $SETUP_ROOT, else $XDG_DATA_HOME/setupkit, else ~/.local/share/setupkit (no trailing slash).
std::string UserRoot();
// A folder of the machine: SYSTEM_PATH, or $SETUP_ROOT/machine/TEST_NAME when SETUP_ROOT is set
// (so that a private root keeps its machine part below itself). TEST_NAME empty: the folder
// $SETUP_ROOT/machine itself.
std::string MachineFolder(const char* system_path, const char* test_name);
// Where the per-machine state lives: /var/lib/setupkit, or $SETUP_ROOT/machine.
std::string MachineRoot();
// Makes the folder of the machine's default C: drive; a per-machine run does so once at its
// start, as a per-user look at the machine's drive table must leave it as it is.
void MakeMachineDriveFolder();
// Switches this process to one scope (SETUP_SCOPE) while it lives, then back as it was: how a
// run reads the state of both scopes. Not for a time where other threads map paths.
class ScopeSwitch {
 public:
  explicit ScopeSwitch(bool machine);
  ~ScopeSwitch();
  ScopeSwitch(const ScopeSwitch&) = delete;
  ScopeSwitch& operator=(const ScopeSwitch&) = delete;

 private:
  std::optional<std::string> saved_;
};
// The state of this run's scope: MachineRoot() for a per-machine run, else UserRoot().
std::string SetupRoot();

// The drive table: $SETUP_ROOT/drives when present, else C: (drive_c), Z: (/) and one CD-ROM
// drive per mounted iso9660/udf file system from D: on. Changes of SETUP_ROOT, of the drives
// file or of the mounts show at the next call (the table is kept only while they stay the same).
// A drives file line is "X: TYPE HOSTFOLDER" (TYPE removable, fixed, remote, cdrom or ramdisk;
// the folder is the rest of the line, relative ones below SETUP_ROOT); lines starting with '#'
// or ';' are comments. Sorted by letter. In a per-machine run the default C: keeps its
// "\Program Files" in /opt (MachineFolder("/opt", "opt")), as the file-system hierarchy wants
// add-on programs there, and its drive_c folder is made by the run, not by looking at the table.
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
