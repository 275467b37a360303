// TPak: the package container that travels appended to the installer executable (or in a file
// of its own). Entries are named, grouped, CRC-checked blobs stored zlib-compressed or raw,
// followed by a directory and a 16-byte trailer at the very end of the file.
//
// Every stored number is read as untrusted: the directory and each blob are checked against the
// real file size before anything is allocated, so a damaged package yields "nothing", not a crash.
// A TPak has no locking and one group cursor; group walks on one object must not interleave.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/files.h"
#include "setup/core/entry_codings.h"
#include "setup/io/zlib_stream.h"

// Entries of this full size or more are stored raw, never CRC-checked and copied in chunks.
constexpr uint32_t kLargeEntrySize = 0x4600000;  // 70 MiB
// Chunk in which large entries are copied.
constexpr size_t kLargeEntryCopyChunk = 25u * 1024 * 1024;

// Trailer layout (the last bytes of a package file).
constexpr size_t kTrailerMagicOffset = 0;
constexpr size_t kTrailerVersionOffset = 4;
constexpr size_t kTrailerEntryCountOffset = 6;
constexpr size_t kTrailerPackageBaseOffset = 8;
constexpr size_t kTrailerDirectoryOffsetOffset = 12;
constexpr size_t kTrailerSize = 16;
constexpr std::array<char, 4> kPakMagic = {'Q', 'X', 'P', 'F'};
// A package whose directory is coded: the records of all entries but the last are one zlib
// stream, the last record (the integrity record, whose CRC is filled in once the file is
// sealed) stays plain. Laid out between the directory offset and the trailer as: the stream's
// length (4), the records' plain length (4), the stream, the last record. A directory of many
// small files is mostly path names, which this keeps to about a sixth. Packages whose entries are
// all zlib keep the plain directory, byte for byte.
constexpr std::array<char, 4> kPakCodedMagic = {'Q', 'X', 'P', 'C'};
constexpr size_t kCodedDirectoryHeaderSize = 8;
constexpr uint16_t kPakVersion = 1;

// Directory record: name length, name, then the fixed fields below.
constexpr size_t kRecordNameLengthSize = 2;
constexpr size_t kRecordCrcSize = 4;
constexpr size_t kRecordOffsetSize = 4;
constexpr size_t kRecordStoredSizeSize = 4;
constexpr size_t kRecordFullSizeSize = 4;
constexpr size_t kRecordGroupSize = 2;
constexpr size_t kRecordFixedSize = kRecordNameLengthSize + kRecordCrcSize + kRecordOffsetSize +
                                    kRecordStoredSizeSize + kRecordFullSizeSize + kRecordGroupSize;
static_assert(kRecordFixedSize == 20);

// One entry of the directory (source_path is the write side's file and is never stored).
struct TPakFile {
  std::string name;
  std::string source_path;
  uint32_t crc = 0;
  uint32_t offset = 0;
  uint32_t stored_size = 0;  // compressed length; 0 = stored raw (or empty)
  uint32_t full_size = 0;    // length after decompression
  uint16_t group = 0;
  // From the package's coding table (never stored in the directory record itself).
  TEntryCoding coding = TEntryCoding::kZlib;
  uint32_t block_position = 0;  // solid: where the entry starts in its block's bytes
  uint32_t block_size = 0;      // solid: the block's bytes
  int block_lead = -1;          // solid: the first entry of the directory in the same block

  bool IsLarge() const { return full_size >= kLargeEntrySize; }
  bool IsRaw() const { return stored_size == 0 && full_size > 0; }
  bool IsSolid() const { return IsBlockCoding(coding); }
  // Bytes the blob occupies in the file.
  uint32_t BlobLength() const { return stored_size != 0 ? stored_size : full_size; }
};

