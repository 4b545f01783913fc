// Helpers shared by the files of the matrix-expression evaluator.
#pragma once

#include <cstdint>

#include "toplevel/scanner.h"
#include "toplevel/tokens.h"
#include "matrix/mat_value.h"
#include "matrix/sparse_copy.h"

namespace tavrin::matexpr {

using tokens::is_tok;
using tokens::scan;
// Error 88 with x when the pool has no array left (checked before taking).
void need_work_array(const tokentipe* x);
// A fresh value a op b ("+", "-", "*", "/", "|", "\"); a, b kept.
quoly entry_op(char op, quoly a, quoly b);
// copy_of (a fresh copy of a value, negated when asked): matrix/sparse_copy.h.
// *cell := r, the old value freed when owned.
void put(quolyptr cell, quoly r, bool owned);
// v gives up what it holds and takes w's matrix (cells or frames) with its
// shape and ownership; w is left a scalar holding nothing.
void take_over(MatValue& v, MatValue& w);
// v (its dense array) := the diagonal of w as one row, sharing w's entries
// unless w owned them (they then move to v); w is left holding nothing. A
// diagonal longer than the work array is error 43 before anything changes.
void diagonal_into(MatValue& v, MatValue& w);
// A copy of s appended to (or put in front of) the dense matrix v, which is
// made owned first: a matrix of several rows becomes a column, a row stays
// a row. Error 111 past 1,000,000 entries.
void join_scalar(MatValue& v, quoly s, bool front);
// The postfix "^" (current token) applied to v: errors 172, 116.
void apply_power(textptr inf, MatValue& v, nameptr* flag);
// The postfix "#" (current token) applied to v.
void apply_evaluation(textptr inf, MatValue& v, nameptr* flag);

}  // namespace tavrin::matexpr
