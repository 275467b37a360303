// Whole-container helpers for the people who make and check VFS containers (setup-archive,
// tests): reading a file's content back and checking a container completely.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "setup/vfs/vfs_format.h"

class TVFSFile;

namespace vfs {

// The content of a file entry: its stored bytes, or for a compressed entry the pieces inflated
// and joined. Nothing when the pieces are damaged.
std::optional<std::string> ExpandStoredBytes(const TVFSEntry& entry, std::string_view stored);

// Everything wrong with the container at `path`: damage that stops it opening, chains that
// share blocks or carry wrong flags, a used block count that differs from the chains, a
// checksum that differs from the file, a hash file that differs from the one its tree gives,
// and file entries whose bytes do not expand. Empty when all is well.
std::vector<std::string> VerifyContainer(const std::string& path);

}  // namespace vfs
