// The GCD cache: which one-variable GCDs it keeps, what it answers, its
// buckets, levels and purge, its single ground ring, the reset on errors,
// and that answers are the same with it on and off. The auxiliary prime
// lists against trial division of their own.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <cstdint>
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
  // basic_poly_gcd of a and b; whether the cache answered.
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
  ScopedValue<std::int32_t> memory_{initial_memory, 50 * 225000};
  ScopedValue<std::int16_t> level_{lookupgcd, 1};
  ScopedValue<std::int32_t> prev_{prev_modulus, -1};
  ScopedValue<std::int32_t> mass_{gcdmass, 0};
};

TEST_F(GcdStash, WhatIsKeptAndWhatComesBack) {
  ModulusScope scope(7);
  const RefField f(7);
  std::mt19937_64 rng(test_seed());
  const Coeffs c = random_coeffs(rng, f, 20);
  auto pair_of = [&](std::int64_t dn, std::int64_t dm, Coeffs* a, Coeffs* b) {
    *a = ref_mult(f, random_coeffs(rng, f, dn - 20), c);
    *b = ref_mult(f, random_coeffs(rng, f, dm - 20), c);
  };
  Coeffs a, b;
  pair_of(60, 40, &a, &b);  // degree sum 100: not cached
  gcd(a, b, true);
  EXPECT_EQ(entries(), 0);
  gcd(random_coeffs(rng, f, 100), {1, 1}, true);  // deg m = 1: never cached
  EXPECT_EQ(entries(), 0);
  pair_of(61, 40, &a, &b);  // 101: cached, the monic GCD stored
  const Coeffs first = gcd(a, b, true);
  EXPECT_EQ(gcd_stash_contents().stored, 1);
  bool hit = false;
  EXPECT_EQ(gcd(a, b, false, &hit), first);  // returned as stored: monic
  EXPECT_TRUE(hit);
  const Coeffs a3 = ref_mult(f, a, {3}), b5 = ref_mult(f, b, {5});
  EXPECT_EQ(gcd(b5, a3, false, &hit), first);
  EXPECT_TRUE(hit);
  EXPECT_EQ(entries(), 1);

  // (u, v) and (v, u) of equal degree share one entry.
  Poly u = Poly::adopt(coeffs_to_poly(random_coeffs(rng, f, 30)));
  Poly v = Poly::adopt(coeffs_to_poly(random_coeffs(rng, f, 30)));
  poly h1 = nullptr, h2 = nullptr;
  gcdhash(u, v, &h1);
  gcdhash(v, u, &h2);
  EXPECT_EQ(h1, h2);
  EXPECT_EQ(entries(), 2);
}

TEST_F(GcdStash, PairsDifferingInTheSeventhTermShareABucketAndAreBothFound) {
  ModulusScope scope(101);
  Poly v("t^8 + 3*t + 1");
  Poly u1("t^9 + 2*t^8 + 3*t^7 + 4*t^6 + 5*t^5 + 6*t^4 + 7*t^3 + t + 9");
  Poly u2("t^9 + 2*t^8 + 3*t^7 + 4*t^6 + 5*t^5 + 6*t^4 + 8*t^3 + t + 9");
  poly h1 = nullptr, h2 = nullptr, again = nullptr;
  gcdhash(u1, v, &h1);
  gcdhash(u2, v, &h2);
  EXPECT_NE(h1, h2);
  int shared = 0;
  for (quoly b : gcd_stash)
    if (b != nullptr && b->next != nullptr) ++shared;
  EXPECT_EQ(shared, 1);
  gcdhash(u1, v, &again);
  EXPECT_EQ(again, h1);
  gcdhash(u2, v, &again);
  EXPECT_EQ(again, h2);
}

