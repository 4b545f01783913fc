// What the interpolation drivers share: the flat lists of terms they work
// on, the number matrix of the innermost determinants, and the conversions
// from and to values.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "core/errors.h"
#include "core/globals.h"
#include "core/records.h"
#include "numbers/work_arrays.h"
#include "numbers/zint.h"
#include "det/lagrange.h"

namespace tavrin::lagrange {

// The progress level an interpolation opened (on: it did, at the top of
// its recursion), closed with the count n on every exit, an error
// unwinding included. reads: verbose
class ProgressLevel {
 public:
  ProgressLevel(bool on, std::int32_t n) : on_(on), n_(n) {}
  ~ProgressLevel() {
    if (on_) decr_dumpitt(n_, true, verbose);
  }
  ProgressLevel(const ProgressLevel&) = delete;
  ProgressLevel& operator=(const ProgressLevel&) = delete;

 private:
  bool on_;
  std::int32_t n_;
};

// One interpolation level more (lagrangedepth) while it lives.
struct DepthLevel {
  DepthLevel() { ++lagrangedepth; }
  ~DepthLevel() {
    if (lagrangedepth > 0) --lagrangedepth;
  }
  DepthLevel(const DepthLevel&) = delete;
  DepthLevel& operator=(const DepthLevel&) = delete;
};

// A polynomial as a list of terms: nv exponents (depth 1 first) and a
// coefficient per term, no zero coefficient.
template <class C>
struct Flat {
  std::vector<std::int32_t> e;
  std::vector<C> c;
  std::size_t nv = 0;
  const std::int32_t* exp(std::size_t t) const { return e.data() + t * nv; }
  void push(const std::int32_t* x, std::int32_t width, C v) {
    nv = static_cast<std::size_t>(width);
    e.insert(e.end(), x, x + width);
    c.push_back(v);
  }
  void clear() {
    e.clear();
    c.clear();
  }
  // The degree in variable v; lagrange_zero_entry for the zero polynomial.
  std::int64_t degree_in(std::int32_t v) const {
    std::int64_t d = c.empty() ? lagrange_zero_entry : 0;
    for (std::size_t t = 0; t < c.size(); ++t) d = std::max<std::int64_t>(d, exp(t)[v]);
    return d;
  }
};

enum class det_status { done, declined, too_small };

// The m x m number matrix the innermost determinants run on: the shared
// residue matrix when it is free, else a pool array with cells of its own.
class NumberMatrix {
 public:
  explicit NumberMatrix(std::int32_t m);
  ~NumberMatrix();
  NumberMatrix(const NumberMatrix&) = delete;
  NumberMatrix& operator=(const NumberMatrix&) = delete;
  bool ok() const { return ar_ != nullptr; }
  // cells column by column.
  std::uint32_t mod_det(const std::vector<std::uint32_t>& cells);
  long double fl_det(const std::vector<long double>& cells);

 private:
  std::int32_t m_;
  workptr ar_ = nullptr;
  quoly n_ = nullptr;
  bool shared_ = false;
  bool owned_ = false;
  std::optional<WorkArrayGuard> guard_;
};

// Calls put(exponents, number) for every leaf of q (nil: nothing); false
// when some exponent is negative.
bool read_entry(quoly q, std::int32_t nv,
                const std::function<void(const std::int32_t*, imptr)>& put);
// The polynomial of the terms (exps: nv per term; coefs moved in, no zero).
poly write_poly(std::vector<std::int32_t>& exps, std::vector<imptr>& coefs, std::int32_t nv);
// *q := p (consumed): a number value for a constant.
void set_answer(quolyptr q, poly p);
// *q := the residue polynomial f (nv variables; consumed), its coefficients
// numbers holding the residues.
void set_residue_answer(quolyptr q, Flat<std::uint32_t>& f, std::int32_t nv);
// *q := *q / fct, the known factor of a polynomial determinant (exact
// division; error 305 when it does not divide). fct nil: nothing.
void divide_out(quolyptr q, poly fct);

void refuse_negative_exponents();

// The modular recursion on the flat matrix a (m x m, column by column);
// the_degree (top level only) replaces the estimated bound when >= 0;
// bounds (nil: estimated for each matrix) bound the degree in each
// variable at every level.
det_status mod_det(const std::vector<Flat<std::uint32_t>>& a, std::int32_t m, std::int32_t nv,
                   std::int64_t the_degree, NumberMatrix& nm, bool top, Flat<std::uint32_t>& out,
                   const std::vector<std::int64_t>* bounds = nullptr);

// ---- Integers ----------------------------------------------------------------------

// c := the integer leaf n; false when n is zero.
bool read_zcoef(imptr n, ZInt& c);
// An integer polynomial: monomial (nv exponents) -> non-zero coefficient.
using ZResult = std::map<std::vector<std::int32_t>, ZInt>;
// The end of an integer driver: found: *q := the polynomial det (nv
// variables, rational-arithmetic coefficients) divided by fct (nil: none),
// true; otherwise *q := 1 and false (declined). det: kept
bool z_answer(quolyptr q, bool found, const ZResult& det, std::int32_t nv, poly fct);

// A sequence of word primes for the integer drivers.
struct ZPrimes {
  virtual ~ZPrimes() = default;
  virtual std::uint32_t current() const = 0;
  // false: out of primes.
  virtual bool advance() = 0;
};
// The image modulo the current modulus (set by the caller's guard), with
// the degree bound in the top variable (-1: estimate).
using ZImage = std::function<det_status(std::int32_t this_deg, Flat<std::uint32_t>& img)>;
struct ZBanners {
  const char* rows;
  const char* modular;
};

// Images modulo the primes joined by Garner's Chinese remaindering in the
// symmetric range. numprimes 0: until one more prime (the third or later)
// changes no coefficient; otherwise exactly numprimes primes, none of them
// 2^28 or more. The degree bound is reused once two primes agree on the
// degree in top_var. proven_bits >= 0 instead: until the product of the
// primes exceeds 2^proven_bits, and no degree is reused (every image
// estimates its own bounds), so that a bound on the coefficients makes the
// answer certain. false: declined or out of primes.
bool z_crt(ZPrimes& primes, const ZImage& image, const ZBanners& banners, std::int32_t m,
           std::int32_t nv, std::int32_t top_var, std::int32_t this_deg, std::int32_t numprimes,
           ZResult& result, double proven_bits = -1);

// ---- The proven route over the rationals -------------------------------------------

// For each of the nv variables, the largest degree of the determinant of
// the m x m matrix a (column by column) along a permutation: a bound on the
// degree of its determinant and of every image's.
std::vector<std::int64_t> degree_bounds(const std::vector<Flat<std::size_t>>& a, std::int32_t m,
                                        std::int32_t nv);

// The primes of the proven route: the largest word primes (lrgpme), from
// the top down; or, for the dense determinants of numbers that the images
// end in, the primes below 2^24 from the top down (the elimination on
// doubles takes them, twice as fast as on words).
struct ProvenPrimes final : ZPrimes {
  explicit ProvenPrimes(bool below_2_24 = false);
  std::uint32_t current() const override;
  bool advance() override;
  // Whether the table is there (it is read at start-up).
  static bool ready();

