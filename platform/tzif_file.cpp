#include "platform/tzif_file.h"

#include <algorithm>

namespace platform {
namespace {

constexpr std::string_view kMagic = "TZif";
constexpr size_t kHeaderSize = 44;  // magic, version, 15 reserved bytes, six 32-bit counts
constexpr size_t kLocalTypeSize = 6;

// Big-endian reads that never pass the end of their data: a read that does not fit yields
// zero and fails the cursor for good.
class BigEndianCursor {
 public:
  explicit BigEndianCursor(std::string_view data) : data_(data) {}

  bool ok() const { return ok_; }
  size_t remaining() const { return data_.size() - pos_; }

  std::string_view Bytes(size_t count) {
    if (!ok_ || count > remaining()) {
      ok_ = false;
      return {};
    }
    const std::string_view out = data_.substr(pos_, count);
    pos_ += count;
    return out;
  }
  uint64_t Unsigned(size_t width) {
    uint64_t value = 0;
    for (const char c : Bytes(width)) value = (value << 8) | static_cast<uint8_t>(c);
    return value;
  }
  // Two's complement of `width` 4 or 8 bytes (conversions to signed types wrap since C++20).
  int64_t Signed(size_t width) {
    const uint64_t value = Unsigned(width);
    return width == 4 ? static_cast<int32_t>(static_cast<uint32_t>(value))
                      : static_cast<int64_t>(value);
  }

 private:
  std::string_view data_;
  size_t pos_ = 0;
  bool ok_ = true;
};

struct Counts {
  uint32_t is_ut = 0;
  uint32_t is_standard = 0;
  uint32_t leap = 0;
  uint32_t time = 0;
  uint32_t type = 0;
  uint32_t chars = 0;
};

// The header: its version byte ('\0' for version 1) and counts.
std::optional<std::pair<char, Counts>> ReadHeader(BigEndianCursor& in) {
  const std::string_view head = in.Bytes(kHeaderSize);
  if (!in.ok() || head.substr(0, kMagic.size()) != kMagic) return std::nullopt;
  BigEndianCursor fields(head.substr(kHeaderSize - 6 * 4));
  Counts counts;
  counts.is_ut = static_cast<uint32_t>(fields.Unsigned(4));
  counts.is_standard = static_cast<uint32_t>(fields.Unsigned(4));
  counts.leap = static_cast<uint32_t>(fields.Unsigned(4));
  counts.time = static_cast<uint32_t>(fields.Unsigned(4));
  counts.type = static_cast<uint32_t>(fields.Unsigned(4));
  counts.chars = static_cast<uint32_t>(fields.Unsigned(4));
  return std::make_pair(head[kMagic.size()], counts);
}

// Bytes of the data block that follows a header, times being `width` bytes wide. Each count is
// below 2^32, so the sum cannot overflow 64 bits.
uint64_t DataSize(const Counts& counts, size_t width) {
  return uint64_t{counts.time} * (width + 1) + uint64_t{counts.type} * kLocalTypeSize +
         counts.chars + uint64_t{counts.leap} * (width + 4) + counts.is_standard + counts.is_ut;
}

// The transitions and local-time types of a data block whose size was checked.
std::optional<TzifZone> ReadData(BigEndianCursor& in, const Counts& counts, size_t width) {
  if (counts.type == 0 || DataSize(counts, width) > in.remaining()) return std::nullopt;
  TzifZone zone;
  zone.transitions.reserve(counts.time);
  for (uint32_t i = 0; i < counts.time; ++i) {
    const int64_t at = in.Signed(width);
    if (!zone.transitions.empty() && at <= zone.transitions.back()) return std::nullopt;
    zone.transitions.push_back(at);
  }
  const std::string_view indices = in.Bytes(counts.time);
  zone.transition_type.assign(indices.begin(), indices.end());
  if (std::any_of(zone.transition_type.begin(), zone.transition_type.end(),
                  [&](uint8_t index) { return index >= counts.type; })) {
    return std::nullopt;
  }
  zone.types.reserve(counts.type);
  for (uint32_t i = 0; i < counts.type; ++i) {
    TzifLocalType type;
    type.utc_offset = static_cast<int32_t>(in.Signed(4));
    type.is_daylight = in.Unsigned(1) != 0;
    in.Unsigned(1);  // index of the abbreviation, which nothing here shows
    zone.types.push_back(type);
  }
  in.Bytes(counts.chars);
  in.Bytes(uint64_t{counts.leap} * (width + 4));
  in.Bytes(counts.is_standard);
  in.Bytes(counts.is_ut);
  if (!in.ok()) return std::nullopt;
  return zone;
}

}  // namespace

std::optional<TzifZone> ReadTzif(std::string_view bytes) {
  BigEndianCursor in(bytes);
  const auto first = ReadHeader(in);
  if (!first) return std::nullopt;
  if (first->first == '\0') return ReadData(in, first->second, 4);

  // Version 2 and later: the 32-bit block is skipped for the 64-bit one after it, which is
  // followed by the footer rule between two line feeds.
  const uint64_t skipped = DataSize(first->second, 4);
  if (skipped > in.remaining()) return std::nullopt;
  in.Bytes(static_cast<size_t>(skipped));
  const auto second = ReadHeader(in);
  if (!second) return std::nullopt;
  std::optional<TzifZone> zone = ReadData(in, second->second, 8);
  if (!zone || in.Bytes(1) != "\n") return std::nullopt;
  const std::string_view rest = in.Bytes(in.remaining());
  const size_t end = rest.find('\n');
  if (end == std::string_view::npos) return std::nullopt;
  zone->footer = std::string(rest.substr(0, end));
  return zone;
}

}  // namespace platform
