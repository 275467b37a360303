#include "setup/core/ed25519_verify.h"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "setup/core/sha512.h"

namespace {

using Bytes32 = std::array<unsigned char, 32>;
using u128 = unsigned __int128;

// An element of the field of integers modulo p = 2^255 - 19 as five limbs of 51 bits, value
// v[0] + v[1] 2^51 + ... + v[4] 2^204. Limbs may run a few bits over 51 between operations;
// every operation carries its result back to about 51 bits, so the next cannot overflow.
struct Fe {
  uint64_t v[5];
};

constexpr uint64_t kLimbMask = (uint64_t{1} << 51) - 1;

Fe Carry(Fe a) {
  for (int i = 0; i < 4; ++i) {
    a.v[i + 1] += a.v[i] >> 51;
    a.v[i] &= kLimbMask;
  }
  a.v[0] += 19 * (a.v[4] >> 51);  // 2^255 = 19 modulo p
  a.v[4] &= kLimbMask;
  return a;
}

Fe Small(uint64_t value) { return Fe{{value, 0, 0, 0, 0}}; }

Fe Add(const Fe& a, const Fe& b) {
  Fe sum;
  for (int i = 0; i < 5; ++i) sum.v[i] = a.v[i] + b.v[i];
  return Carry(sum);
}

// a - b, with 4p added first so no limb goes below zero.
Fe Sub(const Fe& a, const Fe& b) {
  Fe difference;
  difference.v[0] = a.v[0] + 4 * (kLimbMask - 18) - b.v[0];
  for (int i = 1; i < 5; ++i) difference.v[i] = a.v[i] + 4 * kLimbMask - b.v[i];
  return Carry(difference);
}

Fe Negate(const Fe& a) { return Sub(Small(0), a); }

Fe Mul(const Fe& a, const Fe& b) {
  // Schoolbook; a product that reaches 2^255 or beyond comes back 19 times smaller.
  const uint64_t *x = a.v, *y = b.v;
  const uint64_t y1 = 19 * y[1], y2 = 19 * y[2], y3 = 19 * y[3], y4 = 19 * y[4];
  u128 t[5];
  t[0] = u128{x[0]} * y[0] + u128{x[1]} * y4 + u128{x[2]} * y3 + u128{x[3]} * y2 + u128{x[4]} * y1;
  t[1] =
      u128{x[0]} * y[1] + u128{x[1]} * y[0] + u128{x[2]} * y4 + u128{x[3]} * y3 + u128{x[4]} * y2;
  t[2] =
      u128{x[0]} * y[2] + u128{x[1]} * y[1] + u128{x[2]} * y[0] + u128{x[3]} * y4 + u128{x[4]} * y3;
  t[3] = u128{x[0]} * y[3] + u128{x[1]} * y[2] + u128{x[2]} * y[1] + u128{x[3]} * y[0] +
         u128{x[4]} * y4;
  t[4] = u128{x[0]} * y[4] + u128{x[1]} * y[3] + u128{x[2]} * y[2] + u128{x[3]} * y[1] +
         u128{x[4]} * y[0];
  Fe product;
  u128 carry = 0;
  for (int i = 0; i < 5; ++i) {
    t[i] += carry;
    product.v[i] = static_cast<uint64_t>(t[i]) & kLimbMask;
    carry = t[i] >> 51;
  }
  const u128 low = product.v[0] + carry * 19;
  product.v[0] = static_cast<uint64_t>(low) & kLimbMask;
  product.v[1] += static_cast<uint64_t>(low >> 51);
  return product;
}

// a^e for an exponent given as 32 bytes, little-endian.
Fe Power(const Fe& a, const Bytes32& exponent) {
  Fe result = Small(1);
  for (int bit = 255; bit >= 0; --bit) {
    result = Mul(result, result);
    if ((exponent[bit / 8] >> (bit % 8)) & 1) result = Mul(result, a);
  }
  return result;
}

// Exponents: p - 2 (the inverse, by Fermat), (p - 5) / 8 (square roots), (p - 1) / 4.
constexpr Bytes32 ExponentBytes(unsigned char low, unsigned char high) {
  Bytes32 bytes;
  bytes.fill(0xff);
  bytes[0] = low;
  bytes[31] = high;
  return bytes;
}
constexpr Bytes32 kInverseExponent = ExponentBytes(0xeb, 0x7f);       // 2^255 - 21
constexpr Bytes32 kRootExponent = ExponentBytes(0xfd, 0x0f);          // 2^252 - 3
constexpr Bytes32 kSqrtMinusOneExponent = ExponentBytes(0xfb, 0x1f);  // 2^253 - 5

Fe Invert(const Fe& a) { return Power(a, kInverseExponent); }

// The unique representative below p, little-endian.
Bytes32 ToBytes(const Fe& a) {
  Fe t = Carry(Carry(a));  // now below 2p
  // q = 1 when t >= p, that is when t + 19 reaches 2^255; then t - p = t + 19 - 2^255.
  uint64_t q = (t.v[0] + 19) >> 51;
  for (int i = 1; i < 5; ++i) q = (t.v[i] + q) >> 51;
  t.v[0] += 19 * q;
  for (int i = 0; i < 4; ++i) {
    t.v[i + 1] += t.v[i] >> 51;
    t.v[i] &= kLimbMask;
  }
  t.v[4] &= kLimbMask;
  Bytes32 bytes{};
  u128 pending = 0;
  int pending_bits = 0;
  size_t at = 0;
  for (const uint64_t limb : t.v) {
    pending |= static_cast<u128>(limb) << pending_bits;
    for (pending_bits += 51; pending_bits >= 8; pending_bits -= 8) {
      bytes[at++] = static_cast<unsigned char>(pending);
      pending >>= 8;
    }
  }
  bytes[at] = static_cast<unsigned char>(pending);  // the last 7 bits
  return bytes;
}

// The 255 low bits of BYTES (the top bit is a point encoding's sign of x).
Fe FromBytes(const Bytes32& bytes) {
  Fe a{};
  u128 pending = 0;
  int pending_bits = 0;
  int limb = 0;
  for (size_t i = 0; i < bytes.size(); ++i) {
    const unsigned char byte = i == 31 ? bytes[i] & 0x7f : bytes[i];
    pending |= static_cast<u128>(byte) << pending_bits;
    pending_bits += 8;
    if (pending_bits >= 51) {
      a.v[limb++] = static_cast<uint64_t>(pending) & kLimbMask;
      pending >>= 51;
      pending_bits -= 51;
    }
  }
  return a;
}

bool Equal(const Fe& a, const Fe& b) { return ToBytes(a) == ToBytes(b); }
bool IsOdd(const Fe& a) { return ToBytes(a)[0] & 1; }

// A point of the curve -x^2 + y^2 = 1 + d x^2 y^2 in extended coordinates:
// x = X/Z, y = Y/Z, x y = T/Z.
struct Point {
  Fe x, y, z, t;
};

// The curve's constants, worked out once from their definitions.
struct Curve {
  Fe d;               // -121665 / 121666
  Fe d2;              // 2 d
  Fe sqrt_minus_one;  // 2^((p - 1) / 4)
  Point base;         // B: y = 4/5, x even
};

std::optional<Point> Decode(const Curve& curve, const Bytes32& bytes);

Curve MakeCurve() {
  Curve curve;
  curve.d = Mul(Negate(Small(121665)), Invert(Small(121666)));
  curve.d2 = Add(curve.d, curve.d);
  curve.sqrt_minus_one = Power(Small(2), kSqrtMinusOneExponent);
  Bytes32 base_bytes;
  base_bytes.fill(0x66);
  base_bytes[0] = 0x58;
  curve.base = *Decode(curve, base_bytes);
  return curve;
}

const Curve& TheCurve() {
  static const Curve curve = MakeCurve();
  return curve;
}

Point Neutral() { return Point{Small(0), Small(1), Small(1), Small(0)}; }

// Complete addition for a = -1 (RFC 8032, 5.1.4): right for any two points, equal ones too.
Point AddPoints(const Curve& curve, const Point& p, const Point& q) {
  const Fe a = Mul(Sub(p.y, p.x), Sub(q.y, q.x));
  const Fe b = Mul(Add(p.y, p.x), Add(q.y, q.x));
  const Fe c = Mul(Mul(p.t, curve.d2), q.t);
  const Fe d = Mul(Add(p.z, p.z), q.z);
  const Fe e = Sub(b, a), f = Sub(d, c), g = Add(d, c), h = Add(b, a);
  return Point{Mul(e, f), Mul(g, h), Mul(f, g), Mul(e, h)};
}

Point NegatePoint(const Point& p) { return Point{Negate(p.x), p.y, p.z, Negate(p.t)}; }

Bytes32 Encode(const Point& p) {
  const Fe z_inverse = Invert(p.z);
  Bytes32 bytes = ToBytes(Mul(p.y, z_inverse));
  if (IsOdd(Mul(p.x, z_inverse))) bytes[31] |= 0x80;
  return bytes;
}

// RFC 8032, 5.1.3: y must be below p, and x^2 = (y^2 - 1) / (d y^2 + 1) must have a root.
std::optional<Point> Decode(const Curve& curve, const Bytes32& bytes) {
  const Fe y = FromBytes(bytes);
  Bytes32 unsigned_bytes = bytes;
  unsigned_bytes[31] &= 0x7f;
  if (ToBytes(y) != unsigned_bytes) return std::nullopt;
  const bool x_odd = bytes[31] >> 7;
  const Fe y2 = Mul(y, y);
  const Fe u = Sub(y2, Small(1));
  const Fe v = Add(Mul(curve.d, y2), Small(1));
  // The candidate root x = u v^3 (u v^7)^((p - 5) / 8).
  const Fe v3 = Mul(Mul(v, v), v);
  const Fe v7 = Mul(Mul(v3, v3), v);
  Fe x = Mul(Mul(u, v3), Power(Mul(u, v7), kRootExponent));
  const Fe vx2 = Mul(v, Mul(x, x));
  if (!Equal(vx2, u)) {
    if (!Equal(vx2, Negate(u))) return std::nullopt;
    x = Mul(x, curve.sqrt_minus_one);
  }
  if (x_odd && Equal(x, Small(0))) return std::nullopt;
  if (IsOdd(x) != x_odd) x = Negate(x);
  return Point{x, y, Small(1), Mul(x, y)};
}

bool HasSmallOrder(const Curve& curve, const Point& p) {
  Point multiple = p;
  for (int i = 0; i < 3; ++i) multiple = AddPoints(curve, multiple, multiple);
  return Equal(multiple.x, Small(0)) && Equal(multiple.y, multiple.z);  // the neutral point
}

// Scalars as four 64-bit words, little-endian.
using Scalar = std::array<uint64_t, 4>;

// The order of the base point, L = 2^252 + 27742317777372353535851937790883648493.
constexpr Scalar kGroupOrder = {0x5812631a5cf5d3ed, 0x14def9dea2f79cd6, 0, 0x1000000000000000};

bool Below(const Scalar& a, const Scalar& b) {
  for (int i = 3; i >= 0; --i) {
    if (a[i] != b[i]) return a[i] < b[i];
  }
  return false;
}

Scalar ScalarFromBytes(const unsigned char* bytes) {
  Scalar scalar{};
  for (int i = 0; i < 32; ++i) scalar[i / 8] |= uint64_t{bytes[i]} << (8 * (i % 8));
  return scalar;
}

// A 512-bit little-endian number modulo L, a bit at a time from the top (r stays below L, so
// 2r + 1 fits in 254 bits).
Scalar ReduceModOrder(const TSha512::Digest& wide) {
  Scalar r{};
  for (int bit = 511; bit >= 0; --bit) {
    for (int i = 3; i > 0; --i) r[i] = (r[i] << 1) | (r[i - 1] >> 63);
    r[0] = (r[0] << 1) | ((wide[bit / 8] >> (bit % 8)) & 1);
    if (!Below(r, kGroupOrder)) {
      uint64_t borrow = 0;
      for (int i = 0; i < 4; ++i) {
        const uint64_t subtrahend = kGroupOrder[i] + borrow;
        borrow = (subtrahend < borrow) || (r[i] < subtrahend);
        r[i] -= subtrahend;
      }
    }
  }
  return r;
}

bool Bit(const Scalar& scalar, int bit) { return (scalar[bit / 64] >> (bit % 64)) & 1; }

}  // namespace

