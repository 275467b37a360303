// Opening a package, reading its directory and loading, verifying and walking its entries.
#include <algorithm>
#include <cstring>

#include "platform/message_box.h"
#include "setup/core/buffer_manager.h"
#include "setup/core/crc32.h"
#include "setup/core/pak.h"
#include "setup/core/setup_error.h"
#include "setup/io/cp1252_case.h"
#include "setup/io/lzma_stream.h"
#include "setup/io/x86_branches.h"
#include "setup/io/zlib_stream.h"
#include "setup/io/zstd_stream.h"

namespace {

// Buffered exact reads from a region of a file, never past the region's end, so a damaged
// directory costs at most one small buffer however large its counts claim to be.
class RegionReader {
 public:
  RegionReader(platform::File& file, uint64_t start, uint64_t length)
      : file_(file), next_(start), left_(length) {}

  // The file position of the next byte Read answers.
  uint64_t Position() const { return next_ - (buffer_.size() - used_); }

  bool Read(void* destination, size_t size) {
    auto* out = static_cast<char*>(destination);
    while (size > 0) {
      if (used_ == buffer_.size() && !Refill()) return false;
      const size_t take = std::min(size, buffer_.size() - used_);
      std::memcpy(out, buffer_.data() + used_, take);
      used_ += take;
      out += take;
      size -= take;
    }
    return true;
  }

 private:
  static constexpr size_t kChunk = 64 * 1024;

  bool Refill() {
    if (left_ == 0) return false;
    const size_t take = static_cast<size_t>(std::min<uint64_t>(left_, kChunk));
    buffer_.resize(take);
    if (!file_.Seek(next_) || !file_.ReadExact(buffer_.data(), take)) return false;
    next_ += take;
    left_ -= take;
    used_ = 0;
    return true;
  }

  platform::File& file_;
  uint64_t next_;
  uint64_t left_;
  std::string buffer_;
  size_t used_ = 0;
};

uint16_t Le16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

uint32_t Le32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// The records of a coded directory before its last, inflated; nothing when the lengths do not
// fit the directory or the stream does not inflate to exactly the length it gives.
std::optional<std::string> ReadCodedRecords(RegionReader& reader, uint64_t directory_length,
                                            size_t count) {
  unsigned char header[kCodedDirectoryHeaderSize];
  if (!reader.Read(header, sizeof header)) return std::nullopt;
  const uint32_t stream_length = Le32(header);
  const uint32_t plain_length = Le32(header + 4);
  // The stream and the last record lie inside the directory; a record takes 20 to 20 + 65535
  // bytes, and the stream must be able to yield what it claims.
  if (directory_length < kCodedDirectoryHeaderSize + kRecordFixedSize ||
      stream_length > directory_length - kCodedDirectoryHeaderSize - kRecordFixedSize ||
      plain_length < count * kRecordFixedSize ||
      plain_length > count * (kRecordFixedSize + 0xFFFF) ||
      plain_length > archive_io::MaxInflatedSize(stream_length) ||
      (plain_length == 0) != (stream_length == 0)) {
    return std::nullopt;
  }
  std::string stream(stream_length, '\0');
  if (!reader.Read(stream.data(), stream.size())) return std::nullopt;
  std::string records(plain_length, '\0');
  size_t produced = 0;
  if (plain_length != 0 &&
      archive_io::ZlibInflateInto(stream, records.data(), records.size(), &produced) !=
          archive_io::InflateStatus::kExact) {
    return std::nullopt;
  }
  return records;
}

// Large raw entries carry no CRC (it is not computed when they are packed from a file).
bool CarriesCrc(const TPakFile& entry) { return !(entry.IsRaw() && entry.IsLarge()); }

}  // namespace

