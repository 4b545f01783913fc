// The Hamiltonian path search and the builder of its labelled matrix (see
// hamilton.h).
#include "matrix/hamilton.h"

#include <cstdint>
#include <cstdio>

#include "arrays/sparse_store.h"
#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/interrupts.h"
#include "matrix/det_services.h"
#include "matrix/minors_cache.h"
#include "numbers/freelists.h"
#include "numbers/primes.h"
#include "numbers/work_arrays.h"
#include "poly/poly_repr.h"

namespace tavrin {

std::int32_t total_cnt = 0, lowcnt = 0;
std::int32_t randint = 145;
bool monomal[151] = {};

namespace {

std::int32_t default_step(std::int32_t x) { return static_cast<std::int32_t>(std::int64_t{x} * 145 % 40099); }
ham_random_source next_random = default_step;

void step_random() { randint = next_random(randint); }

// The tie rule: a larger tie value wins; an equal one wins one time in four.
bool wins_tie(std::int32_t value, std::int32_t best_value) {
  if (value != best_value) return value > best_value;
  step_random();
  return randint % 4 == 0;
}

bool label_in_use(std::int32_t label) { return label > 0 && monomal[label]; }

// The state of one level, shared by its steps.
struct Level {
  sparseptr spar;
  std::int32_t row, totalrow, sqrt_total, varcount, lmt;
  col_record* w = nullptr;  // entries pruned at this level
  std::int32_t best = 0;
  bool userow = true;
};

// Re-links the entries pruned at this level (newest first).
void restore_w_list(Level& lv) {
  for (col_record* r = lv.w; r != nullptr; r = r->next) {
    *r->link = r->entry;
    number_col[r->entry->coord] += 1;
    if (ham_label(r->entry) > 0) colm_mass[r->entry->coord] += 1;
  }
  free_col_records(lv.w);
  lv.w = nullptr;
}

// A dead end: one leaf; -1 once the limit is reached.
std::int16_t dead_end(Level& lv) {
  lowcnt += 1;
  restore_w_list(lv);
  return lowcnt >= lv.lmt ? -1 : 0;
}

// The row or column with the fewest live entries; entries whose label is
// in use are pruned on the way. False: a dead end was met (*result set).
bool find_best(Level& lv, std::int32_t* index, std::int16_t* result) {
  std::int32_t best_count = 32700, tie = 0;
  for (std::int32_t r = 1; r <= lv.row; ++r) {
    colm_ptrptr link = sparse_row(lv.spar, r);
    std::int32_t count = 0;
    while (*link != nullptr) {
      colm_ptr e = *link;
      if (label_in_use(ham_label(e))) {
        col_record* rec = new_col_record();
        rec->link = link;
        rec->entry = e;
        rec->row = r;
        rec->next = lv.w;
        lv.w = rec;
        *link = e->next;
        number_col[e->coord] -= 1;
        colm_mass[e->coord] -= 1;
        continue;
      }
      ++count;
      link = &e->next;
    }
    if (count == 0) {
      *result = dead_end(lv);
      return false;
    }
    if (count < best_count) {
      best_count = count;
      lv.best = r;
      tie = quick_row_mass(*sparse_row(lv.spar, r));
    } else if (count == best_count) {
      const std::int32_t mass = quick_row_mass(*sparse_row(lv.spar, r));
      if (wins_tie(mass, tie)) {
        lv.best = r;
        tie = mass;
      }
    }
  }
  for (std::int32_t c = 1; c <= lv.totalrow; ++c) {
    const std::int32_t count = number_col[c];
    if (count == 0) {
      *result = dead_end(lv);
      return false;
    }
    if (count < best_count) {
      best_count = count;
      lv.best = c;
      lv.userow = false;
      tie = colm_mass[c];
    } else if (count == best_count && wins_tie(colm_mass[c], tie)) {
      lv.best = c;
      lv.userow = false;
      tie = colm_mass[c];
    }
  }
  *index = best_count;
  return true;
}

// Whether a branch's label goes behind the others.
bool moves_back(std::int32_t label, const Level& lv) {
  if (label < 0) return false;
  return lv.varcount < lv.sqrt_total ? label == 0 : label > 0;
}

// Orders a column's journal records for branching.
void rearrange(col_record** ct, const Level& lv) {
  col_record* moved = nullptr;
  col_record** link = ct;
  while (*link != nullptr) {
    col_record* r = *link;
    if (moves_back(ham_label(r->entry), lv)) {
      *link = r->next;
      r->next = moved;
      moved = r;
    } else {
      link = &r->next;
    }
  }
  *link = moved;
}

// Orders a row's entry list for branching, journaling each move in *w and
// the link where the moved entries were attached in *tail.
void permute_1(colm_ptr* u, col_record** w, colm_ptr** tail, const Level& lv) {
  colm_ptr moved = nullptr;
  colm_ptrptr link = u;
  while (*link != nullptr) {
    colm_ptr e = *link;
    if (moves_back(ham_label(e), lv)) {
      col_record* rec = new_col_record();
      rec->link = link;
      rec->entry = e;
      rec->next = *w;
      *w = rec;
      *link = e->next;
      e->next = moved;
      moved = e;
    } else {
      link = &e->next;
    }
  }
  *link = moved;
  *tail = link;
}

// Undoes permute_1.
void resort(col_record* w, colm_ptr* tail) {
  *tail = nullptr;
  for (col_record* r = w; r != nullptr; r = r->next) {
    r->entry->next = *r->link;
    *r->link = r->entry;
  }
  free_col_records(w);
}

void check_inc_varcount(std::int32_t varord, Level& lv) {
  monomal[varord] = true;
  lv.varcount += 1;
  if (verbose && lv.varcount >= lv.sqrt_total - 1) {
    std::printf("     path found of length %d\n", lv.varcount - 1);
    std::fflush(stdout);
  }
}

// One branch: the label taken, the recursion, the label given back unless
// the result ends the level.
template <class Around>
std::int16_t branch(Level& lv, std::int32_t varord, Around around) {
  total_cnt += 1;
  const std::int32_t saved = lv.varcount;
  if (varord > 0) check_inc_varcount(varord, lv);
  const std::int16_t r = around();
  if (r == 1 || r == -1) return r;
  if (varord > 0) monomal[varord] = false;
  lv.varcount = saved;
  return 0;
}

// The Hamiltonian tables are refused beyond these bounds.
bool labels_fit(sparseptr sp, std::int32_t row) {
  for (std::int32_t r = 1; r <= row; ++r)
    for (colm_ptr e = *sparse_row(sp, r); e != nullptr; e = e->next)
      if (ham_label(e) > ham_max_label || e->coord < 1 || e->coord > ham_max_cols) return false;
  return true;
}

struct SearchMark {
  ~SearchMark() { total_cnt = 0; }
};

}  // namespace

void set_ham_random_source(ham_random_source source) {
  next_random = source != nullptr ? source : default_step;
}

std::int16_t hamilton_path(sparseptr spar, std::int32_t row, std::int32_t totalrow,
                           std::int32_t sqrt_total, std::int32_t varcount, std::int32_t lmt) {
  if (row == 1) {  // trivial_case
    lowcnt += 1;
    colm_ptr first = spar->indx[0];
    if (first != nullptr && !label_in_use(ham_label(first))) return 1;
    return lowcnt >= lmt ? -1 : 0;
  }
  Level lv{spar, row, totalrow, sqrt_total, varcount, lmt};
  std::int32_t count = 0;
  std::int16_t result = 0;
  if (!find_best(lv, &count, &result)) return result;
  if (!lv.userow) {
    col_record* ct = nullptr;
    ham_remove_col(spar, lv.best, row, &ct);
    rearrange(&ct, lv);
    for (col_record* rec = ct; rec != nullptr && result == 0; rec = rec->next) {
      result = branch(lv, ham_label(rec->entry), [&] {
        colm_ptr u = nullptr;
        ham_remove_row(spar, row, rec->row, &u);
        const std::int16_t r = hamilton_path(spar, row - 1, totalrow, sqrt_total, lv.varcount, lmt);
        ham_restore_row(spar, row, rec->row, u);
        return r;
      });
    }
    ham_restore_col(lv.best, ct);
  } else {
    colm_ptr u = nullptr;
    ham_remove_row(spar, row, lv.best, &u);
    col_record* wj = nullptr;
    colm_ptr* tail = nullptr;
    permute_1(&u, &wj, &tail, lv);
    for (colm_ptr e = u; e != nullptr && result == 0; e = e->next) {
      result = branch(lv, ham_label(e), [&] {
        col_record* cj = nullptr;
        ham_remove_col(spar, e->coord, row - 1, &cj);
        const std::int16_t r = hamilton_path(spar, row - 1, totalrow, sqrt_total, lv.varcount, lmt);
        ham_restore_col(e->coord, cj);
        return r;
      });
    }
    resort(wj, tail);
    ham_restore_row(spar, row, lv.best, u);
  }
  restore_w_list(lv);
  return result;
}

void hamilton_path_driver(sparseptr* spar, std::int32_t row, quolyptr n, poly f) {
  if (total_cnt > 0) {
    error(search_running_error, &token);
    return;
  }
  if (row > ham_max_cols || !labels_fit(*spar, row)) abandon(27, &token);
  std::int32_t limit = 2147483647;
  if (f != nullptr && f->numb && f->ncoef != nullptr) {
    const imptr x = f->ncoef;
    if (lintmode)
      limit = x->lint;
    else if (x->size == 1 && x->head != nullptr)
      limit = x->head->value;
  }
  randint = 145;
  for (std::int32_t k = rand_integer3() % 64; k > 0; --k) step_random();
  std::int32_t sqrt_total = 2;
  for (std::int32_t k = 0; k < row / 4 && sqrt_total * sqrt_total < row - 1; ++k) ++sqrt_total;
  allocate_ham_statistics();
  for (std::int32_t c = 1; c <= row; ++c) number_col[c] = colm_mass[c] = 0;
  for (std::int32_t r = 1; r <= row; ++r)
    for (colm_ptr e = *sparse_row(*spar, r); e != nullptr; e = e->next) {
      number_col[e->coord] += 1;
      if (ham_label(e) > 0) colm_mass[e->coord] += 1;
    }
  if (verbose) dumpitt("Hamiltonian path search, side ", row, true, true, true);
  SearchMark mark;
  std::int16_t r = -1;
  while (r == -1) {
    check_interrupt();
    for (std::int32_t k = 1; k <= ham_max_label; ++k) monomal[k] = false;
    total_cnt = 0;
    lowcnt = 0;
    r = hamilton_path(*spar, row, row, sqrt_total, 0, limit);
    if (verbose) std::printf("   total branches, leaf count: %1d, %1d\n", total_cnt, lowcnt);
    if (r == -1 && verbose) std::printf(" Leaf count limit exceeded; try again: \n");
  }
  free_quoly(n);
  quoly_set(r, n);
}

void set_up_hamilton(workptr arr, arr_descr* arrf, bool* arr_free, sparseptr* spar) {
  const std::int32_t n = arrf->rows;
  const std::int32_t big = n * n + 1;
  sparse_init(spar, big);
  auto put = [spar](std::int32_t r, std::int32_t c, std::int32_t label) {
    colm_ptrptr link = sparse_row(*spar, r);
    while (*link != nullptr && (*link)->coord < c) link = &(*link)->next;
    colm_ptr e = nullptr;
    newcolm(&e);
    e->coord = c;
    set_ham_label(e, label);
    e->next = *link;
    *link = e;
  };
  for (std::int32_t k = 0; k < n * n; ++k) {
    put(k + 1, k + 1, 0);
    if (k % n == 0)
      put(big, k + 1, k / n + 1);
    else if ((k + 1) % n == 0)
      put(k + 1, big, 0);
  }
  for (std::int32_t i = 0; i < n; ++i)
    for (std::int32_t j = 0; j < n; ++j)
      if (arr->stash[j * n + i] != nullptr && quoly_eq_1(arr->stash[j * n + i]))
        for (std::int32_t t = 0; t <= n - 2; ++t) put(i * n + t + 1, j * n + t + 2, j + 1);
  if (*arr_free)
    for (std::int32_t k = 0; k < n * n; ++k) free_quoly(&arr->stash[k]);
  *arr_free = false;
  set_descr(arrf, big, big);
}

}  // namespace tavrin
