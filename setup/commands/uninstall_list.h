// The uninstall list: what an install created (files, registry values, folders), saved as the
// enciphered install log beside the product and read back by the uninstaller, which removes it.
//
// Install log: u16 count of files, u16 count of registry records, u16 count of folders, then
// every text of the three lists in that order as u16 length + bytes enciphered with the digit
// key (kInstallLogKey). Little-endian; no magic, version or checksum.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

class TUninstallList {
 public:
  // Largest number of texts per list and of bytes per text that the log can hold.
  static constexpr size_t kMaxTexts = 0xFFFF;
  static constexpr size_t kMaxTextBytes = 0xFFFF;

  // The process-wide list of the running setup.
  static TUninstallList& Instance();

  void Clear();
  // True when the list holds a text equal to `text` (letters A-Z compared without case).
  bool HasFile(const std::string& text) const;
  bool HasRegistryEntry(const std::string& text) const;
  // Records a file in contracted form (ContractPath), once.
  void AddFile(const std::string& path);
  // Records a registry record ("ROOT" "key" "name" "value"), once.
  void AddRegistryEntry(const std::string& record);
  // Records a folder, always (duplicates kept).
  void AddFolder(const std::string& path);

  // The size a file had when this run last wrote it through WriteWholeFile (`path` as written,
  // an expanded path; letters A-Z compared without case), so the installed size can be summed
  // without a look at every file. Nothing for a file this run did not write that way.
  void NoteWrittenSize(const std::string& path, uint64_t size);
  std::optional<uint64_t> WrittenSize(const std::string& path) const;

  const std::vector<std::string>& Files() const { return files_; }
  const std::vector<std::string>& RegistryEntries() const { return registry_entries_; }
  const std::vector<std::string>& Folders() const { return folders_; }

  // folder + "\" + prefix + "install.log".
  static std::string LogPath(const std::string& folder, const std::string& prefix);

  // Adds the texts of a log an earlier run left for the same product in front of this run's
  // (files and registry records once each, folders once each with the older ones first), so
  // the uninstaller removes what both runs made.
  void MergeOlder(const TUninstallList& older);
  // Whether every text has the form the writers give it (no control characters, quoted
  // registry records); a log with a bad cipher deciphers to texts that do not. Paths of any
  // form pass: the writers record what the script named.
  bool LooksValid() const;

  // Writes the install log and its checksum file: each beside the target first, then renamed
  // over it, so a failure never leaves a half-written log. Refuses (answers false, any old log
  // stays) when a list has more than kMaxTexts texts or a text has more than kMaxTextBytes bytes,
  // as such a log could not be read back. The list itself is not changed.
  bool SaveLog(const std::string& folder, const std::string& prefix) const;
  // Reads the install log. No file there: answers false, the lists stay as they are. Otherwise
  // the lists are replaced by what the file holds; a truncated or damaged file is read as far
  // as its complete texts go (answers false then, also when bytes follow the last text).
  // A log with a checksum file beside it (InstallLogChecksumPath) must match one of its lines,
  // else nothing is read (answers false, ChecksumMismatch() true).
  bool LoadLog(const std::string& folder, const std::string& prefix);
  bool ChecksumMismatch() const { return checksum_mismatch_; }

  // The log's bytes for the current lists; nothing when a limit is exceeded.
  std::optional<std::string> EncodeLog() const;
  // Replaces the lists by the texts in `bytes`; answers false when the data end early (the
  // complete texts before that point are kept).
  bool DecodeLog(std::string_view bytes);

  // Removal, one recorded item at a time (the uninstaller's removal run drives the order:
  // files first to last, folders last to first, registry records first to last).
  // Expands the recorded path and deletes the file when a plain file is there; a link, a fifo
  // or a device in its place stays (errno ELOOP or EPERM).
  static bool RemoveFile(const std::string& recorded);
  // Removes the folder (as recorded) when it is a drive path ("X:\..."), exists and is empty.
  static bool RemoveFolder(const std::string& recorded);
  // Deletes the named value of a registry record from its key, opened without creating it.
  static bool DeleteRegistryEntry(const std::string& record);
  // "ROOT\key\name" of the value a registry record names, as removal reads the record.
  static std::string RegistryEntryName(const std::string& record);
  // Whether the value a registry record names is there.
  static bool RegistryEntryExists(const std::string& record);
  // Replaces the lists by these texts, as they are (already contracted).
  void Assign(std::vector<std::string> files, std::vector<std::string> registry_entries,
              std::vector<std::string> folders);
  // All three removal steps in their order.
  void RemoveAll() const;

 private:
  std::vector<std::string> files_;
  // files_ with letters A-Z folded to lower case, so HasFile need not scan the whole list.
  std::unordered_set<std::string> folded_files_;
  std::vector<std::string> registry_entries_;
  std::vector<std::string> folders_;
  std::unordered_map<std::string, uint64_t> written_sizes_;  // folded path -> bytes
  bool checksum_mismatch_ = false;
};

// Creates every missing folder along an absolute path ("X:\a\b"), recording each folder it
// created in `list` (the process-wide list by default) and noting it in the rollback journal
// first. Other paths are left alone. Answers whether the whole chain is there (errno says why
// not).
bool ForceFolders(const std::string& path);
bool ForceFolders(TUninstallList& list, const std::string& path);

// Creates the folder chain of the file's folder (ForceFolders), then creates or truncates the
// file and writes `size` bytes of `data` (a null `data` leaves an empty file). Answers whether
// the file was written; on failure errno says why. A file already there is set aside in the
// run's rollback journal first (noted as new when missing).
bool WriteWholeFile(const std::string& path, const void* data, size_t size);
// The start of WriteWholeFile for a file another thread creates and fills: the file set aside or
// noted as new, and its host path (platform::HostPathToCreate) to be opened there with kCreate.
// Its folder must be there already (ForceFolders). Nothing when that fails (errno says why).
std::optional<std::string> PrepareFileToCreate(const std::string& path);
// The run log's line for a file the run wrote (or failed to write), with its size.
void LogFileWritten(const std::string& path, uint64_t size, bool written);
