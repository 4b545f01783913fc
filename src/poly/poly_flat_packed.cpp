// The flat product of polynomials in one variable with word-size integer
// coefficients through one product of big integers (Kronecker's
// substitution on slots of as many bits as the product's coefficients need).
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <vector>

#include "core/thresholds.h"
#include "numbers/word_array.h"
#include "poly/poly_flat_impl.h"

namespace tavrin::detail {

using kit::wmul;
using kit::wnormalised;
using kit::word;
using kit::wsqr;

namespace {

using u128 = unsigned __int128;

// Measured costs (nanoseconds): the word product a word of its operands at
// a few thousand words, and packing and reading back a slot.
constexpr double packed_word_ns = 45.0;
constexpr double packed_slot_ns = 3.0;

// Appends fields of up to 64 bits to a word array, the lowest first.
class BitWriter {
 public:
  explicit BitWriter(word* w) : w_(w) {}
  // The n bits of v (0 < n <= 64; v < 2^n).
  void put(word v, int n) {
    acc_ |= v << bits_;
    const int total = bits_ + n;
    if (total >= 64) {
      w_[k_++] = acc_;
      acc_ = bits_ == 0 ? 0 : v >> (64 - bits_);
      bits_ = total - 64;
    } else {
      bits_ = total;
    }
  }
  // The s bits of v (0 < s <= 128).
  void put_wide(u128 v, int s) {
    if (s <= 64) {
      put(static_cast<word>(v), s);
    } else {
      put(static_cast<word>(v), 64);
      put(static_cast<word>(v >> 64), s - 64);
    }
  }
  // n zero bits.
  void skip(std::int64_t n) {
    const std::int64_t total = bits_ + n;
    if (total < 64) {
      bits_ = static_cast<int>(total);
      return;
    }
    w_[k_++] = acc_;
    acc_ = 0;
    std::int64_t left = total - 64;
    for (; left >= 64; left -= 64) w_[k_++] = 0;
    bits_ = static_cast<int>(left);
  }
  // Flushes the last partial word; returns the words written.
  std::int64_t finish() {
    if (bits_ > 0) w_[k_++] = acc_;
    bits_ = 0;
    acc_ = 0;
    return k_;
  }

 private:
  word* w_;
  word acc_ = 0;
  int bits_ = 0;
  std::int64_t k_ = 0;
};

// Reads fields of up to 64 bits from a word array, the lowest first; past
// its end the bits are 0.
class BitReader {
 public:
  BitReader(const word* w, std::int64_t n) : w_(w), n_(n) {}
  word get(int n) {
    const word mask = n == 64 ? ~word{0} : (word{1} << n) - 1;
    if (bits_ >= n) {
      const word r = acc_ & mask;
      acc_ = n == 64 ? 0 : acc_ >> n;
      bits_ -= n;
      return r;
    }
    const word next = k_ < n_ ? w_[k_] : 0;
    ++k_;
    const word r = (acc_ | (bits_ == 0 ? next : next << bits_)) & mask;
    const int used = n - bits_;
    acc_ = used == 64 ? 0 : next >> used;
    bits_ = 64 - used;
    return r;
  }
  u128 get_wide(int s) {
    if (s <= 64) return get(s);
    const word lo = get(64);
    return (static_cast<u128>(get(s - 64)) << 64) | lo;
  }

