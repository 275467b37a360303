#include "setup/core/integrity_record.h"

#include <algorithm>
#include <cstring>

#include "setup/core/buffer_manager.h"

namespace {

template <size_t N>
bool AllZero(const std::array<unsigned char, N>& bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](unsigned char c) { return c == 0; });
}

}  // namespace

std::string TIntegrityRecord::Encode() const {
  TBufferWriter out;
  out.WriteBytes(kIntegrityMagic.data(), kIntegrityMagic.size());
  out.WriteUInt16(kIntegrityVersion);
  out.WriteUInt16(signer ? kIntegrityFlagSigned : 0);
  out.WriteBytes(digest.data(), digest.size());
  const TPublicKey key = signer.value_or(TPublicKey{});
  out.WriteBytes(key.data(), key.size());
  const TSignature none{};
  const TSignature& written = signer ? signature : none;
  out.WriteBytes(written.data(), written.size());
  return out.Take();
}

std::optional<TIntegrityRecord> TIntegrityRecord::Decode(const void* data, size_t size) {
  if (!data || size != kIntegrityRecordSize) return std::nullopt;
  TBufferManager in(data, size);
  std::array<char, 4> magic{};
  in.ReadInto(magic.data(), magic.size());
  const uint16_t version = in.ReadUInt16();
  const uint16_t flags = in.ReadUInt16();
  if (magic != kIntegrityMagic || version != kIntegrityVersion ||
      (flags & ~kIntegrityFlagSigned) != 0) {
    return std::nullopt;
  }
  TIntegrityRecord record;
  TPublicKey key{};
  in.ReadInto(record.digest.data(), record.digest.size());
  in.ReadInto(key.data(), key.size());
  in.ReadInto(record.signature.data(), record.signature.size());
  if ((flags & kIntegrityFlagSigned) != 0) {
    record.signer = key;
  } else if (!AllZero(key) || !AllZero(record.signature)) {
    return std::nullopt;
  }
  return record;
}

std::string SignedMessage(const TDigest& digest) {
  static constexpr char kLabel[] = "setupkit installer digest 1\n";
  std::string message(kLabel, sizeof kLabel - 1);
  message.append(reinterpret_cast<const char*>(digest.data()), digest.size());
  return message;
}
