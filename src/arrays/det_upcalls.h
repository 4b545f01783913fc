// Routines of the matrix and determinant folders that the built-ins call;
// defined there. Until the integer determinant lands,
// arrays/not_yet_available.cpp holds a placeholder that reports
// "int_determ not available" (nested level); the exact trial division and
// the writing of a factor list into an array have placeholders in
// det/not_yet_available.cpp and matrix/not_yet_available.cpp.
#pragma once

#include <cstdint>

#include "arrays/builtin_dispatch.h"
#include "core/records.h"

namespace tavrin {

// *n := the determinant of the integer matrix in the dense cells of q, or,
// q nil, in the work array beta (rows x rows). *pseudodet -1 asks for the
// bound on the determinant to be computed; on return it holds the bound
// used.
void int_determ(quolyptr n, arrptr q, workptr beta, std::int32_t rows, quolyptr pseudodet);

// Whether the value *n divides the value *m exactly. wantquot: *m := the
// quotient when it does. Answer: *use_n false on entry: *use_n := true when
// n does not divide, false when it does; *use_n true on entry: *n := the
// number 1 (divides) or 0 (does not). SDivide: the polynomial division may
// decide at once, skipping the pre-tests. fast_yes: a conclusive image test
// may stand for a yes. A zero *m divides. Single-word arithmetic outside a
// prime field (and outside floating mode): error 281.
void trial_divide(quolyptr n, quolyptr m, bool wantquot, bool fast_yes, bool SDivide,
                  bool* use_n);
// The rows terms of *p written into the rows x 2 array at cell start
// (coefficients, then exponents); rows 0 writes 1 and 0. *p consumed.
void poly_to_array(std::int32_t rows, std::int32_t start, poly* p);
// *n := 1 when the chosen parts of x and y are equal (index 17) or each
// other's negative (otherwise), else 0 (matrix/finish_equal.h).
void finish_equal(std::int32_t index, quolyptr n, quoly x, quoly y, const bool want[6]);

// The matrix built-ins (normal forms, LU, zero test, transposition in
// place) when index is one of theirs; false with nothing read otherwise
// (matrix/matrix_builtins.h).
bool matrix_builtin(builtin_func1_EnvRec* env, std::int32_t index);

}  // namespace tavrin
