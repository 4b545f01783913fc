// Rational functions in one variable modulo a prime on residue vectors
// against the term-list route: every operation gives the same value, part
// for part, on planted common factors, and products and quotients undo each
// other.
#include "quoly/quoly_residues_impl.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <random>
#include <string>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "numbers/node_handles.h"
#include "poly/poly_repr.h"
#include "quoly/quoly.h"
#include "quoly/quoly_add.h"
#include "quoly/quoly_mult.h"
#include "quoly/quoly_quot.h"
#include "support/modulus_scope.h"
#include "support/node_accounting.h"
#include "support/poly_support.h"
#include "support/value_form.h"

namespace tavrin::test {
namespace {

using detail::residue_values;

// The value with every part spelled out (kind, flags, node structure).
std::string parts_of(quoly q) {
  if (q->numb) return value_text(q);
  return value_text(q) + " | " + dump_poly(q->numer) + " / " +
         (q->denom == nullptr ? std::string("nil") : dump_poly(q->denom)) + (q->rat ? " rat" : "");
}

// A fresh copy of q for the routines that use up their second operand.
quoly copy_value(quoly q) {
  quoly c = nullptr;
  quoly_assign(q, &c);
  return c;
}

// A random polynomial in x of degree at most d modulo p (possibly 0 or a
// constant).
RefPoly random_x(std::mt19937_64& rng, std::int32_t p, int d) {
  RefPoly r(1);
  const int deg = static_cast<int>(rng() % static_cast<std::uint64_t>(d + 1));
  for (int e = 0; e <= deg; ++e)
    if (rng() % 4 != 0)
      r.add_term({e}, BigRef(static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(p))));
  return r;
}

// num / den through check_quoly on the term lists (den not zero).
Value normal_value_of(const RefPoly& num, const RefPoly& den) {
  ScopedValue<std::int32_t> lists(residue_value_degree, INT32_MAX);
  Value v = Value::adopt(nodes::new_ratfun_value(build_poly(num), build_poly(den)));
  check_quoly(v.cell(), false);
  return v;
}

// The three routes compared: residue vectors with the Euclid loop, residue
// vectors with the half-GCD and Newton's division from degree 1, and
// the term lists (route 2).
struct Route {
  explicit Route(int route)
      : cut(residue_value_degree, route == 2 ? INT32_MAX : 0),
        hgcd(onevar_hgcd_degree, route == 1 ? 1 : INT32_MAX),
        dense(dense_hgcd_degree, route == 1 ? 1 : dense_hgcd_degree),
        newton(dense_newton_degree, route == 1 ? 1 : dense_newton_degree) {}
  ScopedValue<std::int32_t> cut, hgcd, dense, newton;
};

// Runs op on copies of its operands by each route; all results must be the
// same value, part for part, in normal form. route: the counter of
// residue_values the residue runs must advance.
void same_both_ways(const std::function<void(Value&, Value&)>& op, quoly n, quoly m, long* route,
                    const std::string& what) {
  std::string results[3];
  for (int lists = 0; lists < 3; ++lists) {
    Route way(lists);
    NodeBalance balance;
    Value a = copy_of(n), b = copy_of(m);
    const long before = *route;
    op(a, b);
    if (lists < 2) {
      EXPECT_GT(*route, before) << what << ": the residue route did not run";
    }
    EXPECT_TRUE(normal_value(a)) << what;
    results[lists] = parts_of(a);
  }
  EXPECT_EQ(results[0], results[2]) << what << " of " << value_text(n) << " and " << value_text(m);
  EXPECT_EQ(results[1], results[2])
      << what << " (half-GCD) of " << value_text(n) << " and " << value_text(m);
}

class ResidueValueRoute : public ::testing::TestWithParam<std::int32_t> {};

TEST_P(ResidueValueRoute, SameValuesAsTheTermListsOnPlantedFactors) {
  const std::int32_t p = GetParam();
  PolyVars vars{"x"};
  ModulusScope ring(p);
  std::mt19937_64 rng(test_seed() + static_cast<std::uint64_t>(p));
  const int rounds = test_iterations(60);
  for (int round = 0; round < rounds; ++round) {
    // n = g1 a / (g2 b), m = g2 c / (g1 d), sometimes with equal parts.
    const RefPoly g1 = random_x(rng, p, 3), g2 = random_x(rng, p, 3);
    const RefPoly a = random_x(rng, p, 4), b = random_x(rng, p, 4), c = random_x(rng, p, 4);
    RefPoly d = random_x(rng, p, 4);
    const int shape = static_cast<int>(rng() % 4);
    if (shape == 1) d = b;  // equal denominators when g1 = g2
    RefPoly nn = (g1 * a).reduced_mod(BigRef(p)), nd = (g2 * b).reduced_mod(BigRef(p));
    RefPoly mn = (g2 * c).reduced_mod(BigRef(p)), md = (g1 * d).reduced_mod(BigRef(p));
    if (shape == 2) mn = nd;  // the a = d and c = b cases of the products
    if (shape == 3) md = nn;
    if (nd.is_zero() || md.is_zero()) continue;
    const Value n = normal_value_of(nn, nd), m = normal_value_of(mn, md);
    const std::string what = "round " + std::to_string(round);

    // The normal form of the raw quotient (g1 a) / (g2 b).
    {
      std::string results[3];
      for (int lists = 0; lists < 3; ++lists) {
        Route way(lists);
        Value v = Value::adopt(nodes::new_ratfun_value(build_poly(nn), build_poly(nd)));
        check_quoly(v.cell(), false);
        results[lists] = parts_of(v);
      }
      EXPECT_EQ(results[0], results[2]) << what << ": normal form";
      EXPECT_EQ(results[1], results[2]) << what << ": normal form by the half-GCD";
    }
    if (n->numb || m->numb || n->denom == nullptr || m->denom == nullptr) continue;
    same_both_ways(
        [](Value& x, Value& y) {
          quoly yy = y;
          fast_quoly_mult(x.cell(), &yy);
        },
        n, m, &residue_values.products, what + ": fast_quoly_mult");
    same_both_ways([](Value& x, Value& y) { quoly_mult(x, y, x.cell()); }, n, m,
                   &residue_values.products, what + ": quoly_mult");
    same_both_ways(
        [](Value& x, Value& y) {
          quoly yy = y;
          fast_quoly_quot(x.cell(), &yy, false);
        },
        n, m, &residue_values.products, what + ": fast_quoly_quot");
    same_both_ways([](Value& x, Value& y) { quoly_quot(x, y, x.cell(), false); }, n, m,
                   &residue_values.products, what + ": quoly_quot");
    same_both_ways([](Value& x, Value& y) { best_quoly_add(x.cell(), copy_value(y)); }, n, m,
                   &residue_values.sums, what + ": best_quoly_add");
    same_both_ways([](Value& x, Value& y) { best_quoly_sub(x.cell(), copy_value(y)); }, n, m,
                   &residue_values.sums, what + ": best_quoly_sub");

    // (n m) / m = n and (n + m) - m = n on the residue route.
    NodeBalance balance;
    Value prod = copy_of(n), sum = copy_of(n);
    quoly mm = m;
    fast_quoly_mult(prod.cell(), &mm);
    fast_quoly_quot(prod.cell(), &mm, false);
    best_quoly_add(sum.cell(), copy_value(m));
    best_quoly_sub(sum.cell(), copy_value(m));
    EXPECT_EQ(parts_of(prod), parts_of(n)) << what;
    EXPECT_EQ(parts_of(sum), parts_of(n)) << what;
  }
}

INSTANTIATE_TEST_SUITE_P(Moduli, ResidueValueRoute,
                         ::testing::Values(2, 3, 7, 101, 65521, 2147483629),
                         [](const auto& info) { return std::to_string(info.param); });

// Polynomial quotients n / m against the term lists: planted divisors (constant
// quotients among them), planted common factors, unrelated pairs, coefficients
// all p - 1; one pair past the default Newton cutoff.
TEST_P(ResidueValueRoute, PolynomialQuotientsAsTheTermLists) {
  const std::int32_t p = GetParam();
  PolyVars vars{"x"};
  ModulusScope ring(p);
  std::mt19937_64 rng(test_seed() + 31 * static_cast<std::uint64_t>(p));
  const RefPoly one = RefPoly::constant(1, BigRef(1));
  RefPoly top3(1);  // every coefficient p - 1
  for (int e = 0; e <= 3; ++e) top3.add_term({e}, BigRef(p - 1));
  const int rounds = test_iterations(60);
  for (int round = 0; round <= rounds; ++round) {
    const int d = round == rounds ? 700 : 10;
    RefPoly m = random_x(rng, p, d), a = random_x(rng, p, d), g = random_x(rng, p, 4), n;
    switch (round % 5) {
      case 0: n = a * m; break;
      case 1: n = g * a, m = g * m; break;
      case 2: n = a; break;
      case 3: n = top3 * (round % 2 == 0 ? top3 : a), m = top3; break;
      default: n = m.scaled(BigRef(round % (p - 1) + 1)); break;
    }
    const Value nv = normal_value_of(n.reduced_mod(BigRef(p)), one);
    const Value mv = normal_value_of(m.reduced_mod(BigRef(p)), one);
    if (nv->numb || mv->numb) continue;
    const std::string what = "round " + std::to_string(round);
    same_both_ways(
        [](Value& x, Value& y) {
          quoly yy = y;
          fast_quoly_quot(x.cell(), &yy, false);
        },
        nv, mv, &residue_values.quotients, what + ": fast_quoly_quot");
    same_both_ways([](Value& x, Value& y) { quoly_quot(x, y, x.cell(), false); }, nv, mv,
                   &residue_values.quotients, what + ": quoly_quot");
    if (round % 5 != 0) continue;
    Value q = copy_of(nv);  // the planted quotient itself
    quoly mm = mv;
    fast_quoly_quot(q.cell(), &mm, false);
    EXPECT_EQ(value_text(q), value_text(normal_value_of(a.reduced_mod(BigRef(p)), one))) << what;
  }
}

TEST(ResidueValueRoute, KnownAnswersModulo7) {
  PolyVars vars{"x"};
  ModulusScope ring(7);
  ScopedValue<std::int32_t> cut(residue_value_degree, 0);
  struct Row {
    const char *n, *op, *m, *expected;
  };
  const Row rows[] = {
      {"2*x + 4", "/", "2*x + 6", "x + 2 / x + 3"},  // no GCD; the denominator made monic
      {"x^2 - 1", "/", "x^2 + 2*x + 1", "x + 6 / x + 1"},
      {"x", "/", "3", "5*x"},
      {"x / x + 1", "+", "1 / x + 1", "number 1"},
      {"x / x + 1", "-", "x / x + 1", "number 0"},
      {"1 / x", "+", "1 / x^2", "x + 1 / x^2"},
      {"x / x + 1", "*", "x + 1 / x", "number 1"},
      {"x / x + 1", "*", "x + 1 / x^2", "1 / x"},
      {"x^2 / x + 2", "/", "x / x + 2", "x"},
      {"1 / x + 1", "+", "6 / x + 2", "1 / x^2 + 3*x + 2"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.n) + " " + row.op + " " + row.m);
    const std::string n = row.n, m = row.m;
    Value r;
    if (std::string(row.op) == "/" && n.find('/') == std::string::npos &&
        m.find('/') == std::string::npos && m.find('x') != std::string::npos) {
      // a raw quotient, brought to normal form
      r = Value::ratfun(n, m);
      check_quoly(r.cell(), false);
    } else {
      r = make_value(n);
      Value v = make_value(m);
      quoly vv = v;
      switch (row.op[0]) {
        case '+': best_quoly_add(r.cell(), copy_value(v)); break;
        case '-': best_quoly_sub(r.cell(), copy_value(v)); break;
        case '*': fast_quoly_mult(r.cell(), &vv); break;
        default: fast_quoly_quot(r.cell(), &vv, false); break;
      }
    }
    EXPECT_EQ(value_text(r), row.expected);
    EXPECT_TRUE(normal_value(r));
  }
}

}  // namespace
}  // namespace tavrin::test
