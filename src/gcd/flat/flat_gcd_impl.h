// The engines behind flat_gcd (flat_gcd.h), on flat polynomials over a
// finite field F (PrimeField or LogField, gcd_fields_impl.h). Private to
// src/gcd/flat.
//
// Every engine takes two non-zero polynomials A and B in the variables
// 0 .. k - 1 of a layout and gives G = gcd(A, B), monic (the coefficient of
// its largest key is 1). Those that also give the cofactors Abar = A / G and
// Bbar = B / G say so.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "numbers/zint.h"
#include "gcd/flat/flat_poly_impl.h"
#include "gcd/flat/gcd_fields_impl.h"
#include "gcd/flat_gcd.h"

namespace tavrin::flat {

using MPoly = Poly<elem>;

// Why an engine stopped without a GCD.
enum class engine_status {
  done,
  out_of_points,  // the field has too few elements for the degrees
  failed          // the sparse method's guesses did not lead to a GCD it could prove
};

// Dense univariate polynomials over F, lowest degree first, no trailing
// zero (the zero polynomial is empty).
template <class F>
struct Dense {
  using vec = std::vector<elem>;
  static void trim(vec& a) {
    while (!a.empty() && a.back() == 0) a.pop_back();
  }
  static elem eval(const F& f, const elem* a, std::size_t n, elem x) {
    elem r = 0;
    for (std::size_t i = n; i-- > 0;) r = f.mul_add(r, x, a[i]);
    return r;
  }
  static elem eval(const F& f, const vec& a, elem x) { return eval(f, a.data(), a.size(), x); }
  // a := c (a mod b) for some non-zero constant c (b not zero)
  static void rem(const F& f, vec& a, const vec& b);
  // a / b when b divides a (into q); false otherwise
  static bool div_exact(const F& f, const vec& a, const vec& b, vec* q);
  static vec mul(const F& f, const vec& a, const vec& b);
  static void scale(const F& f, vec& a, elem c) {
    for (elem& x : a) x = f.mul(x, c);
  }
  static void make_monic(const F& f, vec& a) {
    if (!a.empty() && a.back() != 1) scale(f, a, f.inv(a.back()));
  }
  // The monic GCD (zero for two zeros).
  static vec gcd(const F& f, vec a, vec b);
};

// The point supply of one interpolation: distinct random elements of F.
template <class F>
class Points {
 public:
  Points(const F& f, Rng& rng) : f_(f), rng_(rng) {}
  // A point not given before; false when the field has none left.
  bool next(elem* x);
  void reset() { used_.clear(); }

