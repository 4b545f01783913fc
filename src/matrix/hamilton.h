// The Hamiltonian path search: a depth-first search over a sparse matrix
// whose entries carry small integer labels (in the val field) for a
// transversal, one entry in every row, all in different columns, such that
// no positive label occurs twice among the chosen entries. set_up_hamilton
// builds that matrix from a graph's adjacency matrix; the determinant router reaches the search for
// a sparse matrix given with a negative side.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "numbers/work_arrays.h"

namespace tavrin {

// The sparse pattern matrix (n*n + 1 rows and columns) of the Hamiltonian
// path computation for the dense n-by-n matrix arr (n <= 100) into *spar;
// arr's entries freed when *arr_free; *arr_free := false; arrf := the new
// size.
void set_up_hamilton(workptr arr, arr_descr* arrf, bool* arr_free, sparseptr* spar);

// *n := 1 when the row x row labelled matrix *spar has a transversal, else
// 0. f: nil, or a constant whose value is the leaf-count limit of one
// attempt (an attempt that reaches it is abandoned and a new one started).
// More than 10,001 columns, or labels above 100: user error 27 before the
// tables are touched. A search already under way: error 309.
// reads: verbose, lintmode; writes: total_cnt, lowcnt
void hamilton_path_driver(sparseptr* spar, std::int32_t row, quolyptr n, poly f);

// One level of the search on the row rows left: 1 found, 0 none, -1 the
// leaf-count limit lmt reached.
std::int16_t hamilton_path(sparseptr spar, std::int32_t row, std::int32_t totalrow,
                           std::int32_t sqrt_total, std::int32_t varcount, std::int32_t lmt);

// Branches tried and leaves reached in the current attempt.
extern std::int32_t total_cnt, lowcnt;
// The tie-break generator: x := x * 145 mod 40099 by default; tests may
// install another source of values (nil restores the default).
extern std::int32_t randint;
using ham_random_source = std::int32_t (*)(std::int32_t previous);
// Label flags of the partial transversal.
extern bool monomal[151];

}  // namespace tavrin
