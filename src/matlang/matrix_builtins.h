// The matrix built-ins: the normal forms and their
// transforms ("Colreduce", "Hermite", "MSmith", "Minors", "Normalize",
// "Pseudet", "Redrowech", "Rowreduce", "Smith"), "FFLU"/"FFLUC", "Chpoly",
// "Iszero", "LCM", "Poly", "Reverse", "STrans", "Sort" and the set
// operations "Synth". They read their arguments, check them, call the
// elimination engines through their table (matrix_engines.h) and create the
// named output arrays.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "numbers/work_arrays.h"
#include "arrays/builtin_dispatch.h"
#include "arrays/det_upcalls.h"
#include "matrix/matrix_engines.h"

namespace tavrin {

// *w := the i-th Lagrange basis polynomial of the points 1 .. m in the top
// variable (beyond the rows of the table pol).
void compute_char_poly(std::int32_t m, std::int32_t i, quolyptr w);

// The polynomial whose coefficients the array holds.
void arr_to_poly(arrptr q, quolyptr n);
void arr_to_poly_sparse(sparseptr spar, std::int32_t rows, quolyptr n);
// The rows x cols work array arr copied into the dense cells from start on,
// entry k to cell start + k; the cells take the values over (their old
// values are freed) and arr's entries become nil.
void fillup(std::int32_t rows, std::int32_t cols, std::int32_t start, workptr arr);
// The array reversed in place.
void reverse_array(arrptr q);
void reverse_sparse(sparseptr spar, std::int32_t rows);

// The built-in "Chpoly" (index 3).
void chpoly_builtin(builtin_func1_EnvRec* env);

// Chpoly's last step: the characteristic polynomial det(a - xI) of an r x r
// matrix with trace t from c0 = det(a) and d[i] = det(a - iI), i = 1 .. r - 2
// (basis(m, i, w) gives the Lagrange basis polynomials of the points
// 1 .. m). *n := the polynomial; the values are kept.
void combine_char_poly(quolyptr n, std::int32_t r, quoly t, quoly c0, const quoly* d,
                       void (*basis)(std::int32_t, std::int32_t, quolyptr));

// Registers the handlers of the matrix built-ins in the built-in table.
// Called by install_matrix_statements.
void install_matrix_builtins();

}  // namespace tavrin
