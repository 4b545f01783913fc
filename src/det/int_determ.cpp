// Integer determinants from word-prime images (see int_determ.h).
#include "det/int_determ.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "arrays/array_store.h"
#include "arrays/det_upcalls.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "core/trace_level.h"
#include "det/dense_gauss.h"
#include "det/int_images.h"
#include "det/int_routes.h"
#include "arrays/sparse_store.h"
#include "numbers/bigint.h"
#include "numbers/freelists.h"
#include "numbers/garner.h"
#include "numbers/limb_array_impl.h"
#include "numbers/node_handles.h"
#include "poly/poly_measures.h"
#include "toplevel/state.h"

namespace tavrin {

std::int32_t last_prime_count = 0;
bool force_integer_route = false;

namespace {

// The small-matrix factors of sides 1..13.
constexpr double small_arr[14] = {0, 100000, 100, 80, 60, 44, 28, 20, 15, 15, 15, 11, 5, 1};

bool is_zero_entry(quoly c) {
  return c == nullptr || (c->ncoef->size == 1 && c->ncoef->head->value == 0);
}

}  // namespace

void set_min_cut(std::int32_t rows) {
  if (rows < 6)
    mincutoff = 1000000;
  else if (rows <= 8)
    mincutoff = rows - 4;
  else if (rows <= 13)
    mincutoff = rows - 3;
  else if (rows <= 15)
    mincutoff = 5;
  else
    mincutoff = 6;
}

double fsmallsize(std::int32_t r) {
  if (r <= 13) return r >= 1 ? small_arr[r] : small_arr[1];
  if (r <= 18) return (26.0 - 2.0 * r) / 15.0 + 1.0;
  if (r <= 23) return (126.0 - 7.0 * r) / 150.0 + 0.333333;
  return 0.0;
}

namespace images {

namespace {

// The sums of find_pseudo, one line (a column, or a sparse row) at a time.
class PseudoSums {
 public:
  explicit PseudoSums(std::int32_t* size) : size_(size) { *size_ = 0; }
  void entry(quoly c) {
    if (is_zero_entry(c)) return;
    const std::int32_t s = size_of(c->ncoef->head->value, c->ncoef->size);
    *size_ += s;
    if (s > top_) top_ = s;
    ++k_;
  }
  void end_line() {
    bits_ += 1 + top_;
    logsum_ += 1 + (k_ == 0 ? -1 : size_of(k_, 1));
    top_ = -1;
    k_ = 0;
  }
  void finish(imptr pseudodet, bool* small_one, std::int32_t rows, std::int32_t cols,
              bool smith, bool boost) const {
    const std::int32_t m = rows > cols ? rows : cols;
    if (!smith)
      *small_one = *size_ < static_cast<std::int64_t>(smallsize) * m * m;
    else
      *small_one = static_cast<double>(*size_) < static_cast<double>(m) * m * fsmallsize(m);
    std::int64_t e = bits_ + (logsum_ + 1) / 2;
    if (boost && e % limb_bits != 0) e += limb_bits - e % limb_bits;
    set_power_of_two(pseudodet, e);
  }

