// Arithmetic modulo one word prime, carried as a value: a WordField holds
// the prime and its precomputed reciprocal, and kernels take it as an
// argument (no global modulus is read). Char2Field is its twin for the
// fields of 256 and 65536 elements (char2_field.h).
//
// Representation. An element is a std::uint32_t. WordField: the residue
// 0 .. p - 1 for a prime p < 2^32 (the kernels use p < 2^31). Char2Field:
// the bit pattern 0 .. size - 1, sum and difference exclusive or.
//
// Reduction is Barrett's: with r = floor((2^64 - 1) / p), the estimate
// q = floor(x r / 2^64) of floor(x / p) is at most two short for every
// 64-bit x, so x - q p needs at most two corrections. With SmallReducer's
// 32-bit twin for moduli up to 65536, the kernels' only Barrett reductions:
// every word-prime field reduces through them.
//
// Beside it, the word kit's other reductions: Shoup's products by a fixed
// constant, the reduction of exact integers held in doubles, and dot
// products with one reduction at the end, their width bounded once.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "core/records.h"
#include "numbers/char2_field.h"
#include "numbers/word_mod.h"

namespace tavrin {

class WordField {
 public:
  // p: a prime (any p >= 2 for reduce, add, sub, neg and mul).
  explicit WordField(std::uint32_t p) : p_(p), r_(~std::uint64_t{0} / p) {
    const std::uint64_t t = ~std::uint64_t{0} - r_ * p + 1;  // (2^64 - 1) mod p, plus 1
    two64_ = t == p ? 0 : t;
  }
  std::uint32_t modulus() const { return p_; }
  std::uint64_t size() const { return p_; }
  // x mod p for any 64-bit x.
  std::uint32_t reduce(std::uint64_t x) const {
    const auto q = static_cast<std::uint64_t>((static_cast<unsigned __int128>(x) * r_) >> 64);
    std::uint64_t t = x - q * p_;
    while (t >= p_) t -= p_;
    return static_cast<std::uint32_t>(t);
  }
  // x mod p for any 128-bit x: hi 2^64 + lo as (hi mod p) (2^64 mod p) + lo.
  std::uint32_t reduce_wide(unsigned __int128 x) const {
    const std::uint64_t hi = reduce(static_cast<std::uint64_t>(x >> 64));
    return reduce(hi * two64_ + reduce(static_cast<std::uint64_t>(x)));
  }
  // a, b: residues below.
  std::uint32_t add(std::uint32_t a, std::uint32_t b) const {
    const std::uint64_t s = std::uint64_t{a} + b;
    return static_cast<std::uint32_t>(s >= p_ ? s - p_ : s);
  }
  std::uint32_t sub(std::uint32_t a, std::uint32_t b) const {
    return a >= b ? a - b : a + (p_ - b);
  }
  std::uint32_t neg(std::uint32_t a) const { return a == 0 ? 0 : p_ - a; }
  std::uint32_t mul(std::uint32_t a, std::uint32_t b) const { return reduce(std::uint64_t{a} * b); }
  // a * b + c
  std::uint32_t mul_add(std::uint32_t a, std::uint32_t b, std::uint32_t c) const {
    return reduce(std::uint64_t{a} * b + c);
  }
  // 1 / a for a residue a not 0 (0 gives 0).
  std::uint32_t inv(std::uint32_t a) const { return inverse_modulo(a, p_); }
  // a^e
  std::uint32_t pow(std::uint32_t a, std::uint64_t e) const {
    return power_by_squaring(a, e, p_ == 1 ? 0 : 1,
                             [this](std::uint32_t x, std::uint32_t y) { return mul(x, y); });
  }
  // The residue of a signed word.
  std::uint32_t of(std::int64_t v) const {
    const std::uint32_t r =
        reduce(v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v));
    return v < 0 ? neg(r) : r;
  }

 private:
  std::uint32_t p_;
  std::uint64_t r_;          // floor((2^64 - 1) / p)
  std::uint64_t two64_ = 0;  // 2^64 mod p
};

