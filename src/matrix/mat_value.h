// The value of a matrix expression, carried through every level of the
// matrix-expression evaluator (matrix_expressions.h).
//
// A value is one of:
//   - a scalar: the entry count (facts.arrsize) is 0 and the value is in n;
//   - a dense matrix: R rows, K columns in the work array arr, entry (r, k)
//     from 0 in cell k*R + r; spar is nil;
//   - a sparse matrix: the frame chain spar (arrays/sparse_store.h) of R rows.
// facts holds R*K (as a big integer) and R, and describes only what the
// value holds (0 entries: a scalar). expect_r and expect_c are the size the
// caller expects (a target's size; 0 when none), with which the forms that
// need a size ("Rand", empty sparse brackets) are read.
//
// Ownership (one rule for every routine):
//   - borrowed (arr_free false): the cells of arr hold a stored array's own
//     values, or spar is a stored array's own frames. A borrowed value is
//     never changed or freed: every operation on it builds new values.
//   - owned (arr_free true): the entries belong to the value; operations
//     change them in place and release() frees them.
//   Every operation leaves its result owned; a borrowed value exists only
//   right after an array name (or the system array's cells) was read.
// The work array is the caller's: it is taken from the pool through a
// WorkArrayGuard declared before the MatValue, so the value's entries are
// released before the array goes back (strictly last in, first out), on
// every exit, errors included.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "numbers/work_arrays.h"

namespace tavrin {

struct MatValue {
  quoly n = nullptr;          // the scalar cell
  workptr arr = nullptr;      // dense entries (the caller's work array)
  arr_descr facts{};          // entry count (0: a scalar) and rows
  bool arr_free = true;       // the entries are owned
  sparseptr spar = nullptr;   // nil: dense
  std::int32_t expect_r = 0;  // the size the caller expects
  std::int32_t expect_c = 0;

  explicit MatValue(workptr a) : arr(a) {}
  ~MatValue();
  MatValue(const MatValue&) = delete;
  MatValue& operator=(const MatValue&) = delete;

  bool is_scalar() const { return facts.rows == 0; }
  bool is_sparse() const { return spar != nullptr; }
  // R*K (0 for a scalar); sparse counts may exceed 2^31.
  std::int64_t count() const;
  std::int32_t cols() const;
  std::int32_t rows() const { return is_scalar() ? 0 : facts.rows; }
  // The shape := r rows, c columns (both >= 1).
  void set_shape(std::int32_t r, std::int32_t c);
  // The shape := a scalar (the entries are not touched).
  void set_scalar();
  // Frees the entries when owned (dense cells, sparse frames and values),
  // forgets borrowed ones; the value becomes the scalar in n.
  void release();
  // The value gives up its entries without freeing them (they were moved
  // or freed by the caller): a scalar, dense, owned.
  void forget();
  // A borrowed matrix is replaced by an owned copy; owned stays as it is.
  void make_owned();
  // The value enters a matrix computation: in modular arithmetic its
  // stored integers outside the residues (counts, positions) are read as
  // their images, in an owned copy when the value is borrowed.
  void settle_integers();
  // The scalar cell: its value freed, the cell nil.
  void clear_scalar();
};

// Open matrix expressions (a depth count: a variable may not be deleted
// while one is open, since borrowed cells may point at its array).
extern std::int32_t cancelflag;

}  // namespace tavrin
