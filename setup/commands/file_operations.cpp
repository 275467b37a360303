#include "setup/commands/file_operations.h"

#include <algorithm>
#include <cerrno>
#include <set>
#include <thread>
#include <vector>

#include "platform/drives.h"
#include "platform/files.h"
#include "platform/name_index.h"
#include "setup/commands/command_support.h"
#include "setup/commands/rollback_journal.h"
#include "setup/commands/uninstall_list.h"
#include "setup/commands/write_behind.h"
#include "setup/core/entry_prefetcher.h"
#include "setup/core/pak.h"
#include "setup/core/setup_error.h"
#include "setup/core/setup_state.h"
#include "setup/core/text_services.h"
#include "setup/text/languages.h"

std::string FolderBelowRoot(const std::string& folder) {
  std::string prefix;
  size_t start = 0;
  char separator = '\\';
  if (folder.size() >= 2 && folder[1] == ':') {
    // "C:name" (relative to the drive's current folder) keeps its form.
    const bool rooted = folder.size() > 2 && (folder[2] == '\\' || folder[2] == '/');
    prefix = folder.substr(0, 2) + (rooted ? "\\" : "");
    start = 2;
  } else if (!folder.empty() && (folder[0] == '\\' || folder[0] == '/')) {
    separator = folder[0];
    prefix = std::string(1, separator);
  }
  std::vector<std::string> parts;
  while (start <= folder.size()) {
    size_t end = folder.find_first_of("\\/", start);
    if (end == std::string::npos) end = folder.size();
    const std::string part = folder.substr(start, end - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  if (parts.empty()) return std::string();
  std::string result = prefix;
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) result.push_back(separator);
    result += parts[i];
  }
  return result;
}

namespace {

bool IsFalseFlag(const std::string& flag) {
  const std::string lower = AsciiLower(flag);
  return lower == "0" || lower == "false" || lower == "f";
}

}  // namespace

std::string FindOnCdDrives(const std::string& path) {
  if (AsciiLower(path).find("$cddrive") == std::string::npos) return path;
  for (const std::string& root : platform::GetLogicalDriveStrings()) {
    if (platform::GetDriveType(root) != platform::DriveType::kCdRom) continue;
    const std::string candidate = ReplaceAll(path, "$CDDRIVE", root);
    if (platform::FileExists(CollapseBackslashes(candidate))) return candidate;
  }
  return path;
}

bool RemoveFolderTree(const std::string& folder) {
  const std::string top = FolderBelowRoot(folder);
  if (top.empty()) return false;  // empty, relative to nothing, or a drive root
  if (!platform::DirectoryExists(top)) return false;
  // A folder given as a link: only the link goes, never what it points to.
  for (const platform::FindData& item :
       platform::FindFiles(ExtractFilePath(top), ExtractFileName(top))) {
    if (item.is_symlink && AsciiLower(item.name) == AsciiLower(ExtractFileName(top))) {
      return platform::DeleteFile(top);
    }
  }

  std::vector<std::string> pending = {top};
  std::set<std::string> stuck;  // folders a pass could not empty; never listed again
  // Every pass removes, deletes or settles something, so this only guards against a file
  // system that reports deletions it does not make.
  constexpr size_t kMaxPasses = size_t{1} << 22;
  for (size_t pass = 0; !pending.empty() && pass < kMaxPasses; ++pass) {
    const std::string current = pending.back();
    bool progress = false;
    for (const platform::FindData& item : platform::FindFiles(current, "*")) {
      const std::string path = JoinPath(current, item.name);
      if (item.is_symlink) {
        // A link (to a file or a folder) goes as a link; what it points to stays.
        progress |= platform::DeleteFile(path);
      } else if ((item.attributes & platform::kFileAttributeDirectory) != 0) {
        if (stuck.count(AsciiLower(path)) == 0) {
          pending.push_back(path);
          progress = true;
        }
      } else {
        progress |= platform::DeleteFile(path);
      }
    }
    // The last pending folder is either a subfolder just found or `current` itself.
    const std::string last = pending.back();
    if (platform::RemoveDirectory(last)) {
      pending.pop_back();
      progress = true;
    } else if (last == current && !progress) {
      stuck.insert(AsciiLower(current));
      pending.pop_back();
    }
  }
  return !platform::DirectoryExists(top);
}

