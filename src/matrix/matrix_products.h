// Products, powers, sums and scans of matrices, dense or sparse.
//
// Representation: a dense matrix is a work array (work_arrays.h) with an
// arr_descr (entry count and rows), entry (i, j) from 1 in cell
// (i-1) + (j-1)*rows. A sparse matrix is a frame chain of sparse_store.h;
// every sparse result built here is in that form with no stored zero, except
// that mult_cons_sparse in place in floating mode under integerflag keeps
// entries that became 0.0. An operand is sparse when its sparseptr is not
// nil, else dense.
//
// Ownership: arr_free, arr2_free, spar_free and free mark an operand as the
// caller's temporary, which the routine may change or free; any other
// operand is only read and is never changed or freed. Results replace the
// first operand (its cells, or its sparseptr). Dense copies inside these
// routines are shallow (cells shared for a while); the flags decide which
// side frees, and each old cell is freed exactly once. A dense result cell
// that a product overwrites owns nothing before it is written, except where
// a contract says the old cells are freed.
//
// Work arrays come from the pool through WorkArrayGuard, so an unwinding
// error gives them back. Products poll the interrupt between rows, powers
// between squarings.
//
// Every product gives the same values as the schoolbook product of values
// (quoly_mult, then best_quoly_add in order of the inner index). Faster
// paths are taken when they give the same values: sums of numbers on words
// or in a scratch big integer, dense products of short integers or word
// residues gathered into machine-word arrays, and sparse products by merging
// the rows of the second factor (mult_sparses_by_columns keeps the plain
// row-by-column walk).
#pragma once

#include <cstdint>

#include "core/records.h"
#include "numbers/work_arrays.h"

namespace tavrin {

// ---- Products -------------------------------------------------------------------------------
// First operand := first * second (rows1 := arrf->rows, rows2 := arr2f->rows,
// cols2 := arr2f's column count; the inner dimensions are the caller's to
// check). Both sparse: mult_sparses, arrf := rows1 * cols2 entries, the
// result's entries held to the memory budget (error 250, below). Otherwise a result of more than
// 1,000,000 entries is user error 43 (current token) before any work (nothing changes when the
// report returns);
// sparse * dense: the result is the dense arr (*spar := nil); dense * sparse:
// computed into the scratch arr2 (the sparse operand's unused dense
// buffer), old cells of arr freed when arr_free, then copied into arr; dense
// * dense: computed into a pool array, old cells of arr freed when arr_free,
// then copied into arr. The second operand is never freed.
// reads: mode flags, modulus, integerflag, token
void matrix_mult(workptr arr, workptr arr2, arr_descr* arrf, arr_descr* arr2f, bool arr_free,
                 sparseptr* spar, sparseptr* spar2);

// *spar := *spar * *spar2 (rows1 x rows2 by rows2 x cols2); *spar consumed
// when arr_free, else kept; *spar2 kept (may be *spar). Its work is a
// pointer a column (8 bytes) and a running sum for each column of the
// longest result row: error 250 first when frames of cols2 rows would pass
// the memory budget (check_sparse_rows), and error 250 as soon as the
// result's entries, counted at the size of a one-limb number, pass it
// (check_sparse_entries); the operands are then as they were and the
// partial result is given back.
void mult_sparses(sparseptr* spar, sparseptr* spar2, std::int32_t rows1, std::int32_t rows2,
                  std::int32_t cols2, bool arr_free);
// The same product by walking each row of *spar against each column of the
// transposed *spar2: the plain method, kept for comparison.
void mult_sparses_by_columns(sparseptr* spar, sparseptr* spar2, std::int32_t rows1,
                             std::int32_t rows2, std::int32_t cols2, bool arr_free);

// Dense arr := sparse *spar * dense arr2; *spar consumed when spar_free
// (*spar := nil then); arrf := rows1 * cols2 entries in rows1 rows.
void mult_sparse_norm(sparseptr* spar, workptr arr2, workptr arr, bool spar_free,
                      std::int32_t rows1, std::int32_t rows2, std::int32_t cols2, arr_descr* arrf);

// Dense arr2 := dense arr * sparse *spar; arr and *spar kept; arr2's cells
// are overwritten (they own nothing).
void mult_norm_sparse(workptr arr, workptr arr2, sparseptr* spar, std::int32_t rows1,
                      std::int32_t rows2, std::int32_t cols2);

// z := arr * arr2, all dense, by Winograd's inner-product algorithm (half the
// multiplications, more additions); arr, arr2 kept; z a third array whose
// cells own nothing.
void fast_mat_mult(workptr arr, workptr arr2, workptr z, std::int32_t rows1, std::int32_t rows2,
                   std::int32_t cols2);

// ---- Scalars and sums --------------------------------------------------------------------------
// Every entry of the row-row matrix times n2 (kept). free false: *spar := a
// new matrix (the old one is left to its owner); free true: in place, zero
// entries removed (numbers in floating mode under integerflag: the long
// doubles multiplied, zeros kept).
void mult_cons_sparse(sparseptr* spar, quoly n2, bool free, std::int32_t row);

// *spar := *spar + *spar2 (plus) or *spar - *spar2, row-row matrices; each
// operand consumed when its flag is set, else kept; no zero is stored.
void add_sparses(sparseptr* spar, sparseptr* spar2, bool arr_free, bool arr2_free, std::int32_t row,
                 bool plus);

// Dense arr := arr +- sparse spar in place (arr_facts->rows rows; a nil
// cell counts as 0); spar consumed when spar_free.
void add_one_sparse(workptr arr, arr_descr* arr_facts, bool spar_free, sparseptr spar, bool plus);

// Adds m (kept) to every diagonal entry of the square rows-row matrix spar,
// creating missing entries and removing those that become 0.
void add_to_diag(quoly m, sparseptr spar, std::int32_t rows);

// arr := the diagonal (d = min(rows, cols) entries, one row) of the dense
// arr2 (*rows rows, arr_facts' columns) or of the sparse *spar. arr_free
// clear: arr's cells point at the entries (shared). Set: dense: the diagonal
// values move into arr and arr2's other cells are freed; sparse: copies are
// stored and *spar is freed. Then arr_facts := d entries in 1 row,
// *spar := nil, *rows := d.
void extract_diagonal(workptr arr, workptr arr2, arr_descr* arr_facts, bool arr_free,
                      std::int32_t* rows, sparseptr* spar);

// *n := the sum of the first m cells (in floating mode under integerflag
// the long-double sum of their numbers, nil cells skipped). *n: overwritten
// (old value freed); cells kept.
void sum_arr(workptr arr, std::int32_t m, quolyptr n);
// *n := the sum of all entries, or of the diagonal entries.
void sparse_sum(quolyptr n, sparseptr spar, std::int32_t rows);
void sparse_trace(quolyptr n, sparseptr spar, std::int32_t rows);

// *n := the position (col-1)*rows + row + addresser - 1 of the largest
// (max) or smallest entry, visited in row order and increasing column; an
// absent entry counts once, as 0, at the first absent position (not for a
// minimum with pos_only); a later candidate wins only when strictly better;
// with pos_only a minimum counts positive entries only. A non-number
// candidate is user error 119 with "^" and the scan goes on. No candidate:
// addresser - 1. reads: addresser, mode flags
void sparse_max_min(sparseptr spar, std::int32_t rows, std::int32_t cols, bool max, bool pos_only,
                    quolyptr n);

}  // namespace tavrin