TPak::TPak(const std::string& file_name, bool create, bool append) {
  if (append) {
    mode_ = Mode::kAppend;
    file_ = platform::File::Open(file_name, platform::File::Mode::kReadWrite);
    if (file_) {
      const uint64_t size = file_->Size().value_or(0);
      package_base_ = static_cast<uint32_t>(std::min<uint64_t>(size, 0xFFFFFFFFu));
    }
  } else if (create) {
    mode_ = Mode::kCreate;
    file_ = platform::File::Open(file_name, platform::File::Mode::kCreate);
    package_base_ = 0;
  } else {
    mode_ = Mode::kRead;
    file_ = platform::File::Open(file_name, platform::File::Mode::kRead);
    ReadDirectory();
  }
}

TPak::~TPak() = default;

const TPakFile* TPak::Entry(int index) const {
  if (index < 0 || index >= EntryCount()) return nullptr;
  return &entries_[static_cast<size_t>(index)];
}

void TPak::ReadDirectory() {
  entries_.clear();
  trailer_ = TPakTrailer();
  cursor_ = 0;
  plain_records_start_ = 0;
  first_plain_record_ = 0;
  if (!file_) return;
  const std::optional<uint64_t> size = file_->Size();
  if (mode_ == Mode::kRead) read_size_ = size;
  if (!size || *size < kTrailerSize) return;

  unsigned char raw[kTrailerSize];
  if (!file_->Seek(*size - kTrailerSize) || !file_->ReadExact(raw, sizeof raw)) return;
  TPakTrailer trailer;
  std::memcpy(trailer.magic.data(), raw + kTrailerMagicOffset, trailer.magic.size());
  trailer.version = Le16(raw + kTrailerVersionOffset);
  trailer.entry_count = Le16(raw + kTrailerEntryCountOffset);
  trailer.package_base = Le32(raw + kTrailerPackageBaseOffset);
  trailer.directory_offset = Le32(raw + kTrailerDirectoryOffsetOffset);
  if (!trailer.HasMagic()) {
    trailer_ = trailer;  // kept for diagnostics; without the magic the package is absent
    return;
  }

  // The directory lies between its offset and the trailer; every record must be wholly inside.
  // A directory that does not fit makes the whole package count as absent.
  const uint64_t directory_end = *size - kTrailerSize;
  if (trailer.directory_offset > directory_end) return;
  const uint64_t directory_length = directory_end - trailer.directory_offset;
  RegionReader reader(*file_, trailer.directory_offset, directory_length);
  // Coded: the records before the last, inflated; read from memory instead of the file.
  std::string coded_records;
  size_t coded_used = 0;
  size_t coded_count = 0;
  uint64_t plain_start = trailer.directory_offset;
  if (!trailer.CodedDirectory()) {
    if (trailer.entry_count > directory_length / kRecordFixedSize) return;
  } else if (trailer.entry_count > 0) {
    std::optional<std::string> inflated =
        ReadCodedRecords(reader, directory_length, trailer.entry_count - 1u);
    if (!inflated) return;
    coded_records = std::move(*inflated);
    coded_count = trailer.entry_count - 1u;
    plain_start = reader.Position();
  }
  const auto read = [&](size_t record, void* out, size_t size) {
    if (record >= coded_count) return reader.Read(out, size);
    if (size > coded_records.size() - coded_used) return false;
    std::memcpy(out, coded_records.data() + coded_used, size);
    coded_used += size;
    return true;
  };

  std::vector<TPakFile> entries(trailer.entry_count);
  for (size_t record = 0; record < entries.size(); ++record) {
    TPakFile& entry = entries[record];
    unsigned char length_bytes[kRecordNameLengthSize];
    if (!read(record, length_bytes, sizeof length_bytes)) return;
    entry.name.resize(Le16(length_bytes));
    if (!read(record, entry.name.data(), entry.name.size())) return;
    unsigned char fixed[kRecordFixedSize - kRecordNameLengthSize];
    if (!read(record, fixed, sizeof fixed)) return;
    const unsigned char* p = fixed;
    entry.crc = Le32(p);
    p += kRecordCrcSize;
    entry.offset = Le32(p);
    p += kRecordOffsetSize;
    entry.stored_size = Le32(p);
    p += kRecordStoredSizeSize;
    entry.full_size = Le32(p);
    p += kRecordFullSizeSize;
    entry.group = Le16(p);
  }
  // The coded records are exactly the stream's bytes: nothing left over.
  if (coded_used != coded_records.size()) return;
  trailer_ = trailer;
  entries_ = std::move(entries);
  plain_records_start_ = plain_start;
  first_plain_record_ = static_cast<int>(coded_count);
  ApplyCodings();
}