 private:
  const F& f_;
  Rng& rng_;
  std::vector<elem> used_;
};

// Brown's dense method: the last of the variables 0 .. k - 1 is evaluated
// at points and interpolated, the images coming from the same method in one
// variable less; the base is Euclid in variable 0. With cofactors (Abar not
// nil) interpolation stops when the number of points proves gamma A =
// H Abar and gamma B = H Bbar (gamma the GCD of the leading coefficients),
// so the result needs no trial division. Without, it stops when H no
// longer changes or has as many points as its degree bound allows (not
// proven); bounds, when not nil, bound the GCD's degree in each variable
// (degree_bounds), which bounds H's.
// lattice: with cofactors, top_lattice for a caller outside; otherwise
// (the recursion) a bound s >= 0 that the caller knows the total degree of
// A - G Abar and B - G Bbar to keep when the results are right (-1: none).
// The points then also stop once they prove the identities on a total
// degree lattice (see brown_gcd.cpp).
constexpr std::int64_t top_lattice = -2;
template <class F>
engine_status brown_gcd(const F& f, const Layout& lay, const MPoly& A, const MPoly& B, int k,
                        Rng& rng, MPoly* G, MPoly* Abar, MPoly* Bbar,
                        const std::vector<std::int32_t>* bounds = nullptr,
                        std::int64_t lattice = top_lattice);

// Whether c A = H Abar and c B = H Bbar (polynomials in the variables
// 0 .. k - 1) on the total degree lattice of bound s: in variable k - 1 at
// s + 1 points, at the j-th of them to the bound s - j, and exactly in
// variable 0. A difference of total degree at most s that passes is 0 (it
// vanishes at the first point, its quotient by v - x_0 at the second, ...),
// the check brown_gcd makes at its points once H, Abar and Bbar stop
// changing. The field needs s + 1 points.
template <class F>
bool lattice_identity(const F& f, const Layout& lay, elem c, const MPoly& A, const MPoly& H,
                      const MPoly& Abar, const MPoly& B, const MPoly& Bbar, int k, Rng& rng,
                      std::int64_t s);

// Zippel's sparse interpolation of H = gamma G / lc(G) (zippel_gcd.cpp),
// A and B primitive in variable 0 and gamma the GCD of their leading
// coefficients in it; with a skeleton (the support of H found modulo
// another prime) in one step. Images in the variables 0 and 1 when there
// are three variables or more and A and B have at least zippel_plane_terms
// terms together, otherwise in variable 0. Not proven.
template <class F>
engine_status zippel_core(const F& f, const Layout& lay, const MPoly& A, const MPoly& B,
                          const MPoly& gamma, Rng& rng, const std::vector<std::uint64_t>* skeleton,
                          MPoly* H);

// How field_gcd's sparse method ran, so that the images modulo further
// primes can take the same variable order and the support of H.
struct ZippelPlan {
  bool sparse = false;                  // the sparse method was chosen
  std::vector<int> order;               // new variable -> old (variable 0 the main one)
  std::vector<std::uint64_t> skeleton;  // the support of H, in the new order
  double brown_points = -1;             // Brown's univariate problems when known (dense_preferred)
};

// A / G and B / G, as the proof of a GCD G found them.
struct Cofactors {
  bool found = false;
  MPoly a, b;
};

// The monic GCD of A and B: contents and leading coefficients by the same
// function in fewer variables, the images by Brown's method (without
// cofactors) or Zippel's, as the estimate dense_preferred chooses (or
// flat_gcd_choice). verify: proven by degree bounds and exact division
// (the smaller argument first), retried at new random points when not.
// plan: when not nil and filled, the same method and order as then, with
// the skeleton; when not nil and empty, filled. cof: when not nil, the
// quotients of the divisions that proved G (found false when no division
// was made: a constant or monomial G). known: when not nil, degree bounds
// already found (upper bounds of this GCD's degrees when verify is set;
// otherwise only looked at for all zero), else they are computed for the
// proof and for small problems.
template <class F>
engine_status field_gcd(const F& f, const Layout& lay, const MPoly& A, const MPoly& B, Rng& rng,
                        MPoly* G, bool verify, ZippelPlan* plan = nullptr, Cofactors* cof = nullptr,
                        const std::vector<std::int32_t>* known = nullptr);

// Upper bounds of the degrees of gcd(A, B) in each variable, from one
// univariate image each at a random point that keeps both degrees; false
// when no such point was found.
template <class F>
bool degree_bounds(const F& f, const Layout& lay, const MPoly& A, const MPoly& B, Rng& rng,
                   std::vector<std::int32_t>* bounds);

// The degree of p in each variable.
template <class C>
std::vector<std::int32_t> degrees_in(const Layout& lay, const Poly<C>& p) {
  std::vector<std::int32_t> d(static_cast<std::size_t>(lay.nvars), 0);
  for (std::uint64_t key : p.key)
    for (int k = 0; k < lay.nvars; ++k)
      d[static_cast<std::size_t>(k)] =
          std::max(d[static_cast<std::size_t>(k)], lay.exponent(key, k));
  return d;
}
inline std::vector<std::int32_t> degrees_of(const Layout& lay, const MPoly& p) {
  return degrees_in(lay, p);
}

// Whether Brown's method is expected to cost at most flat_dense_ratio times
// Zippel's for operands of these term counts and degrees; brown_points,
// when not negative, is the number of univariate problems Brown's images
// solve (as the lattice of the proof by cofactors cuts them), else the box
// of the degrees is taken.
bool dense_preferred(const Layout& lay, std::size_t terms_a, std::size_t terms_b,
                     const std::vector<std::int32_t>& da, const std::vector<std::int32_t>& db,
                     double brown_points = -1);

// p with its variables renumbered, new variable j being old variable
// order[j] (same layout), terms sorted again.
template <class C>
Poly<C> reorder(const Layout& lay, const Poly<C>& p, const std::vector<int>& order);

// Plain products and exact division of flat polynomials over F (tests and
// the sparse method's checks). divides: true with *Q := A / B when B
// divides A; stops at the first term that shows it does not.
// Which way the exact divisions went, counted since start (a test and
// benchmark hook).
struct division_counts {
  long dense;
  long heap;
  long heap_terms;  // terms of the dividends divided on the heap
  long integer;     // over the integers in words
  long lanes;       // modulo several word primes in one pass
};
extern division_counts flat_divisions;

// The operands' terms (both together) from which the images modulo word
// primes of a GCD over the integers run side by side on the pool's threads.
constexpr std::size_t flat_image_thread_terms = 1000;

// The counters the engines add to on the calling thread: flat_gcd_stats and
// flat_divisions, or within a TallyInto guard a tally of its own (an image
// task's, added to the globals by the caller in the images' order).
struct Tally {
  flat_gcd_counts gcd{};
  division_counts div{};
  // The globals += this tally.
  void add_to_globals() const;
};
flat_gcd_counts& gcd_tally();
division_counts& division_tally();
class TallyInto {
 public:
  explicit TallyInto(Tally* t);
  ~TallyInto();
  TallyInto(const TallyInto&) = delete;
  TallyInto& operator=(const TallyInto&) = delete;

