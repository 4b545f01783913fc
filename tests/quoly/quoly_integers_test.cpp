// Sums of rational functions in one variable over the rationals on
// contiguous integer coefficients against the term-list route: the same
// value, part for part, on planted common factors, with contents, signs,
// constant denominators and equal denominators; and (n + m) - m = n.
// Quotients of polynomials by one exact division against the GCD route,
// in place and into a fresh cell, on divisors that divide over the
// integers, over the rationals only, or not at all.
#include "quoly/quoly_integers_impl.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "numbers/node_handles.h"
#include "poly/poly_repr.h"
#include "quoly/quoly.h"
#include "quoly/quoly_add.h"
#include "quoly/quoly_quot.h"
#include "support/node_accounting.h"
#include "support/poly_support.h"
#include "support/value_form.h"

namespace tavrin::test {
namespace {

using detail::integer_values;

std::string parts_of(quoly q) {
  if (q->numb) return value_text(q);
  return value_text(q) + " | " + dump_poly(q->numer) + " / " +
         (q->denom == nullptr ? std::string("nil") : dump_poly(q->denom)) + (q->rat ? " rat" : "");
}

quoly copy_value(quoly q) {
  quoly c = nullptr;
  quoly_assign(q, &c);
  return c;
}

// Degree at most d, coefficients of up to `bits` bits (some 0, some
// multiples of 6 for contents).
RefPoly random_x(std::mt19937_64& rng, int d, unsigned bits) {
  RefPoly r(1);
  const int deg = static_cast<int>(rng() % static_cast<std::uint64_t>(d + 1));
  for (int e = 0; e <= deg; ++e) {
    if (rng() % 4 == 0) continue;
    BigRef c(static_cast<std::int64_t>(rng() % 19) - 9);
    for (unsigned k = 30; k < bits; k += 30)
      c = (c << 30) + BigRef(static_cast<std::int64_t>(rng() % (1U << 30)));
    r.add_term({e}, c);
  }
  return r;
}

Value normal_value_of(const RefPoly& num, const RefPoly& den) {
  ScopedValue<std::int32_t> lists(integer_value_degree, INT32_MAX);
  Value v = Value::adopt(nodes::new_ratfun_value(build_poly(num), build_poly(den)));
  check_quoly(v.cell(), false);
  return v;
}

// n op m by the integer route (degree cutoff 0) and by the term lists.
void same_both_ways(quoly n, quoly m, bool add, const std::string& what) {
  std::string results[2];
  for (int lists = 0; lists < 2; ++lists) {
    ScopedValue<std::int32_t> cut(integer_value_degree, lists == 1 ? INT32_MAX : 0);
    NodeBalance balance;
    Value a = copy_of(n);
    const long before = integer_values.sums;
    if (add) {
      best_quoly_add(a.cell(), copy_value(m));
    } else {
      best_quoly_sub(a.cell(), copy_value(m));
    }
    if (lists == 0 && !(n->rat && m->rat)) {  // two rational numbers add as numbers
      EXPECT_GT(integer_values.sums, before) << what << ": the integer route did not run";
    }
    EXPECT_TRUE(normal_value(a)) << what;
    results[lists] = parts_of(a);
  }
  EXPECT_EQ(results[0], results[1]) << what << " of " << value_text(n) << " and " << value_text(m);
}

TEST(IntegerValueRoute, SameSumsAsTheTermListsOnPlantedFactors) {
  PolyVars vars{"x"};
  std::mt19937_64 rng(test_seed() + 11);
  const int rounds = test_iterations(80);
  for (int round = 0; round < rounds; ++round) {
    const unsigned bits = round % 3 == 0 ? 200 : 30;
    const RefPoly g1 = random_x(rng, 3, bits), g2 = random_x(rng, 3, bits);
    const RefPoly a = random_x(rng, 4, bits), b = random_x(rng, 4, bits),
                  c = random_x(rng, 4, bits);
    RefPoly d = random_x(rng, 4, bits);
    const int shape = static_cast<int>(rng() % 4);
    if (shape == 1) d = b;
    RefPoly nd = g2 * b, md = g1 * d;
    if (shape == 2) md = nd;                               // equal denominators
    if (shape == 3) md = RefPoly::constant(1, BigRef(6));  // a constant denominator
    if (nd.is_zero() || md.is_zero()) continue;
    const Value n = normal_value_of(g1 * a, nd), m = normal_value_of(g2 * c, md);
    if (n->numb || m->numb || n->denom == nullptr || m->denom == nullptr) continue;
    const std::string what = "round " + std::to_string(round);
    same_both_ways(n, m, true, what + ": sum");
    same_both_ways(n, m, false, what + ": difference");
    same_both_ways(n, n, false, what + ": n - n");

    ScopedValue<std::int32_t> cut(integer_value_degree, 0);
    NodeBalance balance;
    Value sum = copy_of(n);
    best_quoly_add(sum.cell(), copy_value(m));
    best_quoly_sub(sum.cell(), copy_value(m));
    EXPECT_EQ(parts_of(sum), parts_of(n)) << what << ": (n + m) - m";
  }
}

TEST(IntegerValueRoute, KnownSums) {
  PolyVars vars{"x"};
  ScopedValue<std::int32_t> cut(integer_value_degree, 0);
  // 1/(x(x-1)) + 1/(x(x+1)) = 2/(x^2 - 1); 1/(x^2 - 1) + 1/(x - 1) = (x + 2)/(x^2 - 1);
  // 1/(2x) + 1/(2x) = 1/x; x/(x+1) + 1/(x+1) = 1.
  struct Row {
    const char *n, *m, *expected;
  };
  const Row rows[] = {
      {"1 / x^2 - x", "1 / x^2 + x", "2 / x^2 - 1"},
      {"1 / x^2 - 1", "1 / x - 1", "x + 2 / x^2 - 1"},
      {"1 / 2*x", "1 / 2*x", "1 / x"},
      {"x / x + 1", "1 / x + 1", "number 1"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.n) + " + " + row.m);
    Value r = make_value(row.n), v = make_value(row.m);
    best_quoly_add(r.cell(), copy_value(v));
    EXPECT_EQ(value_text(r), row.expected);
    EXPECT_TRUE(normal_value(r));
  }
}

// A polynomial value in normal form.
Value poly_value(const RefPoly& p) {
  Value v = Value::adopt(nodes::new_ratfun_value(build_poly(p), nullptr));
  check_quoly(v.cell(), false);
  return v;
}

// n / m in place (fast_quoly_quot) or into a fresh cell (quoly_quot), n and m kept.
Value quotient_of(quoly n, quoly m, bool in_place) {
  Value r;
  if (in_place) {
    r = copy_of(n);
    quoly mm = m;
    fast_quoly_quot(r.cell(), &mm, false);
  } else {
    quoly_quot(n, m, r.cell(), false);
  }
  return r;
}

TEST(IntegerValueRoute, PolynomialQuotientsAsTheGcdRouteGivesThem) {
  PolyVars vars{"x"};
  std::mt19937_64 rng(test_seed() + 12);
  const RefPoly x = RefPoly::variable(1, 0);
  int by_division = 0;
  for (int round = 0; round < test_iterations(60); ++round) {
    const unsigned bits = round % 3 == 0 ? 200 : 30;
    RefPoly q1 = random_x(rng, 12, bits), b = random_x(rng, 12, bits);
    if (round % 7 == 0) q1 = RefPoly::constant(1, BigRef(-5));  // a constant quotient
    b = b * x + RefPoly::constant(1, BigRef(1 + round % 3));    // degree >= 1
    if (q1.is_zero()) continue;
    const int shape = round % 4;
    RefPoly num = q1 * b, den = b;
    if (shape == 1) den = b.scaled(BigRef(6));   // divides over the rationals only (as a rule)
    if (shape == 2) num = num + x;               // no divisor
    if (shape == 3) den = b.scaled(BigRef(-1));  // a negative divisor
    const Value n = poly_value(num), m = poly_value(den);
    if (n->numb || m->numb) continue;
    const std::string what = "round " + std::to_string(round);
    for (const bool in_place : {false, true}) {
      std::string results[2];
      for (int lists = 0; lists < 2; ++lists) {
        ScopedValue<std::int32_t> cut(integer_value_degree, lists == 1 ? INT32_MAX : 0);
        NodeBalance balance;
        const long before = integer_values.quotients;
        Value r = quotient_of(n, m, in_place);
        EXPECT_TRUE(normal_value(r)) << what;
        results[lists] = parts_of(r);
        if (lists == 0 && (shape == 0 || shape == 3)) {
          EXPECT_GT(integer_values.quotients, before) << what << ": the division did not run";
          ++by_division;
          // The planted factor, up to the divisor's sign.
          EXPECT_EQ(value_text(r), value_text(poly_value(shape == 3 ? q1.scaled(BigRef(-1)) : q1)))
              << what;
        }
        if (lists == 0 && shape == 2) {
          EXPECT_EQ(integer_values.quotients, before) << what;
        }
      }
      EXPECT_EQ(results[0], results[1]) << what << (in_place ? " in place" : " into a cell");
    }
  }
  EXPECT_GT(by_division, 20);
}

}  // namespace
}  // namespace tavrin::test
