// Row reduction over exact values: the reduced row echelon form, column
// and row reduction, pseudo-determinant pivots and the diagonal form, with
// their transforms (alpha on the left, beta on the right, and inverses).
//
// Sparse transforms follow the same rules through the sparse row and column
// operations.
//
// Dense: a named array of the paged store, entry (r, c) from 0 in cell
// start + r + c*rows. Transforms are work arrays (rows x rows, column
// order), each started as the identity and given every row operation so
// that alpha * A0 = A and alpha * alphinv = I at the end:
//   rows r, j exchanged   alpha: rows r, j;    alphinv: columns r, j
//   row r divided by P    alpha: the same;     alphinv: column r times P
//   row i -= E * row r    alpha: the same;     alphinv: column r += E * column i
#pragma once

#include <cstdint>

#include "core/records.h"

namespace tavrin {

// Reduced row echelon form of q in place: every pivot 1, the rest of a
// pivot column 0; the last column is never a pivot column. want[0]: alpha,
// want[1]: alphinv (dense work arrays, or auxspar[0], auxspar[1] for a
// sparse q). *n := the rank (number of pivots).
void red_row_ech(quolyptr n, arrptr q, const bool* want, workptr alpha, workptr alphinv,
                 sparseptr* auxspar);

// Column reduction of q in place (dense: lower triangular by column
// operations; sparse: sparse_rowreduce), at most min(rows, cols, cut)
// steps; *n := the steps done. want[0..3]: alpha, beta, alphinv, betinv.
// pseudo: only the pivots are kept (a diagonal result), and with want[0]
// alpha receives the 2 x rank pivot positions (row, column of pivot k in
// cells 2k, 2k+1, in the index origin addresser) instead of a transform.
void colreduce(quolyptr n, arrptr q, const bool* want, workptr alpha, workptr beta, workptr alphinv,
               workptr betinv, sparseptr* auxspar, bool pseudo, std::int32_t cut);
// Diagonal form of a dense q by row and column operations, pivots not
// scaled; *n := the rank.
void normalize(quolyptr n, arrptr q, const bool* want, workptr alpha, workptr beta, workptr alphinv,
               workptr betinv);
// Row echelon form of a sparse q by row operations (pivots not scaled):
// auxspar[0..3] = alpha, beta, alphinv, betinv; pseudo and alpha as in
// colreduce. More than 50,000 rows: error 375, nothing changed (the
// modular form below has no such limit).
void sparse_rowreduce(quolyptr n, arrptr q, bool pseudo, const bool* want, workptr alpha,
                      sparseptr* auxspar, std::int32_t cut);
// The modular form of sparse_rowreduce, taken for an all-number matrix in
// modular arithmetic with a prime modulus (the transforms started by the
// caller): min(rows, cols) steps whatever the cut, no row limit, on a copy
// whose nodes hold the residues; the pivot of step s is the first entry at a
// column >= s of the first row from s that has one. The reduced values are
// put back into spar at the end.
void sparse_mod_rowreduce(quolyptr n, sparseptr spar, bool pseudo, const bool* want,
                          std::int32_t rows, std::int32_t cols, workptr alpha, sparseptr* auxspar);
// sparse_rowreduce on the values themselves; first_active: with the pivot
// rule of sparse_mod_rowreduce (never handing over to it), which the
// residue form must agree with entry for entry.
void sparse_rowreduce_values(quolyptr n, arrptr q, bool pseudo, const bool* want, workptr alpha,
                             sparseptr* auxspar, std::int32_t cut, bool first_active);
// Fraction-free LU of a dense q: the upper factor U in place, pivots (rows
// cells: pivot k at cell k, 1 from the rank on) and lower (rows x rows, 1 on
// the diagonal) always written; want[2..5]: alpha, alphinv, beta, betinv,
// which receive the exchanges only (permutations). colsok allows column
// exchanges; without it a column zero from the current row down is passed
// over and put back at the end. *n := the rank. With A' = alpha*A0*beta,
// row i of lower*D*U = p_0*...*p_(i-1) * row i of A', D = diag(1, 1, p_0,
// p_0*p_1, ...).
void fract_free_lu(bool colsok, quolyptr n, arrptr q, const bool* want, workptr pivots,
                   workptr lower, workptr alpha, workptr alphinv, workptr beta, workptr betinv);
// *n := the least common multiple of the integer denominators of the
// entries: a rational number's denominator, or the coefficient of a
// single-term denominator (others are passed over). spar nil: the dense
// block of target_rows x cols cells from cell start of the paged store,
// columns total_rows apart (a nil cell becomes 0 with the warning);
// otherwise every entry of rows 1..total_rows of spar.
void findlcm(quolyptr n, sparseptr spar, std::int32_t start, std::int32_t total_rows,
             std::int32_t target_rows, std::int32_t cols);
// Pushes the pair (i, j) on the front of *c.
void newcolnode(colptr* c, std::int32_t i, std::int32_t j);
// Cuts a sparse row after the node *u: the nodes after it go to the free
// list (their values are not freed: word residues, or owned elsewhere).
void killoffu(colm_ptrptr u);

// The sparse form (rows and columns from 1): auxspar[0], auxspar[1] :=
// identities when wanted, then an all-number matrix in modular arithmetic
// with a prime modulus goes to sparse_mod_redrowech.
void sparse_redrowech(quolyptr n, arrptr q, const bool* want, sparseptr* auxspar);
// The same on the residues held in the number values of sp (in place),
// with the transforms already started.
void sparse_mod_redrowech(quolyptr n, sparseptr sp, const bool* want, std::int32_t rows,
                          std::int32_t cols, sparseptr* auxspar);

}  // namespace tavrin