// Exact reduction of an unsigned 32-bit value by a modulus of at most 65536,
// by a precomputed reciprocal instead of a division: q = floor(u * m / 2^32)
// with m = floor(2^32 / p) is floor(u / p) or one less, so one conditional
// subtraction finishes.
class SmallReducer {
 public:
  explicit SmallReducer(std::uint32_t p)
      : p_(p), m_(static_cast<std::uint32_t>((std::uint64_t{1} << 32) / p)) {}
  std::uint32_t reduce(std::uint32_t u) const {
    const auto q = static_cast<std::uint32_t>((std::uint64_t{u} * m_) >> 32);
    const std::uint32_t r = u - q * p_;
    return r >= p_ ? r - p_ : r;
  }
  std::uint32_t modulus() const { return p_; }

 private:
  std::uint32_t p_;
  std::uint32_t m_;
};

// Multiplication by a constant w modulo p (w < p < 2^31) by Shoup's method:
// with wq = floor(w 2^32 / p), q = floor(a wq / 2^32) is floor(a w / p) or
// one less for every a < 2^32, so a w - q p lies in [0, 2p) and is found
// exactly in wrapping 32-bit arithmetic. The free functions serve loops
// whose constants change with the index; the class holds one constant.
inline std::uint32_t shoup_quotient(std::uint32_t w, std::uint32_t p) {
  return static_cast<std::uint32_t>((std::uint64_t{w} << 32) / p);
}
// a w mod p in [0, 2p).
inline std::uint32_t shoup_mul_lazy(std::uint32_t a, std::uint32_t w, std::uint32_t wq,
                                    std::uint32_t p) {
  const auto q = static_cast<std::uint32_t>((std::uint64_t{a} * wq) >> 32);
  return a * w - q * p;
}
// a w mod p in [0, p).
inline std::uint32_t shoup_mul(std::uint32_t a, std::uint32_t w, std::uint32_t wq,
                               std::uint32_t p) {
  const std::uint32_t t = shoup_mul_lazy(a, w, wq, p);
  return t >= p ? t - p : t;
}

// a + b and a - b modulo p for residues a, b < p < 2^31, in 32-bit words:
// for the loops the compiler vectorises (WordField's add and sub take any
// p < 2^32 and carry the sum in 64 bits).
inline std::uint32_t word_add(std::uint32_t a, std::uint32_t b, std::uint32_t p) {
  const std::uint32_t s = a + b;
  return s >= p ? s - p : s;
}
inline std::uint32_t word_sub(std::uint32_t a, std::uint32_t b, std::uint32_t p) {
  return a >= b ? a - b : a + p - b;
}
// The same on residues held in signed 32-bit words, as the dense arrays
// hold them: 0 <= a, b < p < 2^31.
inline std::int32_t add_residues(std::int32_t a, std::int32_t b, std::int32_t p) {
  return static_cast<std::int32_t>(word_add(
      static_cast<std::uint32_t>(a), static_cast<std::uint32_t>(b), static_cast<std::uint32_t>(p)));
}
inline std::int32_t sub_residues(std::int32_t a, std::int32_t b, std::int32_t p) {
  return static_cast<std::int32_t>(word_sub(
      static_cast<std::uint32_t>(a), static_cast<std::uint32_t>(b), static_cast<std::uint32_t>(p)));
}

class ShoupMultiplier {
 public:
  // w: any value (taken modulo p); p < 2^31.
  ShoupMultiplier(std::uint64_t w, std::uint32_t p)
      : w_(static_cast<std::uint32_t>(w % p)), wq_(shoup_quotient(w_, p)), p_(p) {}
  std::uint32_t times(std::uint32_t a) const { return shoup_mul(a, w_, wq_, p_); }
  std::uint32_t w() const { return w_; }
  std::uint32_t wq() const { return wq_; }
  std::uint32_t modulus() const { return p_; }

 private:
  std::uint32_t w_, wq_, p_;
};

// x mod p for an integer x held exactly in a double, |x| < 2^52, p < 2^31:
// the truncated quotient by the reciprocal inv_p = 1 / p is off by at most
// one, and q p and x - q p are exact, so one correction either way ends it.
inline double reduce_double(double x, double p, double inv_p) {
  const auto q = static_cast<double>(static_cast<std::int64_t>(x * inv_p));
  double r = x - q * p;
  if (r < 0.0) r += p;
  if (r >= p) r -= p;
  return r;
}

