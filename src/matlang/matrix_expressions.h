// The matrix-expression evaluator: sums (arr_expre), terms (arr_term), a
// pending postfix operator (half_arr_fact), joins (concatenate), factors
// (arr_fact, matrix_factors.cpp) and the whole-array statements that start
// from a matrix operand (arr_parse, array_statements.cpp).
//
// Grammar: expression = term {("+" | "-") term}; term = factor {op factor}
// with op one of "*", "/", "|", "\", "_" (the first character of the
// token), a factor beginning with a letter right after a factor meaning
// "*"; a factor beginning with "[" or "(" ends the term.
//
// Every routine reads its operands from the token stream (inf, flag as the
// scanner takes them; `token` current on entry and the token after on
// return) into the value group v (mat_value.h). On entry v.facts and v.rows
// carry the size the caller expects (a target's size), which every operand
// is read with. Work arrays come from the pool through WorkArrayGuard;
// user errors unwind (abandon), every owned operand being freed on the way.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "toplevel/builtins.h"
#include "toplevel/scanner.h"
#include "matrix/mat_value.h"

namespace tavrin {

// A whole matrix expression. callterm false: the first factor is already in
// v (a pending "^" or "#" at the token is applied first).
void arr_expre(textptr inf, MatValue& v, nameptr* flag, bool callterm);
// One term. callfact false: the first factor is already in v.
void arr_term(textptr inf, MatValue& v, nameptr* flag, bool callfact);
// The postfix "^" or "#" at the current token, applied to v.
void half_arr_fact(textptr inf, MatValue& v, nameptr* flag);
// v := v joined with w, both dense matrices: stacked when the column counts
// agree (tested first), else side by side when the row counts agree, else
// error 112; a one-entry operand is prepended or appended. w's entries are
// copied or moved; *oktofree false when they were moved (the caller then
// only forgets w). Errors 111, 112, 88.
void concatenate(MatValue& v, MatValue& w, bool* oktofree);
// One factor (operators, matrix functions, bracketed forms, quoted text,
// the scalar fallback) with its postfix "^" or "#".
void arr_fact(textptr inf, MatValue& v, nameptr* flag);

// Replaces the system array "<" by the matrix value v (r rows): owned
// entries move in, borrowed ones are copied; syst_dump := true.
void fill_syst_array(workptr arr, arr_descr* arr_facts, bool arr_free, sparseptr spar,
                     std::int32_t r);

// The array statement or operation of code x (ArrayCode, the codes of
// run_array_statement, toplevel/dispatch.h); a scalar result in *n.
void arr_parse(ArrayCode x, textptr inf, quolyptr n, nameptr* flag);
// Registers arr_parse as the dispatcher's reader of array statements, and
// its form for factors as the handler of the operator aliases of array
// operations ("*12" ...), and registers the matrix built-ins
// (install_matrix_builtins). Called once at start-up (and by the test programs).
void install_matrix_statements();

// The array assignment and "Diag" statements (codes "[" and "~" of
// arr_parse), the current token "[", "Diag" or "*14"; v is the statement's
// value group (its work array taken by arr_parse). On return *n is 0.
// Errors 4, 27, 28, 60, 92, 93, 176, 242, 244, 249, 297 and those of the
// target and the expression.
void arr_asstat(textptr inf, quolyptr n, MatValue& v, nameptr* flag);

}  // namespace tavrin