TEST_F(GcdStash, LevelsPushAndPop) {
  ScopedValue<std::int16_t> level(lookupgcd, 0);
  Poly u("t^4 + 2*t + 7"), v("3*t^3 + 5");
  poly h = nullptr;
  init_gcd_stash();
  init_gcd_stash();
  gcdhash(u, v, &h);
  pop_gcd_stash();
  EXPECT_EQ(lookupgcd, 1);
  EXPECT_EQ(entries(), 1);
  pop_gcd_stash();
  EXPECT_EQ(lookupgcd, 0);
  EXPECT_EQ(entries(), 0);
  EXPECT_EQ(gcdmass, 0);
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
  std::vector<quoly> newest(gcd_stash, gcd_stash + gcd_stash_buckets);
  std::vector<std::int64_t> newest_mass;
  for (quoly b : newest) newest_mass.push_back(b == nullptr ? 0 : b->denom->exp);
  const int spared = 0;
  initial_memory = gcdmass / 2;  // the purge must go down to a third of the mass
  purge_gcd_stash(spared);
  const std::int64_t limit = 2 * std::int64_t{initial_memory} / 3;
  // Buckets below first_kept (bucket `spared` aside) were emptied, the others
  // keep exactly their newest entry.
  int first_kept = gcd_stash_buckets;
  for (int k = 0; k < gcd_stash_buckets; ++k)
    if (k != spared && gcd_stash[k] != nullptr) first_kept = std::min(first_kept, k);
  std::int64_t kept = 0;
  int last_emptied = -1;
  for (int k = 0; k < gcd_stash_buckets; ++k) {
    const auto i = static_cast<std::size_t>(k);
    if (k < first_kept && k != spared) {
      EXPECT_EQ(gcd_stash[k], nullptr) << "bucket " << k;
      if (newest[i] != nullptr) last_emptied = k;
      continue;
    }
    EXPECT_EQ(gcd_stash[k], newest[i]) << "bucket " << k;
    if (gcd_stash[k] == nullptr) continue;
    EXPECT_EQ(gcd_stash[k]->next, nullptr);
    kept += gcd_stash[k]->denom->exp;
  }
  EXPECT_EQ(gcdmass, kept);
  EXPECT_LE(kept, limit);
  ASSERT_GE(last_emptied, 0);
  EXPECT_GT(kept + newest_mass[static_cast<std::size_t>(last_emptied)], limit)
      << "emptied more buckets than needed";
}

TEST_F(GcdStash, EntriesNeverCrossARingChange) {
  Coeffs a, b;
  {
    ModulusScope scope(7);
    const RefField f(7);
    std::mt19937_64 rng(test_seed() + 2);
    const Coeffs c = random_coeffs(rng, f, 10);
    a = ref_mult(f, random_coeffs(rng, f, 60), c);
    b = ref_mult(f, random_coeffs(rng, f, 50), c);
    gcd(a, b, true);
    EXPECT_EQ(gcd_stash_contents().stored, 1);
  }
  const long emptied = gcd_stash_contents().emptied;
  {
    ModulusScope scope(11);
    bool hit = true;
    const Coeffs got = gcd(a, b, true, &hit);
    EXPECT_FALSE(hit);
    EXPECT_EQ(got, ref_monic_gcd(RefField(11), a, b));
  }
  EXPECT_EQ(gcd_stash_contents().emptied, emptied + 1);
  // In rational arithmetic the pair t^3 + 1, t^2 + 1 stored modulo 11 with a
  // GCD is a fresh entry.
  {
    ModulusScope scope(11);
    Poly u("t^3 + 1"), v("t^2 + 1"), g("t + 1");
    poly h = nullptr;
    gcdhash(u, v, &h);
    PendingGcdStore(h).store(g, 2);
  }
  Poly u("t^3 + 1"), v("t^2 + 1");
  poly h = nullptr;
  gcdhash(u, v, &h);
  EXPECT_EQ(h->next, nullptr);
  EXPECT_EQ(entries(), 1);
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
      EXPECT_EQ(polygcd_stack_depth, 1);
      error(22, &token);
    });
    EXPECT_EQ(polygcd_stack_depth, 0);
    // Outside modular arithmetic the clear frees the entries and the level;
    // under an unchanged modulus the entries stay.
    EXPECT_EQ(entries(), modular ? 1 : 0);
    EXPECT_EQ(lookupgcd, modular ? 1 : 0);
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
    const Coeffs k{1 + static_cast<std::int64_t>(rng() % 65520)};
    const bool monic = rng() % 2 == 0;
    bool hit = false;
    lookupgcd = 1;
    const Coeffs on = gcd(ref_mult(f, a, k), b, monic, &hit);
    lookupgcd = 0;
    const Coeffs off = gcd(ref_mult(f, a, k), b, monic);
    hits += hit;
    if (monic || !hit) {
      ASSERT_EQ(on, off);
    } else {  // a stored GCD comes back as it was stored: equal up to a unit
      ASSERT_EQ(ref_monic(f, on), ref_monic(f, off));
    }
  }
  EXPECT_GT(hits, 0);
}

