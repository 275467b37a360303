// The install folder as a terminal user types it: a Windows path (C:\Games\Tally) or a host
// path (/opt/tally), which reaches the install through the drive that holds it.
#pragma once

#include <string>

namespace setup_terminal {

// The Windows path (Windows-1252) that a typed folder (UTF-8) names. A host path (starting with
// '/' or "~/") is normalised and mapped through the drive table. Empty, which the folder check
// refuses, when no drive holds the host path or Windows-1252 cannot spell the text.
std::string SessionFolder(const std::string& typed);

// Where a Windows folder lies on this machine (UTF-8); empty when no drive holds it.
std::string HostFolder(const std::string& windows_folder);

}  // namespace setup_terminal
