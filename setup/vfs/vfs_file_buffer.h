// TVFSFileBuffer: a read cursor over a copy of one entry's stored bytes. Reading copies at most
// what remains and advances.
#pragma once

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

class TVFSFileBuffer {
 public:
  TVFSFileBuffer() = default;
  explicit TVFSFileBuffer(std::string bytes) : bytes_(std::move(bytes)) {}

  // Copies up to `count` bytes into `out`; answers how many.
  size_t Read(void* out, size_t count) {
    size_t n = std::min(count, bytes_.size() - position_);
    std::memcpy(out, bytes_.data() + position_, n);
    position_ += n;
    return n;
  }
  // The next `count` bytes (fewer at the end) as a view into the buffer.
  std::string_view ReadView(size_t count) {
    size_t n = std::min(count, bytes_.size() - position_);
    std::string_view out(bytes_.data() + position_, n);
    position_ += n;
    return out;
  }
  size_t Size() const { return bytes_.size(); }
  size_t Position() const { return position_; }
  size_t Remaining() const { return bytes_.size() - position_; }
  const std::string& Bytes() const { return bytes_; }
  std::string Take() { return std::move(bytes_); }

 private:
  std::string bytes_;
  size_t position_ = 0;
};
