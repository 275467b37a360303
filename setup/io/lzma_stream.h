// Classic ".lzma" streams (a 13-byte header, then LZMA range-coded data) for solid blocks of
// package entries: the decoding side, which installers carry. setupc writes the streams with
// liblzma; the runtime decodes them with this small decoder of its own, straight into the
// caller's buffer, which serves as the dictionary.
//
// Size rule: a stream of n bytes cannot yield more than kMaxLzmaRatio * n bytes. Proof: every
// probability stays between 31/2048 and 2017/2048 (the update moves it by (2048 - p) >> 5 or
// p >> 5, which is 0 beyond those), and the decoder's split (range >> 11) * p of a range of at
// least 2^24 leaves each side at most its exact share plus 31/2^24, so each decoded bit shrinks
// the range by a factor of at most 2017/2048 + 31/2^24: it costs at least 0.0220014 bits of
// input. The cheapest way to produce bytes is a rep match of the longest length, 273 bytes for
// 14 bits (is-match, is-rep, is-rep0, is-rep0-long, two length choices, eight length bits), so
// at least 0.30802 bits per 273 bytes: at most 886.31 bytes per input bit. The range starts
// below 2^32, ends at 1 or more and grows by 2^8 per input byte read after the 5 bytes that
// start it; with the 13-byte header, a stream of n bytes gives at most 886.31 * (8 * (n - 18) +
// 32) < 7091 * n bytes. 32 MiB of zeros at the strongest setting come out at 6958:1.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "setup/io/zlib_stream.h"

namespace archive_io {

constexpr uint64_t kMaxLzmaRatio = 8192;
constexpr uint64_t MaxLzmaOutput(uint64_t stream_size) { return stream_size * kMaxLzmaRatio; }
constexpr size_t kLzmaHeaderSize = 13;

// Decodes the first `size` bytes of the stream into `out`. With `whole` set the stream must end
// exactly there (its end marker next, or the header's size reached with the range decoder
// finished) and nothing may follow it: kExact, else kShorter with `produced`, kLonger or kBroken
// as for zlib. Without it, the stream may go on past `size` bytes (a block of which only the
// front is wanted): kExact once `size` bytes are out. Thread-safe; one allocation of at most
// 28 KB for the probabilities.
InflateStatus LzmaDecodeInto(std::string_view stream, void* out, size_t size, bool whole,
                             size_t* produced);

}  // namespace archive_io
