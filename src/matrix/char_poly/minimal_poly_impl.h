// The word-residue kernels of the minimal polynomial, shared by its first
// step (random projections, minimal_poly.cpp) and the proof that completes
// it (minimal_poly_proof.cpp). Private to matrix/.
//
// A polynomial over a field is `residues`: coefficients lowest degree first,
// no zero leading coefficient (0 is the empty vector). A matrix modulo a
// prime is ResidueRows: each row's columns (from 0) and non-zero values.
#pragma once

#include <algorithm>
#include <cstdint>
#include <type_traits>
#include <utility>
#include <vector>

#include "core/interrupts.h"
#include "numbers/garner.h"
#include "numbers/word_field.h"
#include "numbers/zint.h"

namespace tavrin::minpoly {

using residues = std::vector<std::uint32_t>;

// Arithmetic modulo a word prime: the kit's WordField, with the prime as a
// 64-bit value and the row products of apply().
struct PrimeField : WordField {
  std::uint64_t p;
  explicit PrimeField(std::uint64_t prime)
      : WordField(static_cast<std::uint32_t>(prime)), p(prime) {}
  // Row times vector, reduced once (word_dot).
  std::uint32_t dot(const std::uint32_t* val, const std::int32_t* col, std::int32_t count,
                    const std::uint32_t* e) const {
    const auto n = static_cast<std::size_t>(count);
    return word_dot(*this, n, dot_limbs(n, *this),
                    [val, col, e](std::size_t k) { return std::uint64_t{val[k]} * e[col[k]]; });
  }
};

// Arithmetic in the fields of 256 and 65536 elements: the kit's Char2Field
// with the row products of apply().
struct Char2Field : tavrin::Char2Field {
  explicit Char2Field(std::int32_t field_size) : tavrin::Char2Field(field_size) {}
  std::uint32_t dot(const std::uint32_t* val, const std::int32_t* col, std::int32_t count,
                    const std::uint32_t* e) const {
    std::uint32_t acc = 0;
    for (std::int32_t k = 0; k < count; ++k) acc ^= mul(val[k], e[col[k]]);
    return acc;
  }
};

// The matrix modulo one prime, row by row (columns from 0, no zeros).
struct ResidueRows {
  std::vector<std::int32_t> start;
  std::vector<std::int32_t> col;
  std::vector<std::uint32_t> val;
  std::int64_t entries() const { return static_cast<std::int64_t>(col.size()); }
};

// The integer entries of the matrix, read once.
struct IntegerRows {
  std::vector<std::int32_t> start;
  std::vector<std::int32_t> col;
  std::vector<std::int64_t> small;  // one-limb values
  std::vector<imptr> big;           // longer values (nil where small holds it)
};

// The matrix modulo p (p below 2^32).
ResidueRows residues_mod(const IntegerRows& m, std::uint64_t p);

// A uniformly drawn residue below `size`, from the standard generator.
std::uint32_t random_residue(std::uint64_t size);

// An integer polynomial, lowest degree first.
struct IntegerPoly {
  std::vector<ZInt> coef;
  std::int32_t degree() const { return static_cast<std::int32_t>(coef.size()) - 1; }
};

// ---- Polynomials over a field ---------------------------------------------------------

inline void trim(residues& a) {
  while (!a.empty() && a.back() == 0) a.pop_back();
}

inline std::int32_t deg(const residues& a) { return static_cast<std::int32_t>(a.size()) - 1; }

template <class F>
void make_monic(const F& f, residues& a) {
  if (a.empty() || a.back() == 1) return;
  const std::uint32_t lead_inv = f.inv(a.back());
  for (auto& c : a) c = f.mul(c, lead_inv);
}

// *q, *r := the quotient and remainder of a by b (b non-zero).
template <class F>
void divide(const F& f, const residues& a, const residues& b, residues* q, residues* r) {
  *r = a;
  const std::int32_t db = deg(b);
  if (deg(a) < db) {
    q->clear();
    return;
  }
  q->assign(static_cast<std::size_t>(deg(a) - db + 1), 0);
  const std::uint32_t lead_inv = f.inv(b.back());
  for (std::int32_t i = deg(a); i >= db; --i) {
    const std::uint32_t c = f.mul((*r)[static_cast<std::size_t>(i)], lead_inv);
    (*q)[static_cast<std::size_t>(i - db)] = c;
    if (c == 0) continue;
    for (std::int32_t j = 0; j <= db; ++j) {
      auto& t = (*r)[static_cast<std::size_t>(i - db + j)];
      t = f.sub(t, f.mul(c, b[static_cast<std::size_t>(j)]));
    }
  }
  r->resize(static_cast<std::size_t>(db));
  trim(*r);
}

// d·q + prev.
template <class F>
residues mul_add(const F& f, const residues& d, const residues& q, const residues& prev) {
  residues s(std::max(d.size() + q.size(), prev.size()), 0);
  for (std::size_t i = 0; i < d.size(); ++i) {
    if (d[i] == 0) continue;
    for (std::size_t j = 0; j < q.size(); ++j) s[i + j] = f.add(s[i + j], f.mul(d[i], q[j]));
  }
  for (std::size_t i = 0; i < prev.size(); ++i) s[i] = f.add(s[i], prev[i]);
  trim(s);
  return s;
}

// The least common multiple of two monic polynomials, monic: a·(b / gcd).
template <class F>
residues lcm(const F& f, const residues& a, const residues& b) {
  residues g = a, h = b, q, r;
  while (!h.empty()) {
    divide(f, g, h, &q, &r);
    g = std::move(h);
    h = std::move(r);
  }
  make_monic(f, g);
  divide(f, b, g, &q, &r);
  return mul_add(f, a, q, residues{});
}

// t[j] := t[j] + b[j] w mod p for j < n (t, b and w residues, p < 2^31),
// the products by Shoup's method (shoup_mul).
void add_shoup_multiple(std::uint32_t* __restrict t, const std::uint32_t* __restrict b,
                        std::size_t n, std::uint32_t w, std::uint32_t p);

// r := r mod b in place, *q := the quotient (b non-zero).
template <class F>
void divide_inplace(const F& f, residues& r, const residues& b, residues* q) {
  const std::int32_t db = deg(b), da = deg(r);
  if (da < db) {
    q->clear();
    return;
  }
  q->assign(static_cast<std::size_t>(da - db + 1), 0);
  const std::uint32_t lead_inv = f.inv(b.back());
  for (std::int32_t i = da; i >= db; --i) {
    const std::uint32_t c = f.mul(r[static_cast<std::size_t>(i)], lead_inv);
    (*q)[static_cast<std::size_t>(i - db)] = c;
    if (c == 0) continue;
    std::uint32_t* t = r.data() + (i - db);
    if constexpr (std::is_same_v<F, PrimeField>) {
      const auto p = static_cast<std::uint32_t>(f.p);
      add_shoup_multiple(t, b.data(), static_cast<std::size_t>(db), p - c, p);
    } else {
      for (std::int32_t j = 0; j < db; ++j)
        t[j] = f.sub(t[j], f.mul(c, b[static_cast<std::size_t>(j)]));
    }
    r[static_cast<std::size_t>(i)] = 0;
  }
  r.resize(static_cast<std::size_t>(db));
  trim(r);
}

// d·q + prev, the products by Shoup's method modulo a word prime.
template <class F>
residues mul_add_fast(const F& f, const residues& d, const residues& q, const residues& prev) {
  if constexpr (!std::is_same_v<F, PrimeField>) {
    return mul_add(f, d, q, prev);
  } else {
    const auto p = static_cast<std::uint32_t>(f.p);
    residues s(std::max(d.size() + q.size(), prev.size()), 0);
    for (std::size_t i = 0; i < prev.size(); ++i) s[i] = prev[i];
    for (std::size_t i = 0; i < d.size(); ++i) {
      if (d[i] == 0) continue;
      add_shoup_multiple(s.data() + i, q.data(), q.size(), d[i], p);
    }
    trim(s);
    return s;
  }
}

// The minimal generator, monic, of a sequence a_1 .. a_N of linear
// complexity at most n (N = 2n + 1), given as s[k] = a_(N-k): the extended
// Euclidean algorithm on x^N and S = sum a_i x^(N-i), stopped as soon as the
// remainder falls below degree n; the zero sequence has generator 1.
// With `loud` the progress count of the divisions (every 100th).
template <class F>
residues sequence_generator(const F& f, residues s, std::int32_t n, bool loud,
                            void (*progress)(std::int32_t)) {
  const auto N = static_cast<std::int32_t>(s.size());
  trim(s);
  if (s.empty()) return residues{1};
  residues r0(static_cast<std::size_t>(N) + 1, 0);
  r0.back() = 1;
  residues r1 = std::move(s);
  residues q_prev;
  residues q{1};
  residues d;
  for (std::int32_t i = 2; i <= N; ++i) {
    divide_inplace(f, r0, r1, &d);
    residues q_new = mul_add_fast(f, d, q, q_prev);
    if (loud && i % 100 == 0) progress(i);
    std::swap(r0, r1);
    q_prev = std::move(q);
    q = std::move(q_new);
    check_interrupt();
    if (deg(r1) < n) break;
  }
  make_monic(f, q);
  return q;
}

// y := A x.
template <class F>
void apply(const F& f, const ResidueRows& m, const std::vector<std::uint32_t>& x,
           std::vector<std::uint32_t>& y) {
  const auto n = static_cast<std::int32_t>(m.start.size()) - 1;
  for (std::int32_t r = 0; r < n; ++r) {
    const std::int32_t from = m.start[static_cast<std::size_t>(r)];
    y[static_cast<std::size_t>(r)] =
        f.dot(m.val.data() + from, m.col.data() + from,
              m.start[static_cast<std::size_t>(r) + 1] - from, x.data());
  }
}

// Chinese remaindering of images prime by prime (Garner's mixed radix):
// digit j of coefficient k at digits[j * n + k].
struct Remainders {
  Garner garner;
  std::size_t n;
  std::vector<std::uint32_t> digits;
  explicit Remainders(std::int32_t d) : n(static_cast<std::size_t>(d) + 1) {}
  // The product of the primes joined.
  const ZInt& product() const { return garner.modulus(); }
  // Joins the image g modulo q; true when a coefficient changed its value in
  // the symmetric range (nearly: see symmetric()).
  bool join(std::uint32_t q, const residues& g) {
    const std::size_t j = garner.size();
    garner.add_prime(q);
    residues want(g);
    want.resize(n, 0);
    digits.resize(digits.size() + n);
    std::uint32_t* t = &digits[j * n];
    garner.digits_of(j, want.data(), digits.data(), n, n, t);
    // t = q - 1 keeps a value c - P < 0 where it was (c + (q - 1) P = c - P
    // modulo qP).
    return std::any_of(t, t + n, [q](std::uint32_t x) { return x != 0 && x != q - 1; });
  }
  // The coefficients in the symmetric range (-P/2, P/2].
  IntegerPoly symmetric() const {
    IntegerPoly m;
    for (std::size_t k = 0; k < n; ++k) m.coef.push_back(garner.symmetric(&digits[k], n));
    return m;
  }
};

// ---- The proof (minimal_poly_proof.cpp) ----------------------------------------------------
// A polynomial m is the minimal polynomial of A once m(A) v = 0 for vectors
// v whose Krylov spaces together span the whole space (m(A) commutes with
// A, so it then vanishes everywhere) and m divides the minimal polynomial,
// or over the integers has the degree of some image's generator (each image
// divides the minimal polynomial modulo its prime, which divides the
// integer minimal polynomial's image there).

// The minimal polynomial of a (n rows) over the field f, from m, a divisor
// of it (the first step's answer): m is multiplied up by the generators of
// further projected sequences (random projections, started at a failing
// vector) until it annihilates a spanning set: the unit vectors, or vectors
// found by elimination on their Krylov spaces, the first of them x.
template <class F>
residues complete_in_field(const F& f, const ResidueRows& a, std::int32_t n, residues m,
                           const std::vector<std::uint32_t>& x);
extern template residues complete_in_field(const PrimeField&, const ResidueRows&, std::int32_t,
                                           residues, const std::vector<std::uint32_t>&);
extern template residues complete_in_field(const Char2Field&, const ResidueRows&, std::int32_t,
                                           residues, const std::vector<std::uint32_t>&);

// What the first step's images show over the integers.
struct ImageEvidence {
  std::int32_t lower_degree = 0;  // the greatest degree of an image
  bool start_spans = false;       // an image from the start vector has degree n
  std::vector<std::uint32_t> x;   // the start vector
};

// The minimal polynomial of the integer matrix a (n rows), proven: the
// candidate when it has the lower degree and annihilates a spanning set
// (exactly: modulo enough primes for a bound on the entries of m(A) v);
// otherwise images modulo primes below 2^31 from random projections and
// start vectors, their least common multiples taken prime by prime, joined
// by Chinese remaindering and proven the same way.
IntegerPoly prove_over_integers(const IntegerRows& a, std::int32_t n, IntegerPoly candidate,
                                const ImageEvidence& evidence);

// The bound of the coefficient bound's kind, max over k of (n over k) R^k
// for the largest absolute row sum R, as an upper bound of its base-2
// logarithm (-infinity for the zero matrix).
double log2_coefficient_bound(const IntegerRows& a, std::int32_t n);

}  // namespace tavrin::minpoly
