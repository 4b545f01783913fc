// Sparse Gaussian elimination: the general determinant method for sparse
// matrices over the values of the current ground ring (rational functions
// included), on the store of arrays/sparse_store.h, with the pivot of each
// step from the sparse pivot search (matrix/pivot_search.h).
//
// Step i brings the chosen pivot p to (i, i) by a column and a row exchange
// (each negating the determinant), multiplies p into it, subtracts
// (f / p) times the rest of row i from every row r below with an entry f in
// column i (a merge of two sorted rows; zeros produced are unlinked), drops
// that entry, and releases row i. Only stored entries are touched.
#pragma once

#include <cstdint>

#include "core/records.h"

namespace tavrin {

// *n := the determinant of the m x m sparse matrix *spar (its old value
// freed). ar_free: *spar is the caller's temporary, used up (rows emptied
// as they are used, then freed; *spar := nil); otherwise it is only read
// (the elimination runs on a copy). mycut: only for the test whether
// polymodding must be suspended. A singular matrix gives 0. m > 50000:
// error 375 before anything changes.
// Polymodding (suspended when need_to_turn_off_mod_out asks), the GCD-cache
// level and the trace level are restored on every exit, an error
// unwinding included; when polymodding was suspended *n is reduced modulo
// the restored relations (modout_result).
// reads: modularmode, mod_is_prime, modulus, pseudet_heur, verbose, windy,
// laurent
void sparse_gauss_elim(sparseptr* spar, quolyptr n, std::int32_t m, std::int32_t mycut,
                       bool ar_free);

}  // namespace tavrin