// Copy of the 16-byte trailer.
struct TPakTrailer {
  std::array<char, 4> magic = {0, 0, 0, 0};
  uint16_t version = 0;
  uint16_t entry_count = 0;
  uint32_t package_base = 0;
  uint32_t directory_offset = 0;

  bool HasMagic() const { return magic == kPakMagic || magic == kPakCodedMagic; }
  bool CodedDirectory() const { return magic == kPakCodedMagic; }
};

// An entry made ready for storing: the blob bytes, their CRC and the directory sizes.
struct TPreparedEntry {
  std::string stored;  // compressed zlib stream, or the raw bytes
  uint32_t full_size = 0;
  uint32_t crc = 0;  // CRC-32 of `stored`
  bool compressed = false;
};

// Prepares raw bytes for storing exactly as TPak::PrepareData does: below 70 MiB compressed in
// zlib format at the package level; kept raw when compression makes them longer or when they are
// large. Nothing for 0 bytes or for data too long for the 32-bit size fields. The result depends
// only on the bytes, so a packer can prepare entries on all cores (each thread with its own
// compressor) and store them in directory order.
std::optional<TPreparedEntry> PrepareEntry(const void* data, size_t size);
std::optional<TPreparedEntry> PrepareEntry(const void* data, size_t size,
                                           archive_io::ZlibCompressor& compressor);

// Reads a whole file through the platform layer; a missing or unreadable file raises SetupError.
std::string ReadWholeFile(const std::string& path);

// What a group walk step found.
struct TGroupItem {
  bool found = false;
  int index = -1;
  std::string name;
  uint32_t full_size = 0;
  std::optional<std::string> data;  // set only when loading was asked for and succeeded
};

// An entry read and inflated without showing or raising anything (TPak::ReadEntryQuietly).
struct TEntryData {
  enum class Status {
    kOk,          // `data` holds the full-size bytes
    kUnreadable,  // nothing to read: empty, outside the file, short read or CRC mismatch
    kWrongSize,   // the stream inflates to `produced` bytes instead of the full size
    kBroken,      // not a valid zlib stream, zstd frame or LZMA stream
  };
  Status status = Status::kUnreadable;
  std::string data;
  uint64_t produced = 0;
};

class TPak {
 public:
  enum class Mode { kRead, kAppend, kCreate };

  // Opens `file_name`: append (wins over create) opens an existing file for writing a package
  // after its current end; create creates or truncates; neither opens for reading and reads
  // the directory at once.
  TPak(const std::string& file_name, bool create, bool append);
  TPak(const TPak&) = delete;
  TPak& operator=(const TPak&) = delete;
  ~TPak();

  Mode GetMode() const { return mode_; }
  bool IsOpen() const { return file_.has_value(); }
  const TPakTrailer& Trailer() const { return trailer_; }
  // Package base: the length of the prefix before the first blob.
  uint32_t PackageBase() const { return package_base_; }

  const std::vector<TPakFile>& Entries() const { return entries_; }
  int EntryCount() const { return static_cast<int>(entries_.size()); }
  // Nullptr for an index outside the directory.
  const TPakFile* Entry(int index) const;

  // Reads trailer and directory. A missing trailer, foreign magic or a directory that does not
  // fit the file leaves no entries; in the last case the trailer copy is cleared as well, so the
  // package counts as absent rather than as one with no entries.
  void ReadDirectory();

  // --- Writing (create and append modes) ---

