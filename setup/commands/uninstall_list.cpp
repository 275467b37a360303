#include "setup/commands/uninstall_list.h"

#include <algorithm>
#include <cerrno>

#include "platform/files.h"
#include "platform/registry.h"
#include "platform/safe_parent.h"
#include "setup/commands/install_log_checksum.h"
#include "setup/commands/rollback_journal.h"
#include "setup/core/buffer_manager.h"
#include "setup/core/ciphers.h"
#include "setup/core/run_log.h"
#include "setup/core/text_services.h"

namespace {

constexpr size_t kCountFieldSize = 2;
constexpr size_t kHeaderSize = 3 * kCountFieldSize;

bool ContainsFolded(const std::vector<std::string>& list, const std::string& text) {
  const std::string folded = AsciiLower(text);
  return std::any_of(list.begin(), list.end(),
                     [&](const std::string& item) { return AsciiLower(item) == folded; });
}

// One token of a registry record: leading blanks skipped, cut at the first blank or tab outside
// double quotes, every double quote removed.
std::string SplitFirstToken(std::string_view& rest) {
  size_t start = 0;
  while (start < rest.size() && (rest[start] == ' ' || rest[start] == '\t')) ++start;
  std::string token;
  bool quoted = false;
  size_t i = start;
  for (; i < rest.size(); ++i) {
    const char c = rest[i];
    if (c == '"') {
      quoted = !quoted;
      continue;
    }
    if (!quoted && (c == ' ' || c == '\t')) break;
    token.push_back(c);
  }
  rest.remove_prefix(i);
  return token;
}

// Reads one list of `count` texts; false when the data end before the last one is complete.
bool DecodeList(TBufferManager& buffer, uint16_t count, std::vector<std::string>& list) {
  // Each text takes at least its two length bytes, which bounds what a count can claim.
  list.reserve(std::min<size_t>(count, buffer.Remaining() / kCountFieldSize));
  for (uint16_t i = 0; i < count; ++i) {
    if (buffer.Remaining() < kCountFieldSize) return false;
    const uint16_t length = buffer.ReadUInt16();
    if (length > buffer.Remaining()) return false;
    const std::string stored = length == 0 ? std::string() : buffer.ReadBytes(length).value();
    list.push_back(DecryptWithDigitKey(kInstallLogKey, stored));
  }
  return true;
}

// Whether `path`, or a folder above it inside the install folder or the kit's own folders, is a
// symbolic link (errno ELOOP then).
bool LinkInInstallFolder(const std::string& path) {
  if (!platform::MeetsLink(path, true)) return false;
  errno = ELOOP;
  return true;
}

}  // namespace

TUninstallList& TUninstallList::Instance() {
  static TUninstallList list;
  return list;
}

void TUninstallList::Clear() {
  files_.clear();
  folded_files_.clear();
  registry_entries_.clear();
  folders_.clear();
  written_sizes_.clear();
}

void TUninstallList::NoteWrittenSize(const std::string& path, uint64_t size) {
  written_sizes_[AsciiLower(path)] = size;
}

std::optional<uint64_t> TUninstallList::WrittenSize(const std::string& path) const {
  const auto found = written_sizes_.find(AsciiLower(path));
  if (found == written_sizes_.end()) return std::nullopt;
  return found->second;
}

bool TUninstallList::HasFile(const std::string& text) const {
  return folded_files_.count(AsciiLower(text)) != 0;
}

bool TUninstallList::HasRegistryEntry(const std::string& text) const {
  return ContainsFolded(registry_entries_, text);
}

void TUninstallList::AddFile(const std::string& path) {
  std::string contracted = ContractPath(path);
  if (!folded_files_.insert(AsciiLower(contracted)).second) return;
  files_.push_back(std::move(contracted));
  if (this == &Instance()) RunLog("file recorded for removal: " + path);
}

void TUninstallList::AddRegistryEntry(const std::string& record) {
  if (HasRegistryEntry(record)) return;
  registry_entries_.push_back(record);
  if (this == &Instance()) RunLog("registry value recorded for removal: " + record);
}

void TUninstallList::AddFolder(const std::string& path) {
  folders_.push_back(path);
  if (this == &Instance()) RunLog("folder created: " + path);
}