// The same from the floored quotient, with selects in place of the tests:
// for loops the compiler vectorises (std::floor is one instruction on the
// targets that have it, where the conversion to a 64-bit integer is not).
inline double reduce_double_floor(double x, double p, double inv_p) {
  const double r = x - std::floor(x * inv_p) * p;
  const double up = r < 0.0 ? r + p : r;
  return up >= p ? up - p : up;
}

// Dot products of word vectors modulo a prime with the reduction delayed to
// the end: the unreduced sum of len products, each at most `product`, needs
// dot_limbs(len, product) 64-bit words (0 for an empty or zero sum, else 1
// or 2, as len < 2^64 and product < 2^64). A caller computes the count once
// for a vector length and passes it to every dot product of that length.
inline int dot_limbs(std::uint64_t len, std::uint64_t product) {
  const unsigned __int128 bound = static_cast<unsigned __int128>(len) * product;
  if (bound == 0) return 0;
  return (bound >> 64) == 0 ? 1 : 2;
}
// For products of two residues of f.
inline int dot_limbs(std::uint64_t len, const WordField& f) {
  const std::uint64_t top = f.modulus() - 1;
  return dot_limbs(len, top * top);
}

// The batched form, many dot products side by side, keeps one word a sum
// and reduces it every dot_room(product, f) terms: the number of products
// below `product` (at least 1) that a residue of f can take before the sum
// could pass 2^64.
inline std::uint64_t dot_room(std::uint64_t product, const WordField& f) {
  const std::uint64_t room = (~std::uint64_t{0} - f.modulus()) / product;
  return room == 0 ? 1 : room;
}

// The sum of term(0), ..., term(n - 1) modulo f's prime, each term a 64-bit
// product; limbs: at least dot_limbs of n and the terms' bound. One word
// sums plainly; two carry the overflow in a second word. Inlined: the
// callers' vectors are often a few entries long.
template <class Term>
[[gnu::always_inline]] inline std::uint32_t word_dot(const WordField& f, std::size_t n, int limbs,
                                                     Term term) {
  if (limbs <= 1) {
    std::uint64_t s = 0;
    for (std::size_t i = 0; i < n; ++i) s += term(i);
    return f.reduce(s);
  }
  std::uint64_t lo = 0, hi = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint64_t t = term(i);
    lo += t;
    hi += lo < t ? 1 : 0;
  }
  return hi == 0 ? f.reduce(lo) : f.reduce_wide((static_cast<unsigned __int128>(hi) << 64) | lo);
}

// a[0 .. n) . b[0 .. n) modulo f's prime (residues or any words whose
// products the limb count covers).
inline std::uint32_t word_dot(const WordField& f, const std::uint32_t* a, const std::uint32_t* b,
                              std::size_t n, int limbs) {
  return word_dot(f, n, limbs, [a, b](std::size_t i) { return std::uint64_t{a[i]} * b[i]; });
}

// The residue of the big integer x (its limbs carry the sign) modulo f's
// prime. x: kept
std::uint32_t number_residue(imptr x, const WordField& f);

class Char2Field {
 public:
  // field_size: 256 or 65536.
  explicit Char2Field(std::int32_t field_size) : size_(field_size) {}
  std::uint64_t size() const { return static_cast<std::uint64_t>(size_); }
  std::uint32_t add(std::uint32_t a, std::uint32_t b) const { return a ^ b; }
  std::uint32_t sub(std::uint32_t a, std::uint32_t b) const { return a ^ b; }
  std::uint32_t neg(std::uint32_t a) const { return a; }
  std::uint32_t mul(std::uint32_t a, std::uint32_t b) const {
    return static_cast<std::uint32_t>(char2_mult(a, b, size_));
  }
  std::uint32_t mul_add(std::uint32_t a, std::uint32_t b, std::uint32_t c) const {
    return mul(a, b) ^ c;
  }
  std::uint32_t inv(std::uint32_t a) const {
    return static_cast<std::uint32_t>(char2_inverse(a, size_));
  }
  // a^e (a^0 = 1)
  std::uint32_t pow(std::uint32_t a, std::uint64_t e) const {
    return power_by_squaring(a, e, 1,
                             [this](std::uint32_t x, std::uint32_t y) { return mul(x, y); });
  }

 private:
  std::int32_t size_;
};

}  // namespace tavrin
