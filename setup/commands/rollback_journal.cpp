#include "setup/commands/rollback_journal.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <vector>

#include "platform/ascii_case.h"
#include "platform/drives.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/safe_parent.h"
#include "platform/temporaries.h"
#include "platform/whole_copy.h"
#include "setup/commands/file_operations.h"
#include "setup/commands/rollback_records.h"

namespace {

bool Exists(const std::string& host) {
  return platform::GetFileAttributes(host) != platform::kInvalidFileAttributes;
}

// A file that is there, read-only or not, goes; answers whether it is gone.
bool DeleteAnyFile(const std::string& host) {
  if (!platform::FileExists(host)) return true;
  platform::SetFileAttributes(host, platform::kFileAttributeNormal);
  return platform::DeleteFile(host);
}

std::string KeyOf(const std::string& parent, const std::string& part) {
  return parent.empty() ? part : parent + "\\" + part;
}

// The key chain of `key` from the top, without empty components.
std::vector<std::string> KeyChain(const std::string& key) {
  std::vector<std::string> chain;
  std::string current;
  size_t start = 0;
  while (start <= key.size()) {
    size_t end = key.find('\\', start);
    if (end == std::string::npos) end = key.size();
    if (end > start) {
      current = KeyOf(current, key.substr(start, end - start));
      chain.push_back(current);
    }
    start = end + 1;
  }
  return chain;
}

// Whether undoing a record of this kind puts back something that was there before the run.
bool PutsBackOldState(JournalKind kind) {
  switch (kind) {
    case JournalKind::kFileCreated:
    case JournalKind::kFolderCreated:
    case JournalKind::kRegistryKey:
      return false;
    default:
      return true;
  }
}

// The name a copy is made under until it is whole.
std::string PartOf(const std::string& aside) { return aside + ".part"; }

// Undoes one record; answers whether the machine is as before that change.
bool Undo(const JournalRecord& record) {
  const auto root = static_cast<platform::RootKey>(record.root);
  switch (record.kind) {
    case JournalKind::kFileCreated:
      return DeleteAnyFile(record.path);
    case JournalKind::kFolderCreated:
      return !platform::DirectoryExists(record.path) || platform::RemoveDirectory(record.path);
    case JournalKind::kFileSetAside:
      // No copy aside: the move never happened and the original is where it was.
      if (!Exists(record.aside)) return true;
      return DeleteAnyFile(record.path) && platform::MoveFile(record.aside, record.path);
    case JournalKind::kFolderSetAside:
      if (!Exists(record.aside)) return true;
      return !Exists(record.path) && platform::MoveFile(record.aside, record.path);
    case JournalKind::kMoved:
      // The old name still there means the rename never happened (its target may be a file
      // that was there before, which stays).
      if (Exists(record.path) || !Exists(record.aside)) return true;
      return platform::MoveFile(record.aside, record.path);
    case JournalKind::kRegistryKey:
      if (!platform::RegKeyExists(root, record.path)) return true;
      if (!platform::RegValueNames(root, record.path).empty() ||
          !platform::RegSubKeyNames(root, record.path).empty()) {
        return false;
      }
      return platform::RegDeleteKey(root, record.path);
    case JournalKind::kRegistryValue:
      if (record.existed) {
        return platform::RegSetValue(
            root, record.path, record.name,
            platform::RegValueData{record.is_string, record.text, record.raw});
      }
      return !platform::RegValueExists(root, record.path, record.name) ||
             platform::RegDeleteValue(root, record.path, record.name);
    case JournalKind::kFileCopied:
      // No whole copy: the file was not changed yet (a cut copy carries another name).
      DeleteAnyFile(PartOf(record.aside));
      if (!Exists(record.aside)) return true;
      return DeleteAnyFile(record.path) && platform::MoveFile(record.aside, record.path);
    case JournalKind::kCommit:
      return true;
  }
  return true;
}

// The number of records that put a file changed in place back from its copy.
int CopiesToPutBack(const std::vector<JournalRecord>& records) {
  return static_cast<int>(std::count_if(records.begin(), records.end(), [](const auto& record) {
    return record.kind == JournalKind::kFileCopied && Exists(record.aside);
  }));
}

size_t UndoAll(const std::vector<JournalRecord>& records) {
  // Reverse order undoes each change after the ones made later. A file is noted before the
  // folders its write turns out to need, so such a folder is still full on the first pass;
  // further passes retry what failed for as long as each pass gets somewhere.
  std::vector<const JournalRecord*> pending;
  for (auto it = records.rbegin(); it != records.rend(); ++it) pending.push_back(&*it);
  while (!pending.empty()) {
    std::vector<const JournalRecord*> failed;
    for (const JournalRecord* record : pending) {
      if (!Undo(*record)) failed.push_back(record);
    }
    if (failed.size() == pending.size()) break;
    pending = std::move(failed);
  }
  return pending.size();
}

// After a commit record: the set-aside copies are all that is left of the old state. Answers
// whether they are all gone; a journal is kept until they are, so a later start finishes this.
bool DeleteSetAside(const std::vector<JournalRecord>& records) {
  bool all_gone = true;
  for (const JournalRecord& record : records) {
    if (record.kind == JournalKind::kFileSetAside || record.kind == JournalKind::kFileCopied) {
      all_gone = DeleteAnyFile(record.aside) && all_gone;
    } else if (record.kind == JournalKind::kFolderSetAside && Exists(record.aside)) {
      all_gone = RemoveFolderTree(record.aside) && all_gone;
    }
  }
  return all_gone;
}

constexpr char kJournalSuffix[] = ".journal";
// A journal being made: renamed to its final name once it is locked.
constexpr char kFreshSuffix[] = ".journal-new";

// The whole journal, read through the handle that holds its lock (never by its name, which
// another process could have replaced).
std::optional<std::string> ReadThrough(const platform::File& file) {
  const std::optional<uint64_t> size = file.Size();
  if (!size || *size > SIZE_MAX) return std::nullopt;
  std::string bytes(static_cast<size_t>(*size), '\0');
  if (!bytes.empty() && !file.ReadExactAt(0, bytes.data(), bytes.size())) return std::nullopt;
  return bytes;
}

// Nothing is created, replaced, renamed or deleted through a symbolic link inside the install
// folder or the kit's own folders (the kit never makes one): such a change would land wherever
// the link points. The change is refused with ELOOP before it is recorded, which fails the step.
bool FreeOfLinks(const std::string& path) {
  if (platform::MeetsLink(path, false)) {
    errno = ELOOP;
    return false;
  }
  return true;
}

// The temporaries of atomic writes that a killed run left beside the files it recorded: a
// folder that still held one could not be removed by the undo.
void RemoveLeftTemporaries(const std::vector<JournalRecord>& records) {
  for (const JournalRecord& record : records) {
    if (record.kind != JournalKind::kFileCreated && record.kind != JournalKind::kFileSetAside) {
      continue;
    }
    const std::string host = !record.path.empty() && record.path[0] == '/'
                                 ? record.path
                                 : platform::ToHostPath(record.path).value_or("");
    const size_t slash = host.find_last_of('/');
    if (slash == std::string::npos || slash + 1 == host.size()) continue;
    platform::RemoveAbandonedTemporaries(slash == 0 ? "/" : host.substr(0, slash),
                                         host.substr(slash + 1));
  }
}

}  // namespace

