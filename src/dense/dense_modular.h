// Dense polynomials modulo a word prime as residue vectors, and arithmetic
// modulo a fixed monic polynomial: the kernels of the finite-field work of
// gcd/ (square-free decomposition, factorisation and powers modulo a
// polynomial over a prime field).
//
// Representation. A DensePoly holds the residues 0 .. p - 1 of the
// coefficients, entry i that of t^i, with no zero entry at the top; the zero
// polynomial is empty. p is a prime below 2^31 (not the fields of
// characteristic 2, whose sums are not sums of residues). Every routine
// takes p as an argument; none reads the ring globals. Thresholds are read
// from core/thresholds.h as each contract says.
//
// Long products go through number-theoretic transforms
// (dense_transform_impl.h). Modulo a fixed f of degree n the remainder
// uses the precomputed quotient g = floor(t^(2n-1) / f): for deg c < 2n,
// floor(c / f) = floor(floor(c / t^n) g / t^(n-1)) exactly (polynomials
// carry nothing), so a remainder costs one product for the quotient and one
// modulo t^(N/2) - 1 for the remainder itself (it has degree below n <=
// N/2), N the transform length of the full product. A fixed factor b
// keeps the transforms of b and of b' = floor(b t^n / f); then
// floor(a b / f) = floor(a b' / t^n) for deg a < n (Shoup's precomputed
// quotient, exact for polynomials), and a b mod f costs two transforms of
// length N and two of N/2.
#pragma once

#include <cstdint>
#include <vector>

#include "dense/dense_transform_impl.h"

namespace tavrin {

using DensePoly = std::vector<std::int32_t>;

inline std::int32_t dense_degree(const DensePoly& a) {
  return static_cast<std::int32_t>(a.size()) - 1;
}

// a without its top zero entries. a: changed.
void dense_trim(DensePoly& a);

// a * b. Schoolbook below dense_transform_length coefficients of the
// shorter operand (and for products longer than the longest transform,
// 2^21 coefficients), transforms from there on. reads: dense_transform_length
DensePoly dense_mul(const DensePoly& a, const DensePoly& b, std::int32_t p);

// *q := a div b and *r := a mod b (either may be nil; neither is a or b);
// b non-zero. Elimination for short quotients, Newton's iteration on the
// reversed divisor from dense_newton_degree on (both the divisor's degree
// and the quotient's length). reads: dense_newton_degree
void dense_divrem(const DensePoly& a, const DensePoly& b, std::int32_t p, DensePoly* q,
                  DensePoly* r);

// The monic GCD of a and b (empty when both are zero): the Euclid loop on
// the smaller degree below dense_hgcd_degree, the half-GCD from there on
// (reduction steps by the transform products). reads: dense_hgcd_degree,
// dense_transform_length, dense_newton_degree
DensePoly dense_gcd(const DensePoly& a, const DensePoly& b, std::int32_t p);

// The monic GCD g of a and b with the cofactors s, t of s a + t b = g that
// the Euclid loop's remainder sequence gives: deg a >= deg b, b non-zero.
// The remainder steps by the half-GCD from dense_hgcd_degree on, their
// matrices multiplied together. reads: as dense_gcd
void dense_xgcd(const DensePoly& a, const DensePoly& b, std::int32_t p, DensePoly* g, DensePoly* s,
                DensePoly* t);

// The derivative (coefficients e a_e mod p, vanishing ones dropped).
DensePoly dense_derivative(const DensePoly& a, std::int32_t p);

// a divided by its leading coefficient (a non-zero). a: changed.
void dense_make_monic(DensePoly& a, std::int32_t p);

// a * c for a residue c. a: changed.
void dense_scale(DensePoly& a, std::int32_t c, std::int32_t p);

// a - b, a + b.
DensePoly dense_sub(const DensePoly& a, const DensePoly& b, std::int32_t p);
DensePoly dense_add(const DensePoly& a, const DensePoly& b, std::int32_t p);

// Arithmetic modulo a monic f of degree n >= 1. Below dense_modulus_degree
// (and above the longest transforms, degree 2^20) products are schoolbook
// and remainders by elimination; from there on the transform route of the
// header comment. Arguments called reduced have degree below n; every
// result is reduced. The scratch spectra are the object's own, so a
// PolyModulus serves one computation at a time. reads (at construction):
// dense_modulus_degree
class PolyModulus {
 public:
  PolyModulus(DensePoly f, std::int32_t p);
  std::int32_t degree() const { return n_; }
  std::int32_t prime() const { return p_; }
  const DensePoly& poly() const { return f_; }
  bool by_transforms() const { return lg_ != 0; }

