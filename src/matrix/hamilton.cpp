// The Hamiltonian path search and the builder of its labelled matrix (see
// hamilton.h).
#include "matrix/hamilton.h"

#include <cstdint>
#include <cstdio>
#include <deque>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/interrupts.h"
#include "numbers/freelists.h"
#include "numbers/primes.h"
#include "numbers/work_arrays.h"
#include "poly/poly_repr.h"
#include "arrays/sparse_store.h"
#include "matrix/minors_cache.h"

namespace tavrin {

std::int32_t total_cnt = 0, lowcnt = 0;
std::int32_t randint = 145;
bool monomal[151] = {};

namespace {

std::int32_t default_step(std::int32_t x) {
  return static_cast<std::int32_t>(std::int64_t{x} * 145 % 40099);
}
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
// The levels live on an explicit stack, not the machine's, since a search
// goes as deep as the matrix has rows (10,001 for a graph of 100 vertices).
struct Level {
  sparseptr spar;
  std::int32_t row, totalrow, sqrt_total, varcount, lmt;
  col_record* w = nullptr;  // entries pruned at this level
  std::int32_t best = 0;
  bool userow = true;
  // The branches: the column's journal (ct, cursor rec) or the row's
  // reordered entries (u, cursor e, journal wj, tail).
  col_record* ct = nullptr;
  col_record* rec = nullptr;
  colm_ptr u = nullptr;
  colm_ptr e = nullptr;
  col_record* wj = nullptr;
  colm_ptr* tail = nullptr;
  // The branch under way: its label, the label count before it, and what
  // was taken out around the recursion (a row's entries or a column's
  // records).
  std::int32_t varord = 0, saved_varcount = 0;
  colm_ptr branch_row = nullptr;
  col_record* branch_col = nullptr;
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

namespace {

// Sets a level up: the one-row case, or the choice of its line and the
// order of its branches. False: the level is over with *result.
bool open_level(Level& lv, std::int16_t* result) {
  if (lv.row == 1) {  // trivial_case
    lowcnt += 1;
    colm_ptr first = lv.spar->indx[0];
    *result = first != nullptr && !label_in_use(ham_label(first)) ? 1 : lowcnt >= lv.lmt ? -1 : 0;
    return false;
  }
  std::int32_t count = 0;
  if (!find_best(lv, &count, result)) return false;
  if (!lv.userow) {
    ham_remove_col(lv.spar, lv.best, lv.row, &lv.ct);
    rearrange(&lv.ct, lv);
    lv.rec = lv.ct;
  } else {
    ham_remove_row(lv.spar, lv.row, lv.best, &lv.u);
    permute_1(&lv.u, &lv.wj, &lv.tail, lv);
    lv.e = lv.u;
  }
  return true;
}

// Undoes what open_level did once the branches are over.
void close_level(Level& lv) {
  if (!lv.userow) {
    ham_restore_col(lv.best, lv.ct);
  } else {
    resort(lv.wj, lv.tail);
    ham_restore_row(lv.spar, lv.row, lv.best, lv.u);
  }
  restore_w_list(lv);
}

// Starts the next branch: its label marked, its row or column taken out.
// False when the branches are exhausted.
bool start_branch(Level& lv) {
  if (!lv.userow ? lv.rec == nullptr : lv.e == nullptr) return false;
  lv.varord = ham_label(!lv.userow ? lv.rec->entry : lv.e);
  total_cnt += 1;
  lv.saved_varcount = lv.varcount;
  if (lv.varord > 0) check_inc_varcount(lv.varord, lv);
  if (!lv.userow)
    ham_remove_row(lv.spar, lv.row, lv.rec->row, &lv.branch_row);
  else
    ham_remove_col(lv.spar, lv.e->coord, lv.row - 1, &lv.branch_col);
  return true;
}

// Ends the branch with the sub-search's result r; true when r ends the
// level (found, or the limit reached).
bool end_branch(Level& lv, std::int16_t r) {
  if (!lv.userow) {
    ham_restore_row(lv.spar, lv.row, lv.rec->row, lv.branch_row);
    lv.rec = lv.rec->next;
  } else {
    ham_restore_col(lv.e->coord, lv.branch_col);
    lv.e = lv.e->next;
  }
  if (r == 1 || r == -1) return true;
  if (lv.varord > 0) monomal[lv.varord] = false;
  lv.varcount = lv.saved_varcount;
  return false;
}

}  // namespace

std::int16_t hamilton_path(sparseptr spar, std::int32_t row, std::int32_t totalrow,
                           std::int32_t sqrt_total, std::int32_t varcount, std::int32_t lmt) {
  std::deque<Level> stack;  // levels keep their addresses (links point into them)
  stack.push_back(Level{spar, row, totalrow, sqrt_total, varcount, lmt});
  bool need_open = true;  // the top level is not set up yet
  // An error unwinding through the search closes every open level,
  // innermost first, so the matrix and the tables come back.
  struct Unwind {
    std::deque<Level>& s;
    const bool& need_open;
    bool done = false;
    ~Unwind() {
      if (done || s.empty()) return;
      if (need_open)
        s.pop_back();
      else {
        close_level(s.back());
        s.pop_back();
      }
      for (; !s.empty(); s.pop_back()) {
        end_branch(s.back(), 0);
        close_level(s.back());
      }
    }
  } unwind{stack, need_open};
  std::int16_t result = 0;
  while (!stack.empty()) {
    bool over = false;
    if (need_open) {
      need_open = false;
      over = !open_level(stack.back(), &result);
    } else if (start_branch(stack.back())) {
      const Level& cur = stack.back();
      Level child{cur.spar, cur.row - 1, cur.totalrow, cur.sqrt_total, cur.varcount, cur.lmt};
      stack.push_back(child);
      need_open = true;
      continue;
    } else {
      close_level(stack.back());
      result = 0;
      over = true;
    }
    if (!over) continue;
    // The level is over with result: the parents take it up; a found path
    // or the limit ends them too, and they close in turn.
    stack.pop_back();
    while (!stack.empty() && end_branch(stack.back(), result)) {
      close_level(stack.back());
      stack.pop_back();
    }
  }
  unwind.done = true;
  return result;
}

void hamilton_path_driver(sparseptr* spar, std::int32_t row, quolyptr n, poly f) {
  if (total_cnt > 0) {
    error(search_running_error, &token);
    return;
  }
  if (row > ham_max_cols || !labels_fit(*spar, row))
    abandon(subscript_dimension_out_range_error, &token);
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
  quoly_set_integer(r, n);
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