bool RegistryCondition(const std::string& root, const std::string& key,
                       const std::string& value_name, const std::string& expected,
                       const std::string& match_flag) {
  TRegistryAccessor& registry = SetupState::Instance().registry;
  registry.SetRootKey(RootFromShortName(root));
  bool equal = false;
  // Opening with creation allowed makes a missing key, which a failed run takes back.
  if (!TRollbackJournal::Instance().NoteRegistryKey(registry.RootKey(), key)) {
    FailStep("Cannot write registry key " + root + "\\" + key);
    return false;
  }
  if (registry.OpenKey(key, true)) {
    std::optional<std::string> value = registry.ReadString(value_name);
    if (!value && registry.ValueExists(value_name)) {
      registry.CloseKey();
      throw SetupError("Invalid data type for '" + value_name + "'");
    }
    registry.CloseKey();
    equal = value.value_or(std::string()) == expected;
  }
  return IsFalseFlag(match_flag) ? !equal : equal;
}

bool IsSafeEntryName(const std::string& entry) {
  if (entry.empty()) return false;
  if (entry[0] == '\\' || entry[0] == '/') return false;
  if (entry.find(':') != std::string::npos) return false;
  size_t start = 0;
  while (start <= entry.size()) {
    size_t end = entry.find_first_of("\\/", start);
    if (end == std::string::npos) end = entry.size();
    const std::string part = entry.substr(start, end - start);
    // Windows drops trailing dots and blanks of a component, so ".. " and "..." climb too.
    if (part.find("..") != std::string::npos && part.find_first_not_of(". ") == std::string::npos) {
      return false;
    }
    start = end + 1;
  }
  return true;
}

bool CopyLargeEntry(const std::string& destination, const std::string& display_name, uint64_t size,
                    int index) {
  SetupState& state = SetupState::Instance();
  TPak* pak = state.package.get();
  const TPakFile* entry = pak ? pak->Entry(index) : nullptr;
  if (entry == nullptr) return false;
  // The blobs lie before the directory; an entry reaching into it (or past the end of the file)
  // belongs to a package that was cut short or damaged.
  const uint32_t directory = pak->Trailer().directory_offset;
  if (entry->offset > directory || size > directory - entry->offset) {
    StopRunWithFailure();
    return false;
  }
  if (!TRollbackJournal::Instance().PrepareFileWrite(destination) ||
      !ForceFolders(ExtractFilePath(destination))) {
    FailStep("Cannot write " + PlaceName(destination));
    return false;
  }
  std::optional<platform::File> file =
      platform::File::Open(destination, platform::File::Mode::kCreate);
  if (!file) {
    FailStep("Cannot write " + PlaceName(destination));
    return false;
  }
  std::vector<char> buffer(static_cast<size_t>(std::min<uint64_t>(size, kLargeEntryCopyChunk)));
  uint64_t remaining = size;
  while (remaining > 0) {
    const uint64_t chunk = std::min<uint64_t>(remaining, kLargeEntryCopyChunk);
    state.SetStatusText(TextWithFileName(
        kTextExtracting, display_name + " - " + FormatSize(static_cast<int64_t>(size - remaining)) +
                             " / " + FormatSize(static_cast<int64_t>(size))));
    const size_t read =
        pak->ReadBlobRange(index, size - remaining, buffer.data(), static_cast<size_t>(chunk));
    if (read != chunk) {
      // The package ends inside the entry: leave no half-copied file behind.
      file->Close();
      file.reset();
      platform::DeleteFile(destination);
      StopRunWithFailure();
      return false;
    }
    if (!file->Write(buffer.data(), static_cast<size_t>(chunk))) {
      FailStep("Cannot write " + PlaceName(destination));
      return false;
    }
    remaining -= chunk;
  }
  LogFileWritten(destination, size, file.has_value());
  return true;
}

