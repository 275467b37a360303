#include "setup/io/zstd_stream.h"

#include <zstd.h>

#include <memory>

namespace archive_io {
namespace {

struct DCtxFree {
  void operator()(ZSTD_DCtx* context) const { ZSTD_freeDCtx(context); }
};

}  // namespace

InflateStatus ZstdDecodeInto(std::string_view frame, void* out, size_t size, bool whole,
                             size_t* produced) {
  *produced = 0;
  const std::unique_ptr<ZSTD_DCtx, DCtxFree> context(ZSTD_createDCtx());
  if (!context ||
      ZSTD_isError(ZSTD_DCtx_setParameter(context.get(), ZSTD_d_windowLogMax, kMaxZstdWindowLog))) {
    return InflateStatus::kBroken;
  }
  ZSTD_inBuffer input = {frame.data(), frame.size(), 0};
  ZSTD_outBuffer output = {out, size, 0};
  size_t left = 1;  // what the decoder still expects of the frame; 0 once it ended
  while (output.pos < output.size) {
    const size_t before_in = input.pos;
    const size_t before_out = output.pos;
    left = ZSTD_decompressStream(context.get(), &output, &input);
    if (ZSTD_isError(left)) return InflateStatus::kBroken;
    if (left == 0) break;
    // No progress with input left means the frame is cut short.
    if (input.pos == before_in && output.pos == before_out) return InflateStatus::kBroken;
  }
  *produced = output.pos;
  if (!whole) return output.pos == size ? InflateStatus::kExact : InflateStatus::kBroken;
  if (left != 0) {
    // The buffer is full: the frame must end here, with nothing more to give.
    char extra = 0;
    ZSTD_outBuffer more = {&extra, 1, 0};
    left = ZSTD_decompressStream(context.get(), &more, &input);
    if (ZSTD_isError(left)) return InflateStatus::kBroken;
    if (more.pos != 0) return InflateStatus::kLonger;
    if (left != 0) return InflateStatus::kBroken;
  }
  if (input.pos != input.size) return InflateStatus::kBroken;  // bytes after the frame
  return output.pos == size ? InflateStatus::kExact : InflateStatus::kShorter;
}

}  // namespace archive_io
