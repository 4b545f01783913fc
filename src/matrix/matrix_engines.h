// The elimination engines behind the matrix built-ins (matrix_builtins.h):
// column and row reductions, the reduced row echelon form, the
// fraction-free LU, the sparse characteristic polynomial, minors of sparse
// arrays, the pseudo-determinant and the common denominator of a block.
//
// The built-ins reach the engines through the table matrix_engines, so that
// a test can put a recording fake behind each signature; the table starts
// out holding the real engines.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "numbers/work_arrays.h"
#include "matrix/leverrier.h"
#include "matrix/row_echelon.h"

namespace tavrin {

// The engines of row_echelon.h and leverrier.h are declared there; minors
// and new_pseudo here.

// The sparse array named *name made of the rows listed in r and the columns
// listed in c (dense arrays of indices in the user's origin) of the sparse
// array a, in a's order; star: the values move and the selected entries of
// a become 1. *n := the number of rows. Errors 328-332.
void minors(arrptr a, arrptr r, arrptr c, const tokentipe* name, bool star, quolyptr n);
// *n := a pseudo-determinant of the sparse matrix q (the modulus of
// "MSmith"): twice |product of the pivots| of a pseudo-determinant column
// reduction of a copy. Error 122 for a dense q.
void new_pseudo(quolyptr n, arrptr q);

// The engine table.
struct MatrixEngines {
  void (*colreduce)(quolyptr, arrptr, const bool*, workptr, workptr, workptr, workptr, sparseptr*,
                    bool, std::int32_t);
  void (*intcolred)(quolyptr, arrptr, const bool*, workptr, workptr, workptr, workptr, sparseptr*,
                    bool, imptr);
  void (*intnormal)(quolyptr, arrptr, const bool*, workptr, workptr, workptr, workptr, bool, imptr,
                    sparseptr*, std::int32_t);
  void (*normalize)(quolyptr, arrptr, const bool*, workptr, workptr, workptr, workptr);
  void (*red_row_ech)(quolyptr, arrptr, const bool*, workptr, workptr, sparseptr*);
  void (*sparse_rowreduce)(quolyptr, arrptr, bool, const bool*, workptr, sparseptr*, std::int32_t);
  void (*fract_free_lu)(bool, quolyptr, arrptr, const bool*, workptr, workptr, workptr, workptr,
                        workptr, workptr);
  void (*minors)(arrptr, arrptr, arrptr, const tokentipe*, bool, quolyptr);
  void (*new_pseudo)(quolyptr, arrptr);
  void (*sparse_chpoly)(quolyptr, sparseptr, std::int32_t);
};
extern MatrixEngines matrix_engines;

}  // namespace tavrin
