// The extended GCD: Bezout's identity s*a + t*b = g with g the reference
// GCD (normalised) on random integers of up to 20 limbs and random
// one-variable polynomials modulo random word primes; the stated cofactors;
// the refused rings and arguments; and the order in which the built-in's
// bodies hand the cofactors to the assignment.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "gcd/extended_gcd.h"
#include "numbers/freelists.h"
#include "support/bigref.h"
#include "support/dense_ref.h"
#include "support/modulus_scope.h"
#include "support/node_accounting.h"
#include "support/num.h"
#include "support/output_capture.h"
#include "support/poly_support.h"

namespace tavrin::test {
namespace {

struct Bezout {
  BigRef g, s, t;
};

Bezout number_gcd(const BigRef& a, const BigRef& b) {
  Num x(a), y(b), g, s, t;
  extended_number_gcd(x, y, g, s, t);
  EXPECT_TRUE(valid_bigint(g) && valid_bigint(s) && valid_bigint(t));
  EXPECT_EQ(x.value(), a);
  EXPECT_EQ(y.value(), b);
  return {g.value(), s.value(), t.value()};
}

TEST(ExtendedGcd, NumbersSatisfyBezout) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed());
  for (int it = 0; it < test_iterations(300); ++it) {
    const BigRef c = random_big(rng, 6);
    BigRef a = random_big(rng, 14) * c, b = random_big(rng, 14) * c;
    if (it % 17 == 0) a = 0;
    if (it % 23 == 0) b = b * a;
    const Bezout r = number_gcd(a, b);
    ASSERT_EQ(r.g, BigRef::gcd(a, b)) << a << ", " << b;
    ASSERT_EQ(r.s * a + r.t * b, r.g) << a << ", " << b;
  }
  const struct {
    BigRef a, b, g, s, t;
  } table[] = {{12, -18, 6, -1, -1}, {0, 5, 5, 0, 1}, {0, 0, 0, 1, 0}, {18, 12, 6, 1, -1},
               {-7, 0, 7, -1, 0},   {5, 5, 5, 1, 0}};
  for (const auto& row : table) {
    const Bezout r = number_gcd(row.a, row.b);
    EXPECT_EQ(r.g, row.g) << row.a << ", " << row.b;
    EXPECT_EQ(r.s, row.s) << row.a << ", " << row.b;
    EXPECT_EQ(r.t, row.t) << row.a << ", " << row.b;
  }
}

std::int32_t random_word_prime(std::mt19937_64& rng) {
  for (auto c = static_cast<std::int64_t>(3 + rng() % 2147483600);; ++c) {
    bool prime = c > 1;
    for (std::int64_t d = 2; d * d <= c && prime; ++d) prime = c % d != 0;
    if (prime) return static_cast<std::int32_t>(c);
  }
}

struct PolyBezout {
  Coeffs g, s, t;
};

PolyBezout poly_gcd(const Coeffs& a, const Coeffs& b) {
  Poly n = Poly::adopt(coeffs_to_poly(a)), m = Poly::adopt(coeffs_to_poly(b)), g, s, t;
  EXPECT_TRUE(extended_poly_gcd(n, m, g.cell(), s.cell(), t.cell()));
  for (poly x : {g.get(), s.get(), t.get()}) EXPECT_TRUE(valid_poly(x, 1));
  EXPECT_EQ(ref_trimmed(poly_to_coeffs(n)), ref_trimmed(a));
  EXPECT_EQ(ref_trimmed(poly_to_coeffs(m)), ref_trimmed(b));
  return {ref_trimmed(poly_to_coeffs(g)), ref_trimmed(poly_to_coeffs(s)),
          ref_trimmed(poly_to_coeffs(t))};
}

TEST(ExtendedGcd, PolynomialsSatisfyBezout) {
  PolyVars vars{"t"};
  std::mt19937_64 rng(test_seed() + 1);
  for (int round = 0; round < test_iterations(8); ++round) {
    const std::int32_t p = round == 0 ? 256 : random_word_prime(rng);
    ModulusScope scope(p);
    const RefField f(p);
    NodeBalance balance;
    for (int it = 0; it < 15; ++it) {
      const Coeffs c = random_coeffs(rng, f, static_cast<std::int64_t>(rng() % 12));
      const Coeffs a = ref_mult(f, random_coeffs(rng, f, static_cast<std::int64_t>(rng() % 30)), c);
      const Coeffs b = ref_mult(f, random_coeffs(rng, f, static_cast<std::int64_t>(rng() % 30)), c);
      SCOPED_TRACE("modulus " + std::to_string(p) + ": " + show_coeffs(a) + ", " + show_coeffs(b));
      const PolyBezout r = poly_gcd(a, b);
      ASSERT_EQ(r.g, ref_monic_gcd(f, a, b));
      ASSERT_EQ(ref_trimmed(ref_add(f, ref_mult(f, r.s, a), ref_mult(f, r.t, b))), r.g);
    }
    // A divisor of the first: itself made monic, cofactors 0 and 1/lc; a
    // zero second argument: the first made monic, cofactors 1/lc and 0.
    const Coeffs m = random_coeffs(rng, f, 5);
    const Coeffs inv{f.inv(m.back())};
    const PolyBezout d = poly_gcd(ref_mult(f, random_coeffs(rng, f, 4), m), m);
    EXPECT_EQ(d.g, ref_monic(f, m));
    EXPECT_TRUE(d.s.empty());
    EXPECT_EQ(d.t, inv);
    const PolyBezout z = poly_gcd(m, {0});
    EXPECT_EQ(z.g, ref_monic(f, m));
    EXPECT_EQ(z.s, inv);
    EXPECT_TRUE(z.t.empty());
  }
}

