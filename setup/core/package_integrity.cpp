#include "setup/core/package_integrity.h"

#include <cstring>
#include <vector>

#include "platform/files.h"
#include "setup/core/base64.h"
#include "setup/core/crc32.h"
#include "setup/core/ed25519_verify.h"
#include "setup/core/pak.h"
#include "setup/core/sha256.h"

namespace {

// Read in pieces of this size while hashing, so a check of any installer needs little memory.
constexpr size_t kHashChunk = size_t{1} << 20;

void PutLe16(unsigned char* out, uint16_t value) {
  out[0] = static_cast<unsigned char>(value);
  out[1] = static_cast<unsigned char>(value >> 8);
}

void PutLe32(unsigned char* out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<unsigned char>(value >> (8 * i));
}

// Hashes [from, to) of the file.
bool HashRange(TSha256& hash, const FileRangeReader& read, uint64_t from, uint64_t to,
               std::vector<unsigned char>& buffer) {
  while (from < to) {
    const size_t take = static_cast<size_t>(std::min<uint64_t>(buffer.size(), to - from));
    if (!read(from, buffer.data(), take)) return false;
    hash.Update(buffer.data(), take);
    from += take;
  }
  return true;
}

TIntegrityVerdict Bad(int index, std::string reason) {
  TIntegrityVerdict verdict;
  verdict.status = TIntegrityVerdict::Status::kBad;
  verdict.index = index;
  verdict.reason = std::move(reason);
  return verdict;
}

}  // namespace

std::optional<TIntegrityPlace> FindIntegrityPlace(const TPak& pak) {
  const std::optional<int> index = pak.FindEntryIndex(kIntegrityEntry, 0);
  if (!index) return std::nullopt;
  const TPakFile& entry = *pak.Entry(*index);
  const std::optional<uint64_t> crc_position = pak.RecordCrcPosition(*index);
  if (entry.stored_size != 0 || entry.full_size != kIntegrityRecordSize || !crc_position) {
    return std::nullopt;
  }
  return TIntegrityPlace{*index, entry.offset, *crc_position};
}

std::optional<TDigest> ComputePackageDigest(const FileRangeReader& read, uint64_t file_size,
                                            const TIntegrityPlace& place) {
  // The skipped blob and the zeroed CRC field must lie inside the file, apart, in this order
  // (the blobs come before the directory).
  const uint64_t blob_end = place.blob_offset + kIntegrityRecordSize;
  if (place.blob_offset > file_size || kIntegrityRecordSize > file_size ||
      blob_end > place.crc_position || place.crc_position > file_size - 4) {
    return std::nullopt;
  }
  TSha256 hash;
  std::vector<unsigned char> buffer(kHashChunk);
  const unsigned char zeros[4] = {0, 0, 0, 0};
  if (!HashRange(hash, read, 0, place.blob_offset, buffer) ||
      !HashRange(hash, read, blob_end, place.crc_position, buffer)) {
    return std::nullopt;
  }
  hash.Update(zeros, sizeof zeros);
  if (!HashRange(hash, read, place.crc_position + 4, file_size, buffer)) return std::nullopt;
  return hash.Final();
}

TIntegrityVerdict CheckPackageIntegrity(const TPak& pak) {
  const std::optional<int> index = pak.FindEntryIndex(kIntegrityEntry, 0);
  if (!index) {
    if (pak.Trailer().version >= kSealedPakVersion)
      return Bad(-1, "the integrity entry is missing");
    return TIntegrityVerdict{};
  }
  const std::optional<TIntegrityPlace> place = FindIntegrityPlace(pak);
  const std::optional<std::string> stored = pak.ReadStored(*index);
  const std::optional<TIntegrityRecord> record =
      stored ? TIntegrityRecord::Decode(stored->data(), stored->size()) : std::nullopt;
  const std::optional<uint64_t> size = pak.ReadModeFileSize();
  if (!place || !record || !size) return Bad(*index, "the integrity entry is damaged");
  const std::optional<TDigest> digest = ComputePackageDigest(
      [&pak](uint64_t position, void* buffer, size_t length) {
        return pak.ReadFileRange(position, buffer, length);
      },
      *size, *place);
  if (!digest || *digest != record->digest) {
    return Bad(*index, "the digest does not match");
  }
  TIntegrityVerdict verdict;
  verdict.status = TIntegrityVerdict::Status::kGood;
  verdict.index = *index;
  if (record->signer) {
    const std::string message = SignedMessage(record->digest);
    if (!VerifyEd25519(record->signature, message.data(), message.size(), *record->signer)) {
      return Bad(*index, "the signature does not match");
    }
    verdict.signer = record->signer;
  }
  return verdict;
}

bool SealPackageFile(const std::string& path, const std::optional<TPackageSigner>& signer,
                     std::string& error) {
  std::optional<TIntegrityPlace> place;
  std::optional<uint64_t> size;
  {
    TPak pak(path, false, false);
    place = FindIntegrityPlace(pak);
    size = pak.ReadModeFileSize();
    if (!pak.Trailer().HasMagic() || !place || !size || *size < kTrailerSize) {
      error = "no integrity entry to seal in " + path;
      return false;
    }
  }
  std::optional<platform::File> file = platform::File::Open(path, platform::File::Mode::kReadWrite);
  if (!file) {
    error = "cannot open " + path + " for writing";
    return false;
  }
  auto write_at = [&file](uint64_t position, const void* data, size_t length) {
    return file->Seek(position) && file->Write(data, length);
  };
  unsigned char version[2];
  PutLe16(version, kSealedPakVersion);
  if (!write_at(*size - kTrailerSize + kTrailerVersionOffset, version, sizeof version)) {
    error = "cannot write " + path;
    return false;
  }
  const std::optional<TDigest> digest = ComputePackageDigest(
      [&file](uint64_t position, void* buffer, size_t length) {
        return file->ReadExactAt(position, buffer, length);
      },
      *size, *place);
  if (!digest) {
    error = "cannot read " + path;
    return false;
  }
  TIntegrityRecord record;
  record.digest = *digest;
  if (signer) {
    record.signature = signer->sign(SignedMessage(*digest));
    record.signer = signer->public_key;
  }
  const std::string blob = record.Encode();
  unsigned char crc[4];
  PutLe32(crc, ComputeCrc32(blob.data(), blob.size()));
  if (!write_at(place->blob_offset, blob.data(), blob.size()) ||
      !write_at(place->crc_position, crc, sizeof crc) || !file->Flush()) {
    error = "cannot write " + path;
    return false;
  }
  return true;
}

std::string IntegrityPlaceholder() { return TIntegrityRecord().Encode(); }

std::string KeyFingerprint(const TPublicKey& key) {
  const TSha256::Digest hash = TSha256::Of(key.data(), key.size());
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text = "ed25519:";
  for (size_t i = 0; i < 16; ++i) {
    text += kHex[hash[i] >> 4];
    text += kHex[hash[i] & 0x0F];
  }
  return text;
}

std::optional<TPublicKey> ParsePublicKeyText(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return std::nullopt;
  const size_t last = text.find_last_not_of(" \t\r\n");
  const std::string trimmed = text.substr(first, last - first + 1);
  const std::optional<std::string> bytes = DecodeBase64(trimmed);
  if (!bytes || bytes->size() != kPublicKeySize) return std::nullopt;
  TPublicKey key;
  std::memcpy(key.data(), bytes->data(), key.size());
  return key;
}
