#include "setup/io/lzma_stream.h"

#include <algorithm>
#include <vector>

namespace archive_io {
namespace {

#define LZMA_INLINE inline __attribute__((always_inline))

// Offsets into the one table of 11-bit probabilities.
constexpr uint32_t kStates = 12;
constexpr uint32_t kIsMatch = 0;                        // [state][pos state]
constexpr uint32_t kIsRep = kIsMatch + (kStates << 4);  // [state]
constexpr uint32_t kIsRepG0 = kIsRep + kStates;
constexpr uint32_t kIsRepG1 = kIsRepG0 + kStates;
constexpr uint32_t kIsRepG2 = kIsRepG1 + kStates;
constexpr uint32_t kIsRep0Long = kIsRepG2 + kStates;          // [state][pos state]
constexpr uint32_t kDistSlot = kIsRep0Long + (kStates << 4);  // [length state][64]
constexpr uint32_t kDistSpecial = kDistSlot + 4 * 64;         // reverse trees of slots 4 to 13
constexpr uint32_t kAlign = kDistSpecial + 114;  // reverse tree of 4 bits (index 1 to 15)
// A length coder: choice, choice 2, low [pos state][8], mid [pos state][8], high [256].
constexpr uint32_t kLenChoice2 = 1;
constexpr uint32_t kLenLow = 2;
constexpr uint32_t kLenMid = kLenLow + (16 << 3);
constexpr uint32_t kLenHigh = kLenMid + (16 << 3);
constexpr uint32_t kLenCoderSize = kLenHigh + 256;
constexpr uint32_t kMatchLen = kAlign + 16;
constexpr uint32_t kRepLen = kMatchLen + kLenCoderSize;
constexpr uint32_t kLiteral = kRepLen + kLenCoderSize;    // [coder][0x300]
constexpr uint32_t kMaxProbs = kLiteral + (0x300u << 4);  // lc + lp = 4
static_assert(kMaxProbs * sizeof(uint16_t) < 28 * 1024);
constexpr uint32_t kMinMatch = 2;
constexpr uint32_t kTop = 1u << 24;

// The range decoder. Every function inlines into the decoding loop, so its state lives in
// registers. A read past the input gives zeros and is counted: the caller judges the stream
// broken when `next` has gone past `size` (which never happens inside a valid stream), so the
// hot path needs no early exit.
struct RangeDecoder {
  const uint8_t* data;
  size_t size;
  size_t next;
  uint32_t range;
  uint32_t code;