bool ExtractGroup(const std::string& folder, int32_t group) {
  SetupState& state = SetupState::Instance();
  TPak* pak = state.package.get();
  if (group < 0 || group > 0xFFFF) return true;
  const auto group16 = static_cast<uint16_t>(group);

  // The group's entries in directory order; the ones read whole are read and inflated ahead on
  // the other cores while this thread writes, and handed over in the same order.
  std::vector<int> entries;
  std::vector<int> read_ahead;
  uint64_t largest = 0;
  uint64_t largest_block = 0;
  if (pak != nullptr) {
    for (std::optional<int> index = pak->FirstIndexInGroup(group16); index;
         index = pak->NextIndexInGroup(group16)) {
      entries.push_back(*index);
      const TPakFile& entry = *pak->Entry(*index);
      if (!entry.IsLarge() && entry.full_size != 0 && IsSafeEntryName(entry.name)) {
        read_ahead.push_back(*index);
        largest = std::max<uint64_t>(largest, TEntryPrefetcher::ReadUnitSize(entry));
        if (entry.IsSolid()) largest_block = std::max<uint64_t>(largest_block, entry.block_size);
      }
    }
  }
  std::optional<TEntryPrefetcher> prefetcher;
  if (!read_ahead.empty()) {
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    prefetcher.emplace(*pak, std::move(read_ahead),
                       TEntryPrefetcher::BudgetFor(largest, largest_block), cores - 1);
  }

  // The files read whole are created here, in order, and filled on another core meanwhile;
  // what waits to be written stays counted in the read-ahead's budget until it is.
  TWriteBehind writer(prefetcher && std::thread::hardware_concurrency() > 1);
  // A file filled earlier that failed is reported before anything found later, as it would
  // have been had each file been written before the next was made.
  const auto report_earlier_failure = [&writer] {
    const std::optional<TWriteBehind::Failure> failure = writer.Finish();
    if (!failure) return false;
    errno = failure->reason;
    FailStep("Cannot write " + PlaceName(failure->path));
    return true;
  };
  // A file this thread could not create or write, unless an earlier one failed first; errno
  // still says why this one failed.
  const auto fail_write = [&report_earlier_failure](const std::string& target) {
    const int reason = errno;
    if (report_earlier_failure()) return;
    errno = reason;
    FailStep("Cannot write " + PlaceName(target));
  };

  // Nothing but this thread changes the target folders while the group is extracted, so their
  // names are listed once each instead of once per new file.
  platform::NameIndexScope name_index;
  size_t next_read = 0;
  std::string made_folder;  // the folder of the last file handed to the writer, known to be there
  for (const int index : entries) {
    const TPakFile& entry = *pak->Entry(index);
    state.SetStatusText(TextWithFileName(kTextExtracting, entry.name));
    // A cancel or a failure elsewhere stops a long group between two files.
    if (state.StopRequested()) return false;
    if (writer.Failed()) {
      report_earlier_failure();
      return false;
    }
    if (IsSafeEntryName(entry.name)) {
      const std::string target = JoinPath(folder, entry.name);
      TUninstallList::Instance().AddFile(target);
      if (entry.IsLarge()) {
        // The copy names a failed write itself and stops the run on a cut-short package, so
        // what was handed over before is finished first.
        if (report_earlier_failure()) return false;
        if (!CopyLargeEntry(target, entry.name, entry.full_size, index)) return false;
      } else if (entry.full_size == 0) {
        if (!WriteWholeFile(target, nullptr, 0)) {
          fail_write(target);
          return false;
        }
      } else {
        const size_t position = next_read++;
        TEntryPrefetcher::Kept kept = prefetcher->TakeKept(position);
        const TEntryData::Status status = kept.read.status;
        // A stream that inflates to another length shows its message here, in order; a broken
        // one raises, as loading the entry would.
        if (status != TEntryData::Status::kOk) pak->FinishLoad(index, std::move(kept.read));
        if (status != TEntryData::Status::kOk || kept.bytes.size() != entry.full_size) {
          prefetcher->Release(position);
          // Damaged or cut-short data: writing an empty or partial file would pass as success.
          if (!report_earlier_failure()) StopRunWithFailure();
          return false;
        }
        // The writer creates the file; its folder is made here first, once per folder.
        const std::string folder_of_file = target.substr(0, target.find_last_of('\\'));
        if (folder_of_file != made_folder) {
          if (!ForceFolders(folder_of_file)) {
            fail_write(target);
            prefetcher->Release(position);
            return false;
          }
          made_folder = folder_of_file;
        }
        std::optional<std::string> host = PrepareFileToCreate(target);
        if (!host) {
          fail_write(target);
          prefetcher->Release(position);
          return false;
        }
        const uint64_t size = entry.full_size;
        TUninstallList::Instance().NoteWrittenSize(target, size);
        writer.Submit(std::move(*host), target, kept.bytes,
                      [&prefetcher, position, target, size](bool written) {
                        prefetcher->Release(position);
                        LogFileWritten(target, written ? size : 0, written);
                      });
      }
    }
    state.StepProgress(true);
  }
  if (report_earlier_failure()) return false;
  // The walk ends on a step that finds no entry, which shows the text with an empty name.
  state.SetStatusText(TextWithFileName(kTextExtracting, std::string()));
  return true;
}
