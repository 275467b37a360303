#include "setup/core/entry_codings.h"

#include <array>
#include <cstring>

#include "setup/core/buffer_manager.h"

namespace {

constexpr std::array<char, 4> kCodingsMagic = {'Q', 'X', 'P', 'Z'};
constexpr uint16_t kCodingsVersion = 1;
constexpr size_t kHeaderSize = 10;
constexpr size_t kRecordSize = 11;

}  // namespace

std::string TCodingTable::Encode() const {
  TBufferWriter out;
  out.WriteBytes(kCodingsMagic.data(), kCodingsMagic.size());
  out.WriteUInt16(kCodingsVersion);
  out.WriteUInt32(static_cast<uint32_t>(entries.size()));
  for (const TCodedEntry& entry : entries) {
    out.WriteUInt16(entry.index);
    out.WriteByte(static_cast<uint8_t>(entry.coding));
    out.WriteUInt32(entry.position);
    out.WriteUInt32(entry.block_size);
  }
  return out.Data();
}

std::optional<TCodingTable> TCodingTable::Decode(const void* data, size_t size) {
  if (data == nullptr || size < kHeaderSize) return std::nullopt;
  if (std::memcmp(data, kCodingsMagic.data(), kCodingsMagic.size()) != 0) return std::nullopt;
  TBufferManager in(static_cast<const unsigned char*>(data) + kCodingsMagic.size(),
                    static_cast<uint32_t>(size - kCodingsMagic.size()));
  if (in.ReadUInt16() != kCodingsVersion) return std::nullopt;
  const uint32_t count = in.ReadUInt32();
  // The count must describe exactly the bytes that follow: nothing is reserved on its word.
  if ((size - kHeaderSize) % kRecordSize != 0 || count != (size - kHeaderSize) / kRecordSize) {
    return std::nullopt;
  }
  TCodingTable table;
  table.entries.resize(count);
  for (uint32_t i = 0; i < count; ++i) {
    TCodedEntry& entry = table.entries[i];
    entry.index = in.ReadUInt16();
    const uint8_t coding = in.ReadByte();
    entry.position = in.ReadUInt32();
    entry.block_size = in.ReadUInt32();
    if (coding != static_cast<uint8_t>(TEntryCoding::kZstd) &&
        coding != static_cast<uint8_t>(TEntryCoding::kSolid)) {
      return std::nullopt;
    }
    entry.coding = static_cast<TEntryCoding>(coding);
    if (i > 0 && entry.index <= table.entries[i - 1].index) return std::nullopt;
    if (entry.block_size == 0 || entry.block_size > kMaxSolidBlock ||
        entry.position > entry.block_size) {
      return std::nullopt;
    }
  }
  return table;
}
