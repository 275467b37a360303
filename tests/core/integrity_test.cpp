// The integrity record and the sealed digest of a package: the record's form refuses every
// other byte string; a sealed package passes, and any byte changed anywhere in it (runtime
// image, blobs, directory, trailer, the record itself) is found; signatures are checked, and
// the keys a machine requires are read and applied.
#include <gtest/gtest.h>
#include <sodium.h>

#include <cstring>

#include "package_test_util.h"
#include "setup/core/crc32.h"
#include "setup/core/package_integrity.h"
#include "setup/core/pak.h"
#include "setup/runtime/integrity_check.h"
#include "tools/setupc/signing_keys.h"

namespace pak_test {
namespace {

using Status = TIntegrityVerdict::Status;
using setupc::PublicKeyText;

setupc::TSecretKey NewKey(TPublicKey* public_key = nullptr) {
  EXPECT_GE(sodium_init(), 0);
  TPublicKey pk;
  setupc::TSecretKey sk;
  crypto_sign_keypair(pk.data(), sk.data());
  if (public_key) *public_key = pk;
  return sk;
}

TEST(IntegrityRecordTest, RoundTripsAndRefusesEveryOtherForm) {
  TIntegrityRecord unsigned_record;
  unsigned_record.digest.fill(0x11);
  TIntegrityRecord signed_record = unsigned_record;
  signed_record.signer = TPublicKey{};
  signed_record.signer->fill(0x22);
  signed_record.signature.fill(0x33);
  for (const TIntegrityRecord& record : {unsigned_record, signed_record}) {
    const std::string bytes = record.Encode();
    ASSERT_EQ(bytes.size(), kIntegrityRecordSize);
    EXPECT_EQ(TIntegrityRecord::Decode(bytes.data(), bytes.size()), record);
    for (size_t length = 0; length < bytes.size(); ++length) {
      EXPECT_FALSE(TIntegrityRecord::Decode(bytes.data(), length)) << length;
    }
    EXPECT_FALSE(TIntegrityRecord::Decode((bytes + '\0').data(), bytes.size() + 1));
  }
  // Header bytes, and any byte where an unsigned record must hold zeros.
  const std::string bytes = unsigned_record.Encode();
  for (size_t at = 0; at < bytes.size(); ++at) {
    if (at >= kIntegrityDigestOffset && at < kIntegrityKeyOffset) continue;  // the digest itself
    std::string damaged = bytes;
    damaged[at] ^= 0x04;
    EXPECT_FALSE(TIntegrityRecord::Decode(damaged.data(), damaged.size())) << at;
  }
}

class SealedPackageTest : public ::testing::Test {
 protected:
  // A runtime image, three entries of each kind and the placeholder, as setupc lays them out.
  std::string MakePackage(const std::string& name, bool with_record = true) {
    const std::string path = dir_.File(name);
    WriteBytes(path, std::string(700, '\x7f') + "runtime image");
    {
      TPak pak(path, false, true);
      const std::string text(3000, 'x');
      const std::string noise = RandomBytes(400, 7);
      pak.StoreFromMemory(pak.AddEntry("SetupInfo", "", 0), text.data(), 200);
      pak.StoreFromMemory(pak.AddEntry("Readme.txt", "", 1), text.data(), text.size());
      pak.StoreFromMemory(pak.AddEntry("bin\\noise", "", 1), noise.data(), noise.size());
      pak.AddEntry("empty.txt", "", 2);
      if (with_record) {
        const std::string seal = IntegrityPlaceholder();
        pak.AddPreparedEntry(kIntegrityEntry, 0, seal, seal.size(),
                             ComputeCrc32(seal.data(), seal.size()), false);
      }
      pak.WriteDirectory();
    }
    return path;
  }

  static std::string RandomBytes(size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    return bytes;
  }

  static TIntegrityVerdict Check(const std::string& path) {
    const TPak pak(path, false, false);
    return CheckPackageIntegrity(pak);
  }

