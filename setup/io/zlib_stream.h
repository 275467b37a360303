// zlib streams (RFC 1950) for every reader and writer of the kit: package entries, pak archive
// directories and entries, VFS pieces. Whole buffers go through libdeflate, which compresses and
// inflates several times faster than zlib and writes the same format every reader accepts. Where
// a stream's output is only counted, never kept (the real length of a stream that does not match
// its recorded size, for the message that reports it), a small decoder of the kit's own counts it.
//
// Size rule, the same for every caller: a zlib stream of n bytes cannot inflate to more than
// kMaxInflateRatio * n bytes (a deflate block spends at least 2 bits on a 258-byte match, and the
// 6 bytes of header and checksum yield nothing). A recorded size beyond MaxInflatedSize of its
// stored length is damage; nothing of that size is allocated for it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct libdeflate_compressor;

namespace archive_io {

constexpr uint64_t kMaxInflateRatio = 1032;
constexpr uint64_t MaxInflatedSize(uint64_t stream_size) { return stream_size * kMaxInflateRatio; }

// Compression levels on libdeflate's scale (1 fastest, 12 smallest output).
// Pak archives and VFS pieces: small records written a few at a time.
constexpr int kArchiveLevel = 9;
// Package entries: the fastest level whose packages are no larger than those of a per-file zlib
// level 9 packer on a mixed tree of headers, text, compressed files and libraries (level 7 came
// out 0.1 % larger once installers carried their uninstaller's finaliser by default).
constexpr int kPackageLevel = 8;
// The kit's own entries of a package (its window program, page sets and language tables): the
// same few hundred KB in every installer, packed at the smallest level (about 3 % smaller than
// level 8 for the window program) for a few tenths of a second per compile.
constexpr int kKitEntryLevel = 12;

// One libdeflate compressor: its match finder is allocated once and reused for every buffer,
// which matters when thousands of small files are packed. Not for two threads at once; each
// packing thread holds its own.
class ZlibCompressor {
 public:
  explicit ZlibCompressor(int level);
  ~ZlibCompressor();
  ZlibCompressor(const ZlibCompressor&) = delete;
  ZlibCompressor& operator=(const ZlibCompressor&) = delete;

  // The bytes as one zlib stream. The output depends only on the bytes and the level, never on
  // the thread or the order of calls.
  std::string Compress(std::string_view data);

 private:
  libdeflate_compressor* compressor_;
};

// One-off compression with a compressor of its own.
std::string ZlibCompress(std::string_view data, int level = kArchiveLevel);

// How a whole stream inflated into a buffer of the expected size.
enum class InflateStatus {
  kExact,    // ended after exactly the expected bytes; Adler-32 checked
  kShorter,  // ended early; `produced` holds its length
  kLonger,   // has more bytes than the buffer (its length is not known; see ZlibInflatedLength)
  kBroken,   // not a valid zlib stream, cut short, or its Adler-32 does not match
};

// Inflates the stream into `out`, which has room for exactly `size` bytes.
InflateStatus ZlibInflateInto(std::string_view stream, void* out, size_t size, size_t* produced);

// The stream's full output, which must be exactly `expected_size` bytes; nothing when the stream
// is broken, holds more or fewer bytes, or claims more than the size rule allows.
std::optional<std::string> ZlibInflateExact(std::string_view stream, size_t expected_size);

// The length the stream inflates to, counted without keeping the output (in 32 KiB of memory,
// whatever the length); nothing when the stream is broken or cut short, as zlib would judge it.
std::optional<uint64_t> ZlibInflatedLength(std::string_view stream);

}  // namespace archive_io
