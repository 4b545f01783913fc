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

// The relative disagreement at a check point beyond which a floating
// polynomial determinant is recomputed exactly.
constexpr long double fl_check_tolerance = 1e-12L;

// *n (1.0 on entry; floating mode) := the determinant of the m x m matrix
// of floating images (the sparse *spar when not nil, else ar; consumed as
// mat_invert consumes a free matrix) by the floating methods of the router.
// A determinant of polynomials is checked at two points before it is
// returned and, when it fails the check, taken exactly and rounded to long
// doubles, with a verbose line saying so.
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

  // A polynomial as its terms: nv exponents per term (depth 1 first) and a
  // coefficient, none zero.
  struct Terms {
    std::vector<std::int32_t> e;
    std::vector<long double> c;
  };

 private:
  // The exact value of entry k (its image rebuilt, big-integer mode).
  void exact_entry(std::size_t k, quolyptr cell) const;
  std::int32_t m_, nv_;
  bool sparse_;
  std::vector<Terms> e_;  // entry (r, c) at r*m + c
  bool polynomial_ = false;
  bool readable_ = true;
};

}  // namespace tavrin
