// Roots and shrinks in quotient rings, called directly on values the
// statements formed: a planted power comes back as the planted factor where
// the root is unique (cube roots in F5 x F5, the Frobenius of a reduced
// ring, an integer trailing coefficient over Z[t]/(t^2 + 1)), a non-power is
// refused, and nothing is leaked either way.
#include "poly/poly_quotient_root.h"

#include <gtest/gtest.h>

#include <string>

#include "core/globals.h"
#include "numbers/freelists.h"
#include "poly/poly_repr.h"
#include "toplevel/state.h"
#include "support/data_tables.h"
#include "support/node_accounting.h"
#include "support/statements.h"

namespace tavrin::test {
namespace {

class QuotientRoot : public testing::Test {
 protected:
  void SetUp() override {
    load_data_tables();
    install_interpreter();
  }
  void TearDown() override { leave_to_the_rationals(); }
  // The numerator of the variable's value.
  static poly numerator(const std::string& name) {
    varptr v = variable_named(name);
    EXPECT_NE(v, nullptr) << name;
    EXPECT_FALSE(v->val->numb) << name;
    return v->val->numer;
  }
  // root(h, r) is f itself, and a non-power h + x is refused; no node is
  // kept but the root's.
  static void expect_root(const char* f, int r) {
    SCOPED_TRACE(std::string(f) + ", order " + std::to_string(r));
    run_statements(std::string("f := ") + f + ":\nh := f^" + std::to_string(r) +
                   ":\nn := h + x:\n");
    NodeBalance balance;
    poly g = nullptr;
    ASSERT_TRUE(poly_quotient_root(numerator("h"), r, &g));
    EXPECT_TRUE(poly_equal(g, numerator("f")));
    free_poly(&g);
    EXPECT_FALSE(poly_quotient_root(numerator("n"), r, &g));
    EXPECT_EQ(g, nullptr);
    balance.expect_balanced();
  }
};

TEST_F(QuotientRoot, UniqueRootsComeBack) {
  // F5[t]/(t^2 - 1) = F5 x F5: cube roots are unique; t + 1 and t - 1 are
  // zero divisors, so the leading coefficients split the ring.
  run_statements("&(J = x)\n&(p = 5)\n&(J > t)\n&(P = t^2 - 1)");
  EXPECT_TRUE(quotient_roots_apply());
  expect_root("t*x + 1", 3);
  expect_root("(t + 1)*x^2 + 2*x + t", 3);
  expect_root("(t - 1)*x + t + 1", 3);
  // The Frobenius is one-to-one on a reduced ring: the fifth root is unique.
  expect_root("(2*t + 3)*x^2 + t", 5);
  expect_root("(t + 1)*x + 4*t", 15);
}

TEST_F(QuotientRoot, CharacteristicTwoAndIntegers) {
  run_statements("&(p = 256)\n&(J = x)\n&(J > t)\n&(P = t^2 + t + 1)");
  expect_root("t*x + 1", 2);
  expect_root("(t + 7)*x + 3*t", 7);
  TearDown();
  // Over Z[t]/(t^2 + 1) the root is found from an integer end coefficient.
  run_statements("&(J = x)\n&(J > t)\n&(P = t^2 + 1)");
  expect_root("t*x + 2", 3);
  expect_root("x^2 + (3*t - 1)*x + t", 5);
}

// h(x^3, t^3) with t^3 = t in F5[t]/(t^2 - 1) shrinks back to h; the x
// exponents of h + x are not all multiples of 3.
TEST_F(QuotientRoot, ShrinkUndoesTheSubstitution) {
  run_statements("&(J = x)\n&(p = 5)\n&(J > t)\n&(P = t^2 - 1)");
  run_statements("f := (t*x + 1)*(x^2 + 2*t):\nh := f#(x = x^3, t^3):\nn := h + x:\n");
  NodeBalance balance;
  poly g = nullptr;
  ASSERT_TRUE(poly_quotient_shrink(numerator("h"), 3, &g));
  EXPECT_TRUE(poly_equal(g, numerator("f")));
  free_poly(&g);
  EXPECT_FALSE(poly_quotient_shrink(numerator("n"), 3, &g));
  EXPECT_EQ(g, nullptr);
  balance.expect_balanced();
}

// A relation that involves a free variable leaves the ring to the plain
// routines.
TEST_F(QuotientRoot, RelationOverAFreeVariable) {
  run_statements("&(J = x)\n&(p = 5)\n&(J > t)\n&(P = x^2 - t)");
  EXPECT_FALSE(quotient_roots_apply());
}

}  // namespace
}  // namespace tavrin::test