std::string TUninstallList::LogPath(const std::string& folder, const std::string& prefix) {
  // One separator, whether or not the folder already ends in one.
  return IncludeTrailingBackslash(folder) + prefix + "install.log";
}

std::optional<std::string> TUninstallList::EncodeLog() const {
  const std::vector<std::string>* lists[] = {&files_, &registry_entries_, &folders_};
  for (const auto* list : lists) {
    if (list->size() > kMaxTexts) return std::nullopt;
    for (const std::string& text : *list) {
      if (text.size() > kMaxTextBytes) return std::nullopt;
    }
  }
  TBufferWriter writer;
  for (const auto* list : lists) writer.WriteUInt16(static_cast<uint16_t>(list->size()));
  for (const auto* list : lists) {
    for (const std::string& text : *list) {
      writer.WriteShortString(EncryptWithDigitKey(kInstallLogKey, text));
    }
  }
  return writer.Take();
}

bool TUninstallList::DecodeLog(std::string_view bytes) {
  Clear();
  if (bytes.size() < kHeaderSize) return false;
  TBufferManager buffer(bytes);
  const uint16_t file_count = buffer.ReadUInt16();
  const uint16_t registry_count = buffer.ReadUInt16();
  const uint16_t folder_count = buffer.ReadUInt16();
  const bool complete = DecodeList(buffer, file_count, files_) &&
                        DecodeList(buffer, registry_count, registry_entries_) &&
                        DecodeList(buffer, folder_count, folders_);
  for (const std::string& file : files_) folded_files_.insert(AsciiLower(file));
  // Bytes after the last text mean the counts are not the ones the log was written with.
  return complete && buffer.AtEnd();
}

bool TUninstallList::SaveLog(const std::string& folder, const std::string& prefix) const {
  const std::optional<std::string> bytes = EncodeLog();
  if (!bytes) {
    errno = EFBIG;
    return false;
  }
  const std::string path = LogPath(folder, prefix);
  // The checksum first, listing the log being replaced too: whichever of the two logs a cut
  // write leaves, it matches.
  const std::string sum_path = InstallLogChecksumPath(path);
  const std::string sums = InstallLogChecksumText(
      *bytes, platform::FileExists(path) ? platform::ReadFileBytes(path) : std::nullopt);
  TRollbackJournal& journal = TRollbackJournal::Instance();
  return journal.PrepareFileWrite(sum_path) &&
         platform::WriteFileAtomically(sum_path, sums.data(), sums.size()) &&
         journal.PrepareFileWrite(path) &&
         platform::WriteFileAtomically(path, bytes->data(), bytes->size());
}

bool TUninstallList::LooksValid() const {
  // The writers record script words and paths, which hold no control characters (a tab inside
  // quotes aside), and registry records of quoted parts. A log enciphered with another key, or
  // not at all, deciphers to texts that break one of these. A path may have any form: a folder
  // below a variable that was not set is recorded as written and skipped at removal.
  auto plain = [](const std::string& text) {
    for (const char c : text) {
      if (static_cast<unsigned char>(c) < 0x20 && c != '\t') return false;
    }
    return true;
  };
  for (const std::vector<std::string>* list : {&files_, &folders_, &registry_entries_}) {
    for (const std::string& text : *list) {
      if (!plain(text)) return false;
    }
  }
  for (const std::string& record : registry_entries_) {
    if (record.size() < 2 || record.front() != '"' || record.back() != '"') return false;
  }
  return true;
}

void TUninstallList::MergeOlder(const TUninstallList& older) {
  // This run's files are listed once each already, which is all a merge with no older files
  // would give: a first install keeps its (many) files as they are.
  if (!older.files_.empty()) {
    std::vector<std::string> files = older.files_;
    std::unordered_set<std::string> folded = older.folded_files_;
    for (const std::string& file : files_) {
      if (folded.insert(AsciiLower(file)).second) files.push_back(file);
    }
    files_ = std::move(files);
    folded_files_ = std::move(folded);
  }
  // Each list appends this run's items the older one lacks; a set of the folded texts keeps
  // that linear (a run makes thousands of folders).
  auto merged = [](const std::vector<std::string>& first, const std::vector<std::string>& then) {
    std::vector<std::string> all = first;
    std::unordered_set<std::string> seen;
    for (const std::string& item : first) seen.insert(AsciiLower(item));
    for (const std::string& item : then) {
      if (seen.insert(AsciiLower(item)).second) all.push_back(item);
    }
    return all;
  };
  std::vector<std::string> registry = merged(older.registry_entries_, registry_entries_);
  // The older run's folders first: removal goes last to first, so what this run made inside
  // them goes before them.
  std::vector<std::string> folders = merged(older.folders_, folders_);
  registry_entries_ = std::move(registry);
  folders_ = std::move(folders);
}

