// Writing packages: preparing entry blobs, appending them, and writing directory and trailer.
#include <algorithm>
#include <cstring>
#include <limits>

#include "setup/core/buffer_manager.h"
#include "setup/core/crc32.h"
#include "setup/core/integrity_record.h"
#include "setup/core/pak.h"
#include "setup/core/setup_error.h"

namespace {

constexpr uint64_t kMaxFileOffset = std::numeric_limits<uint32_t>::max();

std::string CannotOpenText(const std::string& path) {
  return "Cannot open file \"" + path + "\". The system cannot find the file specified";
}

}  // namespace

std::optional<TPreparedEntry> PrepareEntry(const void* data, size_t size) {
  archive_io::ZlibCompressor compressor(archive_io::kPackageLevel);
  return PrepareEntry(data, size, compressor);
}

std::optional<TPreparedEntry> PrepareEntry(const void* data, size_t size,
                                           archive_io::ZlibCompressor& compressor) {
  if (data == nullptr || size == 0 || size > kMaxFileOffset) return std::nullopt;
  TPreparedEntry entry;
  entry.full_size = static_cast<uint32_t>(size);
  std::optional<std::string> compressed;
  if (size < kLargeEntrySize) {
    compressed = compressor.Compress(std::string_view(static_cast<const char*>(data), size));
  }
  // Equal lengths keep the compressed form; only a longer result (or a large entry) stays raw.
  if (compressed && compressed->size() <= size) {
    entry.stored = std::move(*compressed);
    entry.compressed = true;
  } else {
    entry.stored.assign(static_cast<const char*>(data), size);
    entry.compressed = false;
  }
  entry.crc = ComputeCrc32(entry.stored.data(), entry.stored.size());
  return entry;
}

std::string ReadWholeFile(const std::string& path) {
  std::optional<std::string> bytes = platform::ReadFileBytes(path);
  if (!bytes) throw SetupError(CannotOpenText(path));
  return std::move(*bytes);
}

int TPak::AddEntry(const std::string& name, const std::string& source_path, uint16_t group) {
  TPakFile entry;
  entry.name = name;
  entry.source_path = source_path;
  entry.group = group;
  entries_.push_back(std::move(entry));
  return EntryCount() - 1;
}

std::optional<std::string> TPak::PrepareData(int index, const void* data, size_t size) {
  if (index < 0 || index >= EntryCount()) return std::nullopt;
  TPakFile& entry = entries_[static_cast<size_t>(index)];
  if (size > kMaxFileOffset) return std::nullopt;
  entry.full_size = static_cast<uint32_t>(size);
  std::optional<TPreparedEntry> prepared = PrepareEntry(data, size);
  if (!prepared) return std::nullopt;
  entry.stored_size = prepared->compressed ? static_cast<uint32_t>(prepared->stored.size()) : 0;
  entry.crc = prepared->crc;
  return std::move(prepared->stored);
}

bool TPak::AppendBlob(TPakFile& entry, const std::string& blob) {
  if (!file_ || mode_ == Mode::kRead) return false;
  const std::optional<uint64_t> end = file_->Size();
  // Offsets are 32-bit in the directory; a blob that would start or end past that is refused
  // rather than recorded at a wrapped offset.
  if (!end || *end > kMaxFileOffset || blob.size() > kMaxFileOffset - *end) return false;
  if (!file_->Seek(*end)) return false;
  entry.offset = static_cast<uint32_t>(*end);
  return file_->Write(blob.data(), blob.size());
}

bool TPak::StoreFromMemory(int index, const void* data, size_t size) {
  std::optional<std::string> blob = PrepareData(index, data, size);
  if (!blob) return false;
  return AppendBlob(entries_[static_cast<size_t>(index)], *blob);
}

bool TPak::CopyLargeFile(TPakFile& entry, platform::File& source, uint64_t size) {
  if (!file_ || mode_ == Mode::kRead) return false;
  const std::optional<uint64_t> end = file_->Size();
  if (!end || *end > kMaxFileOffset || size > kMaxFileOffset - *end) return false;
  if (!file_->Seek(*end) || !source.Seek(0)) return false;
  entry.offset = static_cast<uint32_t>(*end);
  std::string chunk(static_cast<size_t>(std::min<uint64_t>(size, kLargeEntryCopyChunk)), '\0');
  uint64_t left = size;
  while (left > 0) {
    const size_t take = static_cast<size_t>(std::min<uint64_t>(left, chunk.size()));
    if (!source.ReadExact(chunk.data(), take) || !file_->Write(chunk.data(), take)) return false;
    left -= take;
  }
  return true;
}

