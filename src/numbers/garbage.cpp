#include "numbers/garbage.h"

#include <cmath>
#include <cstdio>
#include <utility>
#include <vector>

#include "core/globals.h"
#include "numbers/freelists.h"
#include "numbers/work_arrays.h"

namespace tavrin {

// ---- Sizes -----------------------------------------------------------------

std::int32_t sizenumber(imptr p) {
  if (p == nullptr) return 0;
  std::int32_t s = numbersize;
  if (!lintmode) s += p->size * numnodesize;
  return s;
}

std::int32_t sizepoly(poly p) {
  std::int32_t s = 0;
  for (; p != nullptr; p = p->next) {
    s += polynodesize;
    s += p->numb ? sizenumber(p->ncoef) : sizepoly(p->pcoef);
  }
  return s;
}

std::int32_t sizequoly(quoly q) {
  if (q == nullptr) return 0;
  if (q->numb) return quolysize + sizenumber(q->ncoef);
  return quolysize + sizepoly(q->numer) + sizepoly(q->denom);
}

// ---- Free-list sizes --------------------------------------------------------

namespace {

constexpr long no_cap = -1;

// Length of a list, counted up to cap + 1 entries.
template <class T, class Next>
long capped_length(T* p, long cap, Next next) {
  long n = 0;
  for (; p != nullptr; p = next(p)) {
    ++n;
    if (cap != no_cap && n > cap) break;
  }
  return n;
}

long limbs_on_list(long cap) {
  return capped_length(numhead, cap, [](numptr p) { return p->next; });
}
long headers_on_list(long cap) {
  return capped_length(imhead, cap, [](imptr p) { return p->imag; });
}
long polys_on_list(long cap) {
  return capped_length(polygarb, cap, [](poly p) { return p->next; });
}
long quolys_on_list(long cap) {
  return capped_length(quolygarb, cap, [](quoly p) { return p->next; });
}

template <class T>
long simple_length(T* p) {
  return capped_length(p, no_cap, [](T* q) { return q->next; });
}

}  // namespace

std::int32_t fast_garbsize() {
  return static_cast<std::int32_t>(limbs_on_list(60000) * 8 + headers_on_list(100000) * 32 +
                                   polys_on_list(100000) * 16 + quolys_on_list(30000) * 20);
}

std::int32_t med_garbsize() {
  return static_cast<std::int32_t>(limbs_on_list(1000000) * 8 + headers_on_list(1000000) * 32 +
                                   polys_on_list(1000000) * 16 + quolys_on_list(100000) * 20);
}

std::uint32_t big_garbsize() {
  return static_cast<std::uint32_t>(limbs_on_list(1000000) * 8 + headers_on_list(6000000) * 32 +
                                    polys_on_list(10000000) * 16);
}

std::uint32_t garbsize() {
  return static_cast<std::uint32_t>(limbs_on_list(no_cap) * 8 + headers_on_list(no_cap) * 32 +
                                    polys_on_list(no_cap) * 16 + quolys_on_list(no_cap) * 20);
}

// ---- The report ---------------------------------------------------------------

namespace {

// The length of the free list from p (linked through next), each record
// shown by show when `list`.
template <class T, class Show>
long listed_length(T* p, bool list, Show show) {
  long n = 0;
  for (; p != nullptr; p = p->next) {
    ++n;
    if (list) show(p);
  }
  return n;
}

// One line of the report, "<what> count: n" followed by ", size" for a
// size given, shown when n is not 0 or `always`; n records of `bytes` each
// go into total.
void count_line(long& total, const char* what, long n, long bytes, int size = 0,
                bool always = false) {
  total += n * bytes;
  if (n == 0 && !always) return;
  if (size != 0) {
    std::printf("%s count: %5d, %d\n", what, static_cast<int>(n), size);
  } else {
    std::printf("%s count: %5d\n", what, static_cast<int>(n));
  }
}

}  // namespace

void garbage(char x) {
  const bool list = (x == 'G');
  long total = 0;
  const long limbs = listed_length(numhead, list, [](numptr p) { std::printf("%d\n", p->value); });
  count_line(total, "num", limbs, 8, 8, true);
  count_line(total, "im", headers_on_list(no_cap), 32, 32, true);
  std::fflush(stdout);
  count_line(total, "var", count_free_vars(list), 28);
  const long arrays =
      listed_length(arr_garb, list, [](arrptr a) { std::printf("%s\n", a->name.name); });
  count_line(total, "array", arrays, 80, 80);
  const long names =
      listed_length(name_garb, list, [](nameptr a) { std::printf("%s\n", a->let.name); });
  count_line(total, "name", names, 40);
  count_line(total, "fix", simple_length(fixgarb), 16);
  const long polys = listed_length(polygarb, list, [](poly p) { std::printf("%d\n", p->exp); });
  count_line(total, "poly", polys, 16, 16, true);
  count_line(total, "quoly", quolys_on_list(no_cap), 20, 20, true);
  count_line(total, "sparse", simple_length(spargarb), 8197, 2048);
  count_line(total, "colm", simple_length(colm_garb), 12);
  count_line(total, "matrix col", simple_length(colgarb), 16);
  count_line(total, "poly pointer", simple_length(pt_garb), 64);
  count_line(total, "form node", simple_length(formhead), 12);
  count_line(total, "cond expr", simple_length(condhead), 24);

  // The work arrays allocated so far: the pool hands its slots out in order.
  long n = 0;
  while (n < work_pool_size && workhead[n + 1] != nullptr) ++n;
  if (n != 0) std::printf("work arrays: %5d, %d\n", static_cast<int>(n), 4000000);
  total += n * 4000000;

  const long system = static_cast<long>(mass_gcd_stash()) + size_data_strucs;
  std::printf("total garbage: %9d\n", static_cast<int>(total));
  std::printf("system data size: %9d\n", static_cast<int>(system));
  std::printf("total size: %9d\n", static_cast<int>(total + system));
  std::fflush(stdout);
}

// ---- Sorting the free lists -------------------------------------------------------

namespace {

// Swaps the median of par[i], par[mid], par[j] into par[j].
void median_to_end(std::uintptr_t* par, std::int32_t i, std::int32_t j) {
  const std::int32_t mid = i + (j - i) / 2;
  if (par[mid] < par[i]) std::swap(par[mid], par[i]);
  if (par[j] < par[i]) std::swap(par[j], par[i]);
  if (par[j] < par[mid]) std::swap(par[j], par[mid]);
  std::swap(par[mid], par[j]);  // the median is now at j
}

std::int32_t partition_at_end(std::uintptr_t* par, std::int32_t i, std::int32_t j) {
  const std::uintptr_t pivot = par[j];
  std::int32_t lo = i;
  std::int32_t hi = j - 1;
  for (;;) {
    while (lo <= hi && par[lo] < pivot) ++lo;
    while (hi >= lo && par[hi] > pivot) --hi;
    if (lo >= hi) break;
    std::swap(par[lo], par[hi]);
    ++lo;
    --hi;
  }
  std::swap(par[lo], par[j]);
  return lo;
}

constexpr std::int32_t sort_capacity = 600000;

std::vector<std::uintptr_t>& sort_area() {
  static std::vector<std::uintptr_t> area;
  return area;
}

// Sorts the first entries of a list linked through `link` by address.
template <class T, class Link>
void sort_list(T*& head, Link link) {
  std::vector<std::uintptr_t>& par = sort_area();
  par.clear();
  T* rest = head;
  while (rest != nullptr && static_cast<std::int32_t>(par.size()) < sort_capacity) {
    par.push_back(reinterpret_cast<std::uintptr_t>(rest));
    rest = link(rest);
  }
  if (par.size() < 2) return;
  quiksort(par.data(), 0, static_cast<std::int32_t>(par.size()) - 1);
  for (std::size_t k = 0; k + 1 < par.size(); ++k)
    link(reinterpret_cast<T*>(par[k])) = reinterpret_cast<T*>(par[k + 1]);
  link(reinterpret_cast<T*>(par.back())) = rest;
  head = reinterpret_cast<T*>(par.front());
}

}  // namespace

void parttion(std::uintptr_t* par, std::int32_t i, std::int32_t j, std::int32_t* r, bool* hit) {
  const std::uintptr_t before = par[j];
  median_to_end(par, i, j);
  const std::uintptr_t pivot = par[j];
  *r = partition_at_end(par, i, j);
  *hit = (pivot != before) || (*r != j);
}

void quiksort(std::uintptr_t* par, std::int32_t i, std::int32_t j) {
  while (j - i >= 1) {
    if (j - i == 1) {
      if (par[j] < par[i]) std::swap(par[i], par[j]);
      return;
    }
    median_to_end(par, i, j);
    const std::int32_t r = partition_at_end(par, i, j);
    // Recurse into the smaller side, loop on the larger: depth stays logarithmic.
    if (r - i < j - r) {
      quiksort(par, i, r - 1);
      i = r + 1;
    } else {
      quiksort(par, r + 1, j);
      j = r - 1;
    }
  }
}

void clean_up_poly() {
  sort_list(polygarb, [](poly p) -> poly& { return p->next; });
}

void clean_up_quoly() {
  sort_list(quolygarb, [](quoly p) -> quoly& { return p->next; });
}

void clean_up_imp() {
  sort_list(imhead, [](imptr p) -> imptr& { return p->imag; });
}

void clean_up_colm() {
  sort_list(colm_garb, [](colm_ptr p) -> colm_ptr& { return p->next; });
}

// ---- Floating-point clean-up ---------------------------------------------------------

void purge_fl(poly* q, bool* nilled) {
  *nilled = true;
  poly* cell = q;
  while (*cell != nullptr) {
    poly node = *cell;
    bool gone;
    if (node->numb) {
      gone = std::fabs(static_cast<double>(node->ncoef->flote)) < 1e-8;
      if (gone) free_imag(&node->ncoef);
    } else {
      purge_fl(&node->pcoef, &gone);
    }
    if (gone) {
      *cell = node->next;
      free_polynode_list(node, node);
    } else {
      *nilled = false;
      cell = &node->next;
    }
  }
}

}  // namespace tavrin