 private:
  const word* w_;
  std::int64_t n_;
  word acc_ = 0;
  int bits_ = 0;
  std::int64_t k_ = 0;
};

// Bits a slot needs: each of the product's coefficients is a sum of at
// most min(terms) products below 2^(bits a + bits b) in magnitude, and a
// slot holds a magnitude below half its range.
int slot_bits(const FlatScan& sa, const FlatScan& sb) {
  return std::bit_width(sa.maxabs) + std::bit_width(sb.maxabs) +
         std::bit_width(static_cast<std::uint64_t>(std::min(sa.terms, sb.terms))) + 1;
}

// f as one integer: coefficient i (of the level's exponent i) times 2^(s i),
// times the sign of f's leading coefficient so that the integer is
// positive; that sign returned. The slots are the integer's digits in base
// 2^s, each coefficient less the 1 lent to the slot below when that one is
// negative. w: top + 1 slots of room.
int pack(const Flat& f, const Packing& pk, int level, int s, std::vector<word>& w,
         std::int32_t* len) {
  const std::int64_t top = pk.field(f.key[0], level);
  w.assign(static_cast<std::size_t>(((top + 1) * s + 63) / 64), 0);
  BitWriter out(w.data());
  const int sign = f.val[0] < 0 ? -1 : 1;
  const u128 range = u128{1} << s;  // s <= 127
  const u128 ones = range - 1;
  bool borrow = false;
  std::int64_t next = 0;  // the next slot to write
  for (std::size_t t = f.key.size(); t-- > 0;) {
    const std::int64_t e = pk.field(f.key[t], level);
    // Empty slots: 0, or all ones while the borrow runs on.
    if (borrow) {
      for (; next < e; ++next) out.put_wide(ones, s);
    } else if (e > next) {
      out.skip((e - next) * s);
      next = e;
    }
    const std::int64_t c = sign < 0 ? -f.val[t] : f.val[t];
    // c - borrow taken modulo 2^s, borrowing again when negative.
    const __int128 v = static_cast<__int128>(c) - (borrow ? 1 : 0);
    borrow = v < 0;
    out.put_wide(borrow ? static_cast<u128>(v) + range : static_cast<u128>(v), s);
    ++next;
  }
  *len = static_cast<std::int32_t>(wnormalised(w.data(), static_cast<std::int32_t>(out.finish())));
  return sign;
}

}  // namespace

int varying_level(const Packing& pk, const FlatScan& sa, const FlatScan& sb) {
  int level = -1;
  for (int k = 0; k < pk.depth; ++k) {
    const auto kk = static_cast<std::size_t>(k);
    if (sa.maxexp[kk] + sb.maxexp[kk] == 0) continue;
    if (level >= 0) return -1;
    level = k;
  }
  return level;
}

double packed_cost(const Flat& a, const Flat& b, const Packing& pk, const FlatScan& sa,
                   const FlatScan& sb) {
  const int level = varying_level(pk, sa, sb);
  if (level < 0) return -1;
  const int s = slot_bits(sa, sb);
  if (s > 127) return -1;
  const double slots_a = static_cast<double>(pk.field(a.key[0], level)) + 1;
  const double slots_b = static_cast<double>(pk.field(b.key[0], level)) + 1;
  const double words_a = slots_a * s / 64.0, words_b = slots_b * s / 64.0;
  if (words_a + words_b > 1e9) return -1;
  // The word product's cost a word grows by an eighth at each doubling of
  // its operands past a few thousand words.
  const double longer = std::max(words_a, words_b);
  const double growth = 1.0 + 0.125 * std::max(0.0, std::log2(longer / 4096.0));
  return packed_word_ns * (words_a + words_b) * growth +
         packed_slot_ns * (2 * slots_a + 2 * slots_b);
}

void packed_word_product(const Flat& a, const Flat& b, const Packing& pk, const FlatScan& sa,
                         const FlatScan& sb, bool narrow, WordTerms& out) {
  const int level = varying_level(pk, sa, sb);
  const int s = slot_bits(sa, sb);
  const bool square = &a == &b;
  std::vector<word> wa, wb;
  std::int32_t na = 0, nb = 0;
  const int sign_a = pack(a, pk, level, s, wa, &na);
  int sign_b = sign_a;
  if (!square) sign_b = pack(b, pk, level, s, wb, &nb);
  std::vector<word> wr(static_cast<std::size_t>(square ? 2 * na : na + nb), 0);
  if (square) {
    wsqr(wr.data(), wa.data(), na);
  } else if (na >= nb) {
    wmul(wr.data(), wa.data(), na, wb.data(), nb);
  } else {
    wmul(wr.data(), wb.data(), nb, wa.data(), na);
  }
  const bool negative = sign_a * sign_b < 0;
  // Read back from the lowest slot: a slot of 2^(s-1) or more is
  // negative and lends one to the next.
  const std::int64_t slots = pk.field(a.key[0], level) + pk.field(b.key[0], level) + 1;
  const int shift = pk.shift[static_cast<std::size_t>(level)];
  const u128 range = u128{1} << s;
  const u128 half = u128{1} << (s - 1);
  BitReader in(wr.data(), static_cast<std::int64_t>(wr.size()));
  const std::size_t first = out.key.size();
  std::uint64_t* keys = out.key.room(static_cast<std::size_t>(slots));
  std::size_t count = 0;
  u128 carry = 0;
  auto emit = [&](std::int64_t e, __int128 c) {
    keys[count] = static_cast<std::uint64_t>(e) << shift;
    if (narrow) {
      out.val.push(static_cast<std::int64_t>(negative ? -c : c));
    } else {
      out.wide.push(negative ? -c : c);
    }
    ++count;
  };
  for (std::int64_t e = 0; e < slots; ++e) {
    u128 v = in.get_wide(s) + carry;
    carry = 0;
    if (v == range) {
      carry = 1;
      continue;
    }
    if (v == 0) continue;
    if (v >= half) {
      carry = 1;
      emit(e, -static_cast<__int128>(range - v));
    } else {
      emit(e, static_cast<__int128>(v));
    }
  }
  out.key.commit(count);
  // Keys decrease along the product's terms.
  std::reverse(out.key.data() + first, out.key.data() + first + count);
  if (narrow) {
    std::reverse(out.val.data() + first, out.val.data() + first + count);
  } else {
    std::reverse(out.wide.data() + first, out.wide.data() + first + count);
  }
}

}  // namespace tavrin::detail
