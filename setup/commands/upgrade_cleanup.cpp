#include "setup/commands/upgrade_cleanup.h"

#include <unordered_set>

#include "platform/ascii_case.h"
#include "platform/files.h"
#include "platform/safe_parent.h"
#include "setup/commands/rollback_journal.h"
#include "setup/commands/uninstall_list.h"
#include "setup/core/run_log.h"
#include "setup/core/text_services.h"

namespace {

std::unordered_set<std::string> Folded(const std::vector<std::string>& texts) {
  std::unordered_set<std::string> set;
  for (const std::string& text : texts) set.insert(AsciiLower(text));
  return set;
}

bool ThroughLink(const std::string& path) { return platform::MeetsLink(path, true); }

}  // namespace

TUpgradeCleanup RemoveDroppedFiles(TUninstallList& older, const TUninstallList& current) {
  TUpgradeCleanup result;
  TRollbackJournal& journal = TRollbackJournal::Instance();
  std::vector<std::string> files;
  for (const std::string& recorded : older.Files()) {
    // Both runs contract the paths they record against the same folders.
    const std::string path = ExpandFilePath(recorded);
    const bool dropped =
        !current.HasFile(recorded) && platform::FileExists(path) && !ThroughLink(path);
    if (!dropped) {
      files.push_back(recorded);
    } else if (journal.RemoveFile(path)) {
      RunLog("file of the earlier install removed: " + path);
      result.removed.push_back(path);
    } else {
      result.failed = path;
      return result;
    }
  }
  // Folders were recorded parent first; last to first, children go before their parents.
  const std::unordered_set<std::string> made = Folded(current.Folders());
  for (auto it = older.Folders().rbegin(); it != older.Folders().rend(); ++it) {
    if (!made.contains(AsciiLower(*it))) result.folders.push_back(*it);
  }
  older.Assign(std::move(files), older.RegistryEntries(), older.Folders());
  return result;
}

void RemoveEmptiedFolders(const std::vector<std::string>& folders) {
  for (const std::string& path : folders) {
    if (platform::DirectoryExists(path) && platform::FindFiles(path, "*").empty() &&
        !ThroughLink(path) && platform::RemoveDirectory(path)) {
      RunLog("folder of the earlier install removed: " + path);
    }
  }
}
