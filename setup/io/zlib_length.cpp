// Counting a zlib stream's output without keeping it. Only the message about an entry that
// inflates to more than its recorded size needs this, so a small, plain decoder does it
// (canonical Huffman codes read a bit at a time) rather than a second inflate library in every
// installer. It keeps the last window of output for back-references and the Adler-32, and judges
// a stream as zlib's inflate does: a bad header, a preset dictionary, a code that is
// over-subscribed or incomplete (but for a lone length-1 code), a distance too far back, a
// stream cut short or a checksum that does not match all answer nothing.
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "setup/io/zlib_stream.h"

namespace archive_io {
namespace {

constexpr int kMaxBits = 15;

// A canonical Huffman code: how many codes have each length, and the symbols in code order.
struct Code {
  std::array<uint16_t, kMaxBits + 1> count{};
  std::array<uint16_t, 320> symbol{};
};

// Builds the code from the symbols' lengths; false when it is over-subscribed, or incomplete
// where that is not allowed. `incomplete_ok` allows a single code of length 1 or no code at all,
// as a literal or distance code may be (a missing code word is then an error only when met).
bool Build(Code& code, const uint8_t* lengths, int n, bool incomplete_ok) {
  code.count.fill(0);
  for (int s = 0; s < n; ++s) ++code.count[lengths[s]];
  if (code.count[0] == n) return incomplete_ok;
  int left = 1;
  int longest = 0;
  for (int len = 1; len <= kMaxBits; ++len) {
    left = (left << 1) - code.count[len];
    if (left < 0) return false;
    if (code.count[len] != 0) longest = len;
  }
  if (left > 0 && !(incomplete_ok && longest == 1)) return false;
  std::array<uint16_t, kMaxBits + 1> offset{};
  for (int len = 1; len < kMaxBits; ++len) offset[len + 1] = offset[len] + code.count[len];
  for (int s = 0; s < n; ++s) {
    if (lengths[s] != 0) code.symbol[offset[lengths[s]]++] = static_cast<uint16_t>(s);
  }
  return true;
}

constexpr std::array<uint16_t, 29> kLengthBase = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                                  15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                                  67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<uint8_t, 29> kLengthExtra = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                  2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<uint16_t, 30> kDistanceBase = {
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::array<uint8_t, 30> kDistanceExtra = {0, 0, 0,  0,  1,  1,  2,  2,  3,  3,
                                                    4, 4, 5,  5,  6,  6,  7,  7,  8,  8,
                                                    9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

class Counter {
 public:
  explicit Counter(std::string_view in) : in_(in) {}

  std::optional<uint64_t> Run() {
    if (in_.size() < 2) return std::nullopt;
    const auto cmf = static_cast<uint8_t>(in_[0]);
    const auto flg = static_cast<uint8_t>(in_[1]);
    // Deflate, a window of at most 32 KiB, the check bits right, no preset dictionary.
    if ((cmf & 0x0f) != 8 || (cmf >> 4) > 7 || (cmf * 256 + flg) % 31 != 0 || (flg & 0x20) != 0) {
      return std::nullopt;
    }
    window_limit_ = uint32_t{1} << ((cmf >> 4) + 8);
    pos_ = 2;
    bool last = false;
    while (!last) {
      uint32_t header = 0;
      if (!Bits(3, header)) return std::nullopt;
      last = (header & 1) != 0;
      bool ok = false;
      switch (header >> 1) {
        case 0:
          ok = Stored();
          break;
        case 1:
          ok = Fixed();
          break;
        case 2:
          ok = Dynamic();
          break;
        default:
          break;
      }
      if (!ok) return std::nullopt;
    }
    // The Adler-32 follows on the next byte boundary, most significant byte first.
    bit_count_ = 0;
    if (in_.size() - pos_ < 4) return std::nullopt;
    uint32_t stored = 0;
    for (int i = 0; i < 4; ++i) stored = (stored << 8) | static_cast<uint8_t>(in_[pos_++]);
    Reduce();
    return stored == ((b_ << 16) | a_) ? std::optional<uint64_t>(produced_) : std::nullopt;
  }

 private:
  bool Bits(int n, uint32_t& value) {
    while (bit_count_ < n) {
      if (pos_ == in_.size()) return false;
      bit_buffer_ |= uint32_t{static_cast<uint8_t>(in_[pos_++])} << bit_count_;
      bit_count_ += 8;
    }
    value = bit_buffer_ & ((uint32_t{1} << n) - 1);
    bit_buffer_ >>= n;
    bit_count_ -= n;
    return true;
  }

  void Put(uint8_t byte) {
    window_[produced_ & (kWindow - 1)] = byte;
    ++produced_;
    a_ += byte;
    b_ += a_;
    // 5552 bytes is the most that can be summed before the 32-bit sums could overflow.
    if (++unreduced_ == 5552) Reduce();
  }

  void Reduce() {
    a_ %= 65521;
    b_ %= 65521;
    unreduced_ = 0;
  }

  // The next symbol of `code`, or -1 when the input ends or the bits match no code.
  int Decode(const Code& code) {
    int value = 0;
    int first = 0;
    int index = 0;
    for (int len = 1; len <= kMaxBits; ++len) {
      uint32_t bit = 0;
      if (!Bits(1, bit)) return -1;
      value |= static_cast<int>(bit);
      const int count = code.count[len];
      if (value - count < first) return code.symbol[index + (value - first)];
      index += count;
      first = (first + count) << 1;
      value <<= 1;
    }
    return -1;
  }

  bool Stored() {
    bit_buffer_ = 0;
    bit_count_ = 0;
    if (in_.size() - pos_ < 4) return false;
    const auto byte = [&](size_t i) { return static_cast<uint32_t>(static_cast<uint8_t>(in_[i])); };
    const uint32_t length = byte(pos_) | byte(pos_ + 1) << 8;
    const uint32_t complement = byte(pos_ + 2) | byte(pos_ + 3) << 8;
    pos_ += 4;
    if (length != (~complement & 0xffff) || in_.size() - pos_ < length) return false;
    for (uint32_t i = 0; i < length; ++i) Put(static_cast<uint8_t>(in_[pos_++]));
    return true;
  }

  bool Fixed() {
    std::array<uint8_t, 320> lengths{};
    for (int s = 0; s < 288; ++s) lengths[s] = s < 144 ? 8 : s < 256 ? 9 : s < 280 ? 7 : 8;
    // All 32 distance codes exist (30 and 31 are invalid when met), which makes the code complete.
    for (int s = 0; s < 32; ++s) lengths[288 + s] = 5;
    Code literals;
    Code distances;
    Build(literals, lengths.data(), 288, false);
    Build(distances, lengths.data() + 288, 32, false);
    return Codes(literals, distances);
  }

  bool Dynamic() {
    uint32_t literal_count = 0;
    uint32_t distance_count = 0;
    uint32_t length_code_count = 0;
    if (!Bits(5, literal_count) || !Bits(5, distance_count) || !Bits(4, length_code_count)) {
      return false;
    }
    literal_count += 257;
    distance_count += 1;
    length_code_count += 4;
    if (literal_count > 286 || distance_count > 30) return false;

    static constexpr std::array<uint8_t, 19> kOrder = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                       11, 4,  12, 3, 13, 2, 14, 1, 15};
    std::array<uint8_t, 320> lengths{};
    for (uint32_t i = 0; i < length_code_count; ++i) {
      uint32_t length = 0;
      if (!Bits(3, length)) return false;
      lengths[kOrder[i]] = static_cast<uint8_t>(length);
    }
    Code length_code;
    if (!Build(length_code, lengths.data(), 19, false)) return false;

    const uint32_t total = literal_count + distance_count;
    lengths.fill(0);
    for (uint32_t i = 0; i < total;) {
      const int symbol = Decode(length_code);
      if (symbol < 0) return false;
      if (symbol < 16) {
        lengths[i++] = static_cast<uint8_t>(symbol);
        continue;
      }
      uint8_t repeated = 0;
      uint32_t times = 0;
      if (symbol == 16) {
        if (i == 0 || !Bits(2, times)) return false;
        repeated = lengths[i - 1];
        times += 3;
      } else if (symbol == 17) {
        if (!Bits(3, times)) return false;
        times += 3;
      } else {
        if (!Bits(7, times)) return false;
        times += 11;
      }
      if (i + times > total) return false;
      while (times-- > 0) lengths[i++] = repeated;
    }
    // Without an end-of-block code no block could end.
    if (lengths[256] == 0) return false;
    Code literals;
    Code distances;
    return Build(literals, lengths.data(), static_cast<int>(literal_count), true) &&
           Build(distances, lengths.data() + literal_count, static_cast<int>(distance_count),
                 true) &&
           Codes(literals, distances);
  }

  bool Codes(const Code& literals, const Code& distances) {
    for (;;) {
      const int symbol = Decode(literals);
      if (symbol < 0) return false;
      if (symbol < 256) {
        Put(static_cast<uint8_t>(symbol));
        continue;
      }
      if (symbol == 256) return true;
      const int length_index = symbol - 257;
      if (length_index >= static_cast<int>(kLengthBase.size())) return false;
      uint32_t extra = 0;
      if (!Bits(kLengthExtra[length_index], extra)) return false;
      const uint32_t length = kLengthBase[length_index] + extra;
      const int distance_index = Decode(distances);
      if (distance_index < 0 || distance_index >= static_cast<int>(kDistanceBase.size())) {
        return false;
      }
      if (!Bits(kDistanceExtra[distance_index], extra)) return false;
      const uint32_t distance = kDistanceBase[distance_index] + extra;
      if (distance > produced_ || distance > window_limit_) return false;
      for (uint32_t i = 0; i < length; ++i) Put(window_[(produced_ - distance) & (kWindow - 1)]);
    }
  }

  static constexpr uint32_t kWindow = 32768;
  std::string_view in_;
  size_t pos_ = 0;
  uint32_t bit_buffer_ = 0;
  int bit_count_ = 0;
  uint32_t window_limit_ = kWindow;
  std::array<uint8_t, kWindow> window_{};
  uint64_t produced_ = 0;
  uint32_t a_ = 1;
  uint32_t b_ = 0;
  uint32_t unreduced_ = 0;
};

}  // namespace

std::optional<uint64_t> ZlibInflatedLength(std::string_view stream) {
  return Counter(stream).Run();
}

}  // namespace archive_io