void TPak::ApplyCodings() {
  codings_sound_ = true;
  const std::optional<int> table_index = FindEntryIndex(kCodingsEntry, 0);
  if (!table_index) return;
  const TEntryData read = ReadEntryQuietly(*table_index);
  std::optional<TCodingTable> table;
  if (read.status == TEntryData::Status::kOk) {
    table = TCodingTable::Decode(read.data.data(), read.data.size());
  }
  // Every run must fit the entries it names: a coded entry has a frame (stored size > 0) that
  // can yield what it holds, and the members of a block share its frame and fill it exactly.
  std::vector<TPakFile> coded = entries_;
  bool sound = table.has_value();
  for (size_t r = 0; sound && r < table->runs.size(); ++r) {
    const TCodedRun& run = table->runs[r];
    const size_t first = run.first;
    const size_t end = first + run.count;
    if (end > coded.size() ||
        (static_cast<size_t>(*table_index) >= first && static_cast<size_t>(*table_index) < end)) {
      sound = false;
      break;
    }
    const TPakFile& lead = coded[first];
    uint64_t position = 0;
    for (size_t i = first; sound && i < end; ++i) {
      TPakFile& entry = coded[i];
      sound = entry.stored_size != 0 && entry.full_size != 0 && !entry.IsLarge();
      entry.coding = run.coding;
      if (run.coding == TEntryCoding::kZstd) {
        sound = sound && entry.full_size <= MaxCodedOutput(run.coding, entry.stored_size);
        entry.block_size = entry.full_size;
        continue;
      }
      sound = sound && entry.offset == lead.offset && entry.stored_size == lead.stored_size &&
              entry.crc == lead.crc && entry.full_size <= run.block_size - position;
      entry.block_position = static_cast<uint32_t>(position);
      entry.block_size = run.block_size;
      entry.block_lead = run.first;
      position += entry.full_size;
    }
    if (IsBlockCoding(run.coding)) {
      sound = sound && position == run.block_size &&
              run.block_size <= MaxCodedOutput(run.coding, lead.stored_size);
    }
  }
  if (!sound) {
    codings_sound_ = false;
    return;
  }
  entries_ = std::move(coded);
}

std::optional<uint64_t> TPak::FileSize() const {
  if (!file_) return std::nullopt;
  if (mode_ == Mode::kRead) return read_size_;
  return file_->Size();
}

bool TPak::BlobInFile(const TPakFile& entry) const {
  const std::optional<uint64_t> size = FileSize();
  if (!size) return false;
  // Blobs lie in front of the directory. Once a directory is known (read, or written by this
  // object), an entry reaching into it is damaged: its directory and trailer bytes are no entry
  // data, and a large entry, whose CRC is never checked, would deliver them unnoticed.
  uint64_t end = *size;
  if (trailer_.HasMagic()) end = std::min<uint64_t>(end, trailer_.directory_offset);
  return entry.offset <= end && entry.BlobLength() <= end - entry.offset;
}

const TPakFile* TPak::ReadableBlob(int index) const {
  const TPakFile* entry = Entry(index);
  if (entry == nullptr || !file_) return nullptr;
  if (entry->BlobLength() == 0 || !BlobInFile(*entry)) return nullptr;
  // A damaged coding table is itself unreadable, so checking the package fails on it.
  if (!codings_sound_ && entry->group == 0 && entry->name == kCodingsEntry) return nullptr;
  return entry;
}

