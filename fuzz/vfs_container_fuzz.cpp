// libFuzzer harness for the VFS container reader: header, block table, root table, folder tables
// and chains, then a file put into whatever opened and the container checked. Build with clang
// against a normal build's libraries (the VFS sources themselves instrumented), for example:
//   clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address -I. fuzz/vfs_container_fuzz.cpp \
//     setup/vfs/*.cpp setup/archive/{archive_text,zlib_stream}.cpp \
//     build/setup/libsetupkit_engine.a build/platform/libplatform.a -lz -lcrypto -lpthread \
//     -o vfs_container_fuzz
// Seeds: containers written by `setup-archive vfs create` and `vfs add` with small block counts.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <string>

#include "platform/files.h"
#include "setup/core/setup_error.h"
#include "setup/vfs/vfs_contents.h"
#include "setup/vfs/vfs_file.h"
#include "setup/vfs/vfs_tree.h"

namespace {

const std::string& InputPath() {
  static const std::string path =
      (std::filesystem::temp_directory_path() / ("vfs_fuzz_" + std::to_string(getpid()) + ".vfs"))
          .string();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Containers claim their sizes in the header; keep the data area small so runs stay fast.
  if (size > 1 << 16) return 0;
  platform::WriteFileBytes(InputPath(), data, size);
  try {
    TVFSFile container;
    container.OpenContainer(InputPath(), true);
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
  vfs::VerifyContainer(InputPath());
  return 0;
}
