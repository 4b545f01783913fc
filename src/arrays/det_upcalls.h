// Routines of the matrix and determinant folders that the built-ins call;
// defined there. Until the integer determinant lands,
// arrays/not_yet_available.cpp holds a placeholder that reports
// "int_determ not available" (nested level); the exact trial division and
// the writing of a factor list into an array have placeholders in
// det/not_yet_available.cpp and matrix/not_yet_available.cpp.
#pragma once

#include <cstdint>

#include "core/records.h"

namespace tavrin {

// *n := the determinant of the integer matrix in the dense cells of q, or,
// q nil, in the work array beta (rows x rows). *pseudodet -1 asks for the
// bound on the determinant to be computed; on return it holds the bound
// used.
void int_determ(quolyptr n, arrptr q, workptr beta, std::int32_t rows, quolyptr pseudodet);

// Whether *n divides *m exactly; with wantquot *m := the quotient when it
// does. *use_n false on entry: *use_n := true when it does not divide;
// true on entry: *n := 1 or 0. fast_yes lets a conclusive modular image
// stand; SDivide may consume the dividend and skips the pre-tests.
void trial_divide(quolyptr n, quolyptr m, bool wantquot, bool fast_yes, bool SDivide,
                  bool* use_n);
// The rows terms of *p written into the rows x 2 array at cell start
// (coefficients, then exponents); rows 0 writes 1 and 0. *p consumed.
void poly_to_array(std::int32_t rows, std::int32_t start, poly* p);
// *n := 1 when the chosen parts of x and y are equal (index 17) or each
// other's negative (otherwise), else 0 (matrix/finish_equal.h).
void finish_equal(std::int32_t index, quolyptr n, quoly x, quoly y, const bool want[6]);

}  // namespace tavrin