bool TPak::ReadStoredAt(const TPakFile& entry, char* out) const {
  if (!file_->ReadExactAt(entry.offset, out, entry.BlobLength())) return false;
  return !CarriesCrc(entry) || ComputeCrc32(out, entry.BlobLength()) == entry.crc;
}

bool TPak::ReadStoredInto(int index, std::string& blob) const {
  const TPakFile* entry = ReadableBlob(index);
  if (entry == nullptr) return false;
  blob.resize(entry->BlobLength());
  return ReadStoredAt(*entry, blob.data());
}

std::optional<std::string> TPak::ReadStored(int index) const {
  std::string blob;
  if (!ReadStoredInto(index, blob)) return std::nullopt;
  return blob;
}

bool TPak::StoredBytesPass(int index) const {
  const TPakFile* entry = ReadableBlob(index);
  if (entry == nullptr) return false;
  if (entry->IsSolid() && entry->block_lead != index) return true;
  if (!CarriesCrc(*entry)) return true;
  const uint32_t length = entry->BlobLength();
  char buffer[1 << 16];
  uint32_t crc = 0xFFFFFFFFu;
  for (uint32_t done = 0; done < length;) {
    const uint32_t piece = std::min<uint32_t>(length - done, sizeof buffer);
    if (!file_->ReadExactAt(entry->offset + done, buffer, piece)) return false;
    crc = UpdateCrc32(crc, buffer, piece);
    done += piece;
  }
  return ~crc == entry->crc;
}

TEntryData TPak::ReadEntryQuietly(int index) const {
  std::string scratch;
  return ReadEntryQuietly(index, scratch);
}

TEntryData TPak::ReadEntryQuietly(int index, std::string& scratch) const {
  std::string out;
  TEntryData result = ReadQuietly(index, scratch, [&out](size_t size) {
    out.resize(size);
    return out.data();
  });
  if (result.status == TEntryData::Status::kOk) result.data = std::move(out);
  return result;
}

TEntryData TPak::ReadEntryQuietlyInto(int index, std::string& scratch, char* out) const {
  return ReadQuietly(index, scratch, [out](size_t) { return out; });
}

size_t TPak::ReadSize(int index) const {
  const TPakFile* entry = ReadableBlob(index);
  if (entry == nullptr) return 0;
  // A full size the stored bytes could not yield is damage: nothing of that size is allocated,
  // the stream's real length is only counted. (The coding table's sizes were checked against
  // the zstd rule when it was read.)
  if (entry->coding != TEntryCoding::kZlib) return entry->full_size;
  if (!entry->IsRaw() && entry->full_size > archive_io::MaxInflatedSize(entry->stored_size)) {
    return 0;
  }
  return entry->full_size;
}

