// What the expression evaluator calls that is built above this folder:
// array elements and their sparse entries, the array that a factor list
// fills, assignment targets, the matrix operands of
// evaluation at values ("#") and random values. This is their one
// declaration: an owner's header that declares more of the family
// (arrays/targets.h, arrays/sparse_store.h) includes this one.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "toplevel/language_services.h"
#include "toplevel/scanner.h"

namespace tavrin {

// The count x 2 array named *name (one of that name replaced) holding the
// count terms of *list, coefficients then exponents (poly_to_array); count
// 0 leaves the 1 x 2 array as it is made. *list consumed when count > 0.
// The store of a factor list. Defined with the arrays.
void list_into_array(const tokentipe* name, std::int32_t count, poly* list);
// With "[" current: the element of the array named *x; *qp its cell (nil
// for a missing sparse element), *t and *colpos its sparse position (t nil
// and colpos the global cell index for a dense element). An uninitialised
// dense cell becomes 0. "if" and "while" before "[" run that statement,
// its value in *n. Errors 28, 27 and those of the subscripts.
void new_arretrieve(textptr inf, const tokentipe* x, nameptr* flag, quolyptr* qp, quolyptr n,
                    colm_ptrptr* t, std::int32_t* colpos);
// Floating twin, reading the stored chain only, "[" current: *qp the cell
// (nil for an absent sparse entry; a nil dense cell becomes 0), *sparse
// whether the array is sparse. An element that is not a number is error
// 227. The token after "]" is current on return.
void iarretrieve(const tokentipe* x, quolyptr* qp, nameptr* flag, bool* sparse);
// The subscripts of an element in stored text by the floating rule, the
// first token of the first subscript current: *r, and *c when "," and a
// second follow (*c_is_there set), else *c := addresser. "]" stays
// current; without it error 61 (when the report returns, reading goes on).
void ievalcoords(std::int32_t* r, std::int32_t* c, nameptr* flag, bool* c_is_there);
// An assignment or increment to an absent sparse entry: t the row's head
// link, c the column. Contracts: arrays/sparse_store.h.
void sparse_zero_set(colm_ptrptr t, std::int32_t c, quolyptr* qp);
void purge_sparse(colm_ptrptr t, std::int32_t c);
// With "[" current: the element of the array q of the array-of-arrays store.
void spec_arretrieve(textptr inf, nameptr* flag, arrptr q, quolyptr* qp, colm_ptrptr* t,
                     std::int32_t* colpos);
// The array operand "[" name "]" that is current, read into the chain *n2
// (copies of its entries in order; the old *n2 freed) up to ")" (left
// current). *allnumbs := every entry is the number 0 or 1. Errors: 338 an
// operand that is not a stored array, 1 no ")", 187 more entries than
// variables, 41 no entries, 259 a sparse array, 48 an uninitialised entry,
// 88 no work array. Defined with the matrix expressions.
void values_from_array(textptr inf, nameptr* flag, quolyptr n2, bool* allnumbs);
// After "#" with "[" current, outside matrix expressions: the polynomial *n
// (kept until the end) at the matrix that follows; the result becomes the
// system array (syst_dump set) and *n := 0. Errors 174, 186, 88.
// Defined with the matrix expressions.
void poly_at_matrix_into_syst(textptr inf, quolyptr n, nameptr* flag);
// "[" current: the array named in "[" name "]" of a loop over sparse
// columns; the token after "]" is current on return. No array: error 28;
// a dense one: 335. Defined with the arrays.
arrptr sparse_loop_array(textptr inf, nameptr* flag);
// The target's first token current: *qp := its cell (nil for an absent
// sparse entry); the token after it is current on return. Contract:
// arrays/targets.h.
void get_quoly_ptr(quolyptr* qp, textptr inf, nameptr* flag);
// *n := a random rational number (again: mixed with the processor clock).
// Defined with the matrix kernels (matrix/random_values.cpp).
void randomize(bool again, quolyptr n);

}  // namespace tavrin
