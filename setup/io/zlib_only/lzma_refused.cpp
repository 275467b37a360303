// For programs that read only the kit's own entries of a package, which setupc always codes
// with zlib (see zstd_refused.cpp): this definition answers any LZMA stream as broken and so
// keeps the real decoder out of the window program and the finaliser.
#include "setup/io/lzma_stream.h"

namespace archive_io {

InflateStatus LzmaDecodeInto(std::string_view, void*, size_t, bool, size_t* produced) {
  if (produced != nullptr) *produced = 0;
  return InflateStatus::kBroken;
}

}  // namespace archive_io