bool TUninstallList::LoadLog(const std::string& folder, const std::string& prefix) {
  const std::string path = LogPath(folder, prefix);
  if (!platform::FileExists(path)) return false;
  const std::optional<std::string> bytes = platform::ReadFileBytes(path);
  checksum_mismatch_ = false;
  if (!bytes) {
    Clear();
    return false;
  }
  // A log written with its checksum beside it is trusted only when it matches (a log of an
  // older kit has none); a changed byte would otherwise decode to other names.
  const std::string sum_path = InstallLogChecksumPath(path);
  if (platform::FileExists(sum_path)) {
    const std::optional<std::string> sums = platform::ReadFileBytes(sum_path);
    if (!sums || !InstallLogChecksumListed(*sums, *bytes)) {
      Clear();
      checksum_mismatch_ = true;
      return false;
    }
  }
  return DecodeLog(*bytes);
}

bool TUninstallList::RemoveFile(const std::string& recorded) {
  const std::string path = ExpandFilePath(recorded);
  // A file that is now a link, a fifo or a device, or lies below a folder swapped for a link, is
  // not what the install made: it stays, and the removal reports it. What is unlinked is the
  // entry in the folder reached without links, never a link's target.
  if (LinkInInstallFolder(path)) return false;
  const bool removed = platform::DeleteRegularFile(path);
  if (removed) RunLog("file removed: " + path);
  return removed;
}

bool TUninstallList::RemoveFolder(const std::string& recorded) {
  // Only drive paths ("X:\..."): a folder recorded below a variable that was not set, or any
  // other form, is never resolved against some other place and stays.
  const bool drive_path = recorded.size() >= 3 && platform::IsAsciiLetter(recorded[0]) &&
                          recorded[1] == ':' && recorded[2] == '\\';
  const bool removed = drive_path && !LinkInInstallFolder(recorded) &&
                       platform::DirectoryExists(recorded) && platform::RemoveDirectory(recorded);
  if (removed) RunLog("folder removed: " + recorded);
  return removed;
}

bool TUninstallList::DeleteRegistryEntry(const std::string& record) {
  std::string_view rest(record);
  const std::string root_name = SplitFirstToken(rest);
  const std::string key = SplitFirstToken(rest);
  const std::string value_name = SplitFirstToken(rest);
  const std::optional<platform::RootKey> root = RootKeyFromIndex(RootIndexFromName(root_name));
  if (!root || !platform::RegKeyExists(*root, key)) return false;
  const bool removed = platform::RegDeleteValue(*root, key, value_name);
  if (removed) RunLog("registry value removed: " + record);
  return removed;
}

std::string TUninstallList::RegistryEntryName(const std::string& record) {
  std::string_view rest(record);
  std::string name = SplitFirstToken(rest);
  name += "\\" + SplitFirstToken(rest);
  return name + "\\" + SplitFirstToken(rest);
}

bool TUninstallList::RegistryEntryExists(const std::string& record) {
  std::string_view rest(record);
  const std::string root_name = SplitFirstToken(rest);
  const std::string key = SplitFirstToken(rest);
  const std::string value_name = SplitFirstToken(rest);
  const std::optional<platform::RootKey> root = RootKeyFromIndex(RootIndexFromName(root_name));
  return root && platform::RegValueExists(*root, key, value_name);
}

void TUninstallList::Assign(std::vector<std::string> files,
                            std::vector<std::string> registry_entries,
                            std::vector<std::string> folders) {
  Clear();
  files_ = std::move(files);
  for (const std::string& file : files_) folded_files_.insert(AsciiLower(file));
  registry_entries_ = std::move(registry_entries);
  folders_ = std::move(folders);
}

