// The matrix built-ins of the first body: the normal forms and their
// transforms ("Colreduce", "Hermite", "MSmith", "Minors", "Normalize",
// "Pseudet", "Redrowech", "Rowreduce", "Smith"), "FFLU"/"FFLUC", "Chpoly",
// "Iszero", "LCM", "Poly", "Reverse", "STrans", "Sort" and the set
// operations "Synth". They read their arguments, check them, call the elimination
// engine and create the named output arrays.
//
// The engines are reached through a table of function pointers, so that a
// test can put a recording fake behind each signature; the table starts out
// holding the real engines (or their stand-ins while they are missing).
#pragma once

#include <cstdint>

#include "arrays/builtin_dispatch.h"
#include "core/records.h"
#include "numbers/work_arrays.h"

namespace tavrin {

// ---- Engines ------------------------------------------------------------------------------
// Column reduction over the rationals (pseudet: the pseudo-determinant form,
// k the cut).
void colreduce(quolyptr n, arrptr q, const bool* want, workptr w1, workptr w2, workptr w3,
               workptr w4, sparseptr* auxspar, bool pseudet, std::int32_t k);
void normalize(quolyptr n, arrptr q, const bool* want, workptr w1, workptr w2, workptr w3,
               workptr w4);
void red_row_ech(quolyptr n, arrptr q, const bool* want, workptr w1, workptr w2,
                 sparseptr* auxspar);
void sparse_rowreduce(quolyptr n, arrptr q, bool flag, const bool* want, workptr w1,
                      sparseptr* auxspar, std::int32_t k);
void fract_free_lu(bool colsok, quolyptr n, arrptr q, const bool* want, workptr w1, workptr w2,
                   workptr w3, workptr w4, workptr w5, workptr w6);
// The sparse array named *name made of the rows listed in r and the columns
// listed in c (dense arrays of indices in the user's origin) of the sparse
// array a, in a's order; star: the values move and the selected entries of
// a become 1. *n := the number of rows. Errors 328-332.
void minors(arrptr a, arrptr r, arrptr c, const tokentipe* name, bool star, quolyptr n);
// *n := a pseudo-determinant of the sparse matrix q (the modulus of
// "MSmith"): twice |product of the pivots| of a pseudo-determinant column
// reduction of a copy. Error 122 for a dense q.
void new_pseudo(quolyptr n, arrptr q);

// The characteristic polynomial of the sparse rows x rows matrix spar by
// the sparse method (n the result).
void sparse_chpoly(quolyptr n, sparseptr spar, std::int32_t rows);
// *w := the i-th Lagrange basis polynomial of the points 1 .. m in the top
// variable (beyond the rows of the table pol).
void compute_char_poly(std::int32_t m, std::int32_t i, quolyptr w);

// The least common multiple of the denominators of the selected entries
// (uninitialised dense cells become 0 with the warning).
void findlcm(quolyptr n, sparseptr spar, std::int32_t start, std::int32_t total_rows,
             std::int32_t target_rows, std::int32_t cols);
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

// mincutoff := the cut-off of the partial integer elimination of the
// integer determinant for a matrix of r rows (det/int_determ.cpp).
void set_min_cut(std::int32_t r);
// The built-in "Chpoly" (index 3).
void chpoly_builtin(builtin_func1_EnvRec* env);

// Chpoly's last step: the characteristic polynomial det(a - xI) of an r x r
// matrix with trace t from c0 = det(a) and d[i] = det(a - iI), i = 1 .. r - 2
// (basis(m, i, w) gives the Lagrange basis polynomials of the points
// 1 .. m). *n := the polynomial; the values are kept.
void combine_char_poly(quolyptr n, std::int32_t r, quoly t, quoly c0, const quoly* d,
                       void (*basis)(std::int32_t, std::int32_t, quolyptr));

// ---- The engine table ---------------------------------------------------------------------
struct MatrixEngines {
  void (*colreduce)(quolyptr, arrptr, const bool*, workptr, workptr, workptr, workptr,
                    sparseptr*, bool, std::int32_t);
  void (*intcolred)(quolyptr, arrptr, const bool*, workptr, workptr, workptr, workptr,
                    sparseptr*, bool, imptr);
  void (*intnormal)(quolyptr, arrptr, const bool*, workptr, workptr, workptr, workptr, bool,
                    imptr, sparseptr*, std::int32_t);
  void (*normalize)(quolyptr, arrptr, const bool*, workptr, workptr, workptr, workptr);
  void (*red_row_ech)(quolyptr, arrptr, const bool*, workptr, workptr, sparseptr*);
  void (*sparse_rowreduce)(quolyptr, arrptr, bool, const bool*, workptr, sparseptr*,
                           std::int32_t);
  void (*fract_free_lu)(bool, quolyptr, arrptr, const bool*, workptr, workptr, workptr, workptr,
                        workptr, workptr);
  void (*minors)(arrptr, arrptr, arrptr, const tokentipe*, bool, quolyptr);
  void (*new_pseudo)(quolyptr, arrptr);
  void (*sparse_chpoly)(quolyptr, sparseptr, std::int32_t);
};
extern MatrixEngines matrix_engines;

// The built-in of the given index when it is one of this file's; false
// (nothing read) otherwise.
bool matrix_builtin(builtin_func1_EnvRec* env, std::int32_t index);

}  // namespace tavrin
