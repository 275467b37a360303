// The whole-file check of a package and its seal. The digest is SHA-256 over every byte of the
// file, in order, except the integrity entry's own blob, with the four bytes of that entry's
// CRC field in the directory counted as zeros: so it covers the runtime image, every entry
// (those of 70 MiB and more, which carry no CRC, included), the directory and the trailer,
// while the record that holds it is covered by its own CRC and by the digest it must match.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "setup/core/integrity_record.h"

class TPak;

// What signs a package: its public key, and the Ed25519 signature of a message made with the
// matching secret key. The engine only checks signatures; setupc, which holds keys, makes one.
struct TPackageSigner {
  TPublicKey public_key{};
  std::function<TSignature(const std::string& message)> sign;
};

// Where the integrity entry lies in a package file.
struct TIntegrityPlace {
  int index = -1;
  uint64_t blob_offset = 0;
  uint64_t crc_position = 0;  // its CRC field in the directory
};

// Reads exactly `size` bytes at `position`, or answers false.
using FileRangeReader = std::function<bool(uint64_t position, void* buffer, size_t size)>;

// The place of the package's integrity entry: group 0, stored raw, kIntegrityRecordSize bytes
// inside the file. Nothing when there is no such entry (a record of another form is damaged).
std::optional<TIntegrityPlace> FindIntegrityPlace(const TPak& pak);

// The digest of a file of `file_size` bytes (see the top of this file).
std::optional<TDigest> ComputePackageDigest(const FileRangeReader& read, uint64_t file_size,
                                            const TIntegrityPlace& place);

struct TIntegrityVerdict {
  enum class Status {
    kAbsent,  // a package made before the record existed: no entry, trailer version 1
    kGood,    // the digest matches (and the signature, when signed)
    kBad,     // missing, damaged, another digest, or a signature that does not match
  };
  Status status = Status::kAbsent;
  std::optional<TPublicKey> signer;  // set for a good signed package
  int index = -1;                    // the entry's index, -1 when it is missing
  std::string reason;                // for kBad, in a few words
};

// Checks the package against its record. Reads the whole file through the package's handle.
TIntegrityVerdict CheckPackageIntegrity(const TPak& pak);

// Makes a package file's record: the file must carry an integrity entry stored raw at its full
// size (see IntegrityPlaceholder) and end in its directory and trailer. Sets the trailer's
// version to kSealedPakVersion, writes the digest (signed by `signer` when given) into the
// entry and the entry's CRC into the directory. False with `error` set when that cannot be done.
bool SealPackageFile(const std::string& path, const std::optional<TPackageSigner>& signer,
                     std::string& error);

// The bytes to store (raw, not compressed) as the integrity entry before the file is sealed.
std::string IntegrityPlaceholder();

// How a key is shown: "ed25519:" and the first 16 bytes of its SHA-256 in hex.
std::string KeyFingerprint(const TPublicKey& key);
// A public key from one line of base64 (blanks around it are ignored).
std::optional<TPublicKey> ParsePublicKeyText(const std::string& text);
