// Row and column removal, the minor descriptor and the cache of minors (see
// minors_cache.h).
#include "matrix/minors_cache.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>

#include "core/errors.h"
#include "core/globals.h"
#include "numbers/freelists.h"
#include "numbers/garbage.h"
#include "numbers/stash/stash.h"
#include "poly/poly_measures.h"
#include "poly/poly_repr.h"
#include "toplevel/language_services.h"
#include "toplevel/state.h"
#include "arrays/sparse_store.h"
#include "matrix/sparse_rows.h"

namespace tavrin {

std::int32_t* sparse_number_col = nullptr;
std::int32_t* sparse_mass = nullptr;
std::int32_t* number_col = nullptr;
std::int32_t* colm_mass = nullptr;
bool minor_track_mass = true;

std::vector<minor_entry*> minorstash;
std::int32_t minor_total = 0, minor_count = 2, purged_hits = 0;
std::uint64_t minor_memory = 0;
std::int32_t min_stash_row = 0, max_stash_row = 0, init_max_stash_row = 0;
std::int32_t sp_total_cnt = 0, sp_lowcnt = 0;

void allocate_minor_statistics() {
  if (sparse_number_col != nullptr) return;
  sparse_number_col = new std::int32_t[max_minor_rows + 1]();
  sparse_mass = new std::int32_t[max_minor_rows + 1]();
}

void allocate_ham_statistics() {
  if (number_col != nullptr) return;
  number_col = new std::int32_t[ham_max_cols + 1]();
  colm_mass = new std::int32_t[ham_max_cols + 1]();
}

// ---- Undo records ---------------------------------------------------------------------
namespace {
col_record* record_garb = nullptr;
}

col_record* new_col_record() {
  if (record_garb == nullptr) return new col_record{};
  col_record* r = record_garb;
  record_garb = r->next;
  return r;
}

void free_col_records(col_record* first) {
  if (first == nullptr) return;
  col_record* last = first;
  while (last->next != nullptr) last = last->next;
  last->next = record_garb;
  record_garb = first;
}

// ---- Row heads ---------------------------------------------------------------------------
namespace {

// Heads of rows k+1..row move to k..row-1.
void shift_up(sparseptr spar, std::int32_t row, std::int32_t k) {
  if (k >= row) return;
  RowWalk to(sparse_frame_of(spar, k), k), from(sparse_frame_of(spar, k + 1), k + 1);
  for (std::int32_t r = k; r < row; ++r) {
    *to.head() = *from.head();
    to.next();
    from.next();
  }
}

// Heads of rows k..row-1 move to k+1..row (from the bottom up).
void shift_down(sparseptr spar, std::int32_t row, std::int32_t k) {
  for (std::int32_t r = row; r > k; --r) *sparse_row(spar, r) = *sparse_row(spar, r - 1);
}

std::int32_t checked_mass(quoly q) {
  const std::int32_t m = quoly_mass(q);
  if (m < 0) tavrin_error("quoly_mass < 0.", false);
  return m;
}

}  // namespace

void remove_row(sparseptr spar, std::int32_t row, std::int32_t k, colm_ptr* u) {
  colm_ptrptr head = sparse_row(spar, k);
  *u = *head;
  for (colm_ptr e = *u; e != nullptr; e = e->next) {
    const std::int32_t c = initial_col(e->coord);
    sparse_number_col[c] -= 1;
    if (minor_track_mass) sparse_mass[c] -= checked_mass(e->val);
  }
  if (k < row && row - k < sparse_frame_rows &&
      sparse_frame_of(spar, k) == sparse_frame_of(spar, row)) {
    colm_ptr* base = head;
    for (std::int32_t r = 0; r < row - k; ++r) base[r] = base[r + 1];
  } else {
    shift_up(spar, row, k);
  }
}

void restore_row(sparseptr spar, std::int32_t row, std::int32_t k, colm_ptr u) {
  for (colm_ptr e = u; e != nullptr; e = e->next) {
    const std::int32_t c = initial_col(e->coord);
    sparse_number_col[c] += 1;
    if (minor_track_mass) sparse_mass[c] += checked_mass(e->val);
  }
  colm_ptrptr head = sparse_row(spar, k);
  if (k < row && sparse_frame_of(spar, row) == sparse_frame_of(spar, k)) {
    for (std::int32_t r = row - k; r > 0; --r) head[r] = head[r - 1];
  } else {
    shift_down(spar, row, k);
  }
  *head = u;
}

void remove_col(sparseptr spar, std::int32_t k, std::int32_t dim, col_record** w, col_record** nu) {
  *w = nullptr;
  *nu = nullptr;
  if (dim > 0) {
    RowWalk cur(spar, 1);
    for (std::int32_t r = 1; r <= dim; ++r, cur.next()) {
      colm_ptrptr link = cur.head();
      while (*link != nullptr && initial_col((*link)->coord) < k) link = &(*link)->next;
      if (*link != nullptr && initial_col((*link)->coord) == k) {
        col_record* rec = new_col_record();
        rec->link = link;
        rec->entry = *link;
        rec->row = r;
        rec->col = current_col((*link)->coord);
        rec->next = *w;
        *w = rec;
        *link = (*link)->next;
      }
      if (*link != nullptr) {
        col_record* rn = new_col_record();
        rn->entry = *link;
        rn->next = *nu;
        *nu = rn;
        for (colm_ptr e = *link; e != nullptr; e = e->next) e->coord -= 1;
      }
    }
  }
  sparse_number_col[k] += removed_col_mark;
}

void restore_col(std::int32_t k, col_record* w, col_record* nu) {
  sparse_number_col[k] -= removed_col_mark;
  for (col_record* r = w; r != nullptr; r = r->next) *r->link = r->entry;
  for (col_record* r = nu; r != nullptr; r = r->next)
    for (colm_ptr e = r->entry; e != nullptr; e = e->next) e->coord += 1;
  free_col_records(w);
  free_col_records(nu);
}

std::int32_t row_mass(colm_ptr t) {
  std::int64_t sum = 0;
  for (; t != nullptr; t = t->next) {
    sum += checked_mass(t->val);
    if (sum > INT32_MAX) return removed_col_mark;
  }
  return static_cast<std::int32_t>(sum);
}

// ---- The descriptor -----------------------------------------------------------------------
void init_minor_descr(minor_descr* md, std::int32_t n) {
  md->size = (n + 31) / 32;
  md->cols.assign(static_cast<std::size_t>(md->size), 0xFFFFFFFFu);
  if (n % 32 != 0) md->cols.back() = (std::uint32_t{1} << (n % 32)) - 1;
  md->rows = md->cols;
}

std::int32_t update_col_list(minor_descr* md, std::int32_t index) {
  const std::int32_t spot = index - 1;
  md->cols[static_cast<std::size_t>(spot / 32)] &= ~(std::uint32_t{1} << (spot % 32));
  return spot;
}

std::int32_t update_row_list(minor_descr* md, std::int32_t index) {
  std::int32_t left = index;
  for (std::int32_t limb = 0; limb < md->size; ++limb) {
    std::uint32_t bits = md->rows[static_cast<std::size_t>(limb)];
    const std::int32_t here = __builtin_popcount(bits);
    if (left > here) {
      left -= here;
      continue;
    }
    for (std::int32_t b = 0; b < 32; ++b) {
      if ((bits >> b & 1u) == 0) continue;
      if (--left == 0) {
        md->rows[static_cast<std::size_t>(limb)] &= ~(std::uint32_t{1} << b);
        return limb * 32 + b;
      }
    }
  }
  tavrin_error("update_row_list: no such row.", false);
  return 0;
}

// ---- The cache ------------------------------------------------------------------------------
namespace {

constexpr std::int32_t stash_sizes[] = {641, 1277, 2473, 4967, 9901, 20011, 40087};

bool same_descr(const minor_descr& a, const minor_descr& b) {
  return a.size == b.size && a.cols == b.cols && a.rows == b.rows;
}

void free_entry(minor_entry* e) {
  free_quoly(&e->value);
  delete e;
}

// Bytes on the free lists, each list counted up to its cap, with the
// classic record sizes.
std::uint64_t estimate_garbage(std::uint64_t limbs_cap, std::uint64_t heads_cap,
                               std::uint64_t nodes_cap, std::uint64_t cells_cap) {
  auto count = [](auto p, auto next, std::uint64_t cap) {
    std::uint64_t n = 0;
    for (; p != nullptr && n <= cap; p = next(p)) ++n;
    return n;
  };
  const std::uint64_t limbs = count(
      numhead, [](numptr p) { return p->next; }, limbs_cap);
  const std::uint64_t heads = count(
      imhead, [](imptr p) { return p->imag; }, heads_cap);
  const std::uint64_t nodes = count(
      polygarb, [](poly p) { return p->next; }, nodes_cap);
  const std::uint64_t cells = cells_cap == 0
                                  ? 0
                                  : count(
                                        quolygarb, [](quoly p) { return p->next; }, cells_cap);
  return limbs * 8 + heads * 32 + nodes * 16 + cells * 20;
}

std::uint64_t fast_estimate() { return estimate_garbage(60000, 100000, 100000, 30000); }

void refrain_report(std::uint64_t m, std::uint64_t garb) {
  if (!verbose) return;
  std::printf(
      "\n Refrain from purging. memavail, minor memory, garbsize, total branches, leaf count: "
      "%u, %lu, %lu, %li, %li\n",
      static_cast<unsigned>(m), static_cast<unsigned long>(minor_memory),
      static_cast<unsigned long>(garb), static_cast<long>(sp_total_cnt),
      static_cast<long>(sp_lowcnt));
}

minor_entry* lookup(const minor_descr& md, std::int32_t addr) {
  for (minor_entry* e = minorstash[static_cast<std::size_t>(addr - 1)]; e != nullptr; e = e->next)
    if (same_descr(e->key, md)) return e;
  return nullptr;
}

void push_entry(minor_entry* e, std::int32_t addr) {
  minor_entry*& head = minorstash[static_cast<std::size_t>(addr - 1)];
  e->next = head;
  head = e;
  minor_total += 1;
  if (minorprime < 40087 && 4 * minorprime < minor_total) reconfigure_stash();
}

}  // namespace

std::int32_t minorsize(std::int32_t n) {
  if (n < 31) return 641;
  if (n < 45) return 1277;
  if (n < 80) return 2473;
  if (n < 110) return 4967;
  if (n < 190) return 9901;
  if (n < 300) return 20011;
  return 40087;
}

std::int32_t minorshash(const minor_descr& md) {
  if (md.size < 1 || minorprime < 1) return 1;
  const std::int64_t p = minorprime;
  std::uint32_t h = 0;
  for (std::int32_t k = 0; k < md.size; ++k) {
    const std::uint32_t a = md.cols[static_cast<std::size_t>(k)] * 40093u + h;
    const std::int64_t am = std::llabs(static_cast<std::int64_t>(static_cast<std::int32_t>(a))) % p;
    const std::uint32_t b =
        md.rows[static_cast<std::size_t>(k)] * 40099u + static_cast<std::uint32_t>(am);
    h = static_cast<std::uint32_t>(
        std::llabs(static_cast<std::int64_t>(static_cast<std::int32_t>(b))) % p);
  }
  return static_cast<std::int32_t>(h) + 1;
}

void create_minor_stash(std::int32_t n) {
  minorprime = minorsize(n);
  minorstash.assign(static_cast<std::size_t>(minorprime), nullptr);
  minor_total = 0;
}

bool minor_is_there(const minor_descr& md, std::int32_t addr, quolyptr n) {
  minor_entry* e = lookup(md, addr);
  if (e == nullptr) return false;
  e->hits += 1;
  free_quoly(n);
  quoly_assign(e->value, n);
  const std::uint64_t m = memavail();
  if (m <= minor_memory / 5) {
    const std::uint64_t garb = m == 0 ? estimate_garbage(1000000, 6000000, 10000000, 0)
                                      : estimate_garbage(1000000, 1000000, 1000000, 100000);
    if (garb < (m == 0 ? 260000000u : 36000000u))
      try_purge_minors();
    else
      refrain_report(m, garb);
  }
  return true;
}

bool int_minor_is_there(const minor_descr& md, std::int32_t addr, long double* n) {
  minor_entry* e = lookup(md, addr);
  if (e == nullptr) return false;
  e->hits += 1;
  *n = e->flote;
  const std::uint64_t m = memavail();
  if (m < minor_memory / 5) {
    if (estimate_garbage(1000000, 1000000, 1000000, 100000) < 15000000u)
      try_purge_minors();
    else
      refrain_report(m, fast_estimate());
  }
  return true;
}

void stash_minor(const minor_descr& md, std::int32_t addr, quoly n) {
  auto* e = new minor_entry{1, nullptr, 0.0L, md, nullptr};
  quoly_assign(n, &e->value);
  push_entry(e, addr);
}

void int_stash_minor(const minor_descr& md, std::int32_t addr, long double n) {
  push_entry(new minor_entry{1, nullptr, n, md, nullptr}, addr);
}

void try_purge_minors() {
  minor_memory /= 3;
  if (verbose) {
    std::int32_t count = 0, hits = 0;
    count_minor_stash(&count, &hits);
    std::printf("\nRunning low on memory; purging minor stash. %u, %lu, %d\n",
                static_cast<unsigned>(memavail()), static_cast<unsigned long>(minor_memory),
                static_cast<int>(fast_estimate()));
    std::printf(" prime, total branches, leaf count, stash nodes, hits: %d, %d, %d, %d, %d\n",
                minorprime, sp_total_cnt, sp_lowcnt, count, hits + purged_hits);
    std::fflush(stdout);
  }
  for (minor_entry*& head : minorstash) {
    for (std::int32_t k = 0; k < minor_count && head != nullptr; ++k) {
      minor_entry* e = head;
      head = e->next;
      purged_hits += e->hits;
      free_entry(e);
      minor_total -= 1;
    }
  }
  minor_count += 1;
  if (min_stash_row == init_min_stash) min_stash_row += 1;
  max_stash_row -= 1;
}

void reconfigure_stash() {
  if (verbose) {
    std::printf("\nMinor stash has grown large; will reconfigure.\n");
    std::fflush(stdout);
  }
  std::int32_t next = 40087;
  for (std::size_t k = 0; k + 1 < std::size(stash_sizes); ++k)
    if (stash_sizes[k] == minorprime) next = stash_sizes[k + 1];
  std::vector<minor_entry*> old;
  old.swap(minorstash);
  minorprime = next;
  minorstash.assign(static_cast<std::size_t>(next), nullptr);
  for (minor_entry* head : old) {
    while (head != nullptr) {
      minor_entry* e = head;
      head = e->next;
      minor_entry*& slot = minorstash[static_cast<std::size_t>(minorshash(e->key) - 1)];
      e->next = slot;
      slot = e;
    }
  }
}

void free_minor_stash(std::int32_t* count, std::int32_t* hits) {
  count_minor_stash(count, hits);
  for (minor_entry* head : minorstash) {
    while (head != nullptr) {
      minor_entry* e = head;
      head = e->next;
      free_entry(e);
    }
  }
  minorstash.clear();
  minorstash.shrink_to_fit();
  minorprime = 0;
  minor_total = 0;
}

void count_minor_stash(std::int32_t* count, std::int32_t* hits) {
  *count = 0;
  *hits = 0;
  if (minorprime == 0) return;
  for (minor_entry* e : minorstash)
    for (; e != nullptr; e = e->next) {
      *count += 1;
      *hits += e->hits;
    }
}

void minor_statistics(std::uint64_t* memory, std::int32_t* branches, std::int32_t* leaves,
                      std::int32_t* entries, std::int32_t* hits) {
  *memory = minor_memory;
  *branches = sp_total_cnt;
  *leaves = sp_lowcnt;
  count_minor_stash(entries, hits);
  *hits += purged_hits;
}

// ---- Hamiltonian variants -----------------------------------------------------------------
void ham_remove_row(sparseptr spar, std::int32_t row, std::int32_t k, colm_ptr* u) {
  *u = *sparse_row(spar, k);
  for (colm_ptr e = *u; e != nullptr; e = e->next) {
    number_col[e->coord] -= 1;
    if (ham_label(e) > 0) colm_mass[e->coord] -= 1;
  }
  shift_up(spar, row, k);
}

void ham_restore_row(sparseptr spar, std::int32_t row, std::int32_t k, colm_ptr u) {
  for (colm_ptr e = u; e != nullptr; e = e->next) {
    number_col[e->coord] += 1;
    if (ham_label(e) > 0) colm_mass[e->coord] += 1;
  }
  shift_down(spar, row, k);
  *sparse_row(spar, k) = u;
}

void ham_remove_col(sparseptr spar, std::int32_t k, std::int32_t dim, col_record** w) {
  *w = nullptr;
  if (dim > 0) {
    RowWalk cur(spar, 1);
    for (std::int32_t r = 1; r <= dim; ++r, cur.next()) {
      colm_ptrptr link = cur.head();
      while (*link != nullptr && (*link)->coord < k) link = &(*link)->next;
      if (*link == nullptr || (*link)->coord != k) continue;
      col_record* rec = new_col_record();
      rec->link = link;
      rec->entry = *link;
      rec->row = r;
      rec->col = k;
      rec->next = *w;
      *w = rec;
      *link = (*link)->next;
    }
  }
  number_col[k] += ham_removed_mark;
}

void ham_restore_col(std::int32_t k, col_record* w) {
  number_col[k] -= ham_removed_mark;
  for (col_record* r = w; r != nullptr; r = r->next) *r->link = r->entry;
  free_col_records(w);
}

std::int32_t quick_row_mass(colm_ptr t) {
  std::int32_t n = 0;
  for (; t != nullptr; t = t->next)
    if (ham_label(t) >= 1) ++n;
  return n;
}

std::int32_t permute(colptr cp, std::int32_t i) {
  for (; cp != nullptr; cp = cp->next) {
    if (i == cp->i)
      i = cp->j;
    else if (i == cp->j)
      i = cp->i;
  }
  return i;
}

}  // namespace tavrin