  // Appends a zeroed entry; answers its index.
  int AddEntry(const std::string& name, const std::string& source_path, uint16_t group);
  // Compresses or keeps raw, sets the entry's sizes and CRC; answers the blob bytes. Nothing
  // for no bytes (the entry keeps CRC 0) or an index outside the directory.
  std::optional<std::string> PrepareData(int index, const void* data, size_t size);
  // PrepareData, then appends the blob at the end of the file and records its offset.
  bool StoreFromMemory(int index, const void* data, size_t size);
  // Stores the entry's source file. A file of 70 MiB or more is copied raw in chunks with CRC 0.
  // A missing source file raises SetupError.
  bool StoreFromFile(int index);
  // Adds an entry whose blob was prepared by the caller (see PrepareEntry) and appends the blob.
  // The entry is added even when storing fails; answers whether the blob was written.
  bool AddPreparedEntry(const std::string& name, uint16_t group, const std::string& stored,
                        uint32_t full_size, uint32_t crc, bool is_compressed);
  bool AddPreparedEntry(const std::string& name, uint16_t group, const TPreparedEntry& entry);
  // Makes an added entry share the blob of entry `from` (offset, stored size, CRC), with its own
  // full size: the members of one solid block.
  void ShareBlob(int index, int from, uint32_t full_size);
  // Marks an added entry as coded with zstd (its blob one frame) or as a member of a solid
  // block (its blob the block's frame or LZMA stream, shared with the other members).
  // WriteDirectory then stores the coding table in front of the directory.
  void SetCoding(int index, TEntryCoding coding, uint32_t block_position = 0,
                 uint32_t block_size = 0);
  // Writes the directory and the trailer at the end of the file.
  bool WriteDirectory();

  // --- Reading ---
  // ReadStored, ReadEntryQuietly and ReadBlobRange read at explicit offsets and change nothing,
  // so several threads may call them on one read-mode package at once.

  // The blob as stored, when it lies wholly in front of the directory and its CRC matches
  // (large entries are not checked). Nothing for an empty entry.
  std::optional<std::string> ReadStored(int index) const;
  // Whether ReadStored would answer the blob, proven by reading it in pieces into a small
  // buffer: checking a whole package allocates nothing per entry. A member of a solid block
  // other than the block's first entry in the directory answers true without reading: its
  // blob is the first member's, which a check of every entry reads once.
  bool StoredBytesPass(int index) const;
  // The entry's full-size data. A decompressed length that differs from the full size shows an
  // "Error" message box and answers nothing; a broken zlib stream raises SetupError("error").
  std::optional<std::string> LoadEntry(int index) const;
  // LoadEntry in two halves: the reading and inflating, which shows and raises nothing, and the
  // answer with its message or error, which belongs to the thread that may show them.
  TEntryData ReadEntryQuietly(int index) const;
  // The same, reading a compressed blob into `scratch`, whose room a caller that reads many
  // entries keeps from one to the next (a raw blob is read into the answer itself).
  TEntryData ReadEntryQuietly(int index, std::string& scratch) const;
  // The bytes a whole read of the entry yields: its full size, or 0 when there is nothing to
  // read (no blob in the file, or a full size its stored bytes could not yield).
  size_t ReadSize(int index) const;
  // ReadEntryQuietly into `out`, which has room for ReadSize(index) bytes and holds them when
  // the answer is kOk; the answer's own data stays empty. For a caller that keeps the bytes of
  // many entries in memory of its own.
  TEntryData ReadEntryQuietlyInto(int index, std::string& scratch, char* out) const;
  std::optional<std::string> FinishLoad(int index, TEntryData read) const;
  // For a solid entry: the whole block's bytes decoded into `out`, which has room for
  // entry.block_size bytes (the entry's own bytes start at entry.block_position). kOk only when
  // the frame's CRC matches and it yields exactly the block's bytes.
  TEntryData ReadBlockQuietlyInto(int index, std::string& scratch, char* out) const;
  // Whether the package's coding table was there and sound (or absent); a damaged one makes the
  // table's own entry fail VerifyEntry, so start-up refuses the package.
  bool CodingsSound() const { return codings_sound_; }
  // For a large entry: whether its blob lies in front of the directory (it is not read); otherwise
  // whether LoadEntry succeeds.
  bool VerifyEntry(int index) const;
  // Reads up to `size` bytes of a raw blob starting `position` bytes into it (for chunked
  // copying of large entries); answers the count read, 0 past the blob or for a blob that does
  // not lie in front of the directory.
  size_t ReadBlobRange(int index, uint64_t position, void* buffer, size_t size) const;
  // Reads exactly `size` bytes at `position` of the file, anywhere in it (for a check of the
  // whole file through the handle the package is read by); false when fewer are there.
  bool ReadFileRange(uint64_t position, void* buffer, size_t size) const;
  // Size of the file of a read-mode package, as it was when the directory was read.
  std::optional<uint64_t> ReadModeFileSize() const { return read_size_; }
  // File position of the first byte of entry `index`'s CRC field in the directory, as the
  // directory was read; nothing for an index outside it.
  std::optional<uint64_t> RecordCrcPosition(int index) const;

