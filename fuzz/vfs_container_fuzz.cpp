// libFuzzer harness for the VFS container reader: header, block table, root table, folder tables
// and chains, then a file put into whatever opened and the container finished and checked. The
// input is the whole container, held in memory (the writes go there too). The same bytes are
// read as a hash file, whose records must encode and read back unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz/memory_file.h"
#include "setup/core/setup_error.h"
#include "setup/vfs/vfs_contents.h"
#include "setup/vfs/vfs_file.h"
#include "setup/vfs/vfs_hash_file.h"
#include "setup/vfs/vfs_tree.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Containers claim their sizes in the header; keep the data area small so runs stay fast.
  if (size > 1 << 16) return 0;
  static fuzz::MemoryFile input;
  input.Fill(data, size);
  try {
    TVFSFile container;
    container.OpenContainer(input.Path(), true);
    for (const TTreeFileInfo& node : container.Tree().Nodes()) {
      if (node.index < 0 || !node.entry.IsFile()) continue;
      TVFSFileBuffer stored = container.ReadEntryData(node.entry);
      vfs::ExpandStoredBytes(node.entry, stored.Bytes());
    }
    container.Tree().PutFile("maps\\fuzz.dat", "fuzz", 4);
    container.FinaliseContainer(false);
  } catch (const SetupError&) {
    // Damage and full containers are reported this way: the expected outcome for most inputs.
  }
  vfs::VerifyContainer(input.Path());

  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  if (const auto records = TVFSHashFile::Decode(bytes)) {
    const auto again = TVFSHashFile::Decode(TVFSHashFile::Encode(*records));
    if (!again || *again != *records) std::abort();
  }
  return 0;
}
