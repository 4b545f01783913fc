// Total evaluation of polynomials at values, against the test-side
// evaluation, and derivatives of values, against the product and quotient
// rules; planted answers and errors beside each.
#include "quoly/quoly_eval_diff.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "core/error_codes.h"
#include "core/globals.h"
#include "core/mode_guard.h"
#include "quoly/quoly_add.h"
#include "quoly/quoly_mult.h"
#include "quoly/quoly_quot.h"
#include "support/node_accounting.h"
#include "support/output_capture.h"
#include "support/poly_support.h"
#include "support/relation_scope.h"
#include "support/rings.h"
#include "support/value_form.h"

namespace tavrin::test {
namespace {

Value rational_value(const RatRef& r) {
  return make_value(r.is_integer() ? r.num().to_decimal()
                                   : r.num().to_decimal() + " / " + r.den().to_decimal());
}

// A chain of values linked through next, owned by the vector.
struct Chain {
  std::vector<Value> cells;
  quoly head() {
    for (std::size_t i = 0; i < cells.size(); ++i)
      cells[i]->next = i + 1 < cells.size() ? cells[i + 1].get() : nullptr;
    return cells.empty() ? nullptr : cells[0].get();
  }
};

TEST(ValueEvaluation, AgainstTestSideEvaluation) {
  PolyVars vars{"x", "y", "z", "w"};
  NodeBalance balance;
  std::mt19937_64 rng(test_seed());
  for (int it = 0; it < test_iterations(200); ++it) {
    const RefPoly a = random_refpoly(rng, 4, 6, 5, 2);
    const int skip = static_cast<int>(rng() % 3);
    const int values = static_cast<int>(rng() % static_cast<std::uint64_t>(5 - skip));
    std::vector<RatRef> point;
    Chain chain;
    for (int i = 0; i < 4; ++i) {
      point.push_back(random_ratref(rng, 20, 9));
      if (i >= skip && i < skip + values) chain.cells.push_back(rational_value(point.back()));
    }
    SCOPED_TRACE(show_poly(Poly(a)) + " skip " + std::to_string(skip) + " values " +
                 std::to_string(values));
    Poly q(a);
    Value n;
    tot_eval_poly(q, chain.head(), n.cell(), 0, static_cast<std::int16_t>(skip));
    EXPECT_TRUE(normal_value(n));
    // The levels left as variables take the rest of the point.
    EXPECT_EQ(value_at(n, point), evaluate(a, point));
  }
  // Planted: one power for the gap, a skipped level, a short chain.
  {
    Chain at2;
    at2.cells.push_back(make_value("2"));
    Value n;
    tot_eval_poly(Poly("3*x^2 + 5"), at2.head(), n.cell(), 0, 0);
    EXPECT_EQ(value_text(n), "number 17");
    Chain at3;
    at3.cells.push_back(make_value("3"));
    tot_eval_poly(Poly("x*y + 1"), at3.head(), n.cell(), 0, 1);
    EXPECT_EQ(value_text(n), "3*x + 1");
    tot_eval_poly(Poly("x*y + z^2*x + w"), at3.head(), n.cell(), 0, 0);
    EXPECT_EQ(value_text(n), "3*y + 3*z^2 + w");
    EXPECT_TRUE(normal_value(n));
  }
  // Laurent mode: a trailing x^-2 divides by the square of the value.
  {
    ScopedValue<bool> laur(laurent, true);
    Chain at2;
    at2.cells.push_back(make_value("2"));
    Value n;
    tot_eval_poly(Poly("x^3 + 1 + x^-2"), at2.head(), n.cell(), 0, 0);
    EXPECT_EQ(value_text(n), "37 / 4 rat");
  }
}

TEST(ValueEvaluation, CharacteristicTwoMultilinear) {
  PolyVars vars{"x", "y", "z"};
  RingScope gf(Ring::gf256);
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 1);
  for (int it = 0; it < test_iterations(200); ++it) {
    const RefPoly a = random_refpoly(rng, 3, 6, 1, 1).reduced_mod(BigRef(2));
    const int skip = static_cast<int>(rng() % 2);
    std::vector<RatRef> bits;
    Chain chain;
    for (int i = 0; i < 3; ++i) {
      bits.push_back(RatRef(static_cast<std::int64_t>(rng() % 2)));
      if (i >= skip) chain.cells.push_back(Value::number(bits.back().num()));
    }
    SCOPED_TRACE(show_poly(Poly(a)) + " skip " + std::to_string(skip));
    Poly q(a);
    Value general;
    tot_eval_poly(q, chain.head(), general.cell(), 0, static_cast<std::int16_t>(skip));
    Value two;  // skip 0: every level takes a value, so the word route
    tot_eval_poly2(q, chain.head(), two.cell(), 0, static_cast<std::int16_t>(skip), 3 - skip);
    EXPECT_EQ(value_text(two), value_text(general));
    if (skip > 0) continue;
    Value slow;  // a count short of the levels keeps the general steps
    tot_eval_poly2(q, chain.head(), slow.cell(), 0, 0, 2);
    EXPECT_EQ(value_text(slow), value_text(general));
    std::int32_t fast = -1;
    tot_eval_poly2_fast(q, chain.head(), &fast);
    const std::int64_t sum = evaluate(a, bits).num().to_int64();
    EXPECT_EQ(fast, ((sum % 2) + 2) % 2);
  }
}

// d(value) in the variable at depth h, as a new value.
Value derivative(quoly v, std::int16_t h, std::int32_t k = 1) {
  Value d = copy_of(v);
  differentiate(d.cell(), h, k);
  return d;
}

Value product(quoly a, quoly b) {
  Value p;
  quoly_mult(a, b, p.cell());
  return p;
}

TEST(ValueDerivatives, ProductAndQuotientRules) {
  PolyVars vars{"x", "y"};
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 2);
  Ring ring = Ring::integers;
  auto random_value = [&] {
    const RefPoly num = random_refpoly(rng, 2, 4, 3, 1);
    RefPoly den = in_ring(ring, random_refpoly(rng, 2, 3, 3, 1));
    if (den.is_zero()) den = parse_ref("x + 1", vars.names());
    return make_value(show_poly(Poly(num)) + " / " + show_poly(Poly(den)));
  };
  for (int it = 0; it < test_iterations(120); ++it) {
    ring = it % 2 ? Ring::mod65521 : Ring::integers;
    RingScope in(ring);
    Value u = random_value();
    Value v = random_value();
    if (quoly_iszero(v)) continue;
    const auto h = static_cast<std::int16_t>(1 + rng() % 2);
    SCOPED_TRACE(value_text(u) + " and " + value_text(v) + " in level " + std::to_string(h));
    Value du = derivative(u, h);
    Value dv = derivative(v, h);
    EXPECT_TRUE(normal_value(du));
    // d(uv) = u'v + uv'
    Value lhs = derivative(product(u, v), h);
    Value rhs;
    quoly_add(product(du, v), product(u, dv), rhs.cell());
    EXPECT_EQ(value_text(lhs), value_text(rhs));
    // d(u/v) v^2 = u'v - uv'
    Value quotient;
    quoly_quot(u, v, quotient.cell(), false);
    Value left = product(derivative(quotient, h), product(v, v));
    Value right;
    quoly_sub(product(du, v), product(u, dv), right.cell());
    EXPECT_EQ(value_text(left), value_text(right));
    // The k-th derivative is k single ones.
    const auto k = static_cast<std::int32_t>(rng() % 4);
    Value repeated = copy_of(u);
    for (std::int32_t i = 0; i < k; ++i) quoly_differen_once(repeated.cell(), h);
    EXPECT_EQ(value_text(derivative(u, h, k)), value_text(repeated)) << k;
  }
}

