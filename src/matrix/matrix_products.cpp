#include "matrix/matrix_products.h"

#include <algorithm>
#include <vector>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/interrupts.h"
#include "numbers/bigint.h"
#include "numbers/bigint_multiply.h"
#include "numbers/bigint_wide.h"
#include "numbers/freelists.h"
#include "numbers/mixed_mode.h"
#include "numbers/node_handles.h"
#include "numbers/word_mod.h"
#include "poly/poly_repr.h"
#include "quoly/quoly_add.h"
#include "quoly/quoly_mult.h"
#include "arrays/sparse_store.h"
#include "matrix/matrix_products_impl.h"
#include "matrix/owned_cells.h"
#include "matrix/sparse_copy.h"

namespace tavrin {

namespace detail {
using nodes::new_number_value;

sum_way choose_sum_way(bool allnumbs) {
  if (!allnumbs) return sum_way::general;
  if (lintmode || (flotemode && integerflag)) return sum_way::word;
  if (!flotemode) return sum_way::bigint;
  return sum_way::general;
}

EntrySum::~EntrySum() {
  free_quoly(&sum_);
  for (imptr* p : {&acc_, &prod_}) {
    if (*p != nullptr) {
      special_free(*p);
      free_imag(p);
    }
  }
}

EntrySum::EntrySum(EntrySum&& o) noexcept
    : way_(o.way_),
      touched_(o.touched_),
      sum_(o.sum_),
      acc_(o.acc_),
      prod_(o.prod_),
      small_(o.small_),
      small_terms_(o.small_terms_),
      fsum_(o.fsum_),
      msum_(o.msum_),
      wsum_(o.wsum_) {
  o.sum_ = nullptr;
  o.acc_ = nullptr;
  o.prod_ = nullptr;
}

void EntrySum::open_big() {
  if (acc_ != nullptr) return;
  newimag(&acc_);
  newimag(&prod_);
  setvalue(0, acc_);
  setvalue(0, prod_);
}

void EntrySum::spill_small() {
  if (small_ != 0) {
    open_big();
    imptr t = new_wide_number(small_);
    fastsum(acc_, t);
    special_free(t);
    free_imag(&t);
  }
  small_ = 0;
  small_terms_ = 0;
}

void EntrySum::add(quoly a, quoly b) {
  if (a == nullptr || b == nullptr) return;
  touched_ = true;
  switch (way_) {
    case sum_way::general: {
      quoly t = nullptr;
      quoly_mult(a, b, &t);
      if (sparse_val_iszero(t)) {
        free_quoly(&t);
      } else if (sum_ == nullptr) {
        sum_ = t;
      } else {
        best_quoly_add(&sum_, t);
      }
      return;
    }
    case sum_way::bigint: {
      std::int64_t x = 0, y = 0;
      if (small_number_value(a->ncoef, &x) && small_number_value(b->ncoef, &y)) {
        small_ += static_cast<__int128>(x) * y;
        if (++small_terms_ == 8192) spill_small();
        return;
      }
      open_big();
      fast_mult(a->ncoef, b->ncoef, prod_);
      if (prod_->head->value != 0) fastsum(acc_, prod_);
      return;
    }
    case sum_way::word:
      if (flotemode) {
        fsum_ += a->ncoef->flote * b->ncoef->flote;
      } else if (finf) {
        wsum_ ^= static_cast<std::uint32_t>(modmult(static_cast<std::uint32_t>(a->ncoef->lint),
                                                    static_cast<std::uint32_t>(b->ncoef->lint)));
      } else if (modularmode) {
        msum_ += static_cast<std::uint64_t>(static_cast<std::uint32_t>(a->ncoef->lint)) *
                 static_cast<std::uint32_t>(b->ncoef->lint);
      } else {
        wsum_ +=
            static_cast<std::uint32_t>(a->ncoef->lint) * static_cast<std::uint32_t>(b->ncoef->lint);
      }
      return;
  }
}

quoly EntrySum::take() {
  touched_ = false;
  quoly r = nullptr;
  switch (way_) {
    case sum_way::general:
      r = sum_;
      sum_ = nullptr;
      if (r != nullptr && sparse_val_iszero(r)) free_quoly(&r);
      break;
    case sum_way::bigint:
      if (acc_ == nullptr) {  // short products only
        if (small_ != 0) r = new_number_value(new_wide_number(small_));
        small_ = 0;
        small_terms_ = 0;
      } else {
        spill_small();
        if (acc_->head->value != 0) {
          quoly_set(0, &r);
          num_assign(acc_, r->ncoef);
          setvalue(0, acc_);
        }
      }
      break;
    case sum_way::word:
      if (flotemode) {
        if (fsum_ != 0) fl_quoly_set(fsum_, &r);
        fsum_ = 0;
      } else {
        std::uint32_t w = wsum_;
        if (modularmode && !finf)
          w = static_cast<std::uint32_t>(msum_ % static_cast<std::uint32_t>(modulus));
        if (w != 0) quoly_set(static_cast<std::int32_t>(w), &r);
        msum_ = 0;
        wsum_ = 0;
      }
      break;
  }
  if (r != nullptr) r->next = nullptr;
  return r;
}

}  // namespace detail

using detail::EntrySum;
using detail::sum_way;

namespace {

bool dense_allnumbs(workptr a, std::int32_t cells) {
  for (std::int32_t k = 0; k < cells; ++k) {
    if (a->stash[k] != nullptr && !a->stash[k]->numb) return false;
  }
  return true;
}

// A value for a result cell: the sum, or a fresh 0.
quoly or_zero(quoly v) {
  if (v == nullptr) {
    quoly_set(0, &v);
    v->next = nullptr;
  }
  return v;
}

// Appends (c, v) at the link *t and moves *t to the new entry's next.
void append_entry(colm_ptrptr* t, std::int32_t c, quoly v) {
  nodes::OwnedValue held(v);  // until the entry holds it
  colm_ptr e = nullptr;
  newcolm(&e);
  e->coord = c;
  e->val = held.release();
  e->next = nullptr;
  **t = e;
  *t = &e->next;
}

// The frames of a chain in order, for direct access to any row.
std::vector<sparseptr> frames_of(sparseptr sp, std::int32_t rows) {
  std::vector<sparseptr> f;
  for (std::int32_t k = sparse_frame_count(rows); k > 0 && sp != nullptr; --k, sp = sp->next)
    f.push_back(sp);
  return f;
}

inline colm_ptr row_of(const std::vector<sparseptr>& f, std::int32_t r) {
  return f[static_cast<std::size_t>((r - 1) / sparse_frame_rows)]
      ->indx[(r - 1) % sparse_frame_rows];
}

inline colm_ptrptr head_of(const std::vector<sparseptr>& f, std::int32_t r) {
  return &f[static_cast<std::size_t>((r - 1) / sparse_frame_rows)]
              ->indx[(r - 1) % sparse_frame_rows];
}

// The operands of a dense product gathered as machine words: A by rows and
// B by columns, so that every entry is one contiguous dot product.
template <class T, class Read>
bool gather_words(workptr a, workptr b, std::int32_t rows1, std::int32_t rows2, std::int32_t cols2,
                  std::vector<T>* ar, std::vector<T>* bc, Read read) {
  ar->assign(static_cast<std::size_t>(rows1) * rows2, 0);
  bc->assign(static_cast<std::size_t>(rows2) * cols2, 0);
  for (std::int32_t k = 0; k < rows2; ++k) {
    for (std::int32_t i = 0; i < rows1; ++i) {
      quoly v = a->stash[i + k * rows1];
      if (v != nullptr && !read(v, &(*ar)[static_cast<std::size_t>(i) * rows2 + k])) return false;
    }
    for (std::int32_t j = 0; j < cols2; ++j) {
      quoly v = b->stash[k + j * rows2];
      if (v != nullptr && !read(v, &(*bc)[static_cast<std::size_t>(j) * rows2 + k])) return false;
    }
  }
  return true;
}

// The dense product over machine words when the ring and the entries allow
// it: integers of at most two limbs (inner dimension at most 8192, so that
// 128-bit sums cannot overflow) or residues modulo a word prime. Gives the
// values the entry-by-entry sums give; false (nothing written) otherwise.
bool word_dense_product(workptr a, workptr b, workptr w, std::int32_t rows1, std::int32_t rows2,
                        std::int32_t cols2, sum_way way) {
  const auto n1 = static_cast<std::size_t>(rows1), n2 = static_cast<std::size_t>(rows2);
  if (way == sum_way::bigint) {
    if (rows2 > 8192) return false;
    std::vector<std::int64_t> ar, bc;
    if (!gather_words(a, b, rows1, rows2, cols2, &ar, &bc,
                      [](quoly v, std::int64_t* x) { return small_number_value(v->ncoef, x); }))
      return false;
    for (std::int32_t i = 0; i < rows1; ++i) {
      check_interrupt();
      const std::int64_t* x = &ar[static_cast<std::size_t>(i) * n2];
      for (std::int32_t j = 0; j < cols2; ++j) {
        const std::int64_t* y = &bc[static_cast<std::size_t>(j) * n2];
        __int128 s = 0;
        for (std::size_t k = 0; k < n2; ++k) s += static_cast<__int128>(x[k]) * y[k];
        quoly r = nullptr;
        if (s == 0) {
          quoly_set(0, &r);
        } else {
          r = nodes::new_number_value(new_wide_number(s));
        }
        r->next = nullptr;
        w->stash[static_cast<std::size_t>(i) + static_cast<std::size_t>(j) * n1] = r;
      }
    }
    return true;
  }
  if (way == sum_way::word && modularmode && !finf && !flotemode) {
    std::vector<std::uint32_t> ar, bc;
    gather_words(a, b, rows1, rows2, cols2, &ar, &bc, [](quoly v, std::uint32_t* x) {
      *x = static_cast<std::uint32_t>(v->ncoef->lint);
      return true;
    });
    const auto m = static_cast<std::uint32_t>(modulus);
    for (std::int32_t i = 0; i < rows1; ++i) {
      check_interrupt();
      const std::uint32_t* x = &ar[static_cast<std::size_t>(i) * n2];
      for (std::int32_t j = 0; j < cols2; ++j) {
        const std::uint32_t* y = &bc[static_cast<std::size_t>(j) * n2];
        unsigned __int128 s = 0;
        for (std::size_t k = 0; k < n2; ++k) s += static_cast<std::uint64_t>(x[k]) * y[k];
        quoly r = nullptr;
        quoly_set(static_cast<std::int32_t>(s % m), &r);
        r->next = nullptr;
        w->stash[static_cast<std::size_t>(i) + static_cast<std::size_t>(j) * n1] = r;
      }
    }
    return true;
  }
  return false;
}

// The dense product A (rows1 x rows2) * B (rows2 x cols2) into the cells of
// w, which own nothing.
void dense_product(workptr a, workptr b, workptr w, std::int32_t rows1, std::int32_t rows2,
                   std::int32_t cols2) {
  const sum_way way =
      detail::choose_sum_way(dense_allnumbs(a, rows1 * rows2) && dense_allnumbs(b, rows2 * cols2));
  if (word_dense_product(a, b, w, rows1, rows2, cols2, way)) return;
  EntrySum sum(way);
  for (std::int32_t i = 0; i < rows1; ++i) {
    check_interrupt();
    for (std::int32_t j = 0; j < cols2; ++j) {
      const std::int32_t bcol = j * rows2;
      for (std::int32_t k = 0; k < rows2; ++k) sum.add(a->stash[i + k * rows1], b->stash[bcol + k]);
      w->stash[i + j * rows1] = or_zero(sum.take());
    }
  }
}

// Frees the first `cells` cells of arr when owned, then copies w's cells in.
void copy_back(workptr arr, workptr w, std::int32_t old_cells, bool arr_free, std::int32_t cells) {
  if (arr_free) {
    for (std::int32_t k = 0; k < old_cells; ++k) free_quoly(&arr->stash[k]);
  }
  std::copy(w->stash, w->stash + cells, arr->stash);
}

std::int32_t cells_of(const arr_descr* f) { return f->rows * descr_cols(f); }

}  // namespace

void matrix_mult(workptr arr, workptr arr2, arr_descr* arrf, arr_descr* arr2f, bool arr_free,
                 sparseptr* spar, sparseptr* spar2) {
  const std::int32_t rows1 = arrf->rows;
  const std::int32_t rows2 = arr2f->rows;
  const std::int32_t cols2 = descr_cols(arr2f);
  if (*spar != nullptr && *spar2 != nullptr) {
    mult_sparses(spar, spar2, rows1, rows2, cols2, arr_free);
    special_set_2(rows1, cols2, &arrf->arrsize);
    return;
  }
  if (oversize(rows1, cols2)) {
    error(array_too_large_more_than_1000000_error, &token);
    return;
  }
  if (*spar != nullptr) {
    mult_sparse_norm(spar, arr2, arr, arr_free, rows1, rows2, cols2, arrf);
    *spar = nullptr;
    return;
  }
  const std::int32_t old_cells = cells_of(arrf);
  if (*spar2 != nullptr) {
    if (arr2 != nullptr && arr2 != arr) {
      mult_norm_sparse(arr, arr2, spar2, rows1, rows2, cols2);
      set_descr(arrf, rows1, cols2);
      copy_back(arr, arr2, old_cells, arr_free, rows1 * cols2);
      return;
    }
    WorkArrayGuard w(&token);
    if (!w.taken()) return;
    mult_norm_sparse(arr, w.get(), spar2, rows1, rows2, cols2);
    set_descr(arrf, rows1, cols2);
    copy_back(arr, w.get(), old_cells, arr_free, rows1 * cols2);
    return;
  }
  WorkArrayGuard w(&token);
  if (!w.taken()) return;
  dense_product(arr, arr2, w.get(), rows1, rows2, cols2);
  set_descr(arrf, rows1, cols2);
  copy_back(arr, w.get(), old_cells, arr_free, rows1 * cols2);
}

void mult_sparses(sparseptr* spar, sparseptr* spar2, std::int32_t rows1, std::int32_t rows2,
                  std::int32_t cols2, bool arr_free) {
  // The pointer below for every column of the second factor, 8 bytes a
  // column, is what the frames of cols2 rows would take.
  check_sparse_rows(cols2);
  const sum_way way =
      detail::choose_sum_way(sparse_allnumbs(*spar, rows1) && sparse_allnumbs(*spar2, rows2));
  const std::vector<sparseptr> bf = frames_of(*spar2, rows2);
  SparseHold result;
  sparse_init(&result.sp, rows1);
  result.rows = rows1;
  const std::vector<sparseptr> rf = frames_of(result.sp, rows1);
  const std::vector<sparseptr> af = frames_of(*spar, rows1);
  // A running sum for each column the current row touches: sum_of[j] points
  // at column j's, nil while the row has not touched it. The sums come from
  // a pool reused from row to row, pool[k] for the k-th column touched, so
  // there are never more than the columns of the longest row. The touched
  // columns are sorted, and each sum adds its products in the order of the
  // inner index, as the row-by-column walk does.
  std::vector<EntrySum*> sum_of(static_cast<std::size_t>(cols2) + 1, nullptr);
  std::vector<EntrySum> pool;
  std::vector<std::int32_t> touched;
  // The result's entries are counted at the size of a number of one limb,
  // the least an entry takes but for a residue: measuring each value would
  // cost the product more than the count is worth.
  const std::uint64_t entry_bytes = sparse_word_entry_bytes();
  std::int64_t entries = 0;
  for (std::int32_t i = 1; i <= rows1; ++i) {
    check_interrupt();
    EntrySum* next = pool.data();  // the pool's first sum the row has not taken
    EntrySum* end = next + pool.size();
    for (colm_ptr e = row_of(af, i); e != nullptr; e = e->next) {
      for (colm_ptr f = row_of(bf, e->coord); f != nullptr; f = f->next) {
        EntrySum*& s = sum_of[static_cast<std::size_t>(f->coord)];
        if (s == nullptr) {
          if (next == end) {
            pool.emplace_back(way);  // may move the sums: the row's pointers follow
            for (std::size_t k = 0; k < touched.size(); ++k)
              sum_of[static_cast<std::size_t>(touched[k])] = &pool[k];
            next = &pool[touched.size()];
            end = pool.data() + pool.size();
          }
          s = next++;
          touched.push_back(f->coord);
        }
        s->add(e->val, f->val);
      }
    }
    std::sort(touched.begin(), touched.end());
    colm_ptrptr t = head_of(rf, i);
    for (std::int32_t j : touched) {
      EntrySum*& s = sum_of[static_cast<std::size_t>(j)];
      quoly v = s->take();
      s = nullptr;
      if (v == nullptr) continue;
      append_entry(&t, j, v);
      ++entries;
    }
    touched.clear();
    check_sparse_entries(entries, entry_bytes);
  }
  free_sparse(spar, rows1, arr_free);
  *spar = result.release();
}

void mult_sparses_by_columns(sparseptr* spar, sparseptr* spar2, std::int32_t rows1,
                             std::int32_t rows2, std::int32_t cols2, bool arr_free) {
  const sum_way way =
      detail::choose_sum_way(sparse_allnumbs(*spar, rows1) && sparse_allnumbs(*spar2, rows2));
  sparseptr tr = nullptr;
  flip_sparse(*spar2, &tr, rows2, cols2);
  const std::vector<sparseptr> tf = frames_of(tr, cols2);
  sparseptr result = nullptr;
  sparse_init(&result, rows1);
  const std::vector<sparseptr> rf = frames_of(result, rows1);
  const std::vector<sparseptr> af = frames_of(*spar, rows1);
  EntrySum sum(way);
  for (std::int32_t i = 1; i <= rows1; ++i) {
    check_interrupt();
    colm_ptr row = row_of(af, i);
    if (row == nullptr) continue;
    colm_ptrptr t = head_of(rf, i);
    for (std::int32_t j = 1; j <= cols2; ++j) {
      colm_ptr a = row;
      colm_ptr b = row_of(tf, j);
      while (a != nullptr && b != nullptr) {
        if (a->coord < b->coord) {
          a = a->next;
        } else if (b->coord < a->coord) {
          b = b->next;
        } else {
          sum.add(a->val, b->val);
          a = a->next;
          b = b->next;
        }
      }
      quoly v = sum.take();
      if (v != nullptr) append_entry(&t, j, v);
    }
  }
  free_sparse_frame(&tr, cols2);
  free_sparse(spar, rows1, arr_free);
  *spar = result;
}

void mult_sparse_norm(sparseptr* spar, workptr arr2, workptr arr, bool spar_free,
                      std::int32_t rows1, std::int32_t rows2, std::int32_t cols2, arr_descr* arrf) {
  const sum_way way =
      detail::choose_sum_way(sparse_allnumbs(*spar, rows1) && dense_allnumbs(arr2, rows2 * cols2));
  const std::vector<sparseptr> af = frames_of(*spar, rows1);
  EntrySum sum(way);
  for (std::int32_t i = 1; i <= rows1; ++i) {
    check_interrupt();
    colm_ptr row = row_of(af, i);
    for (std::int32_t j = 0; j < cols2; ++j) {
      for (colm_ptr e = row; e != nullptr; e = e->next)
        sum.add(e->val, arr2->stash[(e->coord - 1) + j * rows2]);
      arr->stash[(i - 1) + j * rows1] = or_zero(sum.take());
    }
  }
  free_sparse(spar, rows1, spar_free);
  set_descr(arrf, rows1, cols2);
}

void mult_norm_sparse(workptr arr, workptr arr2, sparseptr* spar, std::int32_t rows1,
                      std::int32_t rows2, std::int32_t cols2) {
  const sum_way way =
      detail::choose_sum_way(dense_allnumbs(arr, rows1 * rows2) && sparse_allnumbs(*spar, rows2));
  sparseptr tr = nullptr;
  flip_sparse(*spar, &tr, rows2, cols2);
  const std::vector<sparseptr> tf = frames_of(tr, cols2);
  EntrySum sum(way);
  for (std::int32_t i = 0; i < rows1; ++i) {
    check_interrupt();
    for (std::int32_t j = 1; j <= cols2; ++j) {
      for (colm_ptr e = row_of(tf, j); e != nullptr; e = e->next)
        sum.add(arr->stash[i + (e->coord - 1) * rows1], e->val);
      arr2->stash[i + (j - 1) * rows1] = or_zero(sum.take());
    }
  }
  free_sparse_frame(&tr, cols2);
}

void fast_mat_mult(workptr arr, workptr arr2, workptr z, std::int32_t rows1, std::int32_t rows2,
                   std::int32_t cols2) {
  // Nil cells read as this 0.
  nodes::OwnedValue zero;
  quoly_set(0, zero.cell());
  zero.q->next = nullptr;
  auto A = [&](std::int32_t i, std::int32_t k) {  // from 1
    quoly v = arr->stash[(i - 1) + (k - 1) * rows1];
    return v != nullptr ? v : zero.q;
  };
  auto B = [&](std::int32_t k, std::int32_t j) {
    quoly v = arr2->stash[(k - 1) + (j - 1) * rows2];
    return v != nullptr ? v : zero.q;
  };
  // Values held during the product, freed on every exit.
  OwnedCells col_factor(static_cast<std::size_t>(cols2) + 1);
  OwnedCells temps(3);  // row factor, left sum, right sum
  const std::int32_t h = rows2 / 2;
  quoly& row_factor = temps.cell[0];
  quoly& left = temps.cell[1];
  quoly& right = temps.cell[2];
  auto product_sum = [&](quoly* s, quoly x, quoly y) {  // *s += x*y
    quoly t = nullptr;
    quoly_mult(x, y, &t);
    best_quoly_add(s, t);
  };
  for (std::int32_t j = 1; j <= cols2; ++j) {
    quoly& c = col_factor.cell[static_cast<std::size_t>(j)];
    quoly_set(0, &c);
    for (std::int32_t k = 1; k <= h; ++k) product_sum(&c, B(2 * k - 1, j), B(2 * k, j));
  }
  for (std::int32_t i = 1; i <= rows1; ++i) {
    check_interrupt();
    quoly_set(0, &row_factor);
    for (std::int32_t k = 1; k <= h; ++k) product_sum(&row_factor, A(i, 2 * k - 1), A(i, 2 * k));
    for (std::int32_t j = 1; j <= cols2; ++j) {
      quoly s = nullptr;
      quoly_set(0, &s);
      for (std::int32_t k = 1; k <= h; ++k) {
        quoly_add(A(i, 2 * k), B(2 * k - 1, j), &left);
        quoly_add(A(i, 2 * k - 1), B(2 * k, j), &right);
        fast_quoly_mult(&left, &right);
        best_quoly_add(&s, left);
        left = nullptr;
      }
      better_quoly_sub(s, row_factor, &s);
      better_quoly_sub(s, col_factor.cell[static_cast<std::size_t>(j)], &s);
      if (rows2 % 2 != 0) product_sum(&s, A(i, rows2), B(rows2, j));
      s->next = nullptr;
      z->stash[(i - 1) + (j - 1) * rows1] = s;
    }
  }
}

}  // namespace tavrin
