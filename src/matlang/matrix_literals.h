// Matrices built from text by the bracketed factors of a matrix expression:
// matrix lists "[[...]]" (dense, or sparse row groups while want_sparse is
// set), the scalar diagonal "[v]", generated matrices "[<i ...> expr]",
// sparse random matrices, and the evaluation of a sparse matrix at a point.
//
// Each reader works on the value group v (mat_value.h): v.expect_r and
// v.expect_c are the size the context requires; the value is left owned.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "toplevel/scanner.h"
#include "matrix/mat_value.h"

namespace tavrin {

// The scanner, noting line ends: in a file (tt_flag false) a line end is
// passed over and *end_ln_seen := true; at the terminal it is ";". A line
// ending in the continuation character also sets *end_ln_seen. Stored text
// is replayed as usual (*end_ln_seen false).
void spec_scanner(textptr inf, tokentipe* tok, nameptr* flag, bool* end_ln_seen);

// The second "[" of "[[" current: a matrix list up to its closing "]", the
// token after it current. Entries are typed row by row; the entries before
// the first line end between two entries make a row (none: one column).
// With want_sparse the list is first read as sparse row groups; returns
// true when it was (the outer "]" then consumed as well). Errors 70, 71,
// 173; sparse: 27, 202, 251, 255, 265, 359.
bool matrix_list(textptr inf, MatValue& v, nameptr* flag);

// After "[": the scalar diagonal matrix (optional "-", then a rational
// function in the written-out notation), v.expect_r square; sparse, owned.
// Errors 45 and those of the reader.
void diagonal_matrix(textptr inf, MatValue& v, nameptr* flag);

// After "[" "<": the generated matrix, the first header's variable current;
// the closing "]" current on return. Errors 43, 47, 78, 79, 80, 82, 274,
// 336 and those of the headers and the expression.
void generated_matrix(textptr inf, MatValue& v, nameptr* flag);

// A sparse random matrix of the expected size ("RRand": again true).
void sparse_random(bool again, MatValue& v);

// The sparse matrix v evaluated at the point after "#" (the token after
// "#" current): every entry, zeros removed; the point read once.
void sparse_evalquoly(textptr inf, MatValue& v, nameptr* flag);

}  // namespace tavrin
