// Routines of the matrix, determinant and matrix-statement folders that the
// built-ins call; defined there (the integer determinant in
// det/int_determ.cpp, the kernels of the matrix built-ins in matrix/).
// This is their one declaration: an owner's header that declares more of
// the family includes this one and keeps the contract, named beside the
// declaration below.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "arrays/builtin_dispatch.h"

namespace tavrin {

// *n := the determinant of the integer matrix in the dense cells of q, or,
// q nil, in the work array beta (rows x rows). *pseudodet -1 asks for the
// bound on the determinant to be computed; on return it holds the bound
// used (pseudodet nil: computed, not kept).
void int_determ(quolyptr n, arrptr q, workptr beta, std::int32_t rows, quolyptr pseudodet);

// Whether the value *n divides the value *m exactly. wantquot: *m := the
// quotient when it does. Answer: *use_n false on entry: *use_n := true when
// n does not divide, false when it does; *use_n true on entry: *n := the
// number 1 (divides) or 0 (does not). SDivide: the polynomial division may
// decide at once, skipping the pre-tests. fast_yes: a conclusive image test
// may stand for a yes. A zero *m divides. Single-word arithmetic outside a
// prime field (and outside floating mode): error 281.
void trial_divide(quolyptr n, quolyptr m, bool wantquot, bool fast_yes, bool SDivide, bool* use_n);
// The rows terms of *p written into the rows x 2 array at cell start
// (coefficients, then exponents); rows 0 writes 1 and 0. *p consumed.
void poly_to_array(std::int32_t rows, std::int32_t start, poly* p);
// *n := 1 when the chosen parts of x and y are equal (Equal) or each
// other's negative (otherwise), else 0. Contract: matrix/finish_equal.h.
void finish_equal(std::int32_t index, quolyptr n, quoly x, quoly y, const bool want[6]);

// Second-body services. Exchanges of rows (heads of rows i and j, from 1)
// and columns (i < k, rows start..rows) of sparse frames, and of rows
// (Swaprow) or columns j, k (from 0) of a dense block. Contracts:
// matrix/pivot_search.h, matrix/row_ops.h.
void sp_switchrow(sparseptr sp, std::int32_t i, std::int32_t j);
void sp_switchcol(sparseptr sp, std::int32_t i, std::int32_t k, std::int32_t rows,
                  std::int32_t start);
void switchrow_col(std::int32_t index, std::int32_t j, std::int32_t k, std::int32_t start,
                   std::int32_t total_rows, std::int32_t target_rows, std::int32_t cols);
// *n := a coefficient bound for the minimal polynomial of the rows x rows
// sparse array q (nothing in modular mode).
void gershgorn(quolyptr n, arrptr q, std::int32_t rows);
// *n := the monic minimal polynomial of the sparse array q in the top
// variable; slow 0..3 asks for more projections; *succeed false when the
// bound needs more primes than there are.
void Mills(arrptr q, std::int32_t rows, std::int32_t slow, quolyptr bound, quolyptr n,
           bool* succeed);
// The sparse rows of the dense array q built from its cells; q->spar holds
// one fresh frame.
void fill_sparse(arrptr q);

}  // namespace tavrin
