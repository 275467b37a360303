// Temporary files of the runtime (pictures and change logs being loaded, icon.ico, SIF.temp,
// FINALISE.exe): always in the per-user temporary folder and always created fresh.
#pragma once

#include <cstddef>
#include <string>

namespace setup_session {

// Joins a folder and a name with exactly one backslash between them.
std::string JoinPath(const std::string& folder, const std::string& name);
// The per-user temporary folder joined with `name`.
std::string TempFilePath(const std::string& name);
// Creates the file's folder chain (recorded as ForceFolders records it), removes whatever is
// there (a stale file or a link, which is never followed) and writes the bytes into a newly
// created file. Answers false when anything fails; a half-written file is removed.
bool WriteFreshFile(const std::string& path, const void* data, size_t size);

}  // namespace setup_session
