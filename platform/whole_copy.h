// A copy of a file made to stand in for it later: the same bytes and permission bits, on the
// disk before the call answers. Shares the blocks where the file system can (a reflink), so
// keeping a large archive costs little there.
#pragma once

#include <string>

namespace platform {

// Copies `from` to the new file `to` (which must not exist). A copy that fails is deleted;
// errno says why.
bool CopyFileWhole(const std::string& from, const std::string& to);

}  // namespace platform
