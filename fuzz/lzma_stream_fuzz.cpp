// libFuzzer harness for the runtime's LZMA decoder: for any bytes it must write nothing past the
// buffer it is given and agree with liblzma's own decoder, byte for byte, on which streams are
// whole and what they hold, whether it decodes them whole or only their front.
#include <lzma.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "setup/io/lzma_stream.h"

namespace {

using archive_io::InflateStatus;

constexpr size_t kCap = 1 << 14;  // output per input, to keep thousands of runs per second
constexpr size_t kGuard = 64;
constexpr uint8_t kFill = 0xA5;

struct Verdict {
  bool judged = false;    // false: liblzma would not allocate the dictionary
  bool accepted = false;  // a whole stream with nothing after it, of at most `cap` bytes
  bool longer = false;    // more than `cap` bytes
  std::vector<uint8_t> out;
};

Verdict Liblzma(const uint8_t* data, size_t size, size_t cap) {
  Verdict v;
  lzma_stream z = LZMA_STREAM_INIT;
  if (lzma_alone_decoder(&z, uint64_t{4} << 20) != LZMA_OK) std::abort();
  v.out.resize(cap + 1);
  z.next_in = data;
  z.avail_in = size;
  z.next_out = v.out.data();
  z.avail_out = v.out.size();
  const lzma_ret ret = lzma_code(&z, LZMA_FINISH);
  v.out.resize(v.out.size() - z.avail_out);
  lzma_end(&z);
  v.judged = ret != LZMA_MEMLIMIT_ERROR;
  v.accepted = ret == LZMA_STREAM_END && z.avail_in == 0 && v.out.size() <= cap;
  v.longer = v.out.size() > cap;
  return v;
}

// Our decoder into a buffer with a guard behind it that must stay untouched.
InflateStatus Ours(std::string_view stream, size_t size, bool whole, std::vector<uint8_t>& out,
                   size_t* produced) {
  out.assign(size + kGuard, kFill);
  const InflateStatus status =
      archive_io::LzmaDecodeInto(stream, out.data(), size, whole, produced);
  for (size_t i = size; i < out.size(); ++i) {
    if (out[i] != kFill) std::abort();
  }
  return status;
}

bool SamePrefix(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, size_t n) {
  return a.size() >= n && b.size() >= n && std::memcmp(a.data(), b.data(), n) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view stream(reinterpret_cast<const char*>(data), size);
  // The expected size: the header's when it fits, so that the form without end marker is
  // decoded to its end too.
  uint64_t header_size = UINT64_MAX;
  if (size >= archive_io::kLzmaHeaderSize) std::memcpy(&header_size, data + 5, 8);
  const size_t cap = header_size <= kCap ? static_cast<size_t>(header_size) : kCap;
  const Verdict reference = Liblzma(data, size, cap);
  if (!reference.judged) return 0;

  std::vector<uint8_t> out;
  size_t produced = 0;
  const InflateStatus status = Ours(stream, cap, true, out, &produced);
  if (reference.accepted) {
    const size_t n = reference.out.size();
    if (status != (n == cap ? InflateStatus::kExact : InflateStatus::kShorter)) std::abort();
    if (produced != n || !SamePrefix(out, reference.out, n)) std::abort();
  } else if (reference.longer) {
    if (status != InflateStatus::kLonger && status != InflateStatus::kBroken) std::abort();
    if (status == InflateStatus::kLonger && !SamePrefix(out, reference.out, cap)) std::abort();
  } else if (status != InflateStatus::kBroken) {
    std::abort();
  }

  // The front only: right bytes or no answer, never wrong bytes.
  const size_t front = cap / 2 + (size & 7);
  if (front <= cap && Ours(stream, front, false, out, &produced) == InflateStatus::kExact &&
      !SamePrefix(out, reference.out, front)) {
    std::abort();
  }
  return 0;
}
