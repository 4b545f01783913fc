// The parts of the flat products (poly_flat_mult.h) shared by the
// gathering and rebuilding (poly_flat_mult.cpp) and the summation of
// word-size coefficients (poly_flat_sum.cpp).
//
// A flat operand is its terms in the order of its recursive lists: a 64-bit
// key packing the exponents of every level (level 1 in the highest field, a
// missing level as 0) and the coefficient. Keys strictly decrease along an
// operand, and the fields are wide enough for the product's exponent sums,
// so the key of a product of two terms is the sum of their keys.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "core/no_copy.h"
#include "core/records.h"
#include "numbers/bigint_wide.h"
#include "poly/exponent_keys.h"

namespace tavrin::detail {

// What one walk over an operand finds: levels used, largest exponent per
// level, leaves, and whether its coefficients suit word accumulators.
struct FlatScan {
  int depth = 0;
  std::int64_t terms = 0;
  bool ok = true;     // no negative exponent, few enough levels, reduced residues
  bool small = true;  // integers: every coefficient has at most two limbs
  std::uint64_t maxabs = 0;
  std::array<std::int64_t, flat_max_levels> maxexp{};
};

// The flat form of one operand: keys strictly decreasing, and either the
// coefficient values (residues, integers of at most two limbs) or the
// numbers.
struct Flat {
  std::vector<std::uint64_t> key;
  std::vector<std::int64_t> val;
  std::vector<imptr> num;
};

// A growable array of plain values whose storage is kept from one product
// to the next (a large product's arrays are not faulted in afresh each
// time); nothing past size() is initialised.
template <class T>
class FlatBuffer {
 public:
  std::size_t size() const { return n_; }
  T* data() { return v_.data(); }
  const T* data() const { return v_.data(); }
  T operator[](std::size_t i) const { return v_[i]; }
  void clear() { n_ = 0; }
  // Room for `more` values past size(); the caller writes some of them and
  // then commits how many.
  T* room(std::size_t more) {
    if (n_ + more > v_.size()) v_.resize(std::max(n_ + more, 2 * v_.size()));
    return v_.data() + n_;
  }
  void commit(std::size_t k) { n_ += k; }
  void truncate(std::size_t k) { n_ = k; }
  void push(T x) {
    *room(1) = x;
    ++n_;
  }

 private:
  std::vector<T> v_;  // grows only, its values kept
  std::size_t n_ = 0;
};

// The product's terms with word-size coefficients, keys strictly
// decreasing, no zero coefficient: residues or integers in `val`, or, when
// the integers may pass a word, in `wide`.
struct WordTerms {
  FlatBuffer<std::uint64_t> key;
  FlatBuffer<std::int64_t> val;
  FlatBuffer<wide_int> wide;
  void clear() {
    key.clear();
    val.clear();
    wide.clear();
  }
};

// How the word-size sums run: over the residues modulo `modulus` or the
// integers, in one-word accumulators (narrow) or 128-bit ones. Residue sums
// in one word whose bound passes it are folded: kept below 2^63 by
// subtracting `fold` (a multiple of the modulus of at least 2^62, each
// product being below 2^62) whenever they reach 2^63; 0: no folding.
struct WordSums {
  bool modular = false;
  bool narrow = false;
  std::uint32_t modulus = 0;
  std::uint64_t fold = 0;
};

enum class FlatMethod { dense, heap, packed };

// Products poll for interrupts while they sum (once some 2^16 term
// products), and a nested command level may run products of its own before
// the interrupted one goes on. The arrays kept between products (the
// terms, the cells, the residue sums) are therefore kept one set per
// depth: a product takes the set of the products running when it starts.
extern int flat_products_running;
using FlatProductDepth = ScopedCount<flat_products_running>;

// The set of `sets` (a std::deque, whose elements stay in place as it
// grows) for the running product: the first for the outermost.
template <class Sets>
typename Sets::value_type& scratch_at_depth(Sets& sets) {
  const std::size_t d =
      flat_products_running > 1 ? static_cast<std::size_t>(flat_products_running - 1) : 0;
  while (sets.size() <= d) sets.emplace_back();
  return sets[d];
}

// Term products between two polls of the summations.
constexpr std::int64_t flat_poll_products = std::int64_t{1} << 16;

// The term products of a and b (a the outer operand, b may be a) summed by
// key into out, by dense chunks of cells or by a heap of row heads, the
// cheaper by the estimate below; over the integers, in one variable, by
// packed_word_product when that is cheaper still. sa and sb are the scans
// of a and b.
// reads: flat_cell_bits, flat_scan_ratio, flat_packed_ratio
FlatMethod sum_word_products(const Flat& a, const Flat& b, const Packing& pk, const FlatScan& sa,
                             const FlatScan& sb, const WordSums& how, WordTerms& out);

// The one level whose exponents vary in a or b (the scans sa and sb), or
// -1 when none or more than one do.
int varying_level(const Packing& pk, const FlatScan& sa, const FlatScan& sb);

// The product of a and b (b may be a) over the integers when the
// exponents of one level alone vary: each packed into one integer, the
// coefficient of exponent e at bit s e with s the bits the product's
// coefficients need (from the scans' largest magnitudes and term counts)
// and the sign lent down the slots, multiplied once (wmul, wsqr for a
// square) and read back slot by slot. The terms go to out's val when
// narrow, else to its wide values.
void packed_word_product(const Flat& a, const Flat& b, const Packing& pk, const FlatScan& sa,
                         const FlatScan& sb, bool narrow, WordTerms& out);
// Its estimated cost in nanoseconds, or -1 when it does not apply (more
// than one level varies, slots past 127 bits, or past 2^30 words).
double packed_cost(const Flat& a, const Flat& b, const Packing& pk, const FlatScan& sa,
                   const FlatScan& sb);

// How many runs of consecutive slots a packed product of la and lb limbs
// past `limit` cuts each operand into: each pair of runs, la / ra + lb /
// rb limbs, at most `limit`, and the least work, each pair's product
// costing about its limbs (rb la + ra lb in all). Cutting only the longer
// operand, or the shorter into fewer runs, costs less than halving both
// when the operands pass the limit by little.
struct RunCounts {
  std::uint64_t a = 1, b = 1;
};
RunCounts kronecker_run_counts(double la, double lb, double limit);

// The estimated costs, in nanoseconds, of the two summations (a dense cost
// below 0 when the cells do not apply: too many per chunk or chunks too
// small to pay). A test hook beside its use in sum_word_products.
struct FlatCosts {
  double dense;
  double heap;
};

}  // namespace tavrin::detail
