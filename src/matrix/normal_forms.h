// Integer Hermite and Smith normal forms, with the unimodular transforms.
//
// The matrix holds integers. Dense: a named array of the paged store, entry
// (r, c), both from 0, in cell start + r + c*rows (columns contiguous).
// Sparse: the store of arrays/sparse_store.h, rows and columns from 1.
//
// Transforms. want[0..3] ask for alpha (rows x rows, left), beta (cols x
// cols, right), alphinv = alpha^-1 and betinv = beta^-1 (want[4], want[5]
// are not read). Dense: work arrays in column-major order; sparse:
// auxspar[0..3] in the same order. Each starts as the identity and every
// operation on the matrix is mirrored so that alpha * A * beta is always the
// current matrix:
//   row t -= f*row p       alpha: the same;   alphinv: column p += f*column t
//   column t -= f*column p beta: the same;    betinv: row p += f*row t
//   rows i, p exchanged    alpha: rows;       alphinv: columns
//   columns i, p exchanged beta: columns;     betinv: rows
//   column i negated       beta: column i;    betinv: row i
// Transforms are not unique; these rules fix which ones users get.
//
// Pseudo-determinant. With wantmod every entry a reduction produces is
// reduced modulo pd (truncated remainder), and with wanthalf then moved into
// the symmetric range by h = pd div 2 (reduce_it of row_ops.h); alpha*A*beta
// then equals the matrix only modulo pd.
//
// Result codes: the pivot searches answer 0 (nothing left), -1 (a unit) or
// 1; a reduction answers *val2 = 0 (nothing smaller than the pivot), 1 (a
// smaller entry at (*j2, *k2)) or -1 (that entry is +-1).
#pragma once

#include <climits>
#include <cstdint>

#include "core/records.h"

namespace tavrin {

// The entry budget of the Euclidean eliminations. While one is open, every
// entry a reduction, a phase-two step or a transform update makes in the
// elimination routines below is compared with it, and one of more than
// `limbs` limbs throws EntryBudget::exceeded (left half-done: the driver
// that opened the budget restores the matrix). None open: no limit.
class EntryBudget {
 public:
  struct exceeded {};
  explicit EntryBudget(std::int32_t limbs) : saved_(limit_) { limit_ = limbs; }
  ~EntryBudget() { limit_ = saved_; }
  EntryBudget(const EntryBudget&) = delete;
  EntryBudget& operator=(const EntryBudget&) = delete;
  // reads: the open budget
  static void check(imptr x) {
    if (x->size > limit_) throw exceeded{};
  }
  static bool open() { return limit_ != unlimited; }
  static std::int32_t limit() { return limit_; }