  // First entry in directory order with that name (case ignored) and group, loaded. `full_size`
  // receives the entry's full size when found and loaded, else 0.
  std::optional<std::string> FindEntry(const std::string& name, uint16_t group,
                                       uint32_t* full_size = nullptr);
  // Index of that entry, without loading it.
  std::optional<int> FindEntryIndex(const std::string& name, uint16_t group) const;

  // Group walks over the one group cursor.
  TGroupItem FirstInGroup(uint16_t group, bool load);
  // From the cursor on: the next entry of the group; cursor := its index + 1. When none is left
  // the result is not found and the cursor stays.
  TGroupItem NextInGroup(uint16_t group, bool load);
  std::optional<int> FirstIndexInGroup(uint16_t group);
  std::optional<int> NextIndexInGroup(uint16_t group);
  void ForEachInGroup(uint16_t group, const std::function<void(int index)>& callback);
  // Number of entries whose group is not 0.
  int CountGrouped() const;
  int CountInGroup(uint16_t group) const;

  // Closes the file (the destructor does too).
  void Close();

 private:
  bool AppendBlob(TPakFile& entry, const std::string& blob);
  // Adds the coding table of the entries not coded with zlib, if any, in front of a closing
  // integrity record; false when it cannot be stored.
  bool AddCodingTable();
  bool CopyLargeFile(TPakFile& entry, platform::File& source, uint64_t size);
  bool BlobInFile(const TPakFile& entry) const;
  // The entry when it owns bytes that lie wholly in front of the directory, else nullptr.
  const TPakFile* ReadableBlob(int index) const;
  // ReadStored into `blob` (resized to the blob); false where ReadStored answers nothing.
  bool ReadStoredInto(int index, std::string& blob) const;
  // Reads the blob of `entry` (readable: ReadableBlob) into `out` and checks its CRC.
  bool ReadStoredAt(const TPakFile& entry, char* out) const;
  // ReadEntryQuietly with the bytes placed where `room` answers for the size they need.
  TEntryData ReadQuietly(int index, std::string& scratch,
                         const std::function<char*(size_t size)>& room) const;
  std::optional<uint64_t> FileSize() const;
  // Reads the coding table entry, if any, and marks the entries it names.
  void ApplyCodings();
  // Decodes the stored frame (or LZMA stream) of a zstd or solid entry: `size` bytes from its
  // start (with `whole`, the frame must end there).
  TEntryData DecodeFrame(const TPakFile& entry, std::string_view stored, char* out, size_t size,
                         bool whole) const;
  TGroupItem MakeItem(int index, bool load);

  Mode mode_ = Mode::kRead;
  std::optional<platform::File> file_;
  std::vector<TPakFile> entries_;
  TPakTrailer trailer_;
  uint32_t package_base_ = 0;
  int cursor_ = 0;
  bool codings_sound_ = true;
  // Where the directory's plain records start in the file and the first of them: the whole
  // directory, or (coded) the last record only.
  uint64_t plain_records_start_ = 0;
  int first_plain_record_ = 0;
  // Size of a read-mode file, taken when the directory is read (such a file is not written).
  std::optional<uint64_t> read_size_;
};