void TUninstallList::RemoveAll() const {
  for (const std::string& file : files_) RemoveFile(file);
  for (auto it = folders_.rbegin(); it != folders_.rend(); ++it) RemoveFolder(*it);
  for (const std::string& record : registry_entries_) DeleteRegistryEntry(record);
}

bool ForceFolders(const std::string& path) {
  return ForceFolders(TUninstallList::Instance(), path);
}

bool ForceFolders(TUninstallList& list, const std::string& path) {
  if (path.size() <= 3 || path[1] != ':' || path[2] != '\\') return true;
  TRollbackJournal& journal = TRollbackJournal::Instance();
  // The chain of folders below the drive root: "C:\a\", "C:\a\b\", ..., the path itself.
  std::vector<std::string> chain;
  std::string current = path.substr(0, 3);
  std::string_view rest = std::string_view(path).substr(3);
  while (!rest.empty()) {
    const size_t slash = rest.find('\\');
    const size_t take = slash == std::string_view::npos ? rest.size() : slash + 1;
    current.append(rest.substr(0, take));
    rest.remove_prefix(take);
    chain.push_back(current);
  }
  // Searched from the deep end: a new folder's parent usually exists, so one or two lookups
  // find where creating starts, instead of one per level of the path.
  size_t missing = chain.size();
  while (missing > 0 && !platform::DirectoryExists(chain[missing - 1])) --missing;
  for (; missing < chain.size(); ++missing) {
    const std::string& folder = chain[missing];
    if (!journal.NoteFolderCreated(folder)) return false;
    if (platform::CreateDirectory(folder)) {
      list.AddFolder(folder);
    } else {
      const int reason = errno;
      if (!platform::DirectoryExists(folder)) {
        errno = reason;
        return false;
      }
    }
  }
  return true;
}

void LogFileWritten(const std::string& path, uint64_t size, bool written) {
  if (!TRunLog::Instance().IsOpen()) return;
  RunLog((written ? "file written: " : "file not written: ") + path + " (" + std::to_string(size) +
         " bytes)");
}

std::optional<std::string> PrepareFileToCreate(const std::string& path) {
  if (!TRollbackJournal::Instance().PrepareFileWrite(path)) return std::nullopt;
  std::string host = platform::HostPathToCreate(path);
  if (host.empty()) {
    errno = ENOENT;
    return std::nullopt;
  }
  return host;
}

namespace {

// WriteWholeFile's first half: the file set aside or noted as new, its folders made, and the
// file created empty and open for writing. Nothing when that fails (errno says why).
std::optional<platform::File> CreateFileToWrite(const std::string& path) {
  // The folder is usually there already (every file after the first of a folder), so the file
  // is opened first and the folders are made only when that fails. Opening where the folder is
  // missing changes nothing, so the outcome is the same as making the folders first.
  // A file that is there is set aside (or noted as new) first, so a failed run can undo this.
  if (!TRollbackJournal::Instance().PrepareFileWrite(path)) return std::nullopt;
  std::optional<platform::File> file = platform::File::Open(path, platform::File::Mode::kCreate);
  if (file) return file;
  const int reason = errno;
  const size_t slash = path.find_last_of('\\');
  if (slash == std::string::npos) return std::nullopt;
  if (platform::DirectoryExists(path.substr(0, slash + 1))) {
    errno = reason;  // the folder is there: the file itself cannot be made
    return std::nullopt;
  }
  if (!ForceFolders(path.substr(0, slash))) return std::nullopt;
  return platform::File::Open(path, platform::File::Mode::kCreate);
}

}  // namespace

bool WriteWholeFile(const std::string& path, const void* data, size_t size) {
  std::optional<platform::File> file = CreateFileToWrite(path);
  if (!file) return false;
  const bool written = data == nullptr || size == 0 || file->Write(data, size);
  const int reason = errno;
  file->Close();
  LogFileWritten(path, written ? size : 0, written);
  if (written) TUninstallList::Instance().NoteWrittenSize(path, size);
  errno = reason;
  return written;
}
