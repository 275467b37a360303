#include "setup/runtime/package_contents.h"

#include "platform/text_encoding.h"
#include "setup/commands/uninstall_entry.h"
#include "setup/core/pak.h"
#include "setup/core/product_info.h"
#include "setup/core/setup_info.h"
#include "setup/runtime/integrity_check.h"

namespace {

// An entry's data read without showing anything; empty when it cannot be read.
std::string QuietEntry(const TPak& pak, const char* name) {
  const std::optional<int> index = pak.FindEntryIndex(name, 0);
  if (!index) return "";
  TEntryData read = pak.ReadEntryQuietly(*index);
  return read.status == TEntryData::Status::kOk ? std::move(read.data) : std::string();
}

std::string Utf8(const std::string& cp1252) { return platform::Cp1252ToUtf8(cp1252); }

}  // namespace

TSetupInfoFile QuietSetupRecord(const TPak& pak) {
  const std::string record = QuietEntry(pak, "SetupInfo");
  TSetupInfoFile info;
  info.ReadFromBuffer(record.data(), record.size());
  return info;
}

std::optional<PackageContents> ReadPackageContents(const std::string& path) {
  const TPak pak(path, false, false);
  if (!pak.Trailer().HasMagic()) return std::nullopt;
  PackageContents contents;
  const TSetupInfoFile info = QuietSetupRecord(pak);
  contents.setup_name = info.SetupName;
  contents.short_name = info.ShortName;
  contents.is_uninstaller = info.IsUninstaller != 0;
  const std::string product = QuietEntry(pak, kProductInfoEntry);
  contents.version = TProductInfo::Decode(product.data(), product.size()).Version;
  contents.integrity = CheckPackageIntegrity(pak);
  for (int i = 0; i < pak.EntryCount(); ++i) {
    const TPakFile& entry = *pak.Entry(i);
    // The entries of a solid block share its bytes: counted once, with the block's first entry.
    const bool shared = entry.IsSolid() && entry.block_lead != i;
    contents.entries.push_back(
        {entry.name, entry.group, entry.full_size, shared ? 0 : entry.BlobLength()});
  }
  return contents;
}

std::string FormatPackageContents(const PackageContents& contents, bool json) {
  const std::optional<TPublicKey>& signer = contents.integrity.signer;
  const std::string signer_text = signer ? KeyFingerprint(*signer) : "";
  const char* kind = contents.is_uninstaller ? "uninstaller" : "installer";
  if (json) {
    std::string out = "{\"name\": " + JsonString(Utf8(contents.setup_name)) +
                      ", \"product\": " + JsonString(Utf8(contents.short_name)) +
                      ", \"version\": " + JsonString(Utf8(contents.version)) + ", \"kind\": \"" +
                      kind + "\", \"signer\": " + (signer ? JsonString(signer_text) : "null") +
                      ", \"integrity\": " + JsonString(DescribeIntegrity(contents.integrity)) +
                      ", \"entries\": [";
    for (size_t i = 0; i < contents.entries.size(); ++i) {
      const PackageContents::Entry& entry = contents.entries[i];
      out += std::string(i == 0 ? "\n" : ",\n") + "  {\"name\": " + JsonString(Utf8(entry.name)) +
             ", \"group\": " + std::to_string(entry.group) +
             ", \"size\": " + std::to_string(entry.full_size) +
             ", \"stored\": " + std::to_string(entry.stored_size) + "}";
    }
    return out + (contents.entries.empty() ? "]}\n" : "\n]}\n");
  }
  std::string out = "name: " + Utf8(contents.setup_name) +
                    "\nproduct: " + Utf8(contents.short_name) +
                    "\nversion: " + Utf8(contents.version) + "\nkind: " + kind +
                    "\nsigner: " + (signer ? signer_text : "none") +
                    "\nintegrity: " + DescribeIntegrity(contents.integrity) +
                    "\nentries: " + std::to_string(contents.entries.size()) + "\n";
  for (const PackageContents::Entry& entry : contents.entries) {
    out += std::to_string(entry.group) + "\t" + std::to_string(entry.full_size) + "\t" +
           Utf8(entry.name) + "\n";
  }
  return out;
}
