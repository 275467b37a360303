// Second stage of the runtime's start-up: the setup information decides install or uninstall
// mode; install mode loads the compiled script, uninstall mode the install log; then the
// language tables, the space figures, the system folders, the executable-name check and the
// install folder. No Qt.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

class TCommandList;
class TPak;

struct SecondStageInput {
  uint64_t grouped_bytes = 0;  // from the first stage
  bool package_from_command_line = false;
  std::string own_executable_path;  // host path of the running program
  uint16_t system_language_id = 0x0409;
  // A folder chosen on the command line (install mode only): it replaces the folder of the
  // setup record and of the registry, so it also stands in when neither names one. Ignored in
  // uninstall mode, where the install log and everything it lists belong to the recorded folder.
  std::string install_dir_override;
  // Registers the script commands in id order (install mode only).
  std::function<void(TCommandList&)> register_commands;
  // Called after the renamed-installer message, so the program can say on the console how a
  // renamed copy is run; the window's message stays as it is.
  std::function<void()> on_renamed;
};

// Runs the stage on SetupState. Answers false when a message was shown and the program must end
// (exit code 2). Errors raised here propagate to the caller, which reports them.
bool RunSecondStage(const SecondStageInput& input);

// What the uninstaller and the install log will take in the install folder (an upper estimate);
// part of the space an install needs when the setup record asks for an uninstaller.
uint64_t UninstallerAndLogBytes(const TPak& pak, const SecondStageInput& input);

// Removes bracketed copy numbers such as "(2)" and "[1]" (groups of the digits 1-9 only, and
// empty groups) from a file name: round brackets first, then square brackets.
std::string StripCopySuffixes(const std::string& text);

// The first non-empty string value named by the setup record's install-folder registry places.
std::string ReadInstallFolderFromRegistry();

// The free bytes of the file system that holds `folder` (its nearest existing folder) when it
// begins with a drive letter (-1 when unknown); answers false for a folder that does not begin
// with a letter.
bool UpdateSpaceAvailable(const std::string& folder);
