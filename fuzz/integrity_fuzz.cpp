// libFuzzer harness for the integrity record and the whole-file check. The input is a package
// file (held in memory): its integrity entry is found, read and checked against a digest of
// the file, and the record's reader also gets the input itself, whose decoding must encode back
// to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz/memory_file.h"
#include "fuzz/silent_presenter.h"
#include "setup/core/package_integrity.h"
#include "setup/core/pak.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::SilenceMessageBoxes();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (const std::optional<TIntegrityRecord> record = TIntegrityRecord::Decode(data, size)) {
    if (record->Encode() != std::string(reinterpret_cast<const char*>(data), size)) std::abort();
  }
  static fuzz::MemoryFile file;
  file.Fill(data, size);
  const TPak pak(file.Path(), false, false);
  const TIntegrityVerdict verdict = CheckPackageIntegrity(pak);
  // A verdict of good names the entry it read.
  if (verdict.status == TIntegrityVerdict::Status::kGood && !pak.Entry(verdict.index)) {
    std::abort();
  }
  return 0;
}