TEST(ExtendedGcd, PadsCommonToBothComeBack) {
  PolyVars vars{"x", "t"};
  ModulusScope scope(7);
  NodeBalance balance;
  Poly n("(t + 1)*(t + 2)"), m("2*(t + 1)*(t + 3)"), g, s, t;
  ASSERT_TRUE(extended_poly_gcd(n, m, g.cell(), s.cell(), t.cell()));
  EXPECT_TRUE(valid_poly(g) && valid_poly(s) && valid_poly(t));
  EXPECT_EQ(g.ref(), parse_ref("t + 1", vars.names()));
  EXPECT_EQ((s.ref() * n.ref() + t.ref() * m.ref()).reduced_mod(BigRef(7)), g.ref());
}

// ---- Refusals ----------------------------------------------------------------------------

TEST(ExtendedGcd, RefusedRingsAndArguments) {
  PolyVars vars{"x", "t"};
  ScopedValue<bool> push(errorpush, false);
  NodeBalance balance;
  auto refused = [](auto f) { return output_of(f); };
  {
    WordMode word;
    Value a = Value::number(4), b = Value::number(6);
    EXPECT_NE(refused([&] { egcd_nums(a.cell(), b.cell(), nullptr, nullptr); })
                  .find("Error number 62."),
              std::string::npos);
  }
  {
    ModulusScope mod(7);
    Value a = Value::number(4), b = Value::number(6);
    EXPECT_NE(refused([&] { egcd_nums(a.cell(), b.cell(), nullptr, nullptr); })
                  .find("Error number 348."),
              std::string::npos);
    Poly n("x + 1"), m("t + 1"), g, s, t;
    EXPECT_NE(refused([&] { extended_poly_gcd(n, m, g.cell(), s.cell(), t.cell()); })
                  .find("Error number 349."),
              std::string::npos);
    Poly xy("x*t + 1"), x2("x^2 + 1");
    EXPECT_NE(refused([&] { extended_poly_gcd(xy, x2, g.cell(), s.cell(), t.cell()); })
                  .find("Error number 349."),
              std::string::npos);
    EXPECT_EQ(g.get(), nullptr);
  }
  Poly n("t + 1"), m("t"), g, s, t;
  EXPECT_NE(refused([&] { extended_poly_gcd(n, m, g.cell(), s.cell(), t.cell()); })
                .find("Error number 284."),
            std::string::npos);
}

// ---- The built-in's bodies -------------------------------------------------------------------

std::vector<RefPoly> handed_over;

void capture(quoly* s, quoly* t, void*, nameptr*) {
  for (quoly* v : {s, t})
    handed_over.push_back((*v)->numb ? RefPoly::constant(1, number_value((*v)->ncoef))
                                     : read_poly((*v)->numer, 1));
  free_quoly(s);
  free_quoly(t);
}

TEST(ExtendedGcdBuiltin, CofactorsGoToTheAssignmentInOrder) {
  ScopedValue<cofactor_assigner> hook(assign_cofactors, capture);
  NodeBalance balance;
  auto one = [](const BigRef& v) { return RefPoly::constant(1, v); };
  handed_over.clear();
  {
    Value a = Value::number(12), b = Value::number(-18);
    egcd_nums(a.cell(), b.cell(), nullptr, nullptr);
    EXPECT_EQ(number_value(a->ncoef), BigRef(6));
    EXPECT_EQ(number_value(b->ncoef), BigRef(-18));
  }
  EXPECT_EQ(handed_over, (std::vector<RefPoly>{one(-1), one(-1)}));

  PolyVars vars{"t"};
  ModulusScope scope(7);
  for (bool flip : {false, true}) {
    handed_over.clear();
    Value c = Value::number(3), p = Value::ratfun("t^2 + 1");
    egcd_num_poly(c.cell(), p.cell(), nullptr, nullptr, flip);
    EXPECT_TRUE(c->numb && number_value(c->ncoef) == BigRef(1));
    const std::vector<RefPoly> poly_first{one(0), one(5)};  // 1/3 = 5 modulo 7
    const std::vector<RefPoly> number_first{one(5), one(0)};
    EXPECT_EQ(handed_over, flip ? number_first : poly_first);
  }
  // The number 0: the polynomial made monic, 1/lc for it and 0 for the number.
  handed_over.clear();
  Value z = Value::number(0), p = Value::ratfun("2*t + 2");
  egcd_num_poly(z.cell(), p.cell(), nullptr, nullptr, true);
  ASSERT_FALSE(z->numb);
  EXPECT_EQ(read_poly(z->numer, 1), parse_ref("t + 1", vars.names()));
  EXPECT_EQ(handed_over, (std::vector<RefPoly>{one(0), one(4)}));  // 1/2 = 4 modulo 7
}

// Waits for the language's set_quotient and scanner: egcd(12, -18, s, t);
// must leave s = -1 and t = -1 in the user's variables.
TEST(ExtendedGcdBuiltin, DISABLED_CofactorsAreAssignedToTheNamedVariables) {}

}  // namespace
}  // namespace tavrin::test
