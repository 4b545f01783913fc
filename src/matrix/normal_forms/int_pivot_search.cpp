// Pivot searches of the integer normal forms (see int_pivot_search.h).
#include "matrix/normal_forms/int_pivot_search.h"

#include "core/errors.h"
#include "numbers/bigint.h"
#include "numbers/bigint_divide.h"
#include "numbers/node_handles.h"
#include "toplevel/state.h"
#include "arrays/sparse_store.h"
#include "matrix/pivot_search.h"
#include "matrix/sparse_rows.h"

namespace tavrin {

namespace {

inline imptr dense_int(std::int32_t cell) { return (*arp_cell(cell))->ncoef; }
inline bool int_zero(imptr x) { return x->head == nullptr || x->head->value == 0; }
inline bool int_unit(imptr x) {
  bool minus = false;
  return equal_to_pm1(x, &minus);
}

// The least non-zero remainder of the later candidates modulo p; the
// candidates are offered in order and the search may stop at a unit.
class RemainderSearch {
 public:
  explicit RemainderSearch(imptr p) : p_(p) {}
  // Offers x from row r; true when the search is over (a unit remainder).
  bool offer(imptr x, std::int32_t r) {
    divide(x, p_, quot_.get(), rem_.get());
    imptr m = rem_.get();
    if (int_zero(m)) return false;
    if (int_unit(m)) {
      row_ = r;
      return true;
    }
    if (row_ == 0 || int_abs_bigger(best_.get(), m, false)) {
      row_ = r;
      num_assign(m, best_.get());
    }
    return false;
  }
  std::int32_t row() const { return row_; }

 private:
  imptr p_;
  nodes::ScratchNumber quot_, rem_, best_;
  std::int32_t row_ = 0;
};

}  // namespace

void intfindbest(std::int32_t start, std::int32_t stop, std::int32_t rows, std::int32_t i,
                 std::int32_t* j, std::int32_t* k, std::int32_t* val) {
  *val = 0;
  if (start + i + i * rows > stop) return;
  imptr best = nullptr;
  std::int32_t br = 0, bc = 0;
  for (std::int32_t c = i; start + i + c * rows <= stop; ++c) {
    const std::int32_t base = start + c * rows;
    for (std::int32_t r = i; r < rows; ++r) {
      imptr x = dense_int(base + r);
      if (int_zero(x)) continue;
      if (int_unit(x)) {
        *val = -1;
        *j = r;
        *k = c;
        return;
      }
      if (best == nullptr || int_abs_bigger(best, x, false)) {
        best = x;
        br = r;
        bc = c;
      }
    }
  }
  if (best == nullptr) return;
  *val = 1;
  *j = br;
  *k = bc;
}

void sparse_intfindbest(sparseptr sp, std::int32_t rows, std::int32_t i, std::int32_t* j,
                        std::int32_t* k, std::int32_t* val) {
  std::int32_t cnt = 0, terms = 0;
  *j = -1;
  sparse_fill_clc(sp, rows, i, j, k, &cnt, val, &terms);
  if (cnt == 1) return;
  sparse_least_entry(sp, rows, i, j, k, val);
}

void sparse_least_entry(sparseptr sp, std::int32_t rows, std::int32_t i, std::int32_t* j,
                        std::int32_t* k, std::int32_t* val) {
  *j = -1;
  *val = 0;
  if (i > rows) return;
  imptr best = nullptr;
  std::int32_t bc = 0;
  RowWalk walk(sp, i);
  for (std::int32_t r = i; r <= rows; ++r, walk.next()) {
    for (colm_ptr e = walk.first(); e != nullptr; e = e->next) {
      if (e->coord < i) continue;
      imptr x = e->val->ncoef;
      if (int_zero(x)) {
        tavrin_error("p = 0 in sparse_intfindbest", false);
        continue;
      }
      if (int_unit(x)) {
        *j = r;
        *k = e->coord;
        *val = -1;
        return;
      }
      if (best == nullptr || int_abs_bigger(best, x, false)) {
        best = x;
        bc = e->coord;
        *j = r;
      }
    }
  }
  if (best == nullptr) return;
  *val = 1;
  *k = bc;
}

void best_on_diag(std::int32_t start, std::int32_t stop, std::int32_t rows, std::int32_t i,
                  std::int32_t* j, std::int32_t* val) {
  imptr best = nullptr;
  std::int32_t r = i;
  for (std::int32_t cell = start + i + i * rows; cell <= stop; cell += rows + 1, ++r) {
    imptr x = dense_int(cell);
    if (int_unit(x)) {
      *val = -1;
      *j = r;
      return;
    }
    if (best == nullptr || int_abs_bigger(best, x, false)) {
      best = x;
      *j = r;
    }
  }
  *val = 1;
}

void sparse_best_diag(sparseptr sp, std::int32_t rows, std::int32_t i, std::int32_t* j,
                      std::int32_t* val) {
  RowWalk walk(sp, i);
  *val = 1;
  *j = i;
  imptr best = walk.first()->val->ncoef;
  for (std::int32_t r = i; r <= rows; ++r, walk.next()) {
    imptr x = walk.first()->val->ncoef;
    if (int_unit(x)) {
      *j = r;
      *val = -1;
      return;
    }
    if (int_abs_bigger(best, x, false)) {
      best = x;
      *j = r;
    }
  }
}

void best_other(std::int32_t start, std::int32_t stop, std::int32_t i, std::int32_t rows,
                std::int32_t* j) {
  const std::int32_t step = rows + 1;
  RemainderSearch search(dense_int(start + i * step));
  std::int32_t r = i + 1;
  for (std::int32_t cell = start + r * step; cell <= stop; cell += step, ++r)
    if (search.offer(dense_int(cell), r)) break;
  *j = search.row();
}

void sparse_best_other(sparseptr sp, std::int32_t i, std::int32_t rows, std::int32_t* j) {
  RowWalk walk(sp, i);
  RemainderSearch search(walk.first()->val->ncoef);
  walk.next();
  for (std::int32_t r = i + 1; r <= rows; ++r, walk.next())
    if (search.offer(walk.first()->val->ncoef, r)) break;
  *j = search.row();
}

}  // namespace tavrin
