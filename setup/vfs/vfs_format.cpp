#include "setup/vfs/vfs_format.h"

#include "setup/io/byte_io.h"

namespace vfs {

std::string TVFSHeader::EncodeFixed() const {
  std::string out;
  archive_io::ByteWriter w(out);
  w.Bytes(std::string_view(identifier.data(), 4));
  w.U32(block_size);
  w.U32(block_count);
  w.U32(root_count);
  for (uint32_t v : kept) w.U32(v);
  w.Bytes(std::string_view(reinterpret_cast<const char*>(md5.data()), md5.size()));
  return out;
}

std::string TVFSHeader::EncodeDescription() const {
  std::string out;
  archive_io::ByteWriter w(out);
  w.U32(description_length);
  w.FixedName(description, kMinDescriptionLength);
  w.FixedName(further, description_length - kMinDescriptionLength);
  w.U32(used_blocks);
  return out;
}

void TVFSEntry::Encode(std::string& out) const {
  archive_io::ByteWriter w(out);
  w.FixedName(name, kNameSize);
  w.Zeros(3);
  w.U32(flags);
  w.U32(date);
  w.I32(first_block);
  w.U32(stored_size);
  w.U32(full_size);
}

TVFSEntry TVFSEntry::Decode(std::string_view bytes) {
  archive_io::ByteReader r(bytes.substr(0, kEntrySize));
  TVFSEntry e;
  std::string_view name = r.Bytes(kNameSize);
  e.name = std::string(name.substr(0, name.find('\0')));
  r.Skip(3);
  e.flags = r.U32();
  e.date = r.U32();
  e.first_block = r.I32();
  e.stored_size = r.U32();
  e.full_size = r.U32();
  return e;
}

}  // namespace vfs
