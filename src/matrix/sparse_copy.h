// Whole-matrix constructors on the sparse layout (sparse_store.h): deep
// copies (plain, negated, one-variable, into the word-residue form),
// negation, the identity, and two transposes.
//
// Every matrix built here has ceil(rows / 2048) frames, the last `next` nil,
// a head for every row (nil for an empty row) and rows in strictly
// increasing column order. The row count (and for transposes the column
// count) is given by the caller.
//
// Ownership:
//   copy_sparse, one_var_copy_sparse, special_copy_sparse: s kept; *t set
//     (its old value is not looked at)
//   sparse_makeneg: *spar kept when *arr_free is false (replaced by a new
//     negated copy), negated in place when true; *arr_free := true
//   spar_identi: *spar freed when arr_free, else dropped; *spar set
//   flip_sparse: spar kept, its values shared with *spar2 until the caller
//     gives spar's entries and frames back with free_sparse_frame
//   trans_sparse: *spar consumed (its entries relinked, frames given back)
#pragma once

#include <cstdint>

#include "core/records.h"
#include "quoly/quoly_upcalls.h"

namespace tavrin {

// A fresh copy of the value a (quoly_assign), or with neg of -a
// (quoly_makeneg). a: kept. reads: mode flags, modulus, finf
quoly copy_of(quoly a, bool neg);

// copy_sparse(s, t, dim, neg), declared in quoly/quoly_upcalls.h: *t := a
// copy of *s (dim rows), each value copy_of(value, neg).

// As copy_sparse, each value copied by one_var_quoly_assign.
void one_var_copy_sparse(sparseptr* s, sparseptr* t, std::int32_t dim);

// *q := a copy of p for one-variable work: a number copied; otherwise the
// numerator only (no denominator), rooted at its first level whose first
// exponent is not 0 (the pad terms above it dropped). The old *q is freed
// after the copy is built. p: kept.
void one_var_quoly_assign(quoly p, quolyptr q);

// *t := a copy of *s whose entries are already in the word-residue form
// (val holds the lint of the source number). Every source value must be a
// number in word mode.
void special_copy_sparse(sparseptr* s, sparseptr* t, std::int32_t dim);

// Negates the matrix *spar of `rows` rows (ownership above).
void sparse_makeneg(sparseptr* spar, std::int32_t rows, bool* arr_free);

// *spar := the rows-by-rows identity (row i: column i holding a fresh 1).
// Error 250 first, nothing changed, when its entries would pass the memory
// budget (check_sparse_entries).
void spar_identi(sparseptr* spar, std::int32_t rows, bool arr_free);

// *spar2 := the transpose (col rows) of the row-by-col matrix spar, in new
// entries that point at spar's values.
void flip_sparse(sparseptr spar, sparseptr* spar2, std::int32_t row, std::int32_t col);

// *spar := its transpose, relinking its own entries into a new col-row
// chain; no entry or value is allocated or copied.
void trans_sparse(sparseptr* spar, std::int32_t row, std::int32_t col);

// Word-residue rows: row i := row i - f * pivot_rest (the pivot row after
// its pivot), where row i's first entry lies in the pivot column and
// cancels; it is unlinked and given back, as is every entry that becomes 0.
void eliminate_residue_row(colm_ptrptr row_i, colm_ptr pivot_rest, std::uint32_t f);

}  // namespace tavrin
