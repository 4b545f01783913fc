// The watch over the floating methods while a checked floating determinant
// (float_determinant.h) waits for them. While it watches
// (fl_check_watching), an elimination whose entries outgrow every minor's
// degree (its GCDs have failed) and a fraction-free step whose exact
// division leaves a remainder give up at once through fl_check_lost (a
// floating_precision_lost), so that no method runs on with garbage that the
// check would refuse.
#pragma once

#include <cstdint>
#include <vector>

#include "core/records.h"

namespace tavrin {

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

}  // namespace tavrin
