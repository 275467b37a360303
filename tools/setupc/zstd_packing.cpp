#include "tools/setupc/zstd_packing.h"

#include <zstd.h>

#include <algorithm>

#include "setup/io/zstd_stream.h"

namespace setupc {

ZstdPacker::ZstdPacker() : context_(ZSTD_createCCtx()) {}

ZstdPacker::~ZstdPacker() { ZSTD_freeCCtx(context_); }

std::optional<std::string> ZstdPacker::Compress(std::string_view data, int level,
                                                bool long_window) {
  if (context_ == nullptr) return std::nullopt;
  ZSTD_CCtx_reset(context_, ZSTD_reset_session_and_parameters);
  const auto set = [this](ZSTD_cParameter parameter, int value) {
    return !ZSTD_isError(ZSTD_CCtx_setParameter(context_, parameter, value));
  };
  bool ok = set(ZSTD_c_compressionLevel, std::clamp(level, kMinZstdLevel, kMaxZstdLevel)) &&
            set(ZSTD_c_checksumFlag, 1) && set(ZSTD_c_contentSizeFlag, 1) &&
            set(ZSTD_c_dictIDFlag, 0);
  if (ok && long_window) {
    // The window covers the whole input up to the largest a runtime accepts.
    int window = 10;  // zstd's smallest window
    while (window < archive_io::kMaxZstdWindowLog && (size_t{1} << window) < data.size()) ++window;
    ok = set(ZSTD_c_enableLongDistanceMatching, 1) && set(ZSTD_c_windowLog, window);
  }
  if (!ok) return std::nullopt;
  std::string out(ZSTD_compressBound(data.size()), '\0');
  const size_t written = ZSTD_compress2(context_, out.data(), out.size(), data.data(), data.size());
  if (ZSTD_isError(written)) return std::nullopt;
  out.resize(written);
  return out;
}

}  // namespace setupc
