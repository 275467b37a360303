#include "setup/core/buffer_manager.h"

#include <algorithm>
#include <cstring>

#include "platform/files.h"

TBufferManager::TBufferManager(const void* data, size_t size)
    : data_(static_cast<const unsigned char*>(data)), size_(data == nullptr ? 0 : size) {}

std::optional<std::string> TBufferManager::ReadBytes(size_t count) {
  if (size_ == 0 || position_ >= size_) return std::nullopt;
  const size_t take = std::min(count, size_ - position_);
  std::string out(reinterpret_cast<const char*>(data_ + position_), take);
  position_ += take;
  return out;
}

size_t TBufferManager::ReadInto(void* destination, size_t count) {
  if (size_ == 0 || position_ >= size_) return 0;
  const size_t take = std::min(count, size_ - position_);
  if (take > 0) std::memcpy(destination, data_ + position_, take);
  position_ += take;
  return take;
}

void TBufferManager::SetPosition(size_t position) { position_ = std::min(position, size_); }

uint8_t TBufferManager::ReadByte() {
  uint8_t value = 0;
  ReadInto(&value, 1);
  return value;
}

uint16_t TBufferManager::ReadUInt16() {
  unsigned char b[2] = {0, 0};
  ReadInto(b, sizeof b);
  return static_cast<uint16_t>(b[0] | (b[1] << 8));
}

int16_t TBufferManager::ReadInt16() { return static_cast<int16_t>(ReadUInt16()); }

uint32_t TBufferManager::ReadUInt32() {
  unsigned char b[4] = {0, 0, 0, 0};
  ReadInto(b, sizeof b);
  return static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
         (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
}

int32_t TBufferManager::ReadInt32() { return static_cast<int32_t>(ReadUInt32()); }

std::string TBufferManager::ReadShortString() {
  const uint16_t length = ReadUInt16();
  // The length is at most 65,535 and is cut to what the block still holds.
  return ReadBytes(length).value_or(std::string());
}

std::string ReadShortString(TBufferManager& buffer) { return buffer.ReadShortString(); }

void TBufferWriter::WriteByte(uint8_t value) { data_.push_back(static_cast<char>(value)); }

void TBufferWriter::WriteUInt16(uint16_t value) {
  data_.push_back(static_cast<char>(value & 0xFF));
  data_.push_back(static_cast<char>(value >> 8));
}

void TBufferWriter::WriteInt16(int16_t value) { WriteUInt16(static_cast<uint16_t>(value)); }

void TBufferWriter::WriteUInt32(uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) {
    data_.push_back(static_cast<char>((value >> shift) & 0xFF));
  }
}

void TBufferWriter::WriteInt32(int32_t value) { WriteUInt32(static_cast<uint32_t>(value)); }

void TBufferWriter::WriteBytes(const void* data, size_t size) {
  if (size > 0) data_.append(static_cast<const char*>(data), size);
}

bool TBufferWriter::WriteShortString(std::string_view text) {
  const size_t length = std::min(text.size(), kMaxShortStringLength);
  WriteUInt16(static_cast<uint16_t>(length));
  WriteBytes(text.data(), length);
  return length == text.size();
}

bool WriteShortString(platform::File& file, std::string_view text) {
  TBufferWriter writer;
  const bool whole = writer.WriteShortString(text);
  return file.Write(writer.Data().data(), writer.Size()) && whole;
}