  TempDir dir_;
};

TEST_F(SealedPackageTest, ASealedPackagePassesAndAnyChangedByteIsFound) {
  const std::string path = MakePackage("sealed.exe");
  std::string error;
  ASSERT_TRUE(SealPackageFile(path, std::nullopt, error)) << error;
  EXPECT_EQ(Check(path).status, Status::kGood);
  EXPECT_FALSE(Check(path).signer);
  EXPECT_EQ(TPak(path, false, false).Trailer().version, kSealedPakVersion);

  // Every byte of the file: either the package is gone (no trailer magic: the start-up's
  // "Invalid Setup Header") or its check fails.
  const std::string whole = ReadBytes(path);
  const std::string damaged = dir_.File("damaged.exe");
  WriteBytes(damaged, whole);
  for (size_t at = 0; at < whole.size(); ++at) {
    std::string bytes = whole;
    bytes[at] = static_cast<char>(bytes[at] ^ (1 << (at % 8)));
    OverwriteBytes(damaged, bytes);
    const TPak pak(damaged, false, false);
    EXPECT_TRUE(!pak.Trailer().HasMagic() || CheckPackageIntegrity(pak).status == Status::kBad)
        << "byte " << at << " of " << whole.size();
  }
}

TEST_F(SealedPackageTest, ALargeEntryWithoutACrcIsCoveredToo) {
  const std::string source = dir_.File("large.bin");
  MakeSparseFile(source, kLargeEntrySize, "head", "tail");
  const std::string path = dir_.File("large.exe");
  WriteBytes(path, "runtime image");
  {
    TPak pak(path, false, true);
    ASSERT_TRUE(pak.StoreFromFile(pak.AddEntry("large.bin", source, 1)));
    const std::string seal = IntegrityPlaceholder();
    pak.AddPreparedEntry(kIntegrityEntry, 0, seal, seal.size(),
                         ComputeCrc32(seal.data(), seal.size()), false);
    pak.WriteDirectory();
  }
  std::string error;
  ASSERT_TRUE(SealPackageFile(path, std::nullopt, error)) << error;
  ASSERT_EQ(Check(path).status, Status::kGood);
  FlipByte(path, 13 + kLargeEntrySize / 2);  // in the middle of the blob, which has no CRC
  EXPECT_TRUE(TPak(path, false, false).VerifyEntry(0));
  EXPECT_EQ(Check(path).status, Status::kBad);
}

TEST_F(SealedPackageTest, SignaturesAreCheckedAndAForeignOneIsRefused) {
  TPublicKey public_key;
  const setupc::TSecretKey key = NewKey(&public_key);
  const std::string path = MakePackage("signed.exe");
  std::string error;
  ASSERT_TRUE(SealPackageFile(path, setupc::SignerOf(key), error)) << error;
  TIntegrityVerdict verdict = Check(path);
  ASSERT_EQ(verdict.status, Status::kGood);
  EXPECT_EQ(verdict.signer, public_key);
  EXPECT_EQ(setupc::PublicKeyOf(key), public_key);

  // Another key put in the record (its CRC made right again) no longer matches the signature.
  std::string bytes = ReadBytes(path);
  const TPak pak(path, false, false);
  const TIntegrityPlace place = FindIntegrityPlace(pak).value();
  TPublicKey other;
  NewKey(&other);
  std::memcpy(&bytes[place.blob_offset + kIntegrityKeyOffset], other.data(), other.size());
  const uint32_t crc = ComputeCrc32(&bytes[place.blob_offset], kIntegrityRecordSize);
  PutLe32(bytes, place.crc_position, crc);
  const std::string forged = dir_.File("forged.exe");
  WriteBytes(forged, bytes);
  verdict = Check(forged);
  EXPECT_EQ(verdict.status, Status::kBad);
  EXPECT_EQ(verdict.reason, "the signature does not match");
}

TEST_F(SealedPackageTest, OlderPackagesHaveNoDigestAndASealedOneMustKeepIt) {
  const std::string old = MakePackage("old.exe", false);
  EXPECT_EQ(Check(old).status, Status::kAbsent);
  std::string error;
  EXPECT_FALSE(SealPackageFile(old, std::nullopt, error));

  // A sealed package whose record lost its name (the directory damaged just there, the
  // trailer left) is refused, not taken for an older one.
  const std::string path = MakePackage("renamed.exe");
  ASSERT_TRUE(SealPackageFile(path, std::nullopt, error)) << error;
  std::string bytes = ReadBytes(path);
  const size_t name = bytes.rfind(kIntegrityEntry);
  bytes[name] = 'J';
  OverwriteBytes(path, bytes);
  const TIntegrityVerdict verdict = Check(path);
  EXPECT_EQ(verdict.status, Status::kBad);
  EXPECT_EQ(verdict.index, -1);
}

TEST(SignaturePolicyTest, KeysAreReadFromTextAndFilesAndApplyToInstallersOnly) {
  TempDir dir;
  TPublicKey wanted, other;
  NewKey(&wanted);
  NewKey(&other);
  WriteBytes(dir.File("wanted.pub"), "# comment\n\n" + PublicKeyText(wanted) + "\n");
  std::string error;
  const std::optional<SignaturePolicy> policy =
      ReadSignaturePolicy(dir.File("wanted.pub"), " " + PublicKeyText(other) + " ,", error);
  ASSERT_TRUE(policy) << error;
  EXPECT_EQ(policy->required, (std::vector<TPublicKey>{wanted, other}));
  EXPECT_FALSE(ReadSignaturePolicy("not-a-key", "", error));
  EXPECT_NE(error.find("not-a-key"), std::string::npos);
  EXPECT_FALSE(ReadSignaturePolicy("", PublicKeyText(wanted).substr(1), error));
  EXPECT_EQ(error.rfind(kRequireSignatureVariable, 0), 0u);

  TPublicKey stranger;
  NewKey(&stranger);
  auto verdict = [](Status status, std::optional<TPublicKey> signer) {
    TIntegrityVerdict v;
    v.status = status;
    v.signer = signer;
    return v;
  };
  EXPECT_FALSE(PolicyRefusal(*policy, verdict(Status::kGood, other), false));
  EXPECT_TRUE(PolicyRefusal(*policy, verdict(Status::kGood, stranger), false));
  EXPECT_TRUE(PolicyRefusal(*policy, verdict(Status::kGood, std::nullopt), false));
  EXPECT_TRUE(PolicyRefusal(*policy, verdict(Status::kAbsent, std::nullopt), false));
  EXPECT_FALSE(PolicyRefusal(*policy, verdict(Status::kGood, std::nullopt), true));
  EXPECT_FALSE(PolicyRefusal(SignaturePolicy{}, verdict(Status::kAbsent, std::nullopt), false));
}

}  // namespace
}  // namespace pak_test
