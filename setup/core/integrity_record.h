// TIntegrityRecord: the group-0 entry "Integrity" that seals a package. It holds the SHA-256
// digest of the whole installer file (runtime image, every blob, the directory and the
// trailer; see package_integrity.h for what exactly is hashed) and, optionally, an Ed25519
// signature of that digest with the signer's public key. Runtimes that do not know the entry
// pass over it like any other group-0 entry they do not ask for.
//
// Stored form, 136 bytes, always this long so a package can be sealed or signed in place:
//   0  magic "QXPS"          8  digest (32)         72  signature (64)
//   4  format version (2)   40  public key (32)
//   6  flags (2): bit 0 set = signed; an unsigned record has key and signature all zero.
// Anything else (another length, version or flag, bytes where an unsigned record has zeros) is
// a damaged record.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

constexpr const char kIntegrityEntry[] = "Integrity";

constexpr size_t kDigestSize = 32;
constexpr size_t kPublicKeySize = 32;
constexpr size_t kSignatureSize = 64;

constexpr size_t kIntegrityMagicOffset = 0;
constexpr size_t kIntegrityVersionOffset = 4;
constexpr size_t kIntegrityFlagsOffset = 6;
constexpr size_t kIntegrityDigestOffset = 8;
constexpr size_t kIntegrityKeyOffset = kIntegrityDigestOffset + kDigestSize;
constexpr size_t kIntegritySignatureOffset = kIntegrityKeyOffset + kPublicKeySize;
constexpr size_t kIntegrityRecordSize = kIntegritySignatureOffset + kSignatureSize;
static_assert(kIntegrityRecordSize == 136);

constexpr std::array<char, 4> kIntegrityMagic = {'Q', 'X', 'P', 'S'};
constexpr uint16_t kIntegrityVersion = 1;
constexpr uint16_t kIntegrityFlagSigned = 0x0001;

// The package trailer's version once a package carries the record: a runtime that meets it
// refuses the package when the record is missing, so losing the entry's name to damage does
// not turn a sealed package into an unchecked one. (The trailer's version is not read by
// runtimes that do not know the record.)
constexpr uint16_t kSealedPakVersion = 2;

using TDigest = std::array<unsigned char, kDigestSize>;
using TPublicKey = std::array<unsigned char, kPublicKeySize>;
using TSignature = std::array<unsigned char, kSignatureSize>;

struct TIntegrityRecord {
  TDigest digest{};
  std::optional<TPublicKey> signer;  // with `signature` when the record is signed
  TSignature signature{};

  std::string Encode() const;
  // Nothing for a damaged record.
  static std::optional<TIntegrityRecord> Decode(const void* data, size_t size);

  bool operator==(const TIntegrityRecord&) const = default;
};

// What a signature covers: a fixed label, then the digest, so a signature made for anything
// else never passes for an installer's.
std::string SignedMessage(const TDigest& digest);
