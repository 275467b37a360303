// An install over an earlier install of the same product takes away what the earlier one made
// and this one did not make again: its files (links and desktop entries are files too), each set
// aside in the rollback journal first, so a run that fails or is killed afterwards puts them
// back; and, once the run is committed (the set-aside copies, which lie beside the files, are
// gone then), the earlier install's folders that are left empty.
#pragma once

#include <string>
#include <vector>

class TUninstallList;

struct TUpgradeCleanup {
  std::vector<std::string> removed;  // the files removed (expanded paths)
  std::string failed;                // the file that could not be removed (errno says why)
  std::vector<std::string> folders;  // the earlier install's folders only, deepest first
  bool ok() const { return failed.empty(); }
};

// Removes the files `older` lists and `current` does not (recorded texts compared, letters A-Z
// without case) that are there. A path reached through a symbolic link below the install folder
// is not what the earlier install made and stays. The files removed are taken out of `older`,
// so a merge afterwards lists only what is there. Stops at the first removal that fails.
TUpgradeCleanup RemoveDroppedFiles(TUninstallList& older, const TUninstallList& current);

// After the commit: removes each of `folders` (in their order) that is there and empty.
void RemoveEmptiedFolders(const std::vector<std::string>& folders);
