// Exact roots of polynomials: planted powers a^r in Z, modulo 3 and 7 and in
// GF(256) come back as a (or -a by the sign rule), planted non-powers are
// refused, and a table of small cases.
#include "poly/poly_root.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "support/node_accounting.h"
#include "support/poly_support.h"
#include "support/rings.h"

namespace tavrin::test {
namespace {

class PolyRoot : public ::testing::Test {
 protected:
  PolyVars vars{"x", "y", "z"};
};

// The root of p, nullopt-like: an empty Poly when refused.
Poly root_of(const RefPoly& p, std::int32_t r) {
  Poly h(p), g;
  const bool ok = poly_exact_root(h, r, g.cell());
  EXPECT_EQ(ok, g.get() != nullptr);
  if (ok) {
    EXPECT_TRUE(valid_poly(g));
  }
  return g;
}

// c is a non-zero square modulo the odd prime q (Euler's criterion).
bool square_mod(const BigRef& c, std::int64_t q) {
  std::int64_t b = (c % BigRef(q)).to_int64(), r = 1;
  for (std::int64_t e = (q - 1) / 2; e > 0; e >>= 1, b = b * b % q)
    if (e & 1) r = r * b % q;
  return r == 1;
}

TEST_F(PolyRoot, PlantedPowersAndNonPowers) {
  std::mt19937_64 rng(test_seed());
  struct Case {
    Ring ring;
    std::int64_t q;  // 0: the integers
    std::vector<std::int32_t> orders;
  };
  // GF(256): orders prime to 2 and to 255, whose roots are unique.
  for (const Case& c : {Case{Ring::integers, 0, {2, 3, 4, 5, 6}}, Case{Ring::mod7, 7, {2, 4, 5}},
                        Case{Ring::mod3, 3, {2, 4, 5}}, Case{Ring::gf256, 256, {7, 11, 13}}}) {
    SCOPED_TRACE(ring_name(c.ring));
    RingScope scope(c.ring);
    NodeBalance balance;
    for (int i = 0; i < test_iterations(40); ++i) {
      const std::int32_t r = c.orders[static_cast<std::size_t>(i) % c.orders.size()];
      const RefPoly a = in_ring(c.ring, random_refpoly(rng, 3, 4, 2, c.q == 0 ? 2 : 1));
      if (a.is_zero()) continue;
      RefPoly h = RefPoly::constant(3, 1);
      for (std::int32_t k = 0; k < r; ++k) h = ring_product(c.ring, h, a);
      SCOPED_TRACE(a.to_string(vars.names()) + " to the " + std::to_string(r));
      Poly g = root_of(h, r);
      ASSERT_NE(g.get(), nullptr);
      const RefPoly minus_a = in_ring(c.ring, -a);
      if (r % 2 == 1) {
        EXPECT_EQ(g.ref(), a);  // the only root
      } else {
        EXPECT_TRUE(g.ref() == a || g.ref() == minus_a) << g.str();
        const BigRef lead = g.ref().terms().rbegin()->second;
        EXPECT_TRUE(c.q == 0 ? lead > BigRef(0) : square_mod(lead, c.q)) << g.str();
      }
      // Times x, or (for an even order) times a non-square constant: no power.
      const RefPoly x = RefPoly::variable(3, 0);
      EXPECT_EQ(root_of(ring_product(c.ring, h, x), r).get(), nullptr);
      if (r % 2 == 0) {
        const RefPoly non_square = RefPoly::constant(3, c.q == 0 ? 2 : c.q - 1);
        EXPECT_EQ(root_of(ring_product(c.ring, h, non_square), r).get(), nullptr);
      }
    }
  }
}

TEST_F(PolyRoot, KnownRoots) {
  NodeBalance balance;
  const auto& v = vars.names();
  struct Row {
    Ring ring;
    const char* power;
    std::int32_t r;
    const char* root;  // "" when refused
  };
  const Row rows[] = {
      {Ring::integers, "x^2 + 2*x + 1", 2, "x + 1"},
      {Ring::integers, "36*x^2*y^4", 2, "6*x*y^2"},
      {Ring::integers, "(3 - x*z)^2", 2, "x*z - 3"},  // the positive leading coefficient
      {Ring::integers, "-(x + 1)^2", 2, ""},
      {Ring::integers, "(y - 2*z)^6", 6, "y - 2*z"},
      {Ring::integers, "-8*(y + z^2)^3", 3, "-2*y - 2*z^2"},
      {Ring::integers, "(x^2 + 1)^2 + 1", 2, ""},
      {Ring::integers, "16", 4, "2"},
      {Ring::integers, "0", 2, "0"},
      {Ring::integers, "x^4*y^2", 4, ""},
      {Ring::integers, "(10^40 + 7)^3*x^3", 3, "(10^40 + 7)*x"},
      {Ring::integers, "-1", 999983, "-1"},  // a large prime order
      {Ring::integers, "2", 999983, ""},
      {Ring::mod7, "4*x^2 + 4*x + 1", 2, "2*x + 1"},  // 2 is a square modulo 7
      {Ring::mod7, "x^2 + 6*x + 2", 2, "x + 3"},
      {Ring::mod7, "x^2 + 1", 2, ""},
      {Ring::mod3, "(x + y)^12", 4, "x^3 + y^3"},  // the Frobenius in the middle
      {Ring::mod7, "3*x^5", 5, "5*x"},             // 5^5 = 3 modulo 7
      {Ring::mod65521, "x^2", 2, ""},              // 65521 = 1 mod 4: not offered
      {Ring::gf256, "x^2", 2, ""},                 // the characteristic: p-th roots
      {Ring::mod7, "x^7", 7, ""},                  // are the caller's
      {Ring::mod7, "x^14", 14, ""},
      {Ring::gf256, "2*x^7 + 3", 7, ""},            // (a x + b)^7 has every power
      {Ring::gf256, "128*x^7*y^14", 7, "2*x*y^2"},  // 2^7 = 128 in GF(256)
      {Ring::floating, "x^2", 2, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(ring_name(row.ring)) + ": " + row.power);
    RingScope scope(row.ring);
    const Poly g = root_of(in_ring(row.ring, parse_ref(row.power, v)), row.r);
    if (*row.root == '\0') {
      EXPECT_EQ(g.get(), nullptr) << g.str();
    } else {
      ASSERT_NE(g.get(), nullptr);
      EXPECT_EQ(g.ref(), in_ring(row.ring, parse_ref(row.root, v))) << g.str();
    }
  }
}

}  // namespace
}  // namespace tavrin::test