 private:
  static constexpr std::int32_t unlimited = INT32_MAX;
  static inline std::int32_t limit_ = unlimited;
  std::int32_t saved_;
};

// The optional transforms of a dense elimination and the mirroring rules
// above; an operation on a transform not wanted is skipped.
struct DenseTransforms {
  const bool* want;
  workptr alpha, beta, alphinv, betinv;
  std::int32_t rows, cols;
  void row_sub(std::int32_t t, std::int32_t p, imptr f) const;  // row t -= f*row p
  void col_sub(std::int32_t t, std::int32_t p, imptr f) const;  // column t -= f*column p
  void swap_rows(std::int32_t i, std::int32_t p) const;
  void swap_cols(std::int32_t i, std::int32_t p) const;
  void neg_col(std::int32_t i) const;
  // Each wanted transform := the identity of its size.
  void start_identities() const;
};

// Column j -= f * column k of the named array in rows k..rows-1
// (int_col_manip; the column's entries checked against the budget),
// mirrored on the transforms: the one place a column operation of the
// normal forms reaches the matrix and the transforms together.
void apply_col_sub(const DenseTransforms& tx, std::int32_t start, std::int32_t rows, std::int32_t j,
                   std::int32_t k, imptr f);

// Row t -= factor * row j over columns i.. (cells up to stop); factor :=
// entry (t, k) div entry (j, k) (0 when entry (t, k) is 0: nothing done).
void int_rowreduce(std::int32_t start, std::int32_t i, std::int32_t j, std::int32_t k,
                   std::int32_t t, std::int32_t rows, std::int32_t stop, std::int32_t* j2,
                   std::int32_t* k2, std::int32_t* val2, bool wantsmallest, imptr factor,
                   bool wantmod, bool wanthalf, imptr pseudodet, imptr halfpseudo);
// Column t -= factor * column k over rows i..rows-1; factor := entry (j, t)
// div entry (j, k).
void int_colreduce(std::int32_t start, std::int32_t i, std::int32_t j, std::int32_t k,
                   std::int32_t t, std::int32_t rows, std::int32_t* j2, std::int32_t* k2,
                   std::int32_t* val2, bool wantsmallest, imptr factor, bool wantmod, bool wanthalf,
                   imptr pseudodet, imptr halfpseudo);
// The same when column k is zero below row i but for the pivot: only entry
// (j, t) changes (to its remainder); no modular reduction.
void fast_colreduce(std::int32_t start, std::int32_t j, std::int32_t k, std::int32_t t,
                    std::int32_t rows, std::int32_t* j2, std::int32_t* k2, std::int32_t* val2,
                    imptr factor);

// The last step of the Smith form modulo pd: the diagonal entry d := gcd(d,
// pd), the invariant factor of the form over the integers modulo pd, with
// pd itself (an invariant factor pd divides) made 0; false when d ends 0.
// Whatever unit modulo pd the elimination left on an entry, the gcd takes
// it off; for pd a proper multiple of the last non-zero invariant factor
// (the pseudo-determinant MSmith computes) d is then that factor exactly,
// and 0 marks the factors beyond the rank.
bool modular_invariant(imptr d, imptr pseudodet);

// *h := the quotient of d by 2, the half of the pseudo-determinant that the
// reductions modulo it take. d: kept; *h: overwritten
void halve_pseudodet(imptr d, imptr h);

// After a reduction of an elimination step (dense or sparse): when it left a
// smaller entry at (j2, k2) (val2 1, or -1 for a unit; 0: none), the pivot
// (*pr, *pc) moves there and the step restarts (true); a unit asks for the
// clearing pass (*code := -1) when unit_clears.
inline bool take_smaller_pivot(std::int32_t j2, std::int32_t k2, std::int32_t val2,
                               bool unit_clears, std::int32_t* pr, std::int32_t* pc,
                               std::int32_t* code) {
  if (val2 == 0) return false;
  *pr = j2;
  *pc = k2;
  if (unit_clears && val2 == -1) *code = -1;
  return true;
}

// Integer elimination of the dense matrix in cells start..stop, steps init
// to *min: each moves a pivot to (i, i), makes it positive and clears row i
// right of it by column operations; with wantrows also column i below it by
// row operations (diagonal result). *min := i - 1 when step i finds the rest
// zero. *flipped is toggled at every exchange and pivot negation, so that
// with wantrows and without wantmod (-1)^flipped times the diagonal product
// is the determinant of a square matrix. Transforms untouched when no
// want[0..3] is set (the integer determinant's use).
void phaseone(const bool* want, workptr alpha, workptr beta, workptr alphinv, workptr betinv,
              std::int32_t* min, std::int32_t rows, std::int32_t cols, std::int32_t init,
              std::int32_t start, std::int32_t stop, bool* flipped, bool wantrows, bool wantmod,
              bool wanthalf, imptr pseudodet, imptr halfpseudo);

// The divisibility step of the Smith form at diagonal position i of a
// diagonal matrix whose last non-zero diagonal entry is in cell stop.
void phasetwo(const bool* want, workptr alpha, workptr beta, workptr alphinv, workptr betinv,
              std::int32_t* min, std::int32_t rows, std::int32_t cols, std::int32_t i,
              std::int32_t start, std::int32_t stop);

// Hermite phase two: entries left of each of the first rank pivots reduced
// into [0, pivot) by column operations (dense); sparse: rows 1..rank, a
// negative entry kept in (-pivot, 0] unless wantmod.
void hermite_two(const bool* want, workptr beta, workptr betinv, std::int32_t rank,
                 std::int32_t rows, std::int32_t cols, std::int32_t start, bool wantmod);
void sp_hermite_two(const bool* want, sparseptr* auxspar, std::int32_t rank, std::int32_t rows,
                    std::int32_t cols, sparseptr spar, bool wantmod);

// Hermite normal form of q in place (lower triangular, positive pivots);
// *n := the rank. auxspar serves a sparse q, the work arrays a dense one.
// A sparse q of more than 50,000 rows: error 375, nothing changed.
void intcolred(quolyptr n, arrptr q, const bool* want, workptr alpha, workptr beta, workptr alphinv,
               workptr betinv, sparseptr* auxspar, bool wantmod, imptr pseudodet);

// Smith normal form of q in place (positive diagonal, each entry dividing
// the next); *n := the rank. index 42 adds the pseudo-determinant size to
// the verbose banner.
void intnormal(quolyptr n, arrptr q, const bool* want, workptr alpha, workptr beta, workptr alphinv,
               workptr betinv, bool wantmod, imptr pseudodet, sparseptr* auxspar,
               std::int32_t index);

// The Smith form of a dense nonsingular square integer matrix q (no
// transforms, no modulus) by elimination modulo |det q|, the determinant
// from its fast exact route; *n := the rank. False, with nothing changed,
// when q is not square or that route gives no non-zero determinant.
bool smith_by_determinant(quolyptr n, arrptr q);

// ---- Sparse elimination (rows and columns from 1) -------------------------------------------
// The drivers' sparse forms (q->spar set), reached through intcolred and
// intnormal.
void sparse_intcolred(quolyptr n, arrptr q, const bool* want, sparseptr* auxspar, bool wantmod,
                      imptr pseudodet, std::int32_t rows, std::int32_t cols);
void sparse_intnormal(quolyptr n, arrptr q, const bool* want, sparseptr* auxspar, bool wantmod,
                      imptr pseudodet, std::int32_t index, std::int32_t rows, std::int32_t cols);
// As phaseone on the sparse matrix whose first frame is spar; transforms
// auxspar[0..3]. The multiplier passed to the sparse additions is the
// negated quotient.
void sparse_phaseone(const bool* want, sparseptr* auxspar, std::int32_t* min, std::int32_t rows,
                     std::int32_t cols, std::int32_t init, sparseptr spar, bool* flipped,
                     bool wantrows, bool wantmod, bool wanthalf, imptr pseudodet, imptr halfpseudo);
// The Smith step at diagonal position i; rows: the rank, oldrows: the row
// count. *sp: a frame cursor moved on after positions that are multiples
// of 2048.
void sparse_phasetwo(const bool* want, sparseptr* auxspar, std::int32_t rows, std::int32_t oldrows,
                     std::int32_t cols, std::int32_t i, sparseptr* sp, sparseptr* spar);
// Column tg -= q * column k over rows init..rows (q from the pivot row j);
// *factor := -q. *val2 -2: the pivot is the last entry of its row.
void sparse_int_colred(sparseptr sp, std::int32_t init, std::int32_t j, std::int32_t k,
                       std::int32_t tg, std::int32_t rows, std::int32_t* j2, std::int32_t* k2,
                       std::int32_t* val2, bool wantsmallest, imptr factor, bool wantmod,
                       bool wanthalf, imptr pseudodet, imptr halfpseudo);
// The same when column k holds only the pivot from row init down.
void fast_sparse_colred(sparseptr sp, std::int32_t init, std::int32_t j, std::int32_t k,
                        std::int32_t tg, std::int32_t rows, std::int32_t* j2, std::int32_t* k2,
                        std::int32_t* val2, imptr factor);

}  // namespace tavrin