TRollbackJournal& TRollbackJournal::Instance() {
  static TRollbackJournal journal;
  return journal;
}

std::string TRollbackJournal::Folder() { return platform::SetupRoot() + "/rollback"; }

bool TRollbackJournal::Begin() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (file_) return true;
  const std::string folder = Folder();
  const std::string parent = platform::SetupRoot();
  if (!platform::DirectoryExists(parent)) platform::CreateDirectory(parent);
  if (!platform::DirectoryExists(folder) && !platform::CreateDirectory(folder)) {
    const int reason = errno;
    if (!platform::DirectoryExists(folder)) {
      errno = reason;
      return false;
    }
  }
  // A name no other process uses: the process id and a counter for runs of this process. The
  // journal is made and locked under a name recovery does not look at, and renamed only once it
  // is locked: a run starting meanwhile never takes a live journal for an abandoned one.
  static std::atomic<unsigned> runs{0};
  const std::string base =
      folder + "/run-" + std::to_string(::getpid()) + "-" + std::to_string(runs.fetch_add(1));
  const std::string path = base + kJournalSuffix;
  const std::string fresh = base + kFreshSuffix;
  std::optional<platform::File> file =
      platform::File::Open(fresh, platform::File::Mode::kCreateNew);
  if (!file) return false;
  const std::string header = EncodeJournalHeader(static_cast<uint32_t>(::getpid()));
  if (!file->TryLock() || !file->Write(header.data(), header.size()) || !file->Flush() ||
      !platform::MoveFile(fresh, path)) {
    const int reason = errno;
    file.reset();
    platform::DeleteFile(fresh);
    errno = reason;
    return false;
  }
  file_ = std::move(file);
  path_ = path;
  sequence_ = 0;
  return true;
}

bool TRollbackJournal::Active() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return file_.has_value();
}