TEST(ValueDerivatives, KnownAnswersAndZeroDenominator) {
  PolyVars vars{"x", "y"};
  NodeBalance balance;
  struct Row {
    const char* v;
    std::int16_t h;
    std::int32_t k;
    const char* expected;
  };
  for (const Row& r : {Row{"1 / x", 1, 1, "-1 / x^2"}, Row{"1 / x^2", 1, 1, "-2 / x^3"},
                       Row{"x^2 + 1", 2, 1, "number 0"}, Row{"3 / 4", 1, 1, "number 0"},
                       Row{"x^3 / x + 1", 1, 2, "2*x^3 + 6*x^2 + 6*x / x^3 + 3*x^2 + 3*x + 1"},
                       Row{"x*y^2 / 3", 2, 2, "2*x / 3"}, Row{"y / x", 2, 1, "1 / x"}}) {
    EXPECT_EQ(value_text(derivative(make_value(r.v), r.h, r.k)), r.expected) << r.v;
  }
  // Under x^2 = 0 the square of the denominator x vanishes.
  NumberedErrors numbered;
  ScopedValue<bool> push(errorpush, true);
  ScopedValue<std::int32_t> stat(statcount, 1);
  PolyVars t{"t"};
  ModOutScope rel(t, 1, "t^2");
  Value v = Value::ratfun("1", "t");
  EXPECT_TRUE(
      reports(output_of([&] { quoly_differen_once(v.cell(), 1); }), division_by_zero_error));
  EXPECT_EQ(value_text(v), "number 1");
}

}  // namespace
}  // namespace tavrin::test
