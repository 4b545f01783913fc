// The determinant by expansion by minors (see minors_det.h).
#include "det/minors_det.h"

#include <cstdint>
#include <cstdio>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/interrupts.h"
#include "numbers/freelists.h"
#include "numbers/garbage.h"
#include "numbers/node_handles.h"
#include "numbers/stash/stash.h"
#include "poly/poly_measures.h"
#include "poly/poly_repr.h"
#include "quoly/quoly_add.h"
#include "quoly/quoly_mult.h"
#include "toplevel/state.h"
#include "arrays/sparse_store.h"
#include "matrix/sparse_copy.h"

namespace tavrin {

namespace {

// A row taken out, put back when the scope ends (an error unwinding too).
class RowOut {
 public:
  RowOut(sparseptr sp, std::int32_t row, std::int32_t k) : sp_(sp), row_(row), k_(k) {
    remove_row(sp, row, k, &u_);
  }
  ~RowOut() { restore_row(sp_, row_, k_, u_); }
  RowOut(const RowOut&) = delete;
  RowOut& operator=(const RowOut&) = delete;
  colm_ptr entries() const { return u_; }

 private:
  sparseptr sp_;
  std::int32_t row_, k_;
  colm_ptr u_ = nullptr;
};

class ColOut {
 public:
  ColOut(sparseptr sp, std::int32_t k, std::int32_t dim) : k_(k) {
    remove_col(sp, k, dim, &w_, &nu_);
  }
  ~ColOut() { restore_col(k_, w_, nu_); }
  ColOut(const ColOut&) = delete;
  ColOut& operator=(const ColOut&) = delete;
  col_record* records() const { return w_; }

 private:
  std::int32_t k_;
  col_record* w_ = nullptr;
  col_record* nu_ = nullptr;
};

// The state of one expansion: the copy of a borrowed matrix, the table and
// the running mark, released on every exit.
class Expansion {
 public:
  Expansion(sparseptr* spar, std::int32_t m) : spar_(spar), m_(m) {}
  ~Expansion() {
    std::int32_t count = 0, hits = 0;
    if (minorprime != 0) free_minor_stash(&count, &hits);
    if (new_storage) {
      free_sparse(spar_, m_, true);
      *spar_ = nullptr;
    }
    sp_total_cnt = 0;
    minor_track_mass = true;
  }
  Expansion(const Expansion&) = delete;
  Expansion& operator=(const Expansion&) = delete;
  bool new_storage = false;