bool TPak::StoreFromFile(int index) {
  if (index < 0 || index >= EntryCount()) return false;
  TPakFile& entry = entries_[static_cast<size_t>(index)];
  std::optional<platform::File> source =
      platform::File::Open(entry.source_path, platform::File::Mode::kRead);
  if (!source) throw SetupError(CannotOpenText(entry.source_path));
  const std::optional<uint64_t> size = source->Size();
  if (!size) return false;
  if (*size >= kLargeEntrySize) {
    // Large files are stored raw without a CRC and copied in chunks, so memory stays bounded.
    if (*size > kMaxFileOffset) return false;
    entry.full_size = static_cast<uint32_t>(*size);
    entry.stored_size = 0;
    entry.crc = 0;
    return CopyLargeFile(entry, *source, *size);
  }
  std::string bytes(static_cast<size_t>(*size), '\0');
  if (!bytes.empty() && !source->ReadExact(bytes.data(), bytes.size())) return false;
  source.reset();
  return StoreFromMemory(index, bytes.data(), bytes.size());
}

bool TPak::AddPreparedEntry(const std::string& name, uint16_t group, const std::string& stored,
                            uint32_t full_size, uint32_t crc, bool is_compressed) {
  const int index = AddEntry(name, std::string(), group);
  // Nothing to store (an empty entry), or sizes that contradict the blob: the entry stays
  // zeroed, as an entry stored from no bytes does.
  if (stored.empty() || stored.size() > kMaxFileOffset) return false;
  if (!is_compressed && stored.size() != full_size) return false;
  TPakFile& entry = entries_[static_cast<size_t>(index)];
  entry.full_size = full_size;
  entry.stored_size = is_compressed ? static_cast<uint32_t>(stored.size()) : 0;
  entry.crc = crc;
  return AppendBlob(entry, stored);
}

bool TPak::AddPreparedEntry(const std::string& name, uint16_t group, const TPreparedEntry& entry) {
  return AddPreparedEntry(name, group, entry.stored, entry.full_size, entry.crc, entry.compressed);
}

void TPak::ShareBlob(int index, int from, uint32_t full_size) {
  if (index < 0 || index >= EntryCount() || from < 0 || from >= EntryCount()) return;
  TPakFile& entry = entries_[static_cast<size_t>(index)];
  const TPakFile& blob = entries_[static_cast<size_t>(from)];
  entry.offset = blob.offset;
  entry.stored_size = blob.stored_size;
  entry.crc = blob.crc;
  entry.full_size = full_size;
}

void TPak::SetCoding(int index, TEntryCoding coding, uint32_t block_position, uint32_t block_size) {
  if (index < 0 || index >= EntryCount()) return;
  TPakFile& entry = entries_[static_cast<size_t>(index)];
  entry.coding = coding;
  entry.block_position = block_position;
  entry.block_size = coding == TEntryCoding::kZstd ? entry.full_size : block_size;
}

