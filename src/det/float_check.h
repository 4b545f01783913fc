// Checked floating determinants of matrices of polynomials in one variable.
//
// Long doubles lose digits: the floating GCD of the elimination stops
// recognising common factors once the degrees pass twenty or so (it then
// cancels a wrong factor or none), and interpolation at integer points
// rebuilds the low coefficients from values that are ~2^64 times larger. A
// floating polynomial determinant is therefore checked before it is
// returned: it must be a polynomial whose values at two random points
// near +1 and -1 match the long-double determinants of the matrix there
// (elimination with partial pivoting) to fl_check_tolerance of theirs.
// Otherwise (or when the floating method gave up, below) the
// determinant is taken exactly from the exact values of the long doubles
// and rounded back to long doubles: each coefficient then within half an
// ulp of the true one.
//
// While the check waits for the floating methods (fl_check_watching), an
// elimination whose entries outgrow every minor's degree (its GCDs have
// failed) and a fraction-free step whose exact division leaves a remainder
// give up at once through fl_check_lost (a floating_precision_lost), so
// that no method runs on with garbage that the check would refuse.
#pragma once

#include <cstdint>
#include <vector>

#include "core/records.h"
#include "matrix/det_services.h"

namespace tavrin {

// The relative disagreement at a check point beyond which a floating
// polynomial determinant is recomputed exactly.
constexpr long double fl_check_tolerance = 1e-12L;

// Thrown by fl_check_lost; caught by fl_checked_determinant alone.
struct floating_precision_lost {};

// True while fl_checked_determinant waits for a floating method.
extern bool fl_check_watching;

// Gives up the floating method under way (when watched; otherwise nothing).
void fl_check_lost();

// The largest degree any minor of the m x m matrix of ar (dense, the
// first m*m cells) can have: the sum over rows of the largest entry degree
// in the top variable (numerators and denominators alike).
std::int64_t fl_minor_degree_bound(workptr ar, std::int32_t m);

// The same for the sparse matrix sp of m rows.
std::int64_t fl_sparse_minor_degree_bound(sparseptr sp, std::int32_t m);

// Gives up (fl_check_lost) when q's numerator or denominator has a degree
// above bound. q kept.
void fl_check_degree(quoly q, std::int64_t bound);

// The determinant of the m x m long doubles a (row by row; destroyed) by
// elimination with partial pivoting.
long double fl_pivoted_det(std::vector<long double>& a, std::int32_t m);

// A square matrix of floating images in one variable, held as coefficient
// lists (entry (r, c) at r*m + c, coefficient k of x^k at k).
class FloatPolyMatrix {
 public:
  // The images of the m x m matrix: the sparse *spar when spar is not nil
  // and *spar not nil, else the dense ar. Both kept.
  FloatPolyMatrix(workptr ar, sparseptr* spar, std::int32_t m);
  // Some entry is a polynomial (and every entry could be read).
  bool polynomial() const { return polynomial_ && readable_; }
  // Whether the floating image d is a polynomial that agrees with the
  // determinant at two points. d kept.
  bool agrees(quoly d) const;
  // *n := the exact determinant of the matrix, as a floating image (the
  // exact route prints no trace).
  void exact_determinant(quolyptr n) const;
  // The determinant of the matrix at x (fl_pivoted_det).
  long double det_at(long double x) const;

 private:
  std::int32_t m_;
  std::vector<std::vector<long double>> e_;
  bool polynomial_ = false;
  bool readable_ = true;
};

// fl_checked_determinant, the entry of the floating determinants of a
// "Float" body: declared in matrix/det_services.h.

}  // namespace tavrin
