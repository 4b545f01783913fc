// Checked floating determinants of matrices of polynomials.
//
// Long doubles lose digits: the floating GCD of the elimination stops
// recognising common factors once the degrees pass twenty or so (it then
// cancels a wrong factor or none), has no multivariate form, and
// interpolation at integer points rebuilds the low coefficients from values
// that are ~2^64 times larger. A floating polynomial determinant is
// therefore checked before it is returned, whatever route made it: it must
// be a polynomial whose values at two random points (every variable near +1
// or -1, the signs drawn at random) match the long-double determinants of
// the matrix there (elimination with partial pivoting) to
// fl_check_tolerance of theirs. Otherwise (or when the floating method gave
// up, below) the determinant is taken exactly from the exact values of the
// long doubles and rounded back to long doubles: each coefficient then
// within half an ulp of the true one. With two variables or more adjoined
// the floating determinant comes from the interpolation alone: the
// elimination's floating quotients and GCDs have no multivariate form.
//
// The checked determinant is a client of the router: it asks mat_invert
// for the floating determinant (with the watch of float_check.h on) and, when
// that fails the check, for the exact one.
#pragma once

#include <cstdint>
#include <vector>

#include "core/records.h"

namespace tavrin {

// The relative disagreement at a check point (or with the second
// elimination) beyond which a floating determinant is recomputed exactly.
constexpr long double fl_check_tolerance = 1e-12L;

// The largest side whose floating number determinant is checked by a second
// elimination on a dense copy (16 bytes a cell); larger ones by Hadamard's
// bound alone.
constexpr std::int32_t fl_second_opinion_side = 1000;

// *n (1.0 on entry; floating mode) := the determinant of the m x m matrix
// of floating images (the sparse *spar when not nil, else ar; consumed as
// mat_invert consumes a free matrix) by the floating methods of the router.
// A determinant of polynomials is checked at two points, one of numbers
// against Hadamard's bound and a second elimination, before it is returned;
// one that fails its check is taken exactly and rounded to long doubles,
// with a verbose line saying so.
void fl_checked_determinant(workptr ar, sparseptr* spar, std::int32_t m, quolyptr n,
                            std::int32_t the_degree, std::int32_t the_degree2,
                            std::int32_t the_power);

// A square matrix of floating images of polynomials in the adjoined
// variables, each entry held as its terms.
class FloatPolyMatrix {
 public:
  // The images of the m x m matrix: the sparse *spar when spar is not nil
  // and *spar not nil, else the dense ar. Both kept. reads: number_polys
  FloatPolyMatrix(workptr ar, sparseptr* spar, std::int32_t m);
  // Some entry is a polynomial (and every entry could be read).
  bool polynomial() const { return polynomial_ && readable_; }
  // Every entry could be read as terms.
  bool readable() const { return readable_; }
  // Whether the floating image d is a polynomial that agrees with the
  // determinant at two random points. d kept.
  bool agrees(quoly d) const;
  // *n := the exact determinant of the matrix, as a floating image (the
  // exact route prints no trace); the matrix is handed to the router in
  // the shape it came in.
  void exact_determinant(quolyptr n) const;
  // The least depth of a variable in the entries (constant_depth: none).
  std::int16_t depth() const;
  // The determinant of the matrix at x (one value per variable, depth 1
  // first), by fl_pivoted_det.
  long double det_at(const std::vector<long double>& x) const;
  // Whether the floating determinant d of this matrix of numbers passes
  // its checks: |d| within Hadamard's bound, and, up to side
  // fl_second_opinion_side, agreement with a second elimination in
  // another pivot order (fl_pivoted_det) to fl_check_tolerance. *why := the
  // check that failed. d kept.
  bool number_det_agrees(quoly d, const char** why) const;

  // A polynomial as its terms: nv exponents per term (depth 1 first) and a
  // coefficient, none zero.
  struct Terms {
    std::vector<std::int32_t> e;
    std::vector<long double> c;
  };

 private:
  // *cell := the exact value of the image t (its coefficients' exact
  // values, big-integer mode).
  void exact_entry(const Terms& t, quolyptr cell) const;
  std::int32_t m_, nv_;
  bool sparse_;
  // The entries that are not zero, row by row: entry (r, c) (from 0) under
  // the key r*m + c. Only these are kept, so that a large sparse matrix
  // costs its entries, not its side squared.
  // A matrix of numbers keeps their values alone.
  struct Entry {
    std::int64_t at;
    Terms t;
  };
  struct NumberEntry {
    std::int64_t at;
    long double value;
  };
  std::vector<Entry> e_;              // a matrix with a polynomial entry
  std::vector<NumberEntry> numbers_;  // a matrix of numbers
  // visit(key, terms) for each entry that is not zero, row by row.
  template <class Visit>
  void for_each_entry(Visit&& visit) const;
  bool polynomial_ = false;
  bool readable_ = true;
};

}  // namespace tavrin
