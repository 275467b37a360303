// The install folder as a terminal user types it: a Windows path (C:\Games\Tally) or a host
// path (/opt/tally), which reaches the install through the drive that holds it.
#pragma once

#include <string>

namespace setup_terminal {

// The folder text (Windows-1252) the session is handed for a typed folder (UTF-8): a Windows path
// as typed, a host path (starting with '/' or "~/") as typed too, which the session maps through
// the drive table. Empty, which the folder check refuses, when Windows-1252 cannot spell it.
std::string SessionFolder(const std::string& typed);

// Where a Windows folder lies on this machine (UTF-8); empty when no drive holds it.
std::string HostFolder(const std::string& windows_folder);

}  // namespace setup_terminal
