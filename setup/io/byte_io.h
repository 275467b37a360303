// Little-endian byte cursor and writer for the archive formats. The reader never looks past the
// end of what it was given: a read that does not fit yields zeros and marks the reader failed,
// so a decoder checks `ok()` once after a group of reads.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace archive_io {

class ByteReader {
 public:
  ByteReader() = default;
  explicit ByteReader(std::string_view data) : data_(data) {}

  bool ok() const { return ok_; }
  size_t position() const { return pos_; }
  size_t size() const { return data_.size(); }
  size_t remaining() const { return data_.size() - pos_; }

  // Moves to an absolute position; a position past the end fails the reader.
  void Seek(size_t position) {
    if (position > data_.size()) {
      Fail();
      return;
    }
    pos_ = position;
  }
  void Skip(size_t count) {
    if (count > remaining()) {
      Fail();
      return;
    }
    pos_ += count;
  }

  uint8_t U8() { return static_cast<uint8_t>(Fixed(1)); }
  uint16_t U16() { return static_cast<uint16_t>(Fixed(2)); }
  uint32_t U32() { return static_cast<uint32_t>(Fixed(4)); }
  int16_t I16() { return static_cast<int16_t>(U16()); }
  int32_t I32() { return static_cast<int32_t>(U32()); }

  // The next `count` bytes, or an empty view (and a failed reader) when fewer remain.
  std::string_view Bytes(size_t count) {
    if (count > remaining()) {
      Fail();
      return {};
    }
    std::string_view out = data_.substr(pos_, count);
    pos_ += count;
    return out;
  }

 private:
  uint64_t Fixed(size_t count) {
    if (count > remaining()) {
      Fail();
      return 0;
    }
    uint64_t value = 0;
    for (size_t i = 0; i < count; ++i) {
      value |= static_cast<uint64_t>(static_cast<uint8_t>(data_[pos_ + i])) << (8 * i);
    }
    pos_ += count;
    return value;
  }
  void Fail() {
    ok_ = false;
    pos_ = data_.size();
  }

  std::string_view data_;
  size_t pos_ = 0;
  bool ok_ = true;
};

// Appends little-endian values to a byte string.
class ByteWriter {
 public:
  explicit ByteWriter(std::string& out) : out_(out) {}
  void U8(uint8_t v) { out_.push_back(static_cast<char>(v)); }
  void U16(uint16_t v) { Fixed(v, 2); }
  void U32(uint32_t v) { Fixed(v, 4); }
  void I16(int16_t v) { U16(static_cast<uint16_t>(v)); }
  void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
  void Bytes(std::string_view bytes) { out_.append(bytes); }
  void Zeros(size_t count) { out_.append(count, '\0'); }
  // A name in a fixed field of `width` bytes: cut to fit, zero-filled after it.
  void FixedName(std::string_view name, size_t width) {
    std::string_view cut = name.substr(0, width);
    out_.append(cut);
    out_.append(width - cut.size(), '\0');
  }

 private:
  void Fixed(uint64_t v, size_t count) {
    for (size_t i = 0; i < count; ++i) out_.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  }
  std::string& out_;
};

inline uint32_t LoadU32(const char* p) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(p[i]);
  return v;
}
inline void StoreU32(char* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

}  // namespace archive_io
