// The window program reads only the kit's own entries of a package (its setup information, page
// sets, pictures and language tables), and setupc always codes those with zlib. This definition
// of the zstd decoder, linked into the program ahead of the engine's libraries, answers any zstd
// frame as broken and so keeps the real decoder (about 40 KB) out of the window program; the
// runtime, which reads the products' entries, links the real one.
#include "setup/io/zstd_stream.h"

namespace archive_io {

InflateStatus ZstdDecodeInto(std::string_view, void*, size_t, bool, size_t* produced) {
  if (produced != nullptr) *produced = 0;
  return InflateStatus::kBroken;
}

}  // namespace archive_io