TEntryData TPak::ReadQuietly(int index, std::string& scratch,
                             const std::function<char*(size_t size)>& room) const {
  TEntryData result;
  const TPakFile* found = ReadableBlob(index);
  if (found == nullptr) return result;
  const TPakFile& entry = *found;
  if (entry.IsRaw()) {
    if (ReadStoredAt(entry, room(entry.full_size))) result.status = TEntryData::Status::kOk;
    return result;
  }
  if (entry.full_size == 0 || !ReadStoredInto(index, scratch)) return result;
  const std::string_view stored = scratch;
  if (entry.coding == TEntryCoding::kZstd) {
    return DecodeFrame(entry, stored, room(entry.full_size), entry.full_size, true);
  }
  if (entry.IsSolid()) {
    // Read alone: the block is decoded as far as the entry's end, no further (to the end, the
    // frame's checksum is checked as well). Converted branches need a few bytes beyond it.
    size_t reach = size_t{entry.block_position} + entry.full_size;
    if (HasX86Branches(entry.coding)) {
      reach = std::min<size_t>(reach + archive_io::kX86BranchReach, entry.block_size);
    }
    std::string front(reach, '\0');
    result =
        DecodeFrame(entry, stored, front.data(), front.size(), front.size() == entry.block_size);
    if (result.status == TEntryData::Status::kOk) {
      std::memcpy(room(entry.full_size), front.data() + entry.block_position, entry.full_size);
    }
    return result;
  }

  if (const size_t size = ReadSize(index); size != 0) {
    size_t produced = 0;
    // Room is taken only now, so a damaged blob (its CRC checked) costs none.
    switch (archive_io::ZlibInflateInto(stored, room(size), size, &produced)) {
      case archive_io::InflateStatus::kExact:
        result.status = TEntryData::Status::kOk;
        return result;
      case archive_io::InflateStatus::kShorter:
        result.status = TEntryData::Status::kWrongSize;
        result.produced = produced;
        return result;
      case archive_io::InflateStatus::kBroken:
        result.status = TEntryData::Status::kBroken;
        return result;
      case archive_io::InflateStatus::kLonger:
        break;
    }
  }
  const std::optional<uint64_t> length = archive_io::ZlibInflatedLength(stored);
  if (!length) {
    result.status = TEntryData::Status::kBroken;
  } else {
    result.status = TEntryData::Status::kWrongSize;
    result.produced = *length;
  }
  return result;
}

TEntryData TPak::DecodeFrame(const TPakFile& entry, std::string_view stored, char* out, size_t size,
                             bool whole) const {
  TEntryData result;
  size_t produced = 0;
  const auto decode =
      IsLzmaCoding(entry.coding) ? archive_io::LzmaDecodeInto : archive_io::ZstdDecodeInto;
  switch (decode(stored, out, size, whole, &produced)) {
    case archive_io::InflateStatus::kExact:
      result.status = TEntryData::Status::kOk;
      if (HasX86Branches(entry.coding)) {
        archive_io::ConvertX86Branches(reinterpret_cast<unsigned char*>(out), size, false);
      }
      break;
    case archive_io::InflateStatus::kShorter:
      result.status = TEntryData::Status::kWrongSize;
      // The entry's own share of what the frame yielded, for the size message.
      result.produced = produced - std::min<size_t>(produced, entry.block_position);
      break;
    case archive_io::InflateStatus::kLonger:
    case archive_io::InflateStatus::kBroken:
      result.status = TEntryData::Status::kBroken;
      break;
  }
  return result;
}

TEntryData TPak::ReadBlockQuietlyInto(int index, std::string& scratch, char* out) const {
  const TPakFile* entry = Entry(index);
  if (entry == nullptr || !entry->IsSolid() || !ReadStoredInto(index, scratch)) {
    return TEntryData();
  }
  return DecodeFrame(*entry, scratch, out, entry->block_size, true);
}

std::optional<std::string> TPak::FinishLoad(int index, TEntryData read) const {
  const TPakFile* entry = Entry(index);
  switch (read.status) {
    case TEntryData::Status::kOk:
      return std::move(read.data);
    case TEntryData::Status::kUnreadable:
      return std::nullopt;
    case TEntryData::Status::kWrongSize:
      platform::MessageBox(entry->name + "\r\rError: DecompSize - " +
                               std::to_string(read.produced) + " OrigSize - " +
                               std::to_string(entry->full_size),
                           "Error", platform::kMbOk);
      return std::nullopt;
    case TEntryData::Status::kBroken:
      break;
  }
  throw SetupError("error");
}

std::optional<std::string> TPak::LoadEntry(int index) const {
  return FinishLoad(index, ReadEntryQuietly(index));
}

bool TPak::VerifyEntry(int index) const {
  const TPakFile* entry = Entry(index);
  if (entry == nullptr) return false;
  // Large entries are not read, but a blob that runs past the directory or the end of the file
  // (a cut-off download) would only fail halfway through the install; that much is checked here.
  if (entry->IsLarge()) return BlobInFile(*entry);
  return LoadEntry(index).has_value();
}

