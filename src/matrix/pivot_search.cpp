// Pivot searches over sparse and dense matrices (see pivot_search.h).
#include "matrix/pivot_search.h"
#include "core/error_codes.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "core/errors.h"
#include "core/globals.h"
#include "core/thresholds.h"
#include "numbers/bigint.h"
#include "numbers/mixed_mode.h"
#include "poly/poly_measures.h"
#include "toplevel/state.h"
#include "arrays/sparse_store.h"
#include "matrix/sparse_rows.h"

namespace tavrin {

namespace {

constexpr std::int32_t no_mass = 2147483647;

colm_ptr first_active(colm_ptr e, std::int32_t i) {
  while (e != nullptr && e->coord < i) e = e->next;
  return e;
}

bool is_unit(quoly v) {
  bool minus = false;
  return equal_to_pm1(v->ncoef, &minus);
}

// The active entries of a row, and their term counts summed when wanted.
struct RowCounts {
  std::int32_t entries = 0;
  std::int32_t terms = 0;
};
// Without term counts only "at most two entries" matters (the row count
// is read for nothing else then), so counting stops at three.
RowCounts count_row(colm_ptr e, bool want_terms) {
  RowCounts c;
  if (!want_terms) {
    for (; e != nullptr && c.entries < 3; e = e->next) ++c.entries;
    return c;
  }
  for (; e != nullptr; e = e->next) {
    ++c.entries;
    c.terms += f_numterms(e->val);
  }
  return c;
}

// The store's zero test of a number value (sparse_val_iszero), inline for
// the scans.
inline bool stored_zero(quoly v) {
  if (flotemode) return v->ncoef->flote == 0;
  if (lintmode) return v->ncoef->lint == 0;
  return v->ncoef->head == nullptr || v->ncoef->head->value == 0;
}

// The entries from e to the end of the row.
std::int32_t tail_count(colm_ptr e) {
  std::int32_t t = 0;
  for (; e != nullptr; e = e->next) ++t;
  return t;
}

// The measure of a non-number in sparse_findbest, and of every entry in
// mod_sparse_findbest (header table, first column).
std::int32_t value_measure(quoly v, std::int32_t rtc) {
  switch (pseudet_heur) {
    case 0: return quoly_mass(v);
    case 1: return f_numterms(v) + rtc;
    case 2: return quoly_mass(v) + rtc;
    case 3:
    case 5: return better_quoly_mass(v) + rtc;
    default: return f_numterms(v);
  }
}

// The measure of a number in sparse_findbest (second column).
std::int32_t number_measure(quoly v, std::int32_t rtc) {
  if (pseudet_heur == 0) return number_mass(v);
  if (pseudet_heur == 1) return rtc;
  return number_mass(v) + rtc;
}

// A candidate: its entry's place, measure and row count.
struct Candidate {
  bool found = false;
  bool numb = false;
  std::int32_t row = 0, col = 0, measure = 0, row_count = 0;
  void offer(std::int32_t r, std::int32_t c, std::int32_t m, std::int32_t n, bool is_numb = false) {
    if (found && m >= measure) return;
    *this = {true, is_numb, r, c, m, n};
  }
};

void check_rows(std::int32_t rows) {
  if (rows > max_pivot_rows) abandon(sparse_matrix_too_large_error, &token);
}

// What sparse_findbest and mod_sparse_findbest share: the counting pass and
// its early answer, then the row scan through `scan`, then heuristic 5.
struct CountResult {
  std::int32_t jj = -1, kk = -1, cnt = -1, wht = 0, terms = 0;
};

}  // namespace

bool heur5_switches(std::int32_t x, std::int32_t cnt, std::int32_t kk, std::int32_t m,
                    std::int32_t r, std::int32_t k, bool number_choice) {
  if (x >= m || kk == k) return false;
  if (number_choice) return cnt <= 3 && x < m / 8;
  return cnt <= r + 3;
}

void sparse_fill_clc(sparseptr sp, std::int32_t rows, std::int32_t i, std::int32_t* j,
                     std::int32_t* k, std::int32_t* cnt, std::int32_t* wht, std::int32_t* terms) {
  check_rows(rows);
  *j = -1;
  *cnt = -1;
  for (std::int32_t c = i; c <= rows; ++c) {
    clc[c] = 0;
    clc_min[c] = no_mass;
  }
  RowWalk walk(sp, i);
  for (std::int32_t r = i; r <= rows; ++r, walk.next()) {
    colm_ptr e = first_active(walk.first(), i);
    if (e == nullptr) return;
    for (; e != nullptr && e->coord <= rows; e = e->next) {
      quoly v = e->val;
      if (v->numb && stored_zero(v)) {
        tavrin_error("p = 0 in sparse_fill_clc", false);
        continue;
      }
      const std::int32_t c = e->coord;
      const std::int32_t m = better_quoly_mass(v);
      // The first entry of a column is always recorded, so clr and clbest
      // are set even for a mass at the top of the range.
      if (++clc[c] == 1 || m < clc_min[c]) {
        clc_min[c] = m;
        clr[c] = r;
        clbest[c] = v;
      }
    }
  }
  std::int32_t single = -1;
  std::int32_t fewest = -1;
  for (std::int32_t c = i; c <= rows; ++c) {
    if (clc[c] == 0) return;
    if (clc[c] == 1) {
      if (single < 0 || clc_min[c] > clc_min[single]) single = c;
    } else if (fewest < 0 || clc[c] < clc[fewest] ||
               (clc[c] == clc[fewest] && clc_min[c] < clc_min[fewest])) {
      fewest = c;
    }
  }
  if (single >= 0) {
    *cnt = 1;
    *k = single;
    *j = clr[single];
    *wht = clc_min[single];
    return;
  }
  if (fewest < 0) return;  // i > rows: no column
  *k = fewest;
  *j = clr[fewest];
  *cnt = clc[fewest];
  *wht = clc_min[fewest];
  *terms = f_numterms(clbest[fewest]);
}

namespace {

// Steps 1 and 2 of both searches: walks to row i, runs the counting pass;
// true when a single-entry column answers at once.
bool counting_step(sparseptr* sp, std::int32_t rows, std::int32_t i, std::int32_t* j,
                   std::int32_t* k, CountResult& cr) {
  *sp = sparse_frame_of(*sp, i);
  *j = -1;
  sparse_fill_clc(*sp, rows, i, &cr.jj, &cr.kk, &cr.cnt, &cr.wht, &cr.terms);
  if (cr.cnt != 1) return false;
  *j = cr.jj;
  *k = cr.kk;
  return true;
}

// Step 3 of both searches: offers each active entry of rows i..rows (sp:
// the frame holding row i) to visit(row, entry, counts of its row), which
// returns true when the search has its answer. A row without active entries
// ends the scan when leave_early. True when the scan ended early either way.
template <class Visit>
bool scan_rows(sparseptr sp, std::int32_t rows, std::int32_t i, bool leave_early, Visit&& visit) {
  const bool want_terms = pseudet_heur >= 1;
  RowWalk walk(sp, i);
  for (std::int32_t r = i; r <= rows; ++r, walk.next()) {
    colm_ptr first = first_active(walk.first(), i);
    if (first == nullptr) {
      if (leave_early) return true;
      continue;
    }
    const RowCounts rc = count_row(first, want_terms);
    for (colm_ptr e = first; e != nullptr; e = e->next)
      if (visit(r, e, rc)) return true;
  }
  return false;
}

}  // namespace

namespace {

// Floating mode: a number pivot small beside the rest of its column makes
// multipliers as large as their ratio, and the rounding errors of the rows
// it updates then swamp the result (a pivot 1 over a 10^20 gave a
// determinant of the wrong sign, far past Hadamard's bound). So a number
// pivot is taken only within fl_pivot_threshold of the largest number of its
// column (threshold partial pivoting: no multiplier above 10); among those
// the least fill (Markowitz count: the other entries of its row times those
// of its column), then the larger magnitude, then the first met. Only
// numbers take part: the choice among polynomials is the exact rule's.
// False when the active rows hold no number (*j untouched), or when an empty
// active row ended the search early (*j = -1 then).
constexpr long double fl_pivot_threshold = 0.1L;

bool fl_number_pivot(sparseptr sp, std::int32_t rows, std::int32_t i, bool leave_early,
                     std::int32_t* j, std::int32_t* k) {
  std::vector<long double> colmax;
  std::vector<std::int32_t> colcount;
  bool any_number = false;
  {
    RowWalk walk(sp, i);
    for (std::int32_t r = i; r <= rows; ++r, walk.next()) {
      colm_ptr e = first_active(walk.first(), i);
      if (e == nullptr) {
        if (!leave_early) continue;
        *j = -1;
        return true;
      }
      for (; e != nullptr; e = e->next) {
        const auto c = static_cast<std::size_t>(e->coord);
        if (c >= colmax.size()) {
          colmax.resize(c + 1, 0);
          colcount.resize(c + 1, 0);
        }
        ++colcount[c];
        if (!e->val->numb || stored_zero(e->val)) continue;
        any_number = true;
        colmax[c] = std::max(colmax[c], std::fabs(e->val->ncoef->flote));
      }
    }
  }
  if (!any_number) return false;
  bool found = false;
  std::int64_t best_cost = 0;
  long double best_size = 0;
  RowWalk walk(sp, i);
  for (std::int32_t r = i; r <= rows; ++r, walk.next()) {
    colm_ptr first = first_active(walk.first(), i);
    std::int64_t row_entries = 0;
    for (colm_ptr e = first; e != nullptr; e = e->next) ++row_entries;
    for (colm_ptr e = first; e != nullptr; e = e->next) {
      if (!e->val->numb || stored_zero(e->val)) continue;
      const auto c = static_cast<std::size_t>(e->coord);
      const long double size = std::fabs(e->val->ncoef->flote);
      if (size < fl_pivot_threshold * colmax[c]) continue;
      const std::int64_t cost = (row_entries - 1) * std::int64_t{colcount[c] - 1};
      if (found && (cost > best_cost || (cost == best_cost && size <= best_size))) continue;
      found = true;
      best_cost = cost;
      best_size = size;
      *j = r;
      *k = e->coord;
    }
  }
  return true;
}

}  // namespace

void sparse_findbest(bool leave_early, sparseptr sp, std::int32_t rows, std::int32_t i,
                     std::int32_t* j, std::int32_t* k) {
  CountResult cr;
  if (counting_step(&sp, rows, i, j, k, cr)) return;
  if (flotemode && fl_number_pivot(sp, rows, i, leave_early, j, k)) return;
  Candidate best_number, best_other;
  auto visit = [&](std::int32_t r, colm_ptr e, const RowCounts& rc) {
    quoly v = e->val;
    if (!v->numb) {
      best_other.offer(r, e->coord, value_measure(v, rc.terms), rc.entries);
      return false;
    }
    if (stored_zero(v)) {
      tavrin_error("p = 0 in sparse_findbest", false);
      return false;
    }
    if (rc.entries <= 2 && is_unit(v)) {
      *j = r;
      *k = e->coord;
      return true;
    }
    best_number.offer(r, e->coord, number_measure(v, rc.terms), rc.entries);
    return false;
  };
  if (scan_rows(sp, rows, i, leave_early, visit)) return;
  const Candidate& choice = best_number.found ? best_number : best_other;
  if (!choice.found) return;
  *j = choice.row;
  *k = choice.col;
  if (pseudet_heur == 5 && cr.cnt >= 1) {
    const std::int32_t x = cr.terms * cr.cnt + cr.wht;
    const std::int32_t m = best_other.found ? best_other.measure : 0;
    if (heur5_switches(x, cr.cnt, cr.kk, m, choice.row_count, *k, best_number.found)) {
      *j = cr.jj;
      *k = cr.kk;
    }
  }
}

void mod_sparse_findbest(bool leave_early, sparseptr sp, std::int32_t rows, std::int32_t i,
                         std::int32_t* j, std::int32_t* k) {
  CountResult cr;
  if (counting_step(&sp, rows, i, j, k, cr)) return;
  Candidate best;
  auto visit = [&](std::int32_t r, colm_ptr e, const RowCounts& rc) {
    quoly v = e->val;
    if (v->numb) {
      if (v->ncoef->lint == 0) {
        tavrin_error("0 found in mod_sparse_findbest", false);
        return false;
      }
      if (rc.entries <= 2) {
        *j = r;
        *k = e->coord;
        return true;
      }
    }
    best.offer(r, e->coord, value_measure(v, rc.terms), rc.entries, v->numb);
    return false;
  };
  if (scan_rows(sp, rows, i, leave_early, visit)) return;
  if (!best.found) return;
  *j = best.row;
  *k = best.col;
  if (pseudet_heur == 5 && cr.cnt >= 1 &&
      heur5_switches(cr.terms * cr.cnt + cr.wht, cr.cnt, cr.kk, best.measure, best.row_count, *k,
                     best.numb)) {
    *j = cr.jj;
    *k = cr.kk;
  }
}

void special_mod_sparse_findbest(bool leave_early, sparseptr sp, std::int32_t rows, std::int32_t i,
                                 std::int32_t* j, std::int32_t* k) {
  *j = -1;
  RowWalk walk(sparse_frame_of(sp, i), i);
  for (std::int32_t r = i; r <= rows; ++r, walk.next()) {
    for (colm_ptr e = first_active(walk.first(), i); e != nullptr; e = e->next) {
      if (colm_word(e) == 0) {
        std::printf(" modulus, initrow, row, col, %d, %d, %d, %d\n", modulus, i, r, e->coord);
        tavrin_error("0 found in special_mod_sparse_findbest", true);
        continue;
      }
      *k = e->coord;
      *j = r;
      return;
    }
    if (leave_early) return;
  }
}

bool spec1_mod_sparse_findbest(sparseptr sp, std::int32_t rows, std::int32_t i, std::int32_t* j,
                               std::int32_t* k) {
  *k = -1;
  const std::int32_t last = maxx(rows / 2 - i, rows - ((rows - i) * 4) / 5);
  const std::int32_t factor = maxx(2, 9 - (i * 200) / rows);
  std::int32_t best = 268435455;
  std::int32_t first = 0;
  if (i > last) return false;
  RowWalk walk(sparse_frame_of(sp, i), i);
  for (std::int32_t r = i; r <= last; ++r, walk.next()) {
    std::int32_t count = 0;
    std::int32_t col = -1;
    for (colm_ptr e = first_active(walk.first(), i); e != nullptr; e = e->next) {
      if (colm_word(e) == 0) {
        tavrin_error("0 found in special_mod_sparse_findbest", true);
        continue;
      }
      if (count++ == 0) col = e->coord;
    }
    if (count == 0) {
      *k = -1;
      return true;
    }
    if (r == i) first = count;
    if (count < best) {
      *j = r;
      *k = col;
      best = count;
      if (count * factor < first) return true;
    }
  }
  return best * 3 < first * 2;
}

void spec2_mod_sparse_findbest(sparseptr sp, std::int32_t i, std::int32_t* k) {
  colm_ptr e = first_active(*sparse_row(sp, i), i);
  *k = e == nullptr ? -1 : e->coord;
}

namespace {

// The shared walk of the two sparse column searches: for each row from i
// with an entry at column col, judge(row, entry) answers whether to take it
// at once; *j := -2 when every row from i is empty.
template <class Judge>
bool column_walk(sparseptr sp, std::int32_t rows, std::int32_t i, std::int32_t col, std::int32_t* j,
                 Judge judge) {
  if (i > rows) {
    *j = -2;
    return true;
  }
  *j = -1;
  bool any = false;
  RowWalk walk(sparse_frame_of(sp, i), i);
  for (std::int32_t r = i; r <= rows; ++r, walk.next()) {
    colm_ptr e = walk.first();
    if (e != nullptr) any = true;
    while (e != nullptr && e->coord < col) e = e->next;
    if (e == nullptr || e->coord != col) continue;
    if (judge(r, e)) {
      *j = r;
      return true;
    }
  }
  if (!any) {
    *j = -2;
    return true;
  }
  return false;
}

}  // namespace

void sparse_colfindbest(sparseptr sp, std::int32_t rows, std::int32_t i, std::int32_t col,
                        std::int32_t* j) {
  Candidate best_number, best_other;
  const bool want_tail = pseudet_heur >= 1;
  // Floating mode: the number of largest magnitude (partial pivoting; a
  // small pivot would scale the column's rounding errors up).
  long double largest = -1;
  auto judge = [&](std::int32_t r, colm_ptr e) {
    quoly v = e->val;
    const std::int32_t t = want_tail ? tail_count(e) : 0;
    if (v->numb) {
      if (sparse_val_iszero(v)) {
        tavrin_error("p = 0 in sparse_colfindbest", false);
        return false;
      }
      if (flotemode) {
        const long double size = std::fabs(v->ncoef->flote);
        if (size > largest) {
          largest = size;
          best_number.found = true;
          best_number.row = r;
        }
        return false;
      }
      if (t < 3 && is_unit(v)) return true;
      const std::int32_t m = pseudet_heur == 0   ? number_mass(v)
                             : pseudet_heur == 1 ? t
                                                 : number_mass(v) + t;
      best_number.offer(r, col, m, 0);
    } else {
      const std::int32_t m = pseudet_heur == 0   ? quoly_mass(v)
                             : pseudet_heur == 1 ? f_numterms(v) + t
                             : pseudet_heur == 2 ? quoly_mass(v) + t
                                                 : better_quoly_mass(v) + t;
      best_other.offer(r, col, m, 0);
    }
    return false;
  };
  if (column_walk(sp, rows, i, col, j, judge)) return;
  if (best_number.found) {
    *j = best_number.row;
  } else if (best_other.found) {
    *j = best_other.row;
  }
}

void sparse_mod_colfindbest(sparseptr sp, std::int32_t rows, std::int32_t i, std::int32_t col,
                            std::int32_t* j) {
  Candidate best;
  const bool want_tail = pseudet_heur >= 1;
  auto judge = [&](std::int32_t r, colm_ptr e) {
    const std::int64_t x = e->val->ncoef->lint;
    if (x == 0) {
      tavrin_error("p = 0 in sparse_mod_colfindbest", false);
      return false;
    }
    const std::int64_t half_up = (std::int64_t{modulus} + 1) / 2;
    const std::int64_t dist = half_up > x ? half_up - x : x - half_up;
    const std::int32_t d = static_cast<std::int32_t>(modulus / 2 - dist);
    const std::int32_t t = want_tail ? tail_count(e) : 0;
    if (d < 3 && t < 3) return true;
    best.offer(r, col, want_tail ? t : d, 0);
    return false;
  };
  if (column_walk(sp, rows, i, col, j, judge)) return;
  if (best.found) *j = best.row;
}

// ---- Dense named arrays ------------------------------------------------------------------

namespace {

// The best number (by absolute value) and the best other value (by
// quoly_mass) of dense cells, a unit ending the search at once.
struct DenseBest {
  quoly number = nullptr, other = nullptr;
  std::int32_t nrow = -1, ncol = -1, orow = -1, ocol = -1;
  // True when the cell is a unit (taken at once).
  bool offer(quoly v, std::int32_t r, std::int32_t c) {
    if (v == nullptr) return false;
    if (v->numb) {
      if (sparse_val_iszero(v)) return false;
      if (is_unit(v)) return true;
      if (number == nullptr || abs_larger(number->ncoef, v->ncoef)) {
        number = v;
        nrow = r;
        ncol = c;
      }
    } else if (other == nullptr || quoly_mass(v) < quoly_mass(other)) {
      other = v;
      orow = r;
      ocol = c;
    }
    return false;
  }
};

}  // namespace

void findbest(std::int32_t start, std::int32_t stop, std::int32_t rows, std::int32_t i,
              std::int32_t* j, std::int32_t* k, bool firstonly) {
  *j = -1;
  if (start + i + i * rows > stop) return;
  DenseBest best;
  for (std::int32_t c = i; start + i + c * rows <= stop; ++c) {
    for (std::int32_t r = i; r < rows; ++r) {
      if (best.offer(*arp_cell(start + r + c * rows), r, c)) {
        *j = r;
        *k = c;
        return;
      }
    }
    if (firstonly) break;
  }
  if (best.number != nullptr) {
    *j = best.nrow;
    *k = best.ncol;
  } else if (best.other != nullptr) {
    *j = best.orow;
    *k = best.ocol;
  }
}

void colfindbest(std::int32_t start, std::int32_t rows, std::int32_t i, std::int32_t col,
                 std::int32_t* j) {
  *j = -1;
  DenseBest best;
  for (std::int32_t r = i; r < rows; ++r) {
    if (best.offer(*arp_cell(start + r + col * rows), r, col)) {
      *j = r;
      return;
    }
  }
  if (best.number != nullptr) {
    *j = best.nrow;
  } else if (best.other != nullptr) {
    *j = best.orow;
  }
}

// ---- Exchanges -------------------------------------------------------------------------------

void sp_switchrow(sparseptr sp, std::int32_t i, std::int32_t j) {
  colm_ptrptr a = sparse_row(sp, i);
  colm_ptrptr b = sparse_row(sp, j);
  colm_ptr t = *a;
  *a = *b;
  *b = t;
}

void sp_switchcol(sparseptr sp, std::int32_t i, std::int32_t k, std::int32_t rows,
                  std::int32_t start) {
  if (start > rows) return;
  RowWalk walk(sparse_frame_of(sp, start), start);
  for (std::int32_t r = start; r <= rows; ++r, walk.next()) {
    colm_ptrptr la = walk.head();  // link to the first entry of column >= i
    while (*la != nullptr && (*la)->coord < i) la = &(*la)->next;
    const bool has_a = *la != nullptr && (*la)->coord == i;
    colm_ptrptr lb = has_a ? &(*la)->next : la;  // link to the first entry of column >= k
    while (*lb != nullptr && (*lb)->coord < k) lb = &(*lb)->next;
    const bool has_b = *lb != nullptr && (*lb)->coord == k;
    if (has_a && has_b) {
      quoly t = (*la)->val;
      (*la)->val = (*lb)->val;
      (*lb)->val = t;
    } else if (has_a) {
      colm_ptr a = *la;
      a->coord = k;
      // Unlink A and relink it where column k belongs (before *lb); with
      // nothing between the two columns it stays where it is.
      if (lb != &a->next) {
        *la = a->next;
        a->next = *lb;
        *lb = a;
      }
    } else if (has_b) {
      colm_ptr b = *lb;
      b->coord = i;
      if (lb != la) {
        *lb = b->next;
        b->next = *la;
        *la = b;
      }
    }
  }
}

}  // namespace tavrin