 private:
  std::int32_t* size_;
  std::int64_t bits_ = 0, logsum_ = 0;
  std::int32_t top_ = -1, k_ = 0;
};

}  // namespace

void find_pseudo_cells(const std::vector<quoly>& cells, imptr pseudodet, bool* small_one,
                       std::int32_t rows, std::int32_t cols, std::int32_t* size, bool smith,
                       bool boost) {
  PseudoSums sums(size);
  for (std::int32_t i = 0; i < cols; ++i) {
    for (std::int32_t r = 0; r < rows; ++r) sums.entry(cells[static_cast<std::size_t>(i) * rows + r]);
    sums.end_line();
  }
  sums.finish(pseudodet, small_one, rows, cols, smith, boost);
}

}  // namespace images

void sp_find_pseudo(sparseptr sp, imptr pseudodet, bool* small_one, std::int32_t rows,
                    std::int32_t cols, std::int32_t* size, bool smith, bool boost) {
  images::PseudoSums sums(size);
  sparseptr frame = sp;
  for (std::int32_t r = 1; r <= rows && frame != nullptr; ++r) {
    const std::int32_t slot = (r - 1) % sparse_frame_rows;
    for (colm_ptr c = frame->indx[slot]; c != nullptr; c = c->next)
      if (!sparse_val_iszero(c->val)) sums.entry(c->val);
    sums.end_line();
    if (slot == sparse_frame_rows - 1) frame = frame->next;
  }
  sums.finish(pseudodet, small_one, rows, cols, smith, boost);
}

void find_pseudo(arrptr q, workptr beta, imptr pseudodet, bool* small_one, std::int32_t rows,
                 std::int32_t cols, std::int32_t* size, bool smith, bool boost) {
  if (q != nullptr && q->spar != nullptr) {
    sp_find_pseudo(q->spar, pseudodet, small_one, rows, cols, size, smith, boost);
    return;
  }
  images::find_pseudo_cells(images::cells_of(q, beta, rows * cols), pseudodet, small_one, rows,
                            cols, size, smith, boost);
}

void do_mod_prime(std::int32_t rows, std::int32_t k, workptr beta, quoly m) {
  if (k > 5) need_data_file(data_file::pprods);
  m->ncoef->lint = static_cast<std::int32_t>(images::residue_image(
      images::cells_of(nullptr, beta, rows * rows), rows,
      static_cast<std::uint32_t>(prime[k]->lint)));
}

void small_mod_determ(std::int32_t rows, quolyptr n, workptr beta, imptr pseudodet,
                      bool* succeed) {
  need_data_file(data_file::pprods);
  const std::int32_t L = pseudodet->size;
  std::int32_t k = std::max(L * 7 / 4 + 4, 6);
  while (k <= prime_count && num_prod[k - 6].size < L) ++k;
  while (k <= prime_count && num_prod[k - 6].size == L &&
         num_prod[k - 6].head->value < pseudodet->head->value)
    ++k;
  if (k > prime_count) {
    *succeed = false;
    return;
  }
  *succeed = true;
  BigModeGuard big;
  const std::int32_t np = k - 5;
  TraceLevel trace(np);
  if (verbose) dumpitt("CRT. number of primes needed is ", np, true, true, true);
  // Garner's digits: d[t] < prime[6 + t], det = sum d[t] prime[6] .. prime[5 + t] mod M.
  Garner garner;
  std::vector<std::uint32_t> d(static_cast<std::size_t>(np));
  detail::OwnedValue image(detail::new_number_value(nullptr));
  newimag(&image.q->ncoef);
  for (std::int32_t t = 0; t < np; ++t) {
    garner.add_prime(static_cast<std::uint32_t>(prime[6 + t]->lint));
    if (verbose) dumpitt(" ", t + 1, false, false, true);
    do_mod_prime(rows, 6 + t, beta, image.q);
    const auto at = static_cast<std::size_t>(t);
    d[at] = garner.digit(at, garner.field(at).of(image.q->ncoef->lint), d.data());
  }
  // The value in [0, M) or, by its parity (M is odd), the one in (-M, 0).
  ZInt A = garner.value(d.data());
  const std::uint32_t parity =
      images::residue_image(images::cells_of(nullptr, beta, rows * rows), rows, 2);
  if (A.mod_word(2) != parity) A -= garner.modulus();
  free_quoly(n);
  *n = detail::new_number_value(A.to_number());
}

namespace {

// int_determ on the cells (column by column, nil for 0) of q, or of a
// matrix that has no array (q nil).
void cells_determ(quolyptr n, arrptr q, const std::vector<quoly>& cells, std::int32_t rows,
                  quolyptr pseudodet) {
  set_min_cut(rows);
  bool small_one = false;
  std::int32_t size = 0;
  // The bound, given back on every exit unless handed to the caller.
  detail::OwnedNumber bound;
  imptr pd = bound.get();
  pd->size = 0;
  images::find_pseudo_cells(cells, pd, &small_one, rows, rows, &size, false, false);
  // A bound of the caller's (positive) replaces the computed one.
  if (pseudodet != nullptr && *pseudodet != nullptr && (*pseudodet)->numb && (*pseudodet)->ncoef->size > 0 &&
      (*pseudodet)->ncoef->head->value > 0)
    images::assign_number((*pseudodet)->ncoef, pd);
  // A small light matrix with a huge bound of the caller's: exact
  // elimination of the first pivots, the rest through the router. The
  // images cover every other bound; the integer elimination only on request.
  const bool plain = std::int64_t{rows} * rows <= 301 && size <= sizeval && pd->size > 599;
  imptr d = nullptr;
  if (plain || force_integer_route) {
    const std::int32_t cut = plain ? std::min(mincutoff, rows - 1) : rows - 1;
    d = images::triangular_determ(q, cells, rows, pd, cut, !plain);
  } else {
    d = images::crt_determ(cells, rows, pd);
  }
  if (d != nullptr) {
    free_quoly(n);
    *n = detail::new_number_value(d);
  }
  if (pseudodet != nullptr) {
    free_quoly(pseudodet);
    *pseudodet = detail::new_number_value(bound.release());
  }
}

}  // namespace

void int_determ(quolyptr n, arrptr q, workptr beta, std::int32_t rows, quolyptr pseudodet) {
  cells_determ(n, q, images::cells_of(q, beta, rows * rows), rows, pseudodet);
}

void sparse_int_determ(quolyptr n, sparseptr sp, std::int32_t rows) {
  std::vector<quoly> cells(static_cast<std::size_t>(rows) * static_cast<std::size_t>(rows), nullptr);
  for (std::int32_t r = 1; r <= rows; ++r)
    for (colm_ptr e = *sparse_row(sp, r); e != nullptr; e = e->next)
      cells[static_cast<std::size_t>(e->coord - 1) * static_cast<std::size_t>(rows) + static_cast<std::size_t>(r - 1)] =
          e->val;
  cells_determ(n, nullptr, cells, rows, nullptr);
}

}  // namespace tavrin
