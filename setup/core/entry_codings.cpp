#include "setup/core/entry_codings.h"

#include <array>
#include <cstring>

#include "setup/core/buffer_manager.h"
#include "setup/io/lzma_stream.h"
#include "setup/io/zstd_stream.h"

namespace {

constexpr std::array<char, 4> kCodingsMagic = {'Q', 'X', 'P', 'Z'};
constexpr uint16_t kCodingsVersion = 2;
constexpr size_t kHeaderSize = 10;
constexpr size_t kRunSize = 9;

}  // namespace

uint64_t MaxCodedOutput(TEntryCoding coding, uint64_t stored) {
  return IsLzmaCoding(coding) ? archive_io::MaxLzmaOutput(stored)
                              : archive_io::MaxZstdOutput(stored);
}

std::string TCodingTable::Encode() const {
  TBufferWriter out;
  out.WriteBytes(kCodingsMagic.data(), kCodingsMagic.size());
  out.WriteUInt16(kCodingsVersion);
  out.WriteUInt32(static_cast<uint32_t>(runs.size()));
  for (const TCodedRun& run : runs) {
    out.WriteUInt16(run.first);
    out.WriteUInt16(run.count);
    out.WriteByte(static_cast<uint8_t>(run.coding));
    out.WriteUInt32(run.block_size);
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
  if ((size - kHeaderSize) % kRunSize != 0 || count != (size - kHeaderSize) / kRunSize) {
    return std::nullopt;
  }
  TCodingTable table;
  table.runs.resize(count);
  uint32_t next = 0;  // the first index a run may start at
  for (TCodedRun& run : table.runs) {
    run.first = in.ReadUInt16();
    run.count = in.ReadUInt16();
    const uint8_t coding = in.ReadByte();
    run.block_size = in.ReadUInt32();
    if (coding < static_cast<uint8_t>(TEntryCoding::kZstd) ||
        coding > static_cast<uint8_t>(TEntryCoding::kSolidX86)) {
      return std::nullopt;
    }
    run.coding = static_cast<TEntryCoding>(coding);
    const bool block = IsBlockCoding(run.coding);
    if (run.first < next || run.count == 0 || uint32_t{run.first} + run.count > 0x10000 ||
        (block ? run.block_size == 0 || run.block_size > kMaxSolidBlock : run.block_size != 0)) {
      return std::nullopt;
    }
    next = uint32_t{run.first} + run.count;
  }
  return table;
}