bool VerifyEd25519(const std::array<unsigned char, kEd25519SignatureSize>& signature,
                   const void* message, size_t size,
                   const std::array<unsigned char, kEd25519PublicKeySize>& public_key) {
  const Curve& curve = TheCurve();
  Bytes32 r_bytes;
  std::copy(signature.begin(), signature.begin() + 32, r_bytes.begin());
  const Scalar s = ScalarFromBytes(signature.data() + 32);
  if (!Below(s, kGroupOrder)) return false;
  const std::optional<Point> a = Decode(curve, public_key);
  if (!a || HasSmallOrder(curve, *a)) return false;

  TSha512 hash;
  hash.Update(r_bytes.data(), r_bytes.size());
  hash.Update(public_key.data(), public_key.size());
  hash.Update(message, size);
  const Scalar k = ReduceModOrder(hash.Final());

  // [S]B - [k]A, both scalars walked together from their top bit.
  const Point minus_a = NegatePoint(*a);
  Point sum = Neutral();
  for (int bit = 255; bit >= 0; --bit) {
    sum = AddPoints(curve, sum, sum);
    if (Bit(s, bit)) sum = AddPoints(curve, sum, curve.base);
    if (Bit(k, bit)) sum = AddPoints(curve, sum, minus_a);
  }
  // Matching R's bytes makes R canonical and decodable; a small-order R is refused besides.
  return Encode(sum) == r_bytes && !HasSmallOrder(curve, sum);
}
