#include "setup/vfs/vfs_hash_file.h"

#include <map>

#include "platform/files.h"
#include "setup/core/setup_error.h"
#include "setup/io/byte_io.h"
#include "setup/vfs/vfs_tree.h"

void THashRecord::Encode(std::string& out) const {
  archive_io::ByteWriter w(out);
  w.U32(hash);
  w.U32(flags);
  w.U32(stored_size);
  w.U32(full_size);
  w.U32(first_block);
  w.U8(unique);
}

std::string TVFSHashFile::HashFilePath(const std::string& container_path) {
  size_t at = container_path.find_last_of(".\\/:");
  if (at != std::string::npos && container_path[at] == '.') {
    return container_path.substr(0, at) + ".ht";
  }
  return container_path + ".ht";
}

uint32_t TVFSHashFile::PathHash(std::string_view path, std::string_view name) {
  std::string_view prefix = path.substr(0, path.size() - std::min(path.size(), name.size()));
  std::string key;
  if (prefix.size() > 1 && prefix.back() == '\\') {
    key = std::string(prefix.substr(0, prefix.size() - 1)) + "/" + std::string(name);
  } else {
    key = std::string(name);
  }
  uint32_t h = 0;
  for (char c : key) h = h * 65599u + static_cast<uint8_t>(c);
  return h;
}

std::vector<THashRecord> TVFSHashFile::RecordsFor(const TVFSTree& tree) {
  // Ascending hash; the first file of a hash in node order stays, marked when others followed.
  std::map<uint32_t, THashRecord> by_hash;
  for (const TTreeFileInfo& node : tree.Nodes()) {
    if (node.index < 0 || !node.entry.IsFile()) continue;
    uint32_t hash = PathHash(node.path, node.entry.name);
    if (hash == 0) continue;  // 0 marks an empty record: such a file cannot be listed
    auto [it, inserted] = by_hash.try_emplace(hash);
    if (!inserted) {
      it->second.unique = 0;
      continue;
    }
    it->second = {hash,
                  node.entry.flags,
                  node.entry.stored_size,
                  node.entry.full_size,
                  static_cast<uint32_t>(node.entry.first_block),
                  1};
  }
  std::vector<THashRecord> out;
  out.reserve(by_hash.size());
  for (auto& [hash, record] : by_hash) out.push_back(record);
  return out;
}

std::string TVFSHashFile::Encode(const std::vector<THashRecord>& records) {
  std::string out;
  archive_io::ByteWriter w(out);
  w.U32(static_cast<uint32_t>(records.size()));
  for (const THashRecord& r : records) r.Encode(out);
  return out;
}

std::optional<std::vector<THashRecord>> TVFSHashFile::Decode(std::string_view bytes) {
  archive_io::ByteReader r(bytes);
  uint32_t count = r.U32();
  if (!r.ok() || count > r.remaining() / kHashRecordSize) return std::nullopt;
  std::vector<THashRecord> records(count);
  for (THashRecord& rec : records) {
    rec.hash = r.U32();
    rec.flags = r.U32();
    rec.stored_size = r.U32();
    rec.full_size = r.U32();
    rec.first_block = r.U32();
    rec.unique = r.U8();
  }
  return records;
}

void TVFSHashFile::BuildHashFile(const TVFSTree& tree) {
  std::vector<THashRecord> records = RecordsFor(tree);
  if (records.empty()) {
    if (platform::FileExists(path_)) platform::DeleteFile(path_);
    return;
  }
  // Written over an existing file rather than deleted and made anew, so the file keeps the
  // spelling it has on disk when the container was named in another case.
  std::string bytes = Encode(records);
  if (!platform::WriteFileBytes(path_, bytes.data(), bytes.size())) {
    throw SetupError("Unable to write the hash file " + path_ + ".");
  }
}

void TVFSHashFile::LoadHashFile() {
  loaded_ = false;
  records_.clear();
  if (!platform::FileExists(path_)) return;
  std::optional<std::string> bytes = platform::ReadFileBytes(path_);
  if (!bytes) return;
  std::optional<std::vector<THashRecord>> records = Decode(*bytes);
  if (!records) throw SetupError("The hash file " + path_ + " is damaged.");
  records_ = std::move(*records);
  loaded_ = true;
}

void TVFSHashFile::SaveHashFile() {
  if (!loaded_) return;
  if (records_.empty()) {
    if (platform::FileExists(path_)) platform::DeleteFile(path_);
    return;
  }
  std::string bytes = Encode(records_);
  if (!platform::WriteFileBytes(path_, bytes.data(), bytes.size())) {
    throw SetupError("Unable to write the hash file " + path_ + ".");
  }
}
