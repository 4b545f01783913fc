// The integer determinant by unimodular triangularisation (see
// int_routes.h). The elimination works on cells of the named-array store,
// so a matrix given only as a work array is copied into the temporary array
// "Fast_Det" for the run.
//
// With the residue check the entries are reduced modulo pd = 2^(28 e) above
// twice the Hadamard bound, so the diagonal product gives det modulo pd
// only; det is that residue D in [0, pd) or D - pd, and the two differ
// modulo the odd prime p6 = prime[6], whose image decides.
#include <cstdint>
#include <vector>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/bigint.h"
#include "numbers/bigint_divide.h"
#include "numbers/bigint_multiply.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "numbers/work_arrays.h"
#include "poly/poly_repr.h"
#include "gcd/gcd_upcalls.h"
#include "toplevel/state.h"
#include "arrays/array_store.h"
#include "matrix/int_images.h"
#include "matrix/normal_forms.h"
#include "matrix/residue_elimination.h"
#include "det/dense_gauss.h"
#include "det/int_determ.h"
#include "det/int_routes.h"
#include "det/router.h"

namespace tavrin::images {

namespace {

// The temporary named array, made as a declaration makes one (errors 27,
// 43, 26 with its name, nothing made then) and removed on every exit: cells
// freed, record unlinked and put on the free list, the store's end lowered
// (nothing makes arrays while it lives, so it is the newest).
class FastDet {
 public:
  FastDet() = default;
  ~FastDet() {
    if (a_ == nullptr) return;
    for (std::int32_t k = a_->start; k <= a_->stop; ++k) free_quoly(arp_cell(k));
    for (arrptr* link = &arr_store[array_bucket(&a_->name)]; *link != nullptr;
         link = &(*link)->next)
      if (*link == a_) {
        *link = a_->next;
        break;
      }
    if (a_->stop == endarr) endarr = a_->start - 1;
    free_array_record(a_);
  }
  FastDet(const FastDet&) = delete;
  FastDet& operator=(const FastDet&) = delete;

  arrptr make(const std::vector<quoly>& cells, std::int32_t rows) {
    const tokentipe tok = unstored_token("Fast_Det");
    const std::int64_t count = std::int64_t{rows} * rows;
    if (rows < 1) abandon(subscript_dimension_out_range_error, &tok);
    if (count > max_dense_entries) abandon(array_too_large_more_than_1000000_error, &tok);
    if (endarr + count > last_cell_index) abandon(array_store_full_too_many_dense_error, &tok);
    insertarr(&tok, rows, rows, false);
    a_ = find_array(&tok);
    for (std::int64_t k = 0; k < count; ++k) {
      quolyptr c = arp_cell(a_->start + static_cast<std::int32_t>(k));
      const quoly v = cells[static_cast<std::size_t>(k)];
      if (v == nullptr)
        quoly_set(0, c);
      else
        quoly_assign(v, c);
    }
    return a_;
  }

 private:
  arrptr a_ = nullptr;
};

// The trailing block's cells, owned by the work array and freed on exit.
struct BlockCells {
  workptr w;
  std::int64_t n;
  ~BlockCells() {
    for (std::int64_t k = 0; k < n; ++k) free_quoly(&w->stash[k]);
  }
};

imptr fresh_number(std::int32_t v) {
  nodes::ScratchNumber x;
  x.get()->imag = nullptr;
  setvalue(v, x.get());
  return x.release();
}

}  // namespace

std::uint32_t residue_image(const std::vector<quoly>& cells, std::int32_t rows, std::uint32_t p) {
  if (rows < 1) return 1 % p;
  const Residues res(cells, rows);
  std::vector<std::uint32_t> store(static_cast<std::size_t>(rows) * rows);
  ModulusGuard guard;
  set_word_modulus(static_cast<std::int32_t>(p), true);
  res.take(p, store.data());
  return static_cast<std::uint32_t>(residue_determ(store.data(), rows, 1));
}

imptr triangular_determ(arrptr q, const std::vector<quoly>& cells, std::int32_t rows, imptr pd,
                        std::int32_t cut, bool check) {
  if (rows < 1) return fresh_number(1);
  need_data_file(data_file::pprods);  // prime[6]
  BigModeGuard big;
  FastDet fast;
  const arrptr a = q != nullptr ? q : fast.make(cells, rows);
  const auto p6 = static_cast<std::uint32_t>(prime[6]->lint);
  std::uint32_t r = 0;
  if (check) {
    // Both read the entries before the elimination changes them.
    r = residue_image(cells, rows, p6);
    bool small_one = false;
    std::int32_t size = 0;
    find_pseudo_cells(cells, pd, &small_one, rows, rows, &size, false, true);
  }
  const std::int32_t planned = cut;
  bool flipped = false;
  phaseone(nullptr, nullptr, nullptr, nullptr, nullptr, &cut, rows, rows, 0, a->start, a->stop,
           &flipped, true, check, false, pd, pd);
  if (cut != planned) return fresh_number(0);
  nodes::ScratchNumber prod;
  imptr D = prod.get();
  D->imag = nullptr;
  setvalue(1, D);
  for (std::int32_t i = 0; i <= cut; ++i)
    fast_mult(D, (*arp_cell(a->start + i + i * rows))->ncoef, D);
  if (check) {
    nodes::ScratchNumber quot;
    divide(D, pd, quot.get(), D);
    if (D->head->value < 0) fastsum(D, pd);
    if (flipped) {
      fastdiff(D, pd);
      in_place_neg(D);
    }
    if (residue(D, p6) != r) fastdiff(D, pd);
  } else if (flipped) {
    in_place_neg(D);
  }
  if (cut < rows - 1) {
    // The trailing block, copied into a work array of our own, through the
    // router.
    const std::int32_t k = rows - cut - 1;
    const tokentipe tok = unstored_token("Fast_Det");
    WorkArrayGuard work(&tok);
    if (!work.taken()) return nullptr;
    workptr w = work.get();
    BlockCells block{w, 0};
    for (std::int32_t j = 0; j < k; ++j)
      for (std::int32_t i = 0; i < k; ++i) {
        quoly* c = &w->stash[std::int64_t{j} * k + i];
        *c = nullptr;
        ++block.n;
        quoly_assign(*arp_cell(a->start + (cut + 1 + i) + (cut + 1 + j) * rows), c);
      }
    nodes::OwnedValue t;
    quoly_set(1, t.cell());
    mat_invert(w, w, k, t.cell(), nullptr, nullptr, -1, -1, -1, 0, {.equal = true});
    fast_mult(D, t.q->ncoef, D);
  }
  return prod.release();
}

}  // namespace tavrin::images
