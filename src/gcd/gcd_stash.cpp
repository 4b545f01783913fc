// The GCD cache: hashing, lookup, purging, clearing and the pending stores.
#include "gcd/gcd_stash.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

#include "core/errors.h"
#include "core/globals.h"
#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "numbers/bigint.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "poly/poly_measures.h"
#include "poly/poly_repr.h"
#include "gcd/gcd_globals.h"

namespace tavrin {

namespace {

constexpr std::int32_t buckets = gcd_stash_buckets;

// The ring the entries were made under.
struct StashRing {
  bool flote = false, lint = false, modular = false, char2 = false;
  std::int32_t modulus = -1;
  bool operator==(const StashRing&) const = default;
};

StashRing stash_ring(const Ring& ring) {
  StashRing r;
  r.flote = ring.flote;
  r.lint = ring.lint;
  r.modular = ring.modular;
  r.char2 = ring.char2;
  r.modulus = ring.modular ? ring.modulus : -1;
  return r;
}

StashRing entries_ring;          // valid while the cache holds entries
std::uint64_t generation = 0;    // bumped by every emptying
std::uint64_t level_resets = 0;  // bumped whenever emptying puts a nonzero level back to 0
long times_emptied = 0;

bool stash_is_empty() {
  for (quoly b : gcd_stash)
    if (b != nullptr) return false;
  return true;
}

// Frees a chain of entries under the ring they were made in (the number
// routines that free them read the mode flags).
void free_chain(quoly* chain) {
  if (*chain == nullptr) return;
  const ArithModeGuard modes;
  flotemode = entries_ring.flote;
  lintmode = entries_ring.lint;
  modularmode = entries_ring.modular;
  finf = entries_ring.char2;
  purge_list(chain);
}

// Any emptying, whole or partial: the holders handed out so far are void.
void invalidate_holders() {
  ++generation;
  ++times_emptied;
  polygcd_stack_depth = 0;
}

// Every entry freed; gcdmass and polygcd_stack_depth := 0.
void empty_stash() {
  for (quoly& b : gcd_stash) free_chain(&b);
  gcdmass = 0;
  invalidate_holders();
}

std::int32_t number_hash(imptr n, const Ring& ring) {
  if (ring.flote) {
    const long double v = truncl(fabsl(n->flote));
    if (!std::isfinite(v)) return 0;
    return static_cast<std::int32_t>(fmodl(v, 367.0L));
  }
  if (ring.lint) return ((n->lint % buckets) + buckets) % buckets;
  const std::int32_t lead = n->size > 0 ? n->head->value : 0;
  const std::int32_t a = lead < 0 ? -lead : lead;
  return (a % buckets + n->size) % buckets;
}

// The sum over at most the first six nodes of p's top list.
std::int32_t node_sum(poly p, std::int16_t level, const Ring& ring) {
  std::int32_t sum = 0;
  int k = 0;
  for (poly t = p; t != nullptr && k < 6; t = t->next, ++k)
    sum += t->numb ? number_hash(t->ncoef, ring)
                   : hash_1(t->pcoef, static_cast<std::int16_t>(level + 1), ring);
  return sum;
}

std::int32_t argument_hash(poly p, const Ring& ring) { return node_sum(p, 1, ring); }

using nodes::degree;

// a and b agree node for node along their top lists.
bool same_top_list(poly a, poly b) {
  for (; a != nullptr && b != nullptr; a = a->next, b = b->next) {
    if (a->numb != b->numb) return false;
    if (a->numb) {
      if (!equal(a->ncoef, b->ncoef)) return false;
    } else if (a->exp != b->exp || !poly_equal(a->pcoef, b->pcoef)) {
      return false;
    }
  }
  return a == nullptr && b == nullptr;
}

// The bytes of a polynomial of the ring `ring` at the classic record sizes.
std::int64_t poly_bytes(poly p, const StashRing& ring) {
  std::int64_t total = 0;
  for (poly t = p; t != nullptr; t = t->next) {
    total += polynodesize;
    if (t->numb) {
      total += numbersize;
      if (t->ncoef != nullptr && !ring.lint && !ring.flote)
        total += std::int64_t{numnodesize} * t->ncoef->size;
    } else {
      total += poly_bytes(t->pcoef, ring);
    }
  }
  return total;
}

// The unwinding of an error clears the cache (when it is on).
void clear_on_unwind(std::int32_t) {
  if (lookupgcd > 0) free_gcd_stash();
}

}  // namespace

std::int32_t hash_1(poly p, std::int16_t level) { return hash_1(p, level, Ring::current()); }

std::int32_t hash_1(poly p, std::int16_t level, const Ring& ring) {
  return static_cast<std::int32_t>((std::int64_t{node_sum(p, level, ring)} * level) % buckets);
}

bool intable(quoly* q, poly u, poly v, bool equaldegs) {
  for (quoly e = *q; e != nullptr; e = e->next) {
    poly a = e->numer;
    poly b = e->denom->pcoef;
    if (same_top_list(a, u)) {
      if (same_top_list(b, v)) {
        *q = e;
        return true;
      }
      continue;
    }
    if (equaldegs && same_top_list(a, v) && same_top_list(b, u)) {
      *q = e;
      return true;
    }
  }
  return false;
}

void gcdhash(poly u, poly v, poly* pr) { gcdhash(u, v, pr, Ring::current()); }

void gcdhash(poly u, poly v, poly* pr, const Ring& ring) {
  const StashRing here = stash_ring(ring);
  if (!stash_is_empty() && !(here == entries_ring)) empty_stash();

  const bool equaldegs = degree(u) == degree(v);
  poly a = degree(u) <= degree(v) ? u : v;
  poly b = a == u ? v : u;
  const std::int32_t j =
      (argument_hash(a, ring) % buckets + argument_hash(b, ring) % buckets) % buckets;

  quoly found = gcd_stash[j];
  if (intable(&found, a, b, equaldegs)) {
    *pr = found->denom;
    return;
  }

  const std::int64_t mass = std::int64_t{simple_poly_mass(a)} + simple_poly_mass(b);
  poly holder =
      nodes::new_term(static_cast<std::int32_t>(std::min<std::int64_t>(mass, INT32_MAX)), nullptr);
  poly_assign(b, &holder->pcoef);
  quoly entry = nodes::new_ratfun_value(nullptr, holder);
  poly_assign(a, &entry->numer);

  if (stash_is_empty()) entries_ring = here;
  prev_modulus = here.modulus;
  entry->next = gcd_stash[j];
  gcd_stash[j] = entry;
  gcdmass = static_cast<std::int32_t>(std::min<std::int64_t>(gcdmass + mass, INT32_MAX));
  if (gcdmass > initial_memory / 2 && polygcd_stack_depth == 0) purge_gcd_stash(j);
  *pr = holder;
}

void purge_gcd_stash(std::int32_t j) {
  std::int64_t remaining = 0;
  for (quoly b : gcd_stash) {
    if (b == nullptr) continue;
    free_chain(&b->next);
    remaining += b->denom->exp;
  }
  const std::int64_t limit = (2 * initial_memory) / 3;
  for (std::int32_t k = 0; k < buckets && remaining > limit; ++k) {
    if (k == j || gcd_stash[k] == nullptr) continue;
    remaining -= gcd_stash[k]->denom->exp;
    free_chain(&gcd_stash[k]);
  }
  gcdmass = remaining > 0 ? static_cast<std::int32_t>(remaining) : 0;
  invalidate_holders();
}

void free_gcd_stash() {
  if (modularmode) {
    if (prev_modulus == modulus || prev_modulus == -1) {
      prev_modulus = modulus;
      return;
    }
    if (lookupgcd == 0) tavrin_error("prev_modulus = modulus in free_gcd_stash", true);
  }
  prev_modulus = -1;
  empty_stash();
  if (lookupgcd != 0) ++level_resets;
  lookupgcd = 0;
}

void init_gcd_stash() {
  lookupgcd = static_cast<std::int16_t>(lookupgcd + 1);
  if (lookupgcd != 1) return;
  if (!modularmode) {
    if (prev_modulus > 0) {
      if (prev_modulus != modulus) empty_stash();
      prev_modulus = -1;
    }
  } else if (prev_modulus != modulus && prev_modulus != -1) {
    empty_stash();
    prev_modulus = -1;
  }
}

void pop_gcd_stash() {
  lookupgcd = static_cast<std::int16_t>(lookupgcd - 1);
  if (lookupgcd == 0) free_gcd_stash();
}

GcdStashLevel::GcdStashLevel() : resets_(level_resets) { init_gcd_stash(); }

GcdStashLevel::~GcdStashLevel() {
  if (resets_ == level_resets) pop_gcd_stash();
}

void register_gcd_stash_hooks() { add_error_hook(error_stage::unwind, clear_on_unwind); }

std::int64_t mass_gcd_stash() {
  if (stash_is_empty()) return 0;
  std::int64_t total = 0;
  for (quoly b : gcd_stash)
    for (quoly e = b; e != nullptr; e = e->next)
      total += quolysize + poly_bytes(e->numer, entries_ring) + poly_bytes(e->denom, entries_ring);
  return total;
}

gcd_stash_census gcd_stash_contents() {
  gcd_stash_census c{0, 0, times_emptied};
  for (quoly b : gcd_stash)
    for (quoly e = b; e != nullptr; e = e->next) {
      ++c.entries;
      if (e->denom->next != nullptr) ++c.stored;
    }
  return c;
}

PendingGcdStore::PendingGcdStore(poly holder) : holder_(holder), generation_(generation) {
  ++polygcd_stack_depth;
}

PendingGcdStore::~PendingGcdStore() {
  if (!done_ && generation_ == generation) --polygcd_stack_depth;
}

void PendingGcdStore::store(poly g, int site) {
  if (done_) return;
  done_ = true;
  if (generation_ != generation) return;
  poly copy = nullptr;
  poly_assign(g, &copy);
  const std::int32_t w = simple_poly_mass(copy);
  free_poly(&holder_->next);
  holder_->next = copy;
  holder_->exp =
      static_cast<std::int32_t>(std::min<std::int64_t>(std::int64_t{holder_->exp} + w, INT32_MAX));
  gcdmass = static_cast<std::int32_t>(std::min<std::int64_t>(std::int64_t{gcdmass} + w, INT32_MAX));
  --polygcd_stack_depth;
  if (polygcd_stack_depth < 0) {
    char text[40];
    std::snprintf(text, sizeof text, "negative polygcd_stack_depth %d", site);
    tavrin_error(text, false);
  }
}

}  // namespace tavrin