bool TPak::AddCodingTable() {
  if (FindEntryIndex(kCodingsEntry, 0)) return true;
  // The table goes with the kit's own entries, in front of the first grouped entry (or of a
  // closing integrity record, which stays the last entry).
  size_t place = 0;
  while (place < entries_.size() && entries_[place].group == 0) ++place;
  if (place == entries_.size() && place > 0 && entries_.back().name == kIntegrityEntry) --place;
  // Neighbouring entries of one coding make a run: zstd entries one after another, a block's
  // members (which lie in it back to back in directory order) one run per block.
  TCodingTable table;
  uint64_t next_position = 0;  // where the next member of the current block must start
  for (size_t i = 0; i < entries_.size(); ++i) {
    const TPakFile& entry = entries_[i];
    if (entry.coding == TEntryCoding::kZlib) continue;
    const size_t index = i < place ? i : i + 1;
    if (index > 0xFFFF) return false;
    const bool block = IsBlockCoding(entry.coding);
    TCodedRun* last = table.runs.empty() ? nullptr : &table.runs.back();
    const bool follows =
        last != nullptr && last->coding == entry.coding &&
        size_t{last->first} + last->count == index && i != place && last->count < 0xFFFF &&
        (!block ||
         (entry.offset == entries_[i - 1].offset && entry.block_size == last->block_size));
    if (follows) {
      ++last->count;
    } else {
      table.runs.push_back(
          {static_cast<uint16_t>(index), 1, entry.coding, block ? entry.block_size : 0});
      next_position = 0;
    }
    // A block whose members are not back to back in directory order cannot be described.
    if (block && entry.block_position != next_position) return false;
    next_position += entry.full_size;
  }
  if (table.runs.empty()) return true;
  // Stored like any entry: zlib when that is shorter.
  const std::string bytes = table.Encode();
  archive_io::ZlibCompressor compressor(archive_io::kKitEntryLevel);
  const std::optional<TPreparedEntry> prepared =
      PrepareEntry(bytes.data(), bytes.size(), compressor);
  if (!prepared) return false;
  const bool stored = AddPreparedEntry(kCodingsEntry, 0, *prepared);
  std::rotate(entries_.begin() + static_cast<std::ptrdiff_t>(place), entries_.end() - 1,
              entries_.end());
  return stored;
}

bool TPak::WriteDirectory() {
  if (!file_ || mode_ == Mode::kRead) return false;
  if (!AddCodingTable()) return false;
  const std::optional<uint64_t> end = file_->Size();
  // The trailer holds a 2-byte count and a 32-bit offset; a directory they cannot describe
  // would make the whole package unreadable, so it is not written.
  if (!end || *end > kMaxFileOffset || entries_.size() > 0xFFFF) return false;

  // A package with a coding table gets a coded directory; one of zlib entries only keeps the
  // plain directory, so its bytes stay as they always were.
  const bool coded = FindEntryIndex(kCodingsEntry, 0).has_value();
  bool whole = true;
  const auto write_records = [&](TBufferWriter& out, size_t from, size_t to) {
    for (size_t i = from; i < to; ++i) {
      const TPakFile& entry = entries_[i];
      whole = out.WriteShortString(entry.name) && whole;
      out.WriteUInt32(entry.crc);
      out.WriteUInt32(entry.offset);
      out.WriteUInt32(entry.stored_size);
      out.WriteUInt32(entry.full_size);
      out.WriteUInt16(entry.group);
    }
  };
  TBufferWriter out;
  if (coded) {
    TBufferWriter records;
    write_records(records, 0, entries_.size() - 1);
    std::string stream;
    if (records.Size() != 0) {
      archive_io::ZlibCompressor compressor(archive_io::kKitEntryLevel);
      stream = compressor.Compress(records.Data());
      if (stream.empty()) return false;
    }
    out.WriteUInt32(static_cast<uint32_t>(stream.size()));
    out.WriteUInt32(static_cast<uint32_t>(records.Size()));
    out.WriteBytes(stream.data(), stream.size());
    first_plain_record_ = static_cast<int>(entries_.size() - 1);
    plain_records_start_ = *end + out.Size();
    write_records(out, entries_.size() - 1, entries_.size());
  } else {
    first_plain_record_ = 0;
    plain_records_start_ = *end;
    write_records(out, 0, entries_.size());
  }
  if (out.Size() > kMaxFileOffset - *end) return false;

  trailer_.magic = coded ? kPakCodedMagic : kPakMagic;
  trailer_.version = kPakVersion;
  trailer_.entry_count = static_cast<uint16_t>(entries_.size());
  trailer_.package_base = package_base_;
  trailer_.directory_offset = static_cast<uint32_t>(*end);
  out.WriteBytes(trailer_.magic.data(), trailer_.magic.size());
  out.WriteUInt16(trailer_.version);
  out.WriteUInt16(trailer_.entry_count);
  out.WriteUInt32(trailer_.package_base);
  out.WriteUInt32(trailer_.directory_offset);

  if (!file_->Seek(*end)) return false;
  return file_->Write(out.Data().data(), out.Size()) && whole;
}
