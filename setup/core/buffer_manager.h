// TBufferManager: a read cursor over a block of memory that never reads past its end. Bytes
// missing at the end read as 0, so a truncated record yields zeros and shorter or empty strings
// instead of failing. TBufferWriter is its counterpart for the record encoders.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {
class File;
}

// Largest string a 2-byte length prefix can describe.
constexpr size_t kMaxShortStringLength = 0xFFFF;

class TBufferManager {
 public:
  // The block is neither copied nor owned; the caller keeps it alive while reading.
  TBufferManager(const void* data, size_t size);
  explicit TBufferManager(std::string_view bytes) : TBufferManager(bytes.data(), bytes.size()) {}

  // Up to `count` bytes from the cursor: all of them when enough are left, the remaining ones
  // otherwise (cursor then at the end). Nothing when the block is empty or fully read.
  std::optional<std::string> ReadBytes(size_t count);
  // Copies min(count, bytes left) bytes into `destination` and advances; answers that count.
  size_t ReadInto(void* destination, size_t count);
  // Moves the cursor; a position past the end is clamped to the end.
  void SetPosition(size_t position);

  size_t Position() const { return position_; }
  size_t Size() const { return size_; }
  size_t Remaining() const { return size_ - position_; }
  bool AtEnd() const { return position_ >= size_; }

  // Little-endian typed reads; missing bytes read as 0.
  uint8_t ReadByte();
  int16_t ReadInt16();
  uint16_t ReadUInt16();
  int32_t ReadInt32();
  uint32_t ReadUInt32();
  // A 2-byte length, then that many 8-bit characters (fewer when the block ends first).
  std::string ReadShortString();

 private:
  const unsigned char* data_;
  size_t position_ = 0;
  size_t size_;
};

// Free form of the string read, as the record decoders call it.
std::string ReadShortString(TBufferManager& buffer);

// Appends little-endian fields to a growing byte string.
class TBufferWriter {
 public:
  void WriteByte(uint8_t value);
  void WriteInt16(int16_t value);
  void WriteUInt16(uint16_t value);
  void WriteInt32(int32_t value);
  void WriteUInt32(uint32_t value);
  void WriteBytes(const void* data, size_t size);
  void WriteBytes(std::string_view bytes) { WriteBytes(bytes.data(), bytes.size()); }
  // 2-byte length and the bytes. A string longer than 65,535 bytes cannot be described: its
  // first 65,535 bytes are written (the record stays readable) and the answer is false.
  bool WriteShortString(std::string_view text);

  const std::string& Data() const { return data_; }
  size_t Size() const { return data_.size(); }
  std::string Take() { return std::move(data_); }

 private:
  std::string data_;
};

// Writes a 2-byte length and the bytes at the file's position. Answers false when any byte was
// not written, or when the string had to be cut to 65,535 bytes.
bool WriteShortString(platform::File& file, std::string_view text);