 private:
  bool small_;
  std::int32_t i_ = 2000;
  std::size_t k_ = 0;  // below 2^24: word_prime(k_, 2^24)
};

// Side from which the dense proven route takes the primes below 2^24.
constexpr std::int32_t proven_small_primes_side = 24;

// The entries of a matrix over the rationals as integer polynomials, read
// row by row: each row multiplied by the least common multiple of its
// entries' denominators, integers and one polynomial at most (a common
// denominator of the row up to integer factors). The 1-norms of the entries read give
// Hadamard's bound on the coefficients of the determinant: on the unit
// torus every entry is at most its 1-norm, so every coefficient is at most
// the product of the rows' (or columns') Euclidean norms of 1-norms.
class ZRows {
 public:
  ZRows(std::int32_t m, std::int32_t nv);
  ~ZRows();
  ZRows(const ZRows&) = delete;
  ZRows& operator=(const ZRows&) = delete;
  // Reads row r from its cells (column from 0, value; nil and zero values
  // allowed) and calls put(column, entry) for every entry that is not 0,
  // its coefficients indexes into coefs. false: a negative exponent, or two
  // polynomial denominators in the row (the caller declines).
  // cells: kept. reads: number_polys' layout (nv variables)
  bool read_row(std::int32_t r, const std::vector<std::pair<std::int32_t, quoly>>& cells,
                const std::function<void(std::int32_t, Flat<std::size_t>&&)>& put);
  // read_row for row r of the m x m matrix stored column by column in ar.
  bool read_stash_row(workptr ar, std::int32_t m, std::int32_t r,
                      const std::function<void(std::int32_t, Flat<std::size_t>&&)>& put);
  // A bit length that the absolute value of every coefficient of the
  // determinant of the integer matrix read stays below.
  double bound_bits() const;
  // *q := *q / the product of the row multipliers, in normal form.
  void divide_by_multipliers(quolyptr q);
  // Whether some row read had denominators.
  bool scaled() const { return multipliers_ != nullptr; }
  std::vector<ZInt> coefs;

 private:
  std::int32_t nv_;
  std::vector<long double> row_, col_;  // log2 of the sums of squared 1-norms
  quoly multipliers_ = nullptr;         // their product; nil while 1
};

// The modulus is too small for the degree: the determinant of the residues
// taken as integers, computed by the integer driver and reduced again.
// proven: by the proven route (the largest primes, Hadamard's bound).
bool use_rat_poly_det(const std::vector<Flat<std::uint32_t>>& a, std::int32_t m, std::int32_t nv,
                      quolyptr q, bool proven = false);

// The modulus is too small for the degree: the determinant of the residues
// by the same interpolation over the least extension field GF(p^k) with
// more elements than every degree bound + 1, its coefficients then back in
// GF(p) (out: residues). The same polynomial as use_rat_poly_det gives.
// false: declined (a field of more than 2^20 elements). a: kept.
// reads: modulus
bool ext_field_det(const std::vector<Flat<std::uint32_t>>& a, std::int32_t m, std::int32_t nv,
                   Flat<std::uint32_t>& out);

}  // namespace tavrin::lagrange