bool TRollbackJournal::Append(const JournalRecord& record) {
  std::optional<std::string> bytes = EncodeJournalRecord(record);
  if (!bytes) {
    errno = ENAMETOOLONG;
    return false;
  }
  // One write per record, before the change it describes: once written, a killed run's record
  // is there for the next start. A record that puts back what was there before (a file moved
  // aside or copied, a rename, a registry value, the commit) also goes to the disk first, with
  // every record before it, so that not even a power cut loses the way back to the user's data.
  // A record of something new (a file, a folder, a key) is not synced on its own: a cut could
  // at worst leave a new item the rollback does not know of, and a sync per installed file
  // would cost milliseconds each on a disk.
  if (!file_->Write(bytes->data(), bytes->size())) return false;
  return !PutsBackOldState(record.kind) || file_->Flush();
}

std::string TRollbackJournal::AsidePath(const std::string& path) {
  return path + ".setup-rollback-" + std::to_string(::getpid()) + "-" + std::to_string(++sequence_);
}

bool TRollbackJournal::NoteCreated(JournalKind kind, const std::string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!file_) return true;
  JournalRecord record;
  record.kind = kind;
  record.path = path;
  return Append(record);
}

bool TRollbackJournal::NoteFileCreated(const std::string& path) {
  return FreeOfLinks(path) && NoteCreated(JournalKind::kFileCreated, path);
}

bool TRollbackJournal::NoteFolderCreated(const std::string& path) {
  return FreeOfLinks(path) && NoteCreated(JournalKind::kFolderCreated, path);
}

bool TRollbackJournal::SetAside(const std::string& path, bool folder) {
  JournalRecord record;
  record.kind = folder ? JournalKind::kFolderSetAside : JournalKind::kFileSetAside;
  record.path = path;
  // The copy goes beside the item, so its name is the item's without a final separator.
  while (record.path.size() > 3 && (record.path.back() == '\\' || record.path.back() == '/')) {
    record.path.pop_back();
  }
  if (record.path.empty()) {
    errno = ENOENT;
    return false;
  }
  record.aside = AsidePath(record.path);
  return Append(record) && platform::MoveFile(record.path, record.aside);
}

bool TRollbackJournal::PrepareFileWrite(const std::string& path) {
  if (!FreeOfLinks(path)) return false;
  const uint32_t attributes = platform::GetFileAttributes(path);
  // Checked for links once, above.
  if (attributes == platform::kInvalidFileAttributes) {
    return NoteCreated(JournalKind::kFileCreated, path);
  }
  if ((attributes & platform::kFileAttributeDirectory) != 0) {
    errno = EISDIR;
    return false;
  }
  if ((attributes & platform::kFileAttributeReadOnly) != 0) {
    errno = EACCES;
    return false;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  if (!file_) return true;  // written over in place, as without a transaction
  return SetAside(path, false);
}

bool TRollbackJournal::RemoveFile(const std::string& path) {
  if (!FreeOfLinks(path)) return false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (file_) {
      if ((platform::GetFileAttributes(path) & platform::kFileAttributeReadOnly) != 0) {
        errno = EACCES;  // a read-only file cannot be deleted, in a transaction or not
        return false;
      }
      return SetAside(path, false);
    }
  }
  return platform::DeleteFile(path);
}

bool TRollbackJournal::RemoveFolder(const std::string& path) {
  if (!FreeOfLinks(path)) return false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (file_) return SetAside(path, true);
  }
  if (RemoveFolderTree(path)) return true;
  if (errno == 0) errno = ENOTEMPTY;
  return false;
}

bool TRollbackJournal::KeepCopy(const std::string& path) {
  if (!FreeOfLinks(path)) return false;
  const uint32_t attributes = platform::GetFileAttributes(path);
  if (attributes == platform::kInvalidFileAttributes) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!file_ || !copied_.insert(platform::AsciiLower(path)).second) return true;
    JournalRecord record;
    record.kind = JournalKind::kFileCreated;
    record.path = path;
    return Append(record);
  }
  if ((attributes & platform::kFileAttributeDirectory) != 0) {
    errno = EISDIR;
    return false;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  if (!file_ || copied_.count(platform::AsciiLower(path)) != 0) return true;
  JournalRecord record;
  record.kind = JournalKind::kFileCopied;
  record.path = path;
  record.aside = AsidePath(path);
  // Made under another name and renamed once whole: a copy under its recorded name is always
  // complete, so a rollback never puts back a cut one.
  const std::string part = PartOf(record.aside);
  if (!Append(record) || !platform::CopyFileWhole(path, part) ||
      !platform::MoveFile(part, record.aside)) {
    return false;
  }
  copied_.insert(platform::AsciiLower(path));
  return true;
}