size_t TPak::ReadBlobRange(int index, uint64_t position, void* buffer, size_t size) const {
  const TPakFile* entry = Entry(index);
  if (entry == nullptr || !file_) return 0;
  const uint32_t length = entry->BlobLength();
  if (position >= length || !BlobInFile(*entry)) return 0;
  const size_t take = static_cast<size_t>(std::min<uint64_t>(size, length - position));
  // The blob lies wholly inside the file (BlobInFile), so anything short is a read failure.
  return file_->ReadExactAt(entry->offset + position, buffer, take) ? take : 0;
}

bool TPak::ReadFileRange(uint64_t position, void* buffer, size_t size) const {
  return file_ && file_->ReadExactAt(position, buffer, size);
}

std::optional<uint64_t> TPak::RecordCrcPosition(int index) const {
  if (Entry(index) == nullptr) return std::nullopt;
  // Plain records lie back to back: each is its name and the fixed fields; the CRC field
  // follows the name. A coded record has no place in the file.
  if (index < first_plain_record_) return std::nullopt;
  uint64_t position = plain_records_start_;
  for (int i = first_plain_record_; i < index; ++i) {
    position += kRecordFixedSize + entries_[i].name.size();
  }
  return position + kRecordNameLengthSize + entries_[index].name.size();
}

std::optional<int> TPak::FindEntryIndex(const std::string& name, uint16_t group) const {
  for (size_t i = 0; i < entries_.size(); ++i) {
    if (entries_[i].group == group && SameTextCp1252(entries_[i].name, name)) {
      return static_cast<int>(i);
    }
  }
  return std::nullopt;
}

std::optional<std::string> TPak::FindEntry(const std::string& name, uint16_t group,
                                           uint32_t* full_size) {
  if (full_size != nullptr) *full_size = 0;
  const std::optional<int> index = FindEntryIndex(name, group);
  if (!index) return std::nullopt;
  std::optional<std::string> data = LoadEntry(*index);
  if (data && full_size != nullptr) *full_size = entries_[static_cast<size_t>(*index)].full_size;
  return data;
}

TGroupItem TPak::MakeItem(int index, bool load) {
  TGroupItem item;
  item.found = true;
  item.index = index;
  item.name = entries_[static_cast<size_t>(index)].name;
  item.full_size = entries_[static_cast<size_t>(index)].full_size;
  if (load) item.data = LoadEntry(index);
  return item;
}

TGroupItem TPak::FirstInGroup(uint16_t group, bool load) {
  cursor_ = 0;
  return NextInGroup(group, load);
}

TGroupItem TPak::NextInGroup(uint16_t group, bool load) {
  const std::optional<int> index = NextIndexInGroup(group);
  if (!index) return TGroupItem();
  return MakeItem(*index, load);
}

std::optional<int> TPak::FirstIndexInGroup(uint16_t group) {
  cursor_ = 0;
  return NextIndexInGroup(group);
}

std::optional<int> TPak::NextIndexInGroup(uint16_t group) {
  for (int i = std::max(cursor_, 0); i < EntryCount(); ++i) {
    if (entries_[static_cast<size_t>(i)].group == group) {
      cursor_ = i + 1;
      return i;
    }
  }
  return std::nullopt;
}

void TPak::ForEachInGroup(uint16_t group, const std::function<void(int index)>& callback) {
  for (std::optional<int> index = FirstIndexInGroup(group); index;
       index = NextIndexInGroup(group)) {
    callback(*index);
  }
}

int TPak::CountGrouped() const {
  return static_cast<int>(std::count_if(entries_.begin(), entries_.end(),
                                        [](const TPakFile& e) { return e.group != 0; }));
}

int TPak::CountInGroup(uint16_t group) const {
  return static_cast<int>(std::count_if(entries_.begin(), entries_.end(),
                                        [group](const TPakFile& e) { return e.group == group; }));
}

void TPak::Close() { file_.reset(); }