  // a mod f, a of any degree.
  DensePoly reduce(DensePoly a) const;
  // a b mod f, a and b reduced.
  DensePoly mul(const DensePoly& a, const DensePoly& b) const;
  DensePoly sqr(const DensePoly& a) const;
  // a^e mod f, a reduced, left to right over the bits of e.
  DensePoly power(const DensePoly& a, std::uint64_t e) const;
  // t^e mod f (the products by t are shifts and one elimination step).
  DensePoly power_of_t(std::uint64_t e) const;

 private:
  friend class FixedFactor;
  // The remainder of the product a b, given as the spectrum c (length N,
  // one pointwise product done; overwritten) and the spectra of the
  // halves of a and b (for the remainder modulo t^(N/2) - 1).
  DensePoly reduce_product(dense_detail::SpectrumView c, dense_detail::ConstSpectrum a_half,
                           dense_detail::ConstSpectrum b_half) const;
  // The remainder of a b given the quotient q = floor(a b / f).
  DensePoly remainder_with(DensePoly q, dense_detail::ConstSpectrum a_half,
                           dense_detail::ConstSpectrum b_half) const;
  DensePoly reduce_classical(DensePoly a) const;

  DensePoly f_;
  std::int32_t p_;
  std::int32_t n_;
  int lg_ = 0;                     // transform length N = 2^lg (0: the classical route)
  int count_ = 0;                  // transform primes
  dense_detail::Spectrum g_;       // g = floor(t^(2n-1) / f) at length N
  dense_detail::Spectrum f_half_;  // f modulo t^(N/2) - 1 at length N/2
  mutable dense_detail::Spectrum s_[4];
  mutable std::vector<std::int32_t> tmp_;
};

// A fixed factor b modulo the f of a PolyModulus m (which must outlive it),
// prepared for repeated products. Prepared factors add: the sum of two
// prepared factors is the prepared sum (subtract by preparing the negated
// residues); a sum is not summed again.
class FixedFactor {
 public:
  FixedFactor() = default;
  // b reduced.
  FixedFactor(const DensePoly& b, const PolyModulus& m);
  // x + y, both prepared (neither itself a sum) for the same modulus.
  static FixedFactor sum(const FixedFactor& x, const FixedFactor& y);
  // a b mod f, a reduced.
  DensePoly times(const DensePoly& a) const;

 private:
  const PolyModulus* m_ = nullptr;
  DensePoly b_;                      // the classical route keeps b itself
  dense_detail::Spectrum half_;      // b at length N/2
  dense_detail::Spectrum quotient_;  // b' = floor(b t^n / f) at length N
};

// Composition modulo f with a fixed inner polynomial h (Brent and Kung):
// the powers h^0 .. h^(k-1) mod f are the rows of a matrix and h^k a fixed
// factor; g(h) mod f is then sum_i B_i (h^k)^i with B_i = sum_j
// g_(ik+j) h^j, one matrix product and ceil((deg g + 1) / k) - 1 products
// by h^k (Horner). The matrix takes k n words.
class Composer {
 public:
  // h reduced; k >= 1.
  Composer(const DensePoly& h, const PolyModulus& m, std::int32_t k);
  // g(h) mod f for each g (any degrees); polls check_interrupt between
  // the products.
  std::vector<DensePoly> compose(const std::vector<DensePoly>& gs) const;
  DensePoly compose(const DensePoly& g) const;

 private:
  const PolyModulus* m_;
  std::int32_t k_;
  std::vector<std::uint32_t> rows_;  // k rows of n residues
  FixedFactor top_;                  // h^k
};

namespace dense_detail {
// out[i n + t] := sum_j a[i k + j] h[j n + t] mod p for i < r, t < n: the
// product of the r x k matrix a by the k x n matrix h, entries residues of
// the prime p < 2^31. Eight lanes where the processor has AVX2.
void residue_matrix_product(const std::uint32_t* a, std::int32_t r, std::int32_t k,
                            const std::uint32_t* h, std::int32_t n, std::int32_t p,
                            std::int32_t* out);
}  // namespace dense_detail

}  // namespace tavrin