bool TRollbackJournal::NoteMoved(const std::string& from, const std::string& to) {
  if (!FreeOfLinks(from) || !FreeOfLinks(to)) return false;
  std::lock_guard<std::mutex> lock(mutex_);
  if (!file_) return true;
  JournalRecord record;
  record.kind = JournalKind::kMoved;
  record.path = from;
  record.aside = to;
  return Append(record);
}

bool TRollbackJournal::NoteRegistryKey(platform::RootKey root, const std::string& key) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!file_) return true;
  for (const std::string& level : KeyChain(key)) {
    if (platform::RegKeyExists(root, level)) continue;
    JournalRecord record;
    record.kind = JournalKind::kRegistryKey;
    record.root = static_cast<uint8_t>(root);
    record.path = level;
    if (!Append(record)) return false;
  }
  return true;
}

bool TRollbackJournal::NoteRegistryValue(platform::RootKey root, const std::string& key,
                                         const std::string& name) {
  if (!NoteRegistryKey(root, key)) return false;
  std::lock_guard<std::mutex> lock(mutex_);
  if (!file_) return true;
  JournalRecord record;
  record.kind = JournalKind::kRegistryValue;
  record.root = static_cast<uint8_t>(root);
  record.path = key;
  record.name = name;
  if (std::optional<platform::RegValueData> old = platform::RegGetValue(root, key, name)) {
    record.existed = true;
    record.is_string = old->is_string;
    record.text = old->text;
    record.raw = old->raw;
  }
  return Append(record);
}

void TRollbackJournal::Close(bool delete_file) {
  file_.reset();
  copied_.clear();
  if (delete_file) platform::DeleteFile(path_);
  path_.clear();
}

bool TRollbackJournal::Commit() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!file_) return true;
  JournalRecord commit;
  commit.kind = JournalKind::kCommit;
  if (!Append(commit)) return false;
  // The run is complete from here on. Set-aside copies that cannot go yet leave the journal
  // (unlocked once closed) for the next start, which deletes them.
  const std::optional<std::string> bytes = ReadThrough(*file_);
  Close(bytes && DeleteSetAside(DecodeJournal(*bytes).records));
  return true;
}

size_t TRollbackJournal::Rollback() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!file_) return 0;
  const std::optional<std::string> bytes = ReadThrough(*file_);
  if (!bytes) {
    Close(false);  // unread, so nothing undone: the next start recovers it
    return 1;
  }
  const size_t failed = UndoAll(DecodeJournal(*bytes).records);
  // A change that could not be undone keeps the journal and its set-aside copies, so the next
  // start tries again rather than losing the originals.
  Close(failed == 0);
  return failed;
}

int TRollbackJournal::RecoverAbandoned(int* files_put_back) {
  int rolled_back = 0;
  if (files_put_back) *files_put_back = 0;
  const std::string folder = Folder();
  // A process killed while it replaced a hive file left its temporary there.
  platform::RemoveAbandonedTemporaries(platform::RegistryHostFolder());
  // A journal cut before its rename belongs to a run that changed nothing yet.
  for (const platform::FindData& item :
       platform::FindFiles(folder, "*" + std::string(kFreshSuffix))) {
    const std::string path = folder + "/" + item.name;
    std::optional<platform::File> file = platform::File::Open(path, platform::File::Mode::kRead);
    if (!file || !file->TryLock()) continue;
    file.reset();
    platform::DeleteFile(path);
  }
  for (const platform::FindData& item :
       platform::FindFiles(folder, "*" + std::string(kJournalSuffix))) {
    const std::string path = folder + "/" + item.name;
    std::optional<platform::File> file = platform::File::Open(path, platform::File::Mode::kRead);
    // A locked journal belongs to a run that is still going.
    if (!file || !file->TryLock()) continue;
    const std::optional<std::string> bytes = ReadThrough(*file);
    if (!bytes) continue;
    const JournalContents contents = DecodeJournal(*bytes);
    RemoveLeftTemporaries(contents.records);
    if (contents.committed) {
      if (!DeleteSetAside(contents.records)) continue;  // tried again at the next start
    } else if (!contents.records.empty()) {
      const int copies = CopiesToPutBack(contents.records);
      // What could not be undone stays recorded, with its set-aside copies, for the next start.
      if (UndoAll(contents.records) != 0) continue;
      if (files_put_back) *files_put_back += copies;
      ++rolled_back;
    }
    // A journal without a whole header was cut before its run changed anything.
    file.reset();
    platform::DeleteFile(path);
  }
  return rolled_back;
}