 private:
  flat_gcd_counts* gcd_;
  division_counts* div_;
};

template <class F>
void mpoly_mul(const F& f, const Layout& lay, const MPoly& A, const MPoly& B, MPoly* P);
template <class F>
bool mpoly_divides(const F& f, const Layout& lay, const MPoly& A, const MPoly& B, MPoly* Q);

enum class division_result { exact, not_exact, too_large };

// The same over the integers in 64- or 128-bit words (I), by the dense
// division only: too_large when it does not apply (the box) or a quotient
// coefficient would not fit the words' bound (|A| below 2^61, or 2^125,
// and height_b, the bit length of B's largest coefficient, at most 62); the
// caller then divides modulo primes.
template <class I>
division_result int_divides(const Layout& lay, const Poly<I>& A, const Poly<I>& B,
                            std::int32_t height_b, Poly<I>* Q);

// Most primes lanes_divides takes in one pass.
constexpr std::size_t max_lanes = 4;

// A / B modulo each prime of fs (at most max_lanes) in one pass of the
// dense division: exact, with (*Q)[k] := the quotient modulo fs[k]; or
// not_exact at the first sign, modulo any of them, that B does not divide
// A; or too_large when the dense division does not apply (the box, or a
// prime dividing B's leading coefficient), the caller then dividing prime by
// prime.
division_result lanes_divides(const std::vector<PrimeField>& fs, const Layout& lay,
                              const Poly<imptr>& A, const Poly<imptr>& B, std::vector<MPoly>* Q);

// ---- Products checked modulo transform primes ---------------------------------------------------

// An integer polynomial as combined over primes: keys and values.
struct ProductSide {
  const std::vector<std::uint64_t>* key;
  const std::vector<ZInt>* value;
};

// The transform primes products_agree can take (each at least 2^29).
std::size_t product_check_primes();

// Whether h bars[j] = gamma as[j] (every j) modulo each of the first
// `primes` transform primes, as polynomials (each packed into one
// transform). False also when the degrees do not fit one transform.
bool products_agree(const Layout& lay, const ProductSide& h, const std::vector<ProductSide>& bars,
                    const std::vector<const Poly<imptr>*>& as, const ZInt& gamma,
                    std::size_t primes);

}  // namespace tavrin::flat
