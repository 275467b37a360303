// TPakSystem: changes a pak archive in place. It adds or replaces the files of a package group,
// sets the official flag, or lets a second directory entry share the data of a first. One
// object serves the whole run, one operation at a time.
//
// No update loses an archive: before the old directory, trailer and tail are cut off they are
// saved to a journal beside the archive (archive path + ".journal"). A failure inside an update
// puts the archive back byte for byte before it raises its error, and opening an archive that
// has a journal (a process killed mid-update) restores it from the journal first.
//
// Errors that end the setup are raised, never acted on here: SetupError::Fatal for a wrong
// password, a damaged archive or a full disk (the program shows the message, exit code 2), and
// SetupError::Cancelled when the user answers Cancel to the Retry/Cancel box (exit code 1).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/files.h"
#include "setup/archive/pak_format.h"

class TArchiveProgress;
class TGroupSource;

// The reader finds the "QXP3" block only within the last 56 bytes of an archive, which leaves
// room for an enciphered password of at most 41 bytes. Longer passwords are refused.
inline constexpr std::size_t kMaxPakPassword = 41;

// The access code that qxpofficial must give for the flag to change.
inline constexpr const char* kOfficialAccessCode = "pelkrav";

inline constexpr const char* kJournalSuffix = ".journal";

class TPakSystem {
 public:
  // `progress` receives the status texts and gauge steps; it must outlive the object.
  explicit TPakSystem(TArchiveProgress& progress);
  TPakSystem(const TPakSystem&) = delete;
  TPakSystem& operator=(const TPakSystem&) = delete;

  // The archive path for a name given by a script: install folder + "\" + name.
  static std::string ArchivePath(const std::string& install_dir, const std::string& name);

  // qxpupdate: adds the group's files to the archive at `path` (`archive_name` is shown in
  // texts). A wrong password, a password over kMaxPakPassword bytes or a failed write raises
  // SetupError::Fatal with the archive as it was.
  void UpdateFromGroup(TGroupSource& group, const std::string& path,
                       const std::string& archive_name, const std::string& password);
  // qxpofficial: sets or clears the official flag when `code` is the access code.
  void SetOfficial(const std::string& path, const std::string& archive_name,
                   const std::string& code, const std::string& flag_text);
  // duplicateentry: gives the data of entry `source` the second name `target`.
  void DuplicateEntry(const std::string& path, const std::string& archive_name,
                      const std::string& source, const std::string& target);

  // Puts an archive back from its journal when one is there; answers whether it did. A journal
  // that is incomplete (the update never cut the archive) is deleted. Used by OpenArchive, and
  // by tools before they read an archive.
  static bool RecoverFromJournal(const std::string& path);

  // Test seam: after this many more bytes written to the archive, writes come up short, as on
  // a full disk; std::nullopt lifts the limit.
  void SetWriteLimitForTesting(std::optional<uint64_t> bytes) { write_limit_ = bytes; }
  // Test seam: called after each group entry has been added.
  void SetAfterEntryHookForTesting(std::function<void(int done)> hook) {
    after_entry_hook_ = std::move(hook);
  }

  // State, as loaded by the last OpenArchive (for tests and tools).
  const std::string& Password() const { return password_; }
  bool HasPassword() const { return has_password_; }
  uint8_t Official() const { return official_; }

 private:
  void OpenArchive(const std::string& path);
  void LoadDirectory();
  void BeginJournal();
  void CutAtDirectory();
  void AddFromPackage(TGroupSource& group, int index, const std::string& name, uint32_t full_size);
  void SaveDirectory();
  void CloseArchive();
  void Reset();
  // Puts the archive back as it was before CutAtDirectory; answers whether that worked (the
  // journal stays for the next open when it did not).
  bool RollBack();
  // Rolls back an update in progress, then raises SetupError::Fatal with the message.
  [[noreturn]] void Fail(const std::string& message);
  [[noreturn]] void FailDiskFull();
  bool WriteArchive(const std::string& bytes);

  std::optional<size_t> Find(const std::string& lower_name) const;
  void RemoveAt(size_t position);
  void Append(pak::PakRecord record);
  std::vector<pak::PakRecord> LiveRecords() const;

  TArchiveProgress& progress_;
  std::mt19937 random_;

  // Directory records in order; removed ones are empty until the directory is saved.
  std::vector<std::optional<pak::PakRecord>> entries_;
  // Lower-cased name -> positions in entries_ holding it, first one first.
  std::unordered_map<std::string, std::vector<size_t>> index_;
  std::string password_;
  bool has_password_ = false;
  uint8_t official_ = 0;
  std::string archive_name_;
  std::string path_;
  uint64_t directory_start_ = 0;
  uint64_t data_end_ = 0;
  uint64_t original_size_ = 0;
  std::optional<platform::File> file_;

  // Bytes cut off by CutAtDirectory, kept until the new directory is safely written.
  bool cut_ = false;
  std::string saved_end_;

  std::optional<uint64_t> write_limit_;
  std::function<void(int)> after_entry_hook_;
};
