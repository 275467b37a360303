// libFuzzer harness for the coding table and the zstd-coded entries it names. The table's
// reader gets the input itself, whose decoding must encode back to the same bytes; then the
// input is read as a package file (held in memory): the table is applied to its directory and
// every entry is read alone, and every solid block whole.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz/memory_file.h"
#include "fuzz/silent_presenter.h"
#include "setup/core/entry_codings.h"
#include "setup/core/pak.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::SilenceMessageBoxes();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (const std::optional<TCodingTable> table = TCodingTable::Decode(data, size)) {
    if (table->Encode() != std::string(reinterpret_cast<const char*>(data), size)) std::abort();
  }
  static fuzz::MemoryFile file;
  file.Fill(data, size);
  const TPak pak(file.Path(), false, false);
  std::string scratch;
  std::string block;
  for (int i = 0; i < pak.EntryCount(); ++i) {
    const TPakFile& entry = *pak.Entry(i);
    const TEntryData read = pak.ReadEntryQuietly(i, scratch);
    // Whatever reads as data has the entry's full size.
    if (read.status == TEntryData::Status::kOk && read.data.size() != entry.full_size) std::abort();
    pak.StoredBytesPass(i);
    if (entry.IsSolid() && entry.block_lead == i) {
      if (entry.block_size > kMaxSolidBlock) std::abort();
      block.resize(entry.block_size);
      pak.ReadBlockQuietlyInto(i, scratch, block.data());
    }
  }
  return 0;
}
