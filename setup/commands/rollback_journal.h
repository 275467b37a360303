// TRollbackJournal: an install run as a transaction. Before the runner changes the machine it
// opens a journal under $SETUP_ROOT/rollback/; before each change it appends a record that says
// how to undo it: files and folders it makes, files it replaces or removes (moved aside in their
// own folder, so on the same file system, never copied), files it renames, registry keys it makes
// and registry values it sets (with their old type and data). Each record is written through
// before its change, so a killed run leaves it behind; one whose undo puts back what was there
// is also synced to the disk first.
// A failed or cancelled run undoes the records in reverse; a successful one commits, which
// deletes the set-aside copies and the journal. The journal file stays locked while its run
// lives, so a journal found unlocked belongs to a run that was killed: RecoverAbandoned rolls
// it back (or finishes its commit).
//
// Paths are Windows paths as the commands use them (host paths starting with '/' are accepted
// too) and are recorded as given: the journal lives under the same SETUP_ROOT as the drive
// table that maps them, so a later process that recovers it maps them the same way.
// The operations are safe to call from several threads at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>

#include "platform/files.h"
#include "platform/registry.h"

struct JournalRecord;
enum class JournalKind : uint8_t;

class TRollbackJournal {
 public:
  // The process-wide journal of the running setup.
  static TRollbackJournal& Instance();
  // Host folder of the journals: $SETUP_ROOT/rollback.
  static std::string Folder();

  // Creates, locks and starts a new journal file. False (errno set) when it cannot be made;
  // a journal that is already active is kept.
  bool Begin();
  bool Active() const;

  // The notes made before a change. Each writes its record first and answers false
  // (errno set) when that fails; the caller must then not make the change. Without an active
  // journal they record nothing and answer true.
  bool NoteFileCreated(const std::string& path);
  bool NoteFolderCreated(const std::string& path);
  // Before a file is written or replaced: one that is there is moved aside (a read-only one is
  // refused with EACCES, as writing it would be); a missing one is noted as created.
  bool PrepareFileWrite(const std::string& path);
  // Removes a file: moved aside with a journal, deleted without one.
  bool RemoveFile(const std::string& path);
  // Removes a folder with all it holds: moved aside with a journal, deleted without one.
  bool RemoveFolder(const std::string& path);
  // Before a file is changed in place (a pak archive, a VFS container and its hash file): a
  // whole copy is made beside it, once per run, which a rollback puts back byte for byte. A
  // missing file is noted as created.
  bool KeepCopy(const std::string& path);
  // Before a file is renamed from `from` to `to`.
  bool NoteMoved(const std::string& from, const std::string& to);
  // Before a key chain is opened with creation allowed: each missing key of the chain.
  bool NoteRegistryKey(platform::RootKey root, const std::string& key);
  // Before a value is written: its old type and data, or that it was missing (and the key
  // chain, as NoteRegistryKey).
  bool NoteRegistryValue(platform::RootKey root, const std::string& key, const std::string& name);

  // The run succeeded: a commit record, then the set-aside copies and the journal are deleted.
  // False when the commit record could not be written (the run is then rolled back instead).
  bool Commit();
  // The run failed or was cancelled: every change undone in reverse order, then the journal is
  // deleted. Answers the number of changes that could not be undone.
  size_t Rollback();

  // Finishes the journals of runs that ended without committing or rolling back (their file
  // is not locked): a committed one has its set-aside copies deleted, any other is rolled
  // back. Answers how many runs were rolled back; `files_put_back`, when given, receives how
  // many files changed in place (archives) their rollback put back.
  static int RecoverAbandoned(int* files_put_back = nullptr);

 private:
  TRollbackJournal() = default;
  bool Append(const JournalRecord& record);
  // The record of a file or folder being made, for a path already checked for links.
  bool NoteCreated(JournalKind kind, const std::string& path);
  std::string AsidePath(const std::string& path);
  bool SetAside(const std::string& path, bool folder);
  void Close(bool delete_file);

  mutable std::mutex mutex_;
  std::optional<platform::File> file_;
  std::string path_;
  size_t sequence_ = 0;
  // The files KeepCopy copied in this run (folded), each kept once.
  std::set<std::string> copied_;
};
