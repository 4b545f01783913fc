// One-variable polynomials over the integers on contiguous words, for the
// routines that read their operands once, compute and build the result once
// (the rational functions of quoly/, the modular GCD of gcd/).
//
// Representation. An IntPoly holds coefficient i (that of x^i) for i = 0 ..
// deg as a sign and a magnitude of 64-bit words, least significant first,
// without leading zero words; a zero coefficient has no words. All
// magnitudes lie in one word vector, coefficient i at [off[i], off[i+1]).
// The top coefficient is not zero; the zero polynomial has no coefficients
// (deg -1). Coefficients are appended from x^0 upwards (push), so every
// routine builds its result in one pass.
//
// The term lists read and built here are the one-variable lists over big
// integers of poly_repr.h: terms of positive, strictly decreasing exponents
// over bare leaves, then at most one leaf, the constant term (a bare leaf
// alone is a constant). A coefficient longer than 32,767 limbs is error 302
// when a list is built.
#pragma once

#include <cstdint>
#include <vector>

#include "core/records.h"

namespace tavrin {

// A signed integer on words: its magnitude, least significant word first
// without leading zero words (zero has none), and its sign (never set for
// zero).
struct WordInt {
  std::vector<std::uint64_t> m;
  bool neg = false;

  bool zero() const { return m.empty(); }
  void trim() {
    while (!m.empty() && m.back() == 0) m.pop_back();
    if (m.empty()) neg = false;
  }
};

class IntPoly {
 public:
  using word = std::uint64_t;

  std::int32_t degree() const { return static_cast<std::int32_t>(off_.size()) - 2; }
  bool is_zero() const { return off_.size() == 1; }
  bool is_constant() const { return off_.size() <= 2; }
  // The constant 1.
  bool is_one() const { return degree() == 0 && !neg_[0] && len(0) == 1 && data_[0] == 1; }

  const word* mag(std::int32_t i) const { return data_.data() + off_[static_cast<std::size_t>(i)]; }
  std::int32_t len(std::int32_t i) const {
    return off_[static_cast<std::size_t>(i) + 1] - off_[static_cast<std::size_t>(i)];
  }
  bool neg(std::int32_t i) const { return neg_[static_cast<std::size_t>(i)] != 0; }
  // Bits of the largest magnitude.
  std::int64_t max_bits() const;
  std::int64_t total_words() const { return static_cast<std::int64_t>(data_.size()); }

  // Appends the next coefficient sign * m[0 .. n) (leading zero words
  // dropped; n may be 0 for zero).
  void push(const word* m, std::int32_t n, bool negative);
  void push_zero() { push(nullptr, 0, false); }
  // Drops top zero coefficients.
  void trim();
  void clear();
  void reserve(std::int32_t coefs, std::int64_t words);

  bool operator==(const IntPoly& b) const {
    return off_ == b.off_ && neg_ == b.neg_ && data_ == b.data_;
  }

