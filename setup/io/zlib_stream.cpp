#include "setup/io/zlib_stream.h"

#include <libdeflate.h>

#include <algorithm>
#include <memory>
#include <new>

namespace archive_io {
namespace {

struct DecompressorDeleter {
  void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

}  // namespace

ZlibCompressor::ZlibCompressor(int level) : compressor_(libdeflate_alloc_compressor(level)) {
  if (compressor_ == nullptr) throw std::bad_alloc();
}

ZlibCompressor::~ZlibCompressor() { libdeflate_free_compressor(compressor_); }

std::string ZlibCompressor::Compress(std::string_view data) {
  std::string out(libdeflate_zlib_compress_bound(compressor_, data.size()), '\0');
  // With a buffer of the bound's size compression cannot run out of room.
  const size_t length =
      libdeflate_zlib_compress(compressor_, data.data(), data.size(), out.data(), out.size());
  out.resize(length);
  return out;
}

std::string ZlibCompress(std::string_view data, int level) {
  ZlibCompressor compressor(level);
  return compressor.Compress(data);
}

InflateStatus ZlibInflateInto(std::string_view stream, void* out, size_t size, size_t* produced) {
  std::unique_ptr<libdeflate_decompressor, DecompressorDeleter> decompressor(
      libdeflate_alloc_decompressor());
  if (!decompressor) throw std::bad_alloc();
  size_t length = 0;
  const libdeflate_result result = libdeflate_zlib_decompress(decompressor.get(), stream.data(),
                                                              stream.size(), out, size, &length);
  if (produced != nullptr) *produced = length;
  switch (result) {
    case LIBDEFLATE_SUCCESS:
      return length == size ? InflateStatus::kExact : InflateStatus::kShorter;
    case LIBDEFLATE_INSUFFICIENT_SPACE:
      return InflateStatus::kLonger;
    default:
      return InflateStatus::kBroken;
  }
}

std::optional<std::string> ZlibInflateExact(std::string_view stream, size_t expected_size) {
  if (expected_size > MaxInflatedSize(stream.size())) return std::nullopt;
  std::string out(expected_size, '\0');
  if (ZlibInflateInto(stream, out.data(), out.size(), nullptr) != InflateStatus::kExact) {
    return std::nullopt;
  }
  return out;
}

}  // namespace archive_io
