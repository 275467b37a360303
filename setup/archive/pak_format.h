// The stored form of a pak archive: data area, zlib directory of 152-byte records, 20-byte
// trailer and the information tail with the password and the official flag. Readers here check
// every count, size and offset against the file before using it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {
class File;
}

namespace pak {

inline constexpr size_t kRecordSize = 152;
inline constexpr size_t kTrailerSize = 20;
inline constexpr uint32_t kFormatVersion = 5;
inline constexpr uint16_t kRecordMarker = 0x0A0D;
inline constexpr uint8_t kKindSound = 1;
inline constexpr uint8_t kKindZlib = 2;
inline constexpr size_t kNameFieldSize = 128;  // length byte + up to 127 characters
inline constexpr size_t kMaxNameLength = 127;
// The "QXP3" block is searched for at distances 0..50 from the end.
inline constexpr size_t kTailSearchDistance = 50;
inline constexpr size_t kTailWindow = kTailSearchDistance + 6;
inline constexpr size_t kOldTailSize = 13;
// Directories larger than this are taken as damage rather than allocated.
inline constexpr uint64_t kMaxDirectoryBytes = 256u * 1024 * 1024;

// Field offsets of a directory record.
inline constexpr size_t kRecKindOffset = 2;
inline constexpr size_t kRecDateOffset = 4;
inline constexpr size_t kRecStoredSizeOffset = 8;
inline constexpr size_t kRecFullSizeOffset = 12;
inline constexpr size_t kRecOffsetOffset = 16;
inline constexpr size_t kRecZeroOffset = 20;
inline constexpr size_t kRecNameOffset = 24;
static_assert(kRecNameOffset + kNameFieldSize == kRecordSize);

struct PakRecord {
  uint16_t marker = kRecordMarker;
  uint8_t kind = 0;
  uint32_t date = 0;
  uint32_t stored_size = 0;
  uint32_t full_size = 0;
  uint32_t offset = 0;
  std::string name;  // at most 127 characters

  void Encode(std::string& out) const;
  // Reads one 152-byte record; the field at offset 20 is ignored.
  static PakRecord Decode(std::string_view record);
  bool operator==(const PakRecord&) const = default;
};

struct PakTrailer {
  uint32_t compressed_size = 0;
  uint32_t uncompressed_size = 0;
  uint32_t version = kFormatVersion;
  uint32_t count = 0;
  uint32_t reserved = 0;

  void Encode(std::string& out) const;
  static PakTrailer Decode(std::string_view bytes);
};

enum class TailForm { kNone, kOld, kCurrent };

struct PakTail {
  TailForm form = TailForm::kNone;
  size_t length = 0;     // bytes after the trailer
  std::string info_id;   // "EIH1", "EIH2" or other bytes for the current form
  std::string password;  // deciphered
  uint8_t official = 0;
  uint8_t sine_seed = 0;
  uint8_t cosine_seed = 0;
};

// Reads the tail from the last bytes of the archive (`end` holds up to the last 56 bytes).
// Nothing when a current-form information block claims more bytes than the tail holds.
std::optional<PakTail> ParseTail(std::string_view end);

// The current tail form ("QXP3", 1, "EIH2", seeds, enciphered password, official flag).
std::string EncodeTail(const std::string& password, uint8_t official, uint8_t sine_seed,
                       uint8_t cosine_seed);

// The whole index of an archive as read from its end.
struct PakLayout {
  uint64_t file_size = 0;
  uint64_t directory_start = 0;  // where the compressed directory begins = end of data area
  PakTrailer trailer;
  PakTail tail;
  std::vector<PakRecord> records;
};

// Reads tail, trailer and directory. Nothing when anything does not fit the file or the format
// (wrong version or reserved field, directory not inside the file, bad inflation); `error` then
// says what.
std::optional<PakLayout> ReadLayout(platform::File& file, std::string* error = nullptr);

// Directory bytes: the records laid out and compressed, with the trailer after them.
std::string EncodeDirectoryAndTrailer(const std::vector<PakRecord>& records);

// Masking of kind-2 entries: the first 4 bytes, as a 32-bit value, XORed with the CRC-32 of the
// bytes after them. Applying it twice gives the stream back. Streams of 4 bytes or fewer stay.
void ApplyMask(std::string& stream);

// Whether the record's stored bytes lie wholly inside the data area.
inline bool RecordInData(const PakRecord& r, uint64_t data_end) {
  return r.offset <= data_end && r.stored_size <= data_end - r.offset;
}

}  // namespace pak