 private:
  sparseptr* spar_;
  std::int32_t m_;
};

// Progress numbers of the deep levels (verbose and windy).
void count_progress(std::int32_t row, std::int32_t total_row, bool floating) {
  const std::int32_t d = total_row / 100;
  if (row % (d + 1) == 0) {
    if (floating)
      std::printf(" %li", static_cast<long>(row));
    else
      std::printf(" %3d", row);
    std::fflush(stdout);
  }
  if (row % (10 * d + 10) == 0) std::printf("\n");
}

void enter_level(std::int32_t row, std::int32_t total_row, bool floating) {
  ++dumpitt_level;
  const std::int32_t deep = floating ? 11 : 9;
  if (verbose && dumpitt_level < deep) {
    dumpitt(floating ? " Sparse minors det, integer, modular, side " : "Sparse minors det, side ",
            row, true, false, true);
  } else if (windy && verbose && dumpitt_level >= deep) {
    if (dumpitt_level == deep) std::printf("\n Counting down and then back up:\n");
    count_progress(row, total_row, floating);
  }
}

void leave_level(std::int32_t row, std::int32_t total_row, bool floating) {
  const std::int32_t deep = floating ? 11 : 9;
  if (windy && verbose && dumpitt_level >= deep) {
    if (row == total_row / 100) std::printf("\n");
    count_progress(row, total_row, floating);
  }
}

// The choice of the expansion line: false and a leaf when a row or a
// column is empty; otherwise *use_row and *best.
bool choose_line(sparseptr spar, std::int32_t row, std::int32_t total_row, bool masses,
                 bool* use_row, std::int32_t* best) {
  std::int32_t best_count = 32767, best_mass = 0;
  sparseptr frame = spar;
  for (std::int32_t r = 1; r <= row; ++r) {
    if (r > 1 && (r - 1) % sparse_frame_rows == 0) frame = frame->next;
    colm_ptr first = frame->indx[(r - 1) % sparse_frame_rows];
    std::int32_t count = 0;
    for (colm_ptr e = first; e != nullptr; e = e->next) ++count;
    if (count == 0) return false;
    if (count < best_count) {
      best_count = count;
      *best = r;
      if (masses) best_mass = row_mass(first);
    } else if (masses && count == best_count) {
      const std::int32_t mass = row_mass(first);
      if (mass < best_mass) {
        best_mass = mass;
        *best = r;
      }
    }
  }
  *use_row = true;
  for (std::int32_t c = 1; c <= total_row; ++c) {
    const std::int32_t count = sparse_number_col[c];
    if (count == 0) return false;
    if (count < best_count) {
      best_count = count;
      *best = c;
      *use_row = false;
      if (masses) best_mass = sparse_mass[c];
    } else if (masses && count == best_count && sparse_mass[c] < best_mass) {
      best_mass = sparse_mass[c];
      *best = c;
      *use_row = false;
    }
  }
  return true;
}

// The determinant's ring: system values or long doubles.
struct ValueRing {
  using cell = quolyptr;
  static constexpr bool floating = false;
  static void set_zero(cell n) {
    free_quoly(n);
    quoly_set(0, n);
  }
  static void set_entry(cell n, colm_ptr e) {
    free_quoly(n);
    quoly_assign(e->val, n);
  }
  static bool lookup(minor_descr* md, std::int32_t h, cell n) { return minor_is_there(*md, h, n); }
  static void store(minor_descr* md, std::int32_t h, cell n) { stash_minor(*md, h, *n); }
  static void recurse(sparseptr sp, cell n, std::int32_t row, std::int32_t total, minor_descr* md,
                      colm_ptr e, bool negate) {
    tavrin::nodes::OwnedValue sub;
    do_minors_det(sp, &sub.q, row, total, md);
    if (quoly_iszero(sub.q)) return;
    fast_quoly_mult(&sub.q, &e->val);
    if (negate) quoly_inplace(sub.q);
    best_quoly_add(n, sub.q);
    sub.q = nullptr;
  }
};

long double entry_flote(colm_ptr e) {
  if (e->val == nullptr || !e->val->numb) {
    tavrin_error("Non-number entry in floating minors.", false);
    return 0.0L;
  }
  return e->val->ncoef->flote;
}

struct FloatRing {
  using cell = long double*;
  static constexpr bool floating = true;
  static void set_zero(cell n) { *n = 0.0L; }
  static void set_entry(cell n, colm_ptr e) { *n = entry_flote(e); }
  static bool lookup(minor_descr* md, std::int32_t h, cell n) {
    return int_minor_is_there(*md, h, n);
  }
  static void store(minor_descr* md, std::int32_t h, cell n) { int_stash_minor(*md, h, *n); }
  static void recurse(sparseptr sp, cell n, std::int32_t row, std::int32_t total, minor_descr* md,
                      colm_ptr e, bool negate) {
    long double sub = 0.0L;
    int_do_minors_det(sp, &sub, row, total, md);
    sub *= entry_flote(e);
    *n += negate ? -sub : sub;
  }
};

template <class Ring>
void expand(sparseptr spar, typename Ring::cell n, std::int32_t row, std::int32_t total_row,
            minor_descr* md) {
  if (row == 1) {
    sp_lowcnt += 1;
    colm_ptr first = spar->indx[0];
    if (first != nullptr)
      Ring::set_entry(n, first);
    else
      Ring::set_zero(n);
    return;
  }
  bool may_store = false;
  std::int32_t h = 0, prime_at = 0;
  if (min_stash_row <= row && row <= max_stash_row) {
    h = minorshash(*md);
    if (Ring::lookup(md, h, n)) {
      if (minor_count > 100) {
        std::printf("*** Out of memory. Minors method fails.\n");
        std::fflush(stdout);
      }
      return;
    }
    may_store = true;
    prime_at = minorprime;
  }
  Ring::set_zero(n);
  bool use_row = true;
  std::int32_t best = 0;
  if (!choose_line(spar, row, total_row, !Ring::floating, &use_row, &best)) {
    sp_lowcnt += 1;
    return;
  }
  enter_level(row, total_row, Ring::floating);
  struct LevelDown {
    ~LevelDown() {
      if (dumpitt_level > 0) --dumpitt_level;
    }
  } level_down;
  if (use_row) {
    RowOut line(spar, row, best);
    const std::int32_t spot = update_row_list(md, best);
    if (verbose && dumpitt_level < (Ring::floating ? 11 : 9)) {
      if (Ring::floating)
        std::printf("using row %li.", static_cast<long>(best));
      else
        std::printf("using row %1d.", best);
    }
    for (colm_ptr e = line.entries(); e != nullptr; e = e->next) {
      check_interrupt();
      sp_total_cnt += 1;
      const std::int32_t c = initial_col(e->coord);
      ColOut col(spar, c, row - 1);
      const std::int32_t cspot = update_col_list(md, c);
      Ring::recurse(spar, n, row - 1, total_row, md, e, ((best + current_col(e->coord)) & 1) != 0);
      set_descr_bit(md->cols, cspot);
    }
    set_descr_bit(md->rows, spot);
  } else {
    ColOut line(spar, best, row);
    const std::int32_t spot = update_col_list(md, best);
    if (verbose && dumpitt_level < (Ring::floating ? 11 : 9) && line.records() != nullptr)
      std::printf("using col %1d.", line.records()->col);
    for (col_record* rec = line.records(); rec != nullptr; rec = rec->next) {
      check_interrupt();
      sp_total_cnt += 1;
      RowOut r(spar, row, rec->row);
      const std::int32_t rspot = update_row_list(md, rec->row);
      Ring::recurse(spar, n, row - 1, total_row, md, rec->entry, ((rec->row + rec->col) & 1) != 0);
      set_descr_bit(md->rows, rspot);
    }
    set_descr_bit(md->cols, spot);
  }
  leave_level(row, total_row, Ring::floating);
  const std::uint64_t avail = memavail();
  const bool pressed = Ring::floating ? avail < minor_memory / 6 : avail <= minor_memory / 6;
  if (pressed) {
    const std::int32_t floor = Ring::floating ? 1800000 : 3000000;
    if (fast_garbsize() < floor) return;
    const bool narrowed = max_stash_row < init_max_stash_row - 1;
    const bool back = Ring::floating ? med_garbsize() > 18000000
                                     : med_garbsize() > 28000000 && big_garbsize() > 220000000u;
    if (narrowed && back) {
      max_stash_row = init_max_stash_row;
      minor_memory *= 3;
      minor_count -= 1;
      min_stash_row = init_min_stash;
      purged_hits = 0;
      if (verbose)
        std::printf("\n Resuming minor caching.  %lu, %li, %li\n",
                    static_cast<unsigned long>(minor_memory), static_cast<long>(max_stash_row),
                    static_cast<long>(min_stash_row));
    }
  }
  if (may_store && min_stash_row <= row && row <= max_stash_row) {
    if (minorprime != prime_at) h = minorshash(*md);
    Ring::store(md, h, n);
  }
}

// The set-up shared by both methods (masses only for the value method).
void initialize(sparseptr* spar, bool* ar_free, bool* new_storage, std::int32_t row,
                minor_descr* md, bool masses) {
  if (!*ar_free) {
    sparseptr copy = nullptr;
    copy_sparse(spar, &copy, row, false);
    *spar = copy;
    *ar_free = true;
    *new_storage = true;
  } else {
    *new_storage = false;
  }
  allocate_minor_statistics();
  for (std::int32_t c = 1; c <= row; ++c) sparse_number_col[c] = sparse_mass[c] = 0;
  minor_track_mass = masses;
  sparseptr frame = *spar;
  for (std::int32_t r = 1; r <= row; ++r) {
    if (r > 1 && (r - 1) % sparse_frame_rows == 0) frame = frame->next;
    for (colm_ptr e = frame->indx[(r - 1) % sparse_frame_rows]; e != nullptr; e = e->next) {
      sparse_number_col[e->coord] += 1;
      if (masses) {
        const std::int64_t s = std::int64_t{sparse_mass[e->coord]} + quoly_mass(e->val);
        sparse_mass[e->coord] =
            s < 0 || s > INT32_MAX ? removed_col_mark : static_cast<std::int32_t>(s);
      }
      e->coord *= packed_base + 1;
    }
  }
  create_minor_stash(row);
  init_minor_descr(md, row);
  minor_total = 0;
  minor_memory = memavail();
  purged_hits = 0;
  minor_count = 2;
  max_stash_row = init_max_stash_row = row - init_max_stash;
  min_stash_row = init_min_stash;
}

template <class Ring>
void run_minors(typename Ring::cell n, sparseptr* spar, std::int32_t m, bool* ar_free) {
  if (m >= max_minor_rows) {
    error(too_many_minor_rows_error, &token);
    return;
  }
  if (sp_total_cnt > 0) {
    error(search_running_error, &token);
    return;
  }
  if (m > max_minors_depth) abandon(nesting_too_deep_error, &token);
  Expansion run(spar, m);
  minor_descr md;
  if (Ring::floating)
    initialize_2(spar, m, ar_free, &run.new_storage, &md);
  else
    initialize_1(spar, ar_free, &run.new_storage, m, &md);
  sp_total_cnt = 0;
  sp_lowcnt = 0;
  expand<Ring>(*spar, n, m, m, &md);
  if (windy) std::printf("\n");
  std::int32_t count = 0, hits = 0;
  free_minor_stash(&count, &hits);
  if (Ring::floating ? verbose && windy : verbose)
    std::printf(" total branches, leaf count, stash nodes, hits: %li %li %li %li\n",
                static_cast<long>(sp_total_cnt), static_cast<long>(sp_lowcnt),
                static_cast<long>(count), static_cast<long>(hits + purged_hits));
}

}  // namespace

void initialize_1(sparseptr* spar, bool* ar_free, bool* new_storage, std::int32_t row,
                  minor_descr* md) {
  initialize(spar, ar_free, new_storage, row, md, true);
}

void initialize_2(sparseptr* spar, std::int32_t row, bool* ar_free, bool* new_storage,
                  minor_descr* md) {
  initialize(spar, ar_free, new_storage, row, md, false);
}

void do_minors_det(sparseptr spar, quolyptr n, std::int32_t row, std::int32_t total_row,
                   minor_descr* md) {
  expand<ValueRing>(spar, n, row, total_row, md);
}

void int_do_minors_det(sparseptr spar, long double* n, std::int32_t row, std::int32_t total_row,
                       minor_descr* md) {
  expand<FloatRing>(spar, n, row, total_row, md);
}

void sparse_minors_det(quolyptr n, sparseptr* spar, std::int32_t m, bool* ar_free) {
  run_minors<ValueRing>(n, spar, m, ar_free);
}

void int_sparse_minors_det(long double* n, sparseptr* spar, std::int32_t m, bool* ar_free) {
  run_minors<FloatRing>(n, spar, m, ar_free);
}

}  // namespace tavrin
