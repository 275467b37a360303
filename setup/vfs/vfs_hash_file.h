// TVFSHashFile: the ".ht" file beside a VFS container, one 21-byte record per file sorted by the
// sdbm hash of its path, so a reader finds a file without walking the folder tables.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class TVFSTree;

inline constexpr size_t kHashRecordSize = 21;

struct THashRecord {
  uint32_t hash = 0;
  uint32_t flags = 0;
  uint32_t stored_size = 0;
  uint32_t full_size = 0;
  uint32_t first_block = 0;
  uint8_t unique = 1;  // 0 when another file with the same hash was left out

  void Encode(std::string& out) const;
  bool operator==(const THashRecord&) const = default;
};

class TVFSHashFile {
 public:
  // The hash file of a container: its extension replaced by ".ht", or ".ht" appended.
  static std::string HashFilePath(const std::string& container_path);
  // sdbm hash (h := h * 65599 + byte) of the key made from a node's path and entry name: the
  // name alone for a root entry, else the parent path with its last "\" as "/" before the name.
  static uint32_t PathHash(std::string_view path, std::string_view name);
  // The records the tree gives, as BuildHashFile lays them out: ascending hash, the first file
  // of each hash kept with its last byte 0 when others were left out, hash 0 left out.
  static std::vector<THashRecord> RecordsFor(const TVFSTree& tree);
  static std::string Encode(const std::vector<THashRecord>& records);
  // Reads a hash file's bytes; nothing when the count does not fit the size.
  static std::optional<std::vector<THashRecord>> Decode(std::string_view bytes);

  explicit TVFSHashFile(std::string container_path = {})
      : path_(container_path.empty() ? std::string() : HashFilePath(container_path)) {}

  // Deletes the hash file and writes a new one from the tree's files (none when it has none).
  void BuildHashFile(const TVFSTree& tree);
  // Reads the hash file when there is one and remembers that it did.
  void LoadHashFile();
  // When a table was read: deletes the hash file and writes the table back when not empty.
  void SaveHashFile();

  const std::string& Path() const { return path_; }
  bool Loaded() const { return loaded_; }
  const std::vector<THashRecord>& Records() const { return records_; }

 private:
  std::string path_;
  bool loaded_ = false;
  std::vector<THashRecord> records_;
};
