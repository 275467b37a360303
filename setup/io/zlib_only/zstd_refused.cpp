// For programs that read only the kit's own entries of a package, which setupc always codes
// with zlib: the window program (setup information, page sets, pictures, language tables) and
// the finaliser (setup information). Linked into such a program ahead of the engine's libraries,
// this definition answers any zstd frame as broken and so keeps the real decoder (about 37 KB)
// out of it; the runtime, which reads the products' entries, links the real one. It lies outside
// the folders the engine's libraries are made of, so no library holds both.
#include "setup/io/zstd_stream.h"

namespace archive_io {

InflateStatus ZstdDecodeInto(std::string_view, void*, size_t, bool, size_t* produced) {
  if (produced != nullptr) *produced = 0;
  return InflateStatus::kBroken;
}

}  // namespace archive_io