// ---- Auxiliary prime lists -----------------------------------------------------------------

std::vector<std::pair<std::int32_t, std::int32_t>> list_of(polypt q) {
  std::vector<std::pair<std::int32_t, std::int32_t>> r;
  for (imptr e = q->gcd_data; e != nullptr; e = e->imag) {
    EXPECT_EQ(e->size, 1);
    EXPECT_EQ(e->head, e->tail);
    r.emplace_back(e->lint, e->head->value);
  }
  return r;
}

TEST(AuxPrimes, ListsOfDividingPrimes) {
  load_data_tables();
  PolyVars vars{"t"};
  polypt q = vars.level(1);
  NodeBalance balance;
  using List = std::vector<std::pair<std::int32_t, std::int32_t>>;
  Num y(BigRef(2 * 3 * 43 * 47));
  add_all_to_list(q, 5, y);
  EXPECT_EQ(list_of(q), (List{{47, 5}, {43, 5}}));
  add_prime_to_list(q, 43, 9);  // present: nothing changes
  add_prime_to_list(q, 41, 9);
  add_prime_to_list(q, 53, 1);
  EXPECT_EQ(list_of(q), (List{{53, 1}, {47, 5}, {43, 5}, {41, 9}}));
  free_gcd_data(q);
  EXPECT_EQ(q->gcd_data, nullptr);
  EXPECT_EQ(q->aux_num, 0);

  // Random products of primes (several limbs): every prime factor above 40
  // up to the 4,916th prime, by a sieve of the test's own.
  std::vector<bool> composite(50000, false);
  std::int64_t count = 0, last_searched = 0;
  for (std::int64_t i = 2; i < 50000 && count < 4916; ++i) {
    if (composite[static_cast<std::size_t>(i)]) continue;
    ++count;
    last_searched = i;
    for (std::int64_t j = i * i; j < 50000; j += i) composite[static_cast<std::size_t>(j)] = true;
  }
  std::mt19937_64 rng(test_seed() + 4);
  const std::vector<std::int64_t> primes{2, 3, 37, 41, 101, 7919, 9973, 10007, 46337, 65521};
  for (int it = 0; it < test_iterations(20); ++it) {
    BigRef prod = 1;
    std::vector<std::int64_t> want;
    for (std::int64_t p : primes)
      if (rng() % 2 == 0) {
        prod = prod * BigRef(p) * BigRef(rng() % 3 == 0 ? p : 1);
        if (p > 40 && p <= last_searched) want.push_back(p);
      }
    const auto x = static_cast<std::int32_t>(rng() % 2000000) - 1000000;
    const BigRef y = it % 2 == 0 ? prod : -prod;
    Num big(y);
    add_all_to_list(q, x, big);
    EXPECT_EQ(big.value(), y) << "y changed";
    std::sort(want.rbegin(), want.rend());
    List expect;
    for (std::int64_t p : want)
      expect.emplace_back(static_cast<std::int32_t>(p), static_cast<std::int32_t>(((x % p) + p) % p));
    EXPECT_EQ(list_of(q), expect) << y;
    free_gcd_data(q);
  }
  insert_new_prime(7, 3, &q->gcd_data);
  insert_new_prime(11, 4, &q->gcd_data);
  EXPECT_EQ(list_of(q), (List{{11, 4}, {7, 3}}));
  free_gcd_data(q);
}

}  // namespace
}  // namespace tavrin::test
