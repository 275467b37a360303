// The records of the rollback journal and their byte form.
//
// File: a 16-byte header, then records appended one at a time, each flushed before the change
// it describes is made.
//   header: "SKRJ", u16 version (kJournalVersion), u16 header size (16), u32 process id,
//           u32 CRC-32 of the 12 bytes before it
//   record: u32 payload length, u32 CRC-32 of the payload, payload
//   payload: u8 kind, then the kind's fields; texts as u16 length + bytes, flags as u8
// Little-endian. A file cut at any byte reads as its header and the complete records before
// the cut: a record whose length runs past the end or whose CRC does not match ends the
// journal, and nothing after it is trusted. Since a record is flushed before its change, a
// record lost that way belongs to a change that was never made.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

inline constexpr char kJournalMagic[4] = {'S', 'K', 'R', 'J'};
inline constexpr uint16_t kJournalVersion = 1;
inline constexpr size_t kJournalHeaderSize = 16;
inline constexpr size_t kJournalRecordHeaderSize = 8;
// A payload holds at most a few texts of at most 64 KiB each.
inline constexpr uint32_t kMaxJournalPayload = 1u << 20;

enum class JournalKind : uint8_t {
  kFileCreated = 1,     // path: a file that was not there is being made
  kFolderCreated = 2,   // path: a folder that was not there is being made
  kFileSetAside = 3,    // path, aside: the file is moved to `aside` (same folder) first
  kFolderSetAside = 4,  // path, aside: the folder is moved to `aside` (same folder) first
  kMoved = 5,           // path, aside: the file is renamed from `path` to `aside`
  kRegistryKey = 6,     // root, key: a key that was not there is being made
  kRegistryValue = 7,   // root, key, name, existed, is_string, text, raw: the old value
  kCommit = 8,          // the run succeeded; only the set-aside copies remain to be deleted
  kFileCopied = 9,      // path, aside: a whole copy at `aside` before `path` changes in place
};

struct JournalRecord {
  JournalKind kind = JournalKind::kFileCreated;
  std::string path;   // file or folder path (file kinds); key path (registry kinds)
  std::string aside;  // path of the set-aside copy or the rename target
  uint8_t root = 0;   // platform::RootKey as a number (registry kinds)
  std::string name;   // value name (kRegistryValue)
  bool existed = false;
  bool is_string = false;
  std::string text;
  std::string raw;

  bool operator==(const JournalRecord&) const = default;
};

// The header for a journal of process `pid`.
std::string EncodeJournalHeader(uint32_t pid);
// The record with its length and CRC, ready to append; nothing when a text is too long.
std::optional<std::string> EncodeJournalRecord(const JournalRecord& record);

struct JournalContents {
  bool header_ok = false;  // magic, version and header CRC are right
  uint32_t pid = 0;
  std::vector<JournalRecord> records;  // the complete records in order
  bool committed = false;              // a kCommit record is among them
};
// Reads a journal's bytes as far as they are whole. A header that is missing, cut, of another
// version or damaged gives header_ok false and no records.
JournalContents DecodeJournal(std::string_view bytes);
