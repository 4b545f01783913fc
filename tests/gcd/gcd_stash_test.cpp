// The GCD cache: which one-variable GCDs it keeps, what it answers, its
// buckets, levels and purge, its single ground ring, the reset on errors,
// and that answers are the same with it on and off. The auxiliary prime
// lists against trial division of their own.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/globals.h"
#include "core/jumps.h"
#include "core/mode_guard.h"
#include "gcd/aux_primes.h"
#include "gcd/gcd.h"
#include "gcd/gcd_globals.h"
#include "gcd/gcd_stash.h"
#include "gcd/onevar_gcd.h"
#include "support/data_tables.h"
#include "support/dense_ref.h"
#include "support/modulus_scope.h"
#include "support/node_accounting.h"
#include "support/num.h"
#include "support/output_capture.h"
#include "support/poly_support.h"

namespace tavrin::test {
namespace {

class GcdStash : public ::testing::Test {
 protected:
  void TearDown() override {
    BigModeGuard rational;  // a clear outside modular arithmetic frees every entry
    free_gcd_stash();
    balance_.expect_balanced();
  }
  // basic_poly_gcd of a and b; *hit: whether the cache answered.
  Coeffs gcd(const Coeffs& a, const Coeffs& b, bool monic, bool* hit = nullptr) {
    const long hits = onevar_gcd_routes.cache_hits;
    Poly n = Poly::adopt(coeffs_to_poly(a)), m = Poly::adopt(coeffs_to_poly(b)), g;
    basic_poly_gcd(n, m, g.cell(), monic, vars_.level(1));
    if (hit != nullptr) *hit = onevar_gcd_routes.cache_hits > hits;
    return poly_to_coeffs(g);
  }
  long entries() const { return gcd_stash_contents().entries; }

