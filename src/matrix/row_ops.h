// Row and column operations: the elementary steps every elimination applies
// in place to a matrix, one family for each place a matrix lives (a dense
// work array, a named dense array of the paged store, a sparse matrix) and
// each ground ring (exact values, word residues, long doubles). None
// allocates a matrix; indices and sizes are trusted.
//
// Dense layout: a work array of order m holds entry (r, c), both from 0, in
// cell r + c*m (columns contiguous, rows of stride m). A named array of
// `rows` rows starting at cell `start` of the paged store holds (r, c) in
// cell start + r + c*rows. Sparse matrices count rows and columns from 1.
// Modular dense work changes the residue `lint` of each cell's number in
// place, floating dense work its `flote`; exact work moves cell pointers.
//
// Determinant accumulator: the exchanges that take n negate *n (an exchange
// of two rows or columns negates the determinant), except fl_swap_rows,
// whose callers account for the sign themselves.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "arrays/det_upcalls.h"

namespace tavrin {

// ---- Dense exchanges (0-based; m the order of the work array) ----------------------------
// Rows i and j in columns i..m-1 (0..m-1 when do_all); want_n: *n negated.
void swap_rows(quolyptr n, workptr dup, bool want_n, bool do_all, std::int32_t i, std::int32_t j,
               std::int32_t m);
// Whole columns i and j (all rows).
void swap_cols(workptr arr, std::int32_t i, std::int32_t j, std::int32_t rows);
// Rows i and j in columns 0..i-1 only.
void spec_swap_rows(workptr dup, std::int32_t i, std::int32_t j, std::int32_t rows);
// Rows i and j in columns c..m-1.
void simple_swap_rows(workptr dup, std::int32_t i, std::int32_t j, std::int32_t m, std::int32_t c);
// Columns i and j in rows r..m-1; nothing when i = j.
void simple_swap_cols(workptr dup, std::int32_t i, std::int32_t j, std::int32_t m, std::int32_t r);
// invert: whole columns i and j; otherwise rows i..m-1 of them and *n negated.
void dual_swap_cols(quolyptr n, workptr dup, bool invert, std::int32_t i, std::int32_t j,
                    std::int32_t m);
// Residues of rows (columns) i and j in columns (rows) i..m-1; the residue d
// of *n becomes modulus - d (d > 0, not in characteristic 2).
void mod_swap_rows(quolyptr n, workptr dup, std::int32_t i, std::int32_t j, std::int32_t m);
void mod_swap_cols(quolyptr n, workptr dup, std::int32_t i, std::int32_t j, std::int32_t m);
// The row exchange on long doubles; *n is left alone.
void fl_swap_rows(quolyptr n, workptr dup, std::int32_t i, std::int32_t j, std::int32_t m);
void fl_swap_cols(quolyptr n, workptr dup, std::int32_t i, std::int32_t j, std::int32_t m);

// ---- Dense updates (square arrays of order rows) -----------------------------------------
// row k := row k - factor * row q (all columns); column likewise (all rows).
void row_reduce(workptr arr, quoly factor, std::int32_t rows, std::int32_t k, std::int32_t q);
void col_reduce(workptr arr, quoly factor, std::int32_t rows, std::int32_t k, std::int32_t q);
// column q := column q * factor; row q := row q / factor.
void mult_col(workptr arr, quoly factor, std::int32_t rows, std::int32_t q);
void divide_row(workptr arr, quoly factor, std::int32_t rows, std::int32_t q);
// Integer matrices (big integers): row/column k := k - factor * q.
void row_red_arr(workptr arr, imptr factor, std::int32_t rows, std::int32_t k, std::int32_t q);
void col_red_arr(workptr arr, imptr factor, std::int32_t rows, std::int32_t k, std::int32_t q);
// Negates column j; row j in columns 0..cols-1 of a rows-by-cols array.
void int_arr_col_neg(workptr arr, std::int32_t j, std::int32_t rows);
void int_arr_row_neg(workptr arr, std::int32_t j, std::int32_t rows, std::int32_t cols);
// The elimination step at pivot (i-1, i-1), i from 1, pivot row scaled to a
// unit pivot: (r, c) -= (r, i-1) * (i-1, c) for r, c in i..m-1. allnumbs:
// on the long doubles of the entries' numbers.
void simple_zero_out(workptr dup, std::int32_t i, std::int32_t m, bool allnumbs);
// The same on residues with the multiplier (r, i-1) * valinv.
void mod_zero_out(workptr dup, std::int32_t i, std::int32_t m, std::int32_t valinv);
// The same on long doubles with the multiplier (r, i-1) * valinv.
void fl_zero_out(workptr dup, std::int32_t i, std::int32_t m, long double valinv);
// Floating pivot step i: v := (i-1, i-1); invert false: *n's long double *=
// v; invert true: (i-1, i-1, v) pushed on *ops; the pivot := 1 and the rest
// of its row (columns i..m-1) times 1/v.
void numb_divide_thru(quolyptr n, workptr dup, bool invert, std::int32_t i, std::int32_t m,
                      colptr* ops);
// 1 on the diagonal and 0 above it, overwritten without freeing.
void uppertri(workptr arr, std::int32_t rows);

// ---- Named arrays of the paged store -------------------------------------------------------
// switchrow_col(index, j, k, start, total_rows, target_rows, cols), declared
// in arrays/det_upcalls.h: index 93: rows j and k over cols columns;
// otherwise columns j and k over their first target_rows cells.
// column j := column j - factor * column k in rows k..rows-1 (big integers).
void int_col_manip(std::int32_t j, std::int32_t k, std::int32_t start, std::int32_t rows,
                   imptr factor);
// Negates column j in rows k..rows-1; row j in columns k..cols-1.
void int_col_neg(std::int32_t j, std::int32_t k, std::int32_t start, std::int32_t rows);
void int_row_neg(std::int32_t j, std::int32_t k, std::int32_t start, std::int32_t rows,
                 std::int32_t cols);

// ---- Sparse matrices (rows and columns from 1; no zero entry is left) --------------------
// In rows 1..rows the entry of column k := entry * factor.
void sparse_mult_col(sparseptr sp, quoly factor, std::int32_t rows, std::int32_t k);
// Every entry of row k := entry / factor.
void sparse_divide_row(sparseptr sp, quoly factor, std::int32_t k);
// Residue forms (values are number cells whose lint is a residue).
void sparse_mod_mult_col(sparseptr sp, std::int32_t factor, std::int32_t rows, std::int32_t k);
// factor 0: "bad seca." (internal error, nested level), nothing changed.
void sparse_mod_divide_row(sparseptr sp, std::int32_t factor, std::int32_t k);
// column k += factor * column q, in rows 1..rows.
void sparse_mod_col_add(sparseptr sp, std::int32_t factor, std::int32_t rows, std::int32_t k,
                        std::int32_t q);
// row k += factor * row q.
void sparse_mod_row_add(sparseptr sp, std::int32_t factor, std::int32_t k, std::int32_t q);
// Exact values: row k += factor * row q; column k += factor * column q.
void sparse_row_add(sparseptr sp, quoly factor, std::int32_t k, std::int32_t q);
void sparse_col_add(sparseptr sp, quoly factor, std::int32_t rows, std::int32_t k, std::int32_t q);
// The row from the link `link` on -= factor * the entries from src on (both
// in column order; src's row kept): the elimination step of the sparse
// Gauss and Bareiss methods.
void sparse_sub_multiple(colm_ptrptr link, colm_ptr src, quoly factor);
// Negates row j; column j in rows start..rows.
void sp_row_neg(std::int32_t j, sparseptr sp);
void sp_col_neg(std::int32_t j, std::int32_t start, std::int32_t rows, sparseptr sp);

// ---- Integer reduction ----------------------------------------------------------------------
// Row u := row u + factor * row t with factor := -(u_k div t_k) (truncated),
// rows given by the links of their first nodes; k the pivot column. j and
// rows are not used. wantmod: every changed entry reduced into the range of
// pseudodet (wanthalf: the symmetric one); wantsmallest: *k2 := the column
// of the smallest non-zero entry made (-1: none), then *j2 := *tg and *val2
// := -1 when it is +-1, else 1. No entry of row u in column k: factor := 0.
void sparse_int_rowred(sparseptr sp, colm_ptrptr t, colm_ptrptr u, std::int32_t j, std::int32_t k,
                       const std::int32_t* tg, std::int32_t rows, std::int32_t* j2,
                       std::int32_t* k2, std::int32_t* val2, bool wantsmallest, imptr factor,
                       bool wantmod, bool wanthalf, imptr pseudodet, imptr halfpseudo);
// m reduced modulo pseudodet (sign kept); wanthalf: then into the symmetric
// range, |m| >= |halfpseudo| moved by pseudodet (-halfpseudo kept), except
// |m| = halfpseudo for an odd pseudodet, which is in that range already.
void reduce_it(imptr m, imptr pseudodet, imptr halfpseudo, bool wanthalf);
// As reduce_it with a strict half-range test; *shrunkit := true when m
// changed.
void reduce_and_tell(imptr m, imptr pseudodet, imptr halfpseudo, bool wanthalf, bool* shrunkit);

// ---- Other ------------------------------------------------------------------------------------
// The period of progress lines for n rows: 1, 5, 10 or 50.
std::int32_t disper(std::int32_t n);
// Whether n1 is larger in size than n2 (floating and word modes: by value).
bool larger_number(imptr n1, imptr n2);

}  // namespace tavrin