  LZMA_INLINE void Normalize() {
    if (range < kTop) {
      range <<= 8;
      code = (code << 8) | (next < size ? data[next] : 0u);
      ++next;
    }
  }
  LZMA_INLINE uint32_t Bit(uint16_t* prob) {
    Normalize();
    const uint32_t p = *prob;
    const uint32_t bound = (range >> 11) * p;
    if (code < bound) {
      range = bound;
      *prob = static_cast<uint16_t>(p + ((2048 - p) >> 5));
      return 0;
    }
    range -= bound;
    code -= bound;
    *prob = static_cast<uint16_t>(p - (p >> 5));
    return 1;
  }
  // The same as Bit, without a branch on the bit's value, for the bits of a tree (a literal, a
  // length, a distance), which only pick the next probability. They are the least predictable of
  // a stream (a literal's are close to random in data that was compressed before it was packed),
  // and a mispredicted branch costs more than computing both outcomes: literals of such data
  // decode twice as fast this way.
  LZMA_INLINE uint32_t TreeBit(uint16_t* prob) {
    Normalize();
    const uint32_t p = *prob;
    const uint32_t bound = (range >> 11) * p;
    const uint32_t bit = code >= bound ? 1u : 0u;
    const uint32_t mask = 0u - bit;
    code -= bound & mask;
    range = bound + (mask & (range - 2 * bound));
    const uint32_t up = p + ((2048 - p) >> 5);
    const uint32_t down = p - (p >> 5);
    *prob = static_cast<uint16_t>((up & ~mask) | (down & mask));
    return bit;
  }
  // `bits` bits, highest first, through the tree at probs[1..2^bits-1].
  LZMA_INLINE uint32_t Tree(uint16_t* probs, uint32_t bits) {
    uint32_t symbol = 1;
    do {
      symbol = (symbol << 1) | TreeBit(probs + symbol);
    } while (--bits != 0);
    return symbol;
  }
  // `bits` bits, lowest first, through the tree at probs[1..2^bits-1].
  LZMA_INLINE uint32_t ReverseTree(uint16_t* probs, uint32_t bits) {
    uint32_t symbol = 1;
    uint32_t value = 0;
    for (uint32_t i = 0; i < bits; ++i) {
      const uint32_t bit = TreeBit(probs + symbol);
      symbol = (symbol << 1) | bit;
      value |= bit << i;
    }
    return value;
  }
  // Bits of probability one half.
  LZMA_INLINE uint32_t Direct(uint32_t bits) {
    uint32_t value = 0;
    do {
      Normalize();
      range >>= 1;
      code -= range;
      const uint32_t mask = 0u - (code >> 31);  // all ones when the bit is 0
      code += range & mask;
      value = (value << 1) + mask + 1;
    } while (--bits != 0);
    return value;
  }
};

// Lengths 0 to 271 (plus kMinMatch): 3 bits in one of 16 low or mid trees, or 8 high bits.
LZMA_INLINE uint32_t DecodeLength(RangeDecoder& rc, uint16_t* coder, uint32_t pos_state) {
  uint16_t* tree = coder + kLenLow + (pos_state << 3);
  uint32_t bits = 3;
  uint32_t base = 0;
  if (rc.Bit(coder) != 0) {
    tree += kLenMid - kLenLow;
    base = 8;
    if (rc.Bit(coder + kLenChoice2) != 0) {
      tree = coder + kLenHigh;
      bits = 8;
      base = 16;
    }
  }
  return rc.Tree(tree, bits) - (1u << bits) + base;
}

}  // namespace

InflateStatus LzmaDecodeInto(std::string_view stream, void* out, size_t size, bool whole,
                             size_t* produced) {
  *produced = 0;
  const auto* in = reinterpret_cast<const uint8_t*>(stream.data());
  if (stream.size() < kLzmaHeaderSize + 5 || in[0] >= 9 * 5 * 5 || in[kLzmaHeaderSize] != 0) {
    return InflateStatus::kBroken;
  }
  const uint32_t lc = in[0] % 9;
  const uint32_t lp = in[0] / 9 % 5;
  const uint32_t pb = in[0] / 45;
  if (lc + lp > 4) return InflateStatus::kBroken;
  uint32_t dictionary = 0;
  for (int i = 4; i >= 1; --i) dictionary = (dictionary << 8) | in[i];
  uint64_t header_size = 0;
  for (int i = 12; i >= 5; --i) header_size = (header_size << 8) | in[i];
  const bool known = header_size != UINT64_MAX;
  if (known && header_size > MaxLzmaOutput(stream.size())) return InflateStatus::kBroken;
  // Distances reach back at most the dictionary, taken as at least 4 KiB in steps of 16 bytes
  // as by the encoder's own decoder, so that both accept the same streams.
  const uint64_t reach = (std::max<uint64_t>(dictionary, 4096) + 15) & ~uint64_t{15};
  // The header's size ends the stream where it comes before `size`.
  const bool ends_at_header_size = known && header_size <= size;
  const size_t limit = ends_at_header_size ? static_cast<size_t>(header_size) : size;

  std::vector<uint16_t> table(kLiteral + (0x300u << (lc + lp)), 1024);
  uint16_t* const probs = table.data();
  RangeDecoder rc{in, stream.size(), kLzmaHeaderSize + 5, 0xFFFFFFFFu, 0};
  for (size_t i = kLzmaHeaderSize + 1; i < kLzmaHeaderSize + 5; ++i)
    rc.code = (rc.code << 8) | in[i];

  auto* const dest = static_cast<uint8_t*>(out);
  const uint32_t pb_mask = (1u << pb) - 1;
  const uint32_t lp_mask = (1u << lp) - 1;
  size_t pos = 0;
  uint32_t state = 0;
  uint32_t rep0 = 0, rep1 = 0, rep2 = 0, rep3 = 0;
  bool marker = false;
  // Whether the stream holds a symbol beyond `limit` (a block that goes on past `size`).
  bool more = false;
  for (;;) {
    // Input that ran out reads as zeros, which would decode on to `limit`: stop at once.
    if (rc.next > rc.size) break;
    if (pos == limit) {
      // Past the header's size only an end marker may follow, and only if the range decoder
      // has not finished; past `size` one more symbol tells whether the stream ends there.
      if (ends_at_header_size) {
        if (rc.code == 0) break;
      } else if (!whole || known) {
        more = true;
        break;
      }
    }
    const uint32_t pos_state = static_cast<uint32_t>(pos) & pb_mask;
    if (rc.Bit(probs + kIsMatch + (state << 4) + pos_state) == 0) {
      if (pos == limit) {
        more = true;
        break;
      }
      const uint32_t previous = pos != 0 ? dest[pos - 1] : 0;
      uint16_t* const coder =
          probs + kLiteral +
          0x300 * (((static_cast<uint32_t>(pos) & lp_mask) << lc) + (previous >> (8 - lc)));
      uint32_t symbol = 1;
      if (state < 7) {
        do {
          symbol = (symbol << 1) | rc.TreeBit(coder + symbol);
        } while (symbol < 0x100);
      } else {
        // A literal after a match is coded against the byte at distance rep0, bit by bit for
        // as long as the two agree.
        uint32_t match = dest[pos - rep0 - 1];
        uint32_t offset = 0x100;
        do {
          match <<= 1;
          const uint32_t match_bit = match & offset;
          const uint32_t bit = rc.TreeBit(coder + offset + match_bit + symbol);
          symbol = (symbol << 1) | bit;
          offset &= bit != 0 ? match_bit : ~match_bit;
        } while (symbol < 0x100);
      }
      dest[pos++] = static_cast<uint8_t>(symbol);
      state = state < 4 ? 0 : state < 10 ? state - 3 : state - 6;
      continue;
    }
    const bool is_match = rc.Bit(probs + kIsRep + state) == 0;
    if (is_match) {
      state = state < 7 ? 7 : 10;
    } else {
      if (rc.Bit(probs + kIsRepG0 + state) == 0) {
        if (rc.Bit(probs + kIsRep0Long + (state << 4) + pos_state) == 0) {
          // One byte at distance rep0.
          if (pos == limit) {
            more = true;
            break;
          }
          if (rep0 >= pos) return InflateStatus::kBroken;
          dest[pos] = dest[pos - rep0 - 1];
          ++pos;
          state = state < 7 ? 9 : 11;
          continue;
        }
      } else {
        uint32_t distance;
        if (rc.Bit(probs + kIsRepG1 + state) == 0) {
          distance = rep1;
        } else {
          if (rc.Bit(probs + kIsRepG2 + state) == 0) {
            distance = rep2;
          } else {
            distance = rep3;
            rep3 = rep2;
          }
          rep2 = rep1;
        }
        rep1 = rep0;
        rep0 = distance;
      }
      state = state < 7 ? 8 : 11;
    }
    uint32_t length = DecodeLength(rc, probs + (is_match ? kMatchLen : kRepLen), pos_state);
    if (is_match) {
      const uint32_t slot =
          rc.Tree(probs + kDistSlot + (std::min<uint32_t>(length, 3) << 6), 6) - 64;
      uint32_t distance = slot;
      if (slot >= 4) {
        uint32_t bits = (slot >> 1) - 1;
        distance = (2 | (slot & 1)) << bits;
        uint16_t* tree = probs + kDistSpecial + distance - slot - 1;
        if (slot >= 14) {
          // The middle bits at probability one half, the lowest 4 through the align tree.
          distance += rc.Direct(bits - 4) << 4;
          tree = probs + kAlign;
          bits = 4;
        }
        distance += rc.ReverseTree(tree, bits);
      }
      if (distance == 0xFFFFFFFFu) {
        marker = true;
        break;
      }
      rep3 = rep2;
      rep2 = rep1;
      rep1 = rep0;
      rep0 = distance;
    }
    if (rep0 >= pos || rep0 >= reach) return InflateStatus::kBroken;
    length += kMinMatch;
    const size_t room = limit - pos;
    if (length > room) {
      more = true;
      length = static_cast<uint32_t>(room);
    }
    const uint8_t* from = dest + pos - rep0 - 1;
    uint8_t* to = dest + pos;
    pos += length;
    if (rep0 + 1 >= length) {
      std::copy(from, from + length, to);
    } else {
      // The copy overlaps what it writes: byte by byte.
      for (uint32_t i = 0; i < length; ++i) to[i] = from[i];
    }
    if (more) break;
  }

  // The encoder flushes after its last bit; reading the byte that flush leaves makes a valid
  // stream's input end exactly here.
  rc.Normalize();
  if (rc.next > stream.size()) return InflateStatus::kBroken;  // cut short
  *produced = pos;
  if (more) {
    if (ends_at_header_size) return InflateStatus::kBroken;  // data past the header's size
    if (whole) return InflateStatus::kLonger;
    return InflateStatus::kExact;
  }
  if (rc.code != 0) return InflateStatus::kBroken;
  if (marker && known && pos != header_size) return InflateStatus::kBroken;
  if (!whole) return pos == size ? InflateStatus::kExact : InflateStatus::kBroken;
  if (rc.next != stream.size()) return InflateStatus::kBroken;  // bytes after the stream
  return pos == size ? InflateStatus::kExact : InflateStatus::kShorter;
}

}  // namespace archive_io
