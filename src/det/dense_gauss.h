// Dense Gaussian elimination: the general dense determinant and inverse
// method of the router, and the plain kernels other methods build on
// (expansion by minors of a small matrix, elimination determinants of a
// matrix of word residues and of a matrix of long doubles).
//
// Matrices are work arrays of order m in the column-by-column layout: entry
// (r, c), both from 0, is cell c*m + r.
//
// Pivot choice: number entries beat every other value. Among numbers the
// largest magnitude wins in floating mode and the fewest limbs otherwise
// (word residues all count alike); among other values the least quoly_mass.
// The first found among equals is kept (columns left to right, each from
// the top down). Results never depend on the choice.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "det/method_services.h"

namespace tavrin {

// The router's general dense method. Determinant (invert false): multiplies
// det(ar) / fct into *n (1 on entry) and leaves through exitt (a singular
// matrix: *n := 0 and a plain leave, nothing reduced or divided).
// Inverse: fills outar with ar's inverse and returns; a singular matrix is
// error 44 with the token quotsign. The array under elimination is dupptr
// (duparr names it "dup" for an own copy, "outar" otherwise) until the end.
// The GCD cache, the trace level, suspended modding-out and dupptr are
// restored on every exit, an error unwinding included.
// how: the flags of mat_invert (really is not read).
void standard_matrix_invert(quolyptr n, std::int32_t m, poly fct, workptr ar, workptr outar,
                            const InvertFlags& how, mat_invert_EnvRec& env);

// Fraction-free elimination (Gauss-Bareiss) for a determinant: step i
// replaces (r, c) below and right of the pivot p by p*(r, c) - (r, i)*(i, c),
// divided exactly by the previous pivot (trial_divide). Multiplies the
// determinant into *n, divides by fct and leaves through exitt (singular:
// *n := 0, a plain leave). Pivots as in find_good_spot over every remaining
// column. A cross product the previous pivot does not divide is an internal
// fault (" Gauss-Bareiss").
void gauss_Bareiss(quolyptr n, std::int32_t m, workptr ar, bool ar_free, bool invert, poly fct,
                   mat_invert_EnvRec& env, bool equal);

// Pivot search of step i (from 1) over columns i .. i+num_cols-1, rows i..m:
// *newi, *j := the pivot's row and column from 1 (*newi := 0: none; a zero
// column i ends the search at once when m > 1).
void find_good_spot(workptr dup, std::int32_t i, std::int32_t m, std::int32_t num_cols,
                    std::int32_t* newi, std::int32_t* j);

// Divides pivot row i (from 1, columns i+1..m) by its pivot and sets the
// pivot to 1. invert: the division is recorded on *ops; otherwise the pivot
// is multiplied into *n.
void divide_thru(quolyptr n, workptr dup, bool invert, std::int32_t i, std::int32_t m, colptr* ops);

// Clears column i below the unit pivot, recording each elimination on *ops.
// allnumbs: the entries are float numbers, worked on as long doubles.
void zero_out(workptr dup, std::int32_t i, std::int32_t m, bool allnumbs, colptr* ops);

// Applies one recorded row operation as a column operation on the inverse.
// allnumbs: on long doubles.
void restore_rowop(std::int32_t m, workptr outar, colptr q, bool allnumbs);

// *n := the determinant of the s x s matrix of value pointers matrx (column
// by column, side s, 2 <= s <= 40) by expansion by minors along the line
// with the most zeros; the old *n is freed. matrx's cells are read, not
// owned; its order is restored. verb: progress counts.
void small_determ(quolyptr n, quoly* matrx, std::int32_t s, bool verb);

// Residue determinant: the cells of ar are numbers whose lint are residues
// modulo the current prime (or field elements with finf). The determinant is
// multiplied into the residue of *n (a number). ar's residues are not kept.
void mod_determ(workptr ar, std::int32_t m, quolyptr n);

// The same for the m x m sparse matrix sp of number entries whose lint are
// residues (absent entries 0), laid out flat at any side. sp: kept.
void sparse_residue_determ(sparseptr sp, std::int32_t m, quolyptr n);

// The same on the long doubles (flote) of number cells, into *n's flote.
void fl_determ(workptr ar, std::int32_t m, quolyptr n);

}  // namespace tavrin