 private:
  std::vector<word> data_;
  std::vector<std::int32_t> off_{0};
  std::vector<std::uint8_t> neg_;
};

// *out := p when p is a one-variable list over big integers (see above),
// in rational arithmetic; false, *out unspecified, for any other shape.
// p: kept. reads: mode flags
bool intpoly_of(poly p, IntPoly* out);

// Walks p, a term list in one variable of degree >= 1: calls
// leaf_at(e, leaf) for the leaf of every term x^e, the highest first (a
// trailing leaf is the term x^0). false: p is not of that shape (a term
// over a list, exponents not falling, a second trailing leaf), or leaf_at
// has returned false.
template <class F>
bool for_each_onevar_leaf(poly p, F&& leaf_at) {
  std::int32_t last = p->exp + 1;
  for (; p != nullptr; p = p->next) {
    std::int32_t e = 0;
    poly leaf = p;
    if (!p->numb) {
      e = p->exp;
      leaf = p->pcoef;
      if (e <= 0 || e >= last || !leaf->numb || leaf->next != nullptr) return false;
    } else if (p->next != nullptr) {
      return false;
    }
    if (!leaf_at(e, leaf)) return false;
    last = e;
  }
  return true;
}

// A fresh term list holding a (the leaf 0 for zero). Error 302 for a
// coefficient of more than 32,767 limbs.
poly intpoly_to_poly(const IntPoly& a);
// A fresh term list holding c a (c a nonzero integer), each coefficient's
// product formed in one scratch buffer and turned into limbs at once: no
// scaled copy of a is made. Error 302 as intpoly_to_poly.
poly intpoly_to_poly_times(const IntPoly& a, const WordInt& c);

// a + b, or a - b when subtract.
IntPoly intpoly_add(const IntPoly& a, const IntPoly& b, bool subtract);

// a * b: coefficient rows for a short factor, Kronecker's substitution (the
// coefficients packed into one integer, multiplied by wmul) otherwise.
// reads: intpoly_rows_degree
IntPoly intpoly_mul(const IntPoly& a, const IntPoly& b);
// a * b by coefficient rows alone (the base case and test oracle of intpoly_mul).
IntPoly intpoly_mul_rows(const IntPoly& a, const IntPoly& b);

// *q := a / b when b (not zero) divides a exactly over the integers, else
// false (*q then unspecified): by Kronecker's substitution (one integer
// division; the quotient proven by a bound on the coefficients of
// a - q b, or else checked by a product) when both the divisor's and the
// quotient's degrees reach intpoly_rows_degree, else by rows.
// (intpoly_divide.cpp) reads: intpoly_rows_degree and the word thresholds
bool intpoly_divexact(const IntPoly& a, const IntPoly& b, IntPoly* q);
// Whether intpoly_divexact(a, b) packs its first attempt in one word a
// coefficient (a's coefficients and the sums of deg a + 1 of them fit).
bool intpoly_divexact_one_word(const IntPoly& a, const IntPoly& b);
// The division by coefficient rows alone, stopping as soon as a quotient
// coefficient is not an integer or a remainder is left (the base case and
// test oracle of intpoly_divexact).
bool intpoly_divexact_rows(const IntPoly& a, const IntPoly& b, IntPoly* q);

// The pseudo-division: c^k a = *q b + *r with c the leading coefficient
// of b, k = deg a - deg b + 1 and deg r < deg b, for deg a >= deg b >= 1
// (unique, so the values of the pseudo-remainder loop); q or r may be nil.
// When a prime image lets b divide a over the rationals, the exact quotient
// by b's primitive part first (r = 0); otherwise Kronecker's substitution:
// one division of c^k a(X) by b(X), the quotient rounded to the nearest
// integer, at X = 2^(64 s) with slots for coefficients about as long as
// c^k a, and if the bound on the coefficients of c^k a - q b - r does not
// prove the result, at slots for the bound of the pseudo-remainder loop.
// (intpoly_divide.cpp) reads: intpoly_rows_degree and the word thresholds
void intpoly_pseudo_divrem(const IntPoly& a, const IntPoly& b, IntPoly* q, IntPoly* r);
// The same pseudo-division with its results left as multiples: c^k a =
// (f *q) b + f *r, f := *scale (not zero, sign included). A quotient over
// the rationals with integer coefficients (or b's primitive part dividing
// a) gives q and r about as long as a's coefficients and f = c^k (divided
// by b's content); otherwise f = 1. For callers that build the results
// elsewhere (intpoly_to_poly_times), as the product f q is as long as c^k a.
void intpoly_pseudo_divrem_scaled(const IntPoly& a, const IntPoly& b, IntPoly* q, IntPoly* r,
                                  WordInt* scale);

// false when the images modulo a word prime that does not divide b's
// leading coefficient prove that b does not divide a over the rationals
// (nor the integers); true otherwise. (intpoly_divide.cpp)
bool intpoly_may_divide(const IntPoly& a, const IntPoly& b);

// The GCD of the magnitudes of a's coefficients (0 for zero), in words.
std::vector<IntPoly::word> intpoly_content(const IntPoly& a);
// The integer c (words, not zero) divides every coefficient of a: a / c.
IntPoly intpoly_div_integer(const IntPoly& a, const std::vector<IntPoly::word>& c);
// a * c for an integer c (words, not zero).
IntPoly intpoly_mul_integer(const IntPoly& a, const std::vector<IntPoly::word>& c);

// The value of a at p/q times q^d, d = deg a: the sum of a_i p^i q^(d-i)
// (q null stands for 1; 0 for a zero a). Divide and conquer: the
// coefficients split into a lower part of 2^k and the rest, whose values
// are joined as lower q^(rest) + upper p^(2^k), the powers p^(2^k) and
// q^(2^k) formed once by squaring; segments of at most
// value_split_degree + 1 coefficients by Horner's rule. Quasi-linear in
// the value's length, where Horner's rule alone is quadratic.
// reads: value_split_degree
WordInt intpoly_scaled_value(const IntPoly& a, const WordInt& p, const WordInt* q);
// The big integer x as a WordInt; a fresh number holding v (error 302
// past 32,767 limbs, nothing allocated then).
WordInt word_int_of(imptr x);
imptr number_of_word_int(const WordInt& v);
// x^e (e >= 0) by squaring.
WordInt word_int_power(const WordInt& x, std::int32_t e);

// *out := a^k (k >= 1) by the recurrence of the coefficients of powers
// (J. C. P. Miller's): with a = x^v h, h(0) != 0 and g = h^k,
//   n h_0 g_n = sum over i = 1 .. deg h of h_i ((k + 1) i - n) g_(n-i),
// the coefficients of h g' = k h' g, each a sum of word-by-words products
// divided exactly by the word n h_0: the cost is
// the terms of h times the words of the power, with no long product. False
// (nothing promised of *out) when a's coefficients or the multipliers
// h_i ((k + 1) i - n) do not fit below 2^63, or the degree of the power
// passes 2^31 - 2. Polls for interrupts.
bool intpoly_power(const IntPoly& a, std::int32_t k, IntPoly* out);

// The residues of a's coefficients modulo the prime p < 2^31 (0 .. p - 1),
// entry i that of x^i, top zero entries dropped.
std::vector<std::int32_t> intpoly_residues(const IntPoly& a, std::int32_t p);
// |x| mod p for a magnitude of n words.
std::uint32_t words_mod(const IntPoly::word* x, std::int32_t n, std::uint32_t p);

}  // namespace tavrin