  NodeBalance balance_;
  PolyVars vars_{"t"};
  ScopedValue<std::int64_t> memory_{initial_memory, 50 * 225000};
  ScopedValue<std::int16_t> level_{lookupgcd, 1};
  ScopedValue<std::int32_t> prev_{prev_modulus, -1};
  ScopedValue<std::int32_t> mass_{gcdmass, 0};
};

TEST_F(GcdStash, WhatIsKeptAndWhatComesBack) {
  ModulusScope scope(7);
  const RefField f(7);
  std::mt19937_64 rng(test_seed());
  const Coeffs c = random_coeffs(rng, f, 20);
  auto times_c = [&](std::int64_t d) { return ref_mult(f, random_coeffs(rng, f, d - 20), c); };
  gcd(times_c(60), times_c(40), true);            // degree sum 100: not cached
  gcd(random_coeffs(rng, f, 100), {1, 1}, true);  // deg m = 1: never cached
  EXPECT_EQ(entries(), 0);
  const Coeffs a = times_c(61), b = times_c(40);  // 101: cached, stored monic
  const Coeffs first = gcd(a, b, true);
  EXPECT_EQ(gcd_stash_contents().stored, 1);
  bool hit = false, hit2 = false;
  EXPECT_EQ(gcd(a, b, false, &hit), first);  // as stored, though not asked monic
  EXPECT_EQ(gcd(ref_mult(f, b, {5}), ref_mult(f, a, {3}), false, &hit2), first);
  EXPECT_TRUE(hit && hit2);
  EXPECT_EQ(entries(), 1);

  // (u, v) and (v, u) of equal degree share one entry; two pairs that differ
  // only in their seventh term share a bucket and are both found.
  Poly u("t^9 + 2*t^8 + 3*t^7 + 4*t^6 + 5*t^5 + 6*t^4 + 1*t^3 + t + 9"), v("t^9 + 3*t + 1");
  Poly w("t^9 + 2*t^8 + 3*t^7 + 4*t^6 + 5*t^5 + 6*t^4 + 2*t^3 + t + 9");
  poly h1 = nullptr, h2 = nullptr, h3 = nullptr, again = nullptr;
  gcdhash(u, v, &h1);
  gcdhash(v, u, &h2);
  gcdhash(w, v, &h3);
  EXPECT_EQ(h1, h2);
  EXPECT_NE(h1, h3);
  EXPECT_EQ(entries(), 3);
  EXPECT_EQ(std::count_if(gcd_stash, gcd_stash + gcd_stash_buckets,
                          [](quoly b) { return b != nullptr && b->next != nullptr; }),
            1);
  gcdhash(u, v, &again);
  EXPECT_EQ(again, h1);
  gcdhash(v, w, &again);
  EXPECT_EQ(again, h3);
}

TEST_F(GcdStash, LevelsAndOneRing) {
  {  // rational arithmetic: init, init, pop keep the entries, a second pop clears them
    ScopedValue<std::int16_t> level(lookupgcd, 0);
    Poly u("t^4 + 2*t + 7"), v("3*t^3 + 5");
    poly h = nullptr;
    init_gcd_stash();
    init_gcd_stash();
    gcdhash(u, v, &h);
    pop_gcd_stash();
    EXPECT_TRUE(entries() == 1 && mass_gcd_stash() > 0);
    pop_gcd_stash();
    EXPECT_TRUE(lookupgcd == 0 && entries() == 0 && gcdmass == 0 && mass_gcd_stash() == 0);
  }
  // Entries made modulo 7 are not returned modulo 11, nor in rational arithmetic.
  Coeffs a, b;
  Poly u("t^3 + 1"), v("t^2 + 1");
  for (std::int32_t p : {7, 11, 7}) {
    ModulusScope scope(p);
    const RefField f(p);
    std::mt19937_64 rng(test_seed() + 2);
    const Coeffs c = random_coeffs(rng, f, 10);
    if (p == 7) {
      a = ref_mult(f, random_coeffs(rng, f, 60), c);
      b = ref_mult(f, random_coeffs(rng, f, 50), c);
    }
    bool hit = true;
    EXPECT_EQ(gcd(a, b, true, &hit), ref_monic_gcd(f, a, b));
    EXPECT_FALSE(hit) << "modulus " << p;
  }
  poly h = nullptr;
  gcdhash(u, v, &h);
  EXPECT_TRUE(h->next == nullptr && entries() == 1);
}

TEST_F(GcdStash, PurgeKeepsTheNewestThenEmptiesBucketsInIndexOrder) {
  ModulusScope scope(65521);
  const RefField f(65521);
  std::mt19937_64 rng(test_seed() + 1);
  {
    ScopedValue<std::int32_t> pending(polygcd_stack_depth, 1);  // no purge while filling
    for (int i = 0; i < 400; ++i) {
      Poly u = Poly::adopt(coeffs_to_poly(random_coeffs(rng, f, 8)));
      Poly v = Poly::adopt(coeffs_to_poly(random_coeffs(rng, f, 5)));
      poly h = nullptr;
      gcdhash(u, v, &h);
    }
  }
  const std::vector<quoly> newest(gcd_stash, gcd_stash + gcd_stash_buckets);
  std::vector<std::int64_t> mass;
  for (quoly b : newest) mass.push_back(b == nullptr ? 0 : b->denom->exp);
  const int spared = 0;
  initial_memory = gcdmass / 2;  // down to a third of the mass
  purge_gcd_stash(spared);
  // Below the first kept bucket (the spared one aside) all are empty; from it
  // on each keeps exactly its newest entry; the last emptied one was needed.
  const std::int64_t limit = 2 * initial_memory / 3;
  int first_kept = gcd_stash_buckets, last_emptied = -1;
  for (int k = gcd_stash_buckets - 1; k >= 0; --k)
    if (k != spared && gcd_stash[k] != nullptr) first_kept = k;
  std::int64_t kept = 0;
  for (int k = 0; k < gcd_stash_buckets; ++k) {
    const auto i = static_cast<std::size_t>(k);
    const bool emptied = k < first_kept && k != spared;
    EXPECT_EQ(gcd_stash[k], emptied ? nullptr : newest[i]) << k;
    EXPECT_TRUE(gcd_stash[k] == nullptr || gcd_stash[k]->next == nullptr) << k;
    if (!emptied) kept += mass[i];
    if (emptied && newest[i] != nullptr) last_emptied = k;
  }
  EXPECT_TRUE(gcdmass == kept && kept <= limit);
  ASSERT_GE(last_emptied, 0);
  EXPECT_GT(kept + mass[static_cast<std::size_t>(last_emptied)], limit) << "emptied too many";
}

TEST_F(GcdStash, AnErrorUnwindingClearsTheCacheAndThePendingCount) {
  ScopedValue<bool> push(errorpush, false);
  for (bool modular : {false, true}) {
    std::optional<ModulusScope> scope;
    if (modular) scope.emplace(7);
    Poly u("t^4 + 2*t + 3"), v("3*t^3 + 5");
    lookupgcd = 1;
    poly h = nullptr;
    gcdhash(u, v, &h);
    output_of([&] {
      PendingGcdStore pending(h);
      error(22, &token);
    });
    // Under an unchanged modulus the entries and the level stay.
    EXPECT_EQ(polygcd_stack_depth, 0);
    EXPECT_EQ(entries(), modular ? 1 : 0);
    EXPECT_EQ(lookupgcd, modular ? 1 : 0);
  }
}

// An elimination's cache level, given up by an error unwinding through it:
// the unwind's reset is final outside modular arithmetic, and the guard's
// pop restores the level where the unwind keeps it.
TEST_F(GcdStash, AGuardedLevelUnwindsToTheLevelBefore) {
  ScopedValue<bool> push(errorpush, false);
  for (bool modular : {false, true}) {
    std::optional<ModulusScope> scope;
    if (modular) scope.emplace(7);
    for (std::int16_t before : {0, 1}) {
      lookupgcd = before;
      output_of([&] {
        GcdStashLevel outer;
        GcdStashLevel inner;
        error(22, &token);
      });
      EXPECT_EQ(lookupgcd, modular ? before : 0) << modular << " " << before;
    }
    lookupgcd = 0;
  }
}

TEST_F(GcdStash, SameAnswersWithTheCacheOnAndOff) {
  ModulusScope scope(65521);
  const RefField f(65521);
  std::mt19937_64 rng(test_seed() + 3);
  std::vector<std::pair<Coeffs, Coeffs>> pool;
  for (int i = 0; i < 40; ++i) {
    const Coeffs c = random_coeffs(rng, f, static_cast<std::int64_t>(rng() % 40));
    pool.emplace_back(ref_mult(f, random_coeffs(rng, f, 70), c),
                      ref_mult(f, random_coeffs(rng, f, 45), c));
  }
  long hits = 0;
  for (int it = 0; it < test_iterations(500); ++it) {
    const auto& [a, b] = pool[rng() % pool.size()];
    const Coeffs ka = ref_mult(f, a, {1 + static_cast<std::int64_t>(rng() % 65520)});
    const bool monic = rng() % 2 == 0;
    bool hit = false;
    lookupgcd = 1;
    const Coeffs on = gcd(ka, b, monic, &hit);
    lookupgcd = 0;
    const Coeffs off = gcd(ka, b, monic);
    hits += hit;
    // Not asked monic, a stored GCD comes back as stored: equal up to a unit.
    ASSERT_EQ(monic || !hit ? on : ref_monic(f, on), monic || !hit ? off : ref_monic(f, off));
  }
  EXPECT_GT(hits, 0);
}

// ---- Auxiliary prime lists -----------------------------------------------------------------

using PrimeList = std::vector<std::pair<std::int32_t, std::int32_t>>;

PrimeList list_of(polypt q) {
  PrimeList r;
  for (imptr e = q->gcd_data; e != nullptr; e = e->imag) {
    EXPECT_TRUE(e->size == 1 && e->head == e->tail);
    r.emplace_back(e->lint, e->head->value);
  }
  return r;
}

TEST(AuxPrimes, ListsOfDividingPrimes) {
  load_data_tables();
  PolyVars vars{"t"};
  polypt q = vars.level(1);
  NodeBalance balance;
  Num y(BigRef(2 * 3 * 43 * 47));
  add_all_to_list(q, 5, y);
  EXPECT_EQ(list_of(q), (PrimeList{{47, 5}, {43, 5}}));
  add_prime_to_list(q, 43, 9);  // present: nothing changes
  add_prime_to_list(q, 41, 9);
  add_prime_to_list(q, 53, 1);
  EXPECT_EQ(list_of(q), (PrimeList{{53, 1}, {47, 5}, {43, 5}, {41, 9}}));
  free_gcd_data(q);
  EXPECT_TRUE(q->gcd_data == nullptr && q->aux_num == 0);
  insert_new_prime(7, 3, &q->gcd_data);
  insert_new_prime(11, 4, &q->gcd_data);
  EXPECT_EQ(list_of(q), (PrimeList{{11, 4}, {7, 3}}));
  free_gcd_data(q);
  // Random products of primes over several limbs: every prime factor above
  // 40 up to the 4,916th prime (47,699) in decreasing order with x mod p.
  std::mt19937_64 rng(test_seed() + 4);
  for (int it = 0; it < test_iterations(20); ++it) {
    BigRef prod = it % 2 == 0 ? 1 : -1;
    PrimeList want;
    const auto x = static_cast<std::int32_t>(rng() % 2000000) - 1000000;
    for (std::int32_t p : {2, 3, 37, 41, 101, 7919, 9973, 10007, 46337, 47699, 47701, 65521})
      if (rng() % 2 == 0) {
        prod = prod * BigRef(p) * BigRef(rng() % 3 == 0 ? p : 1);
        if (p > 40 && p <= 47699) want.insert(want.begin(), {p, ((x % p) + p) % p});
      }
    Num big(prod);
    add_all_to_list(q, x, big);
    EXPECT_EQ(big.value(), prod) << "y changed";
    EXPECT_EQ(list_of(q), want) << prod;
    free_gcd_data(q);
  }
}

}  // namespace
}  // namespace tavrin::test
