// The extended GCD: Bezout's identity s*a + t*b = g with g the reference
// GCD (normalised) on random integers of up to 20 limbs and random
// one-variable polynomials modulo random word primes; the stated cofactors;
// the refused rings and arguments; and the order in which the built-in's
// bodies hand the cofactors to the assignment.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "core/errors.h"
#include "core/globals.h"
#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "numbers/freelists.h"
#include "numbers/integer_gcd.h"
#include "gcd/extended_gcd.h"
#include "toplevel/charsets.h"
#include "toplevel/scanner.h"
#include "lang/variables.h"
#include "arrays/targets.h"
#include "support/bigref.h"
#include "support/data_tables.h"
#include "support/dense_ref.h"
#include "support/modulus_scope.h"
#include "support/node_accounting.h"
#include "support/num.h"
#include "support/output_capture.h"
#include "support/poly_support.h"

namespace tavrin::test {
namespace {

// g, s, t of extended_number_gcd(a, b); a and b must come back unchanged.
std::tuple<BigRef, BigRef, BigRef> number_gcd(const BigRef& a, const BigRef& b) {
  Num x(a), y(b), g, s, t;
  extended_number_gcd(x, y, g, s, t);
  EXPECT_TRUE(valid_bigint(g) && valid_bigint(s) && valid_bigint(t));
  EXPECT_TRUE(x.value() == a && y.value() == b);
  return {g.value(), s.value(), t.value()};
}

TEST(ExtendedGcd, NumbersSatisfyBezout) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed());
  for (int it = 0; it < test_iterations(300); ++it) {
    const BigRef c = random_big(rng, 6);
    const BigRef a = it % 17 == 0 ? BigRef(0) : random_big(rng, 14) * c;
    const BigRef b = random_big(rng, 14) * c * (it % 23 == 0 ? a : BigRef(1));
    const auto [g, s, t] = number_gcd(a, b);
    ASSERT_EQ(g, BigRef::gcd(a, b)) << a << ", " << b;
    ASSERT_EQ(s * a + t * b, g) << a << ", " << b;
  }
  const BigRef table[][5] = {{12, -18, 6, -1, -1}, {0, 5, 5, 0, 1},   {0, 0, 0, 1, 0},
                             {18, 12, 6, 1, -1},   {-7, 0, 7, -1, 0}, {5, 5, 5, 1, 0}};
  for (const auto& r : table)
    EXPECT_EQ(number_gcd(r[0], r[1]), std::make_tuple(r[2], r[3], r[4])) << r[0] << ", " << r[1];
}

// The half-GCD route and Euclid's steps (the oracle) must give the same
// g, s, t, and leave a and b as they were.
void check_routes(const BigRef& a, const BigRef& b) {
  Num x(a), y(b), g1, s1, t1, g2, s2, t2;
  euclid_number_gcd(x, y, g1, s1, t1);
  half_gcd_cofactors(x, y, g2, s2, t2);
  ASSERT_TRUE(valid_bigint(g2) && valid_bigint(s2) && valid_bigint(t2));
  ASSERT_TRUE(x.value() == a && y.value() == b);
  ASSERT_EQ(g2.value(), g1.value()) << a << ", " << b;
  ASSERT_EQ(s2.value(), s1.value()) << a << ", " << b;
  ASSERT_EQ(t2.value(), t1.value()) << a << ", " << b;
}

// A value of the limb boundaries: 2^k, 2^k - 1, 2^k + 1 (k near multiples
// of 28 or 64), (2^28 - 1) repeated, with a random sign.
BigRef boundary_value(std::mt19937_64& rng) {
  const unsigned k = static_cast<unsigned>(28 * (1 + rng() % 12) + rng() % 3) - 1;
  BigRef v = BigRef::pow2(k);
  switch (rng() % 3) {
    case 0: v = v - BigRef(1); break;
    case 1: v = v + BigRef(1); break;
    default: break;
  }
  return rng() % 2 == 0 ? v : -v;
}

TEST(ExtendedGcd, HalfGcdRouteGivesEuclidsCofactors) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 7);
  for (int it = 0; it < test_iterations(400); ++it) {
    // Small base cases reach the half-GCD's recursion on short operands.
    ScopedValue<std::int32_t> base(hgcd_base_words,
                                   it % 3 == 0 ? 200 : 4 + static_cast<std::int32_t>(rng() % 12));
    const int n = 1 + static_cast<int>(rng() % (it % 5 == 0 ? 160 : 24));
    BigRef a = random_big_exact(rng, n);
    BigRef b = random_big_exact(rng, 1 + static_cast<int>(rng() % static_cast<std::uint64_t>(n)));
    switch (it % 8) {
      case 0: {  // a planted common factor
        const BigRef c = random_big(rng, 30);
        a = a * c;
        b = b * c;
        break;
      }
      case 1: b = a * random_big(rng, 3); break;  // b a multiple of a
      case 2: a = b * random_big(rng, 3); break;  // a a multiple of b
      case 3: b = a + random_big(rng, 2); break;  // near neighbours
      case 4:
        a = boundary_value(rng);
        b = boundary_value(rng);
        break;
      case 5: b = it % 3 == 0 ? a : -a; break;  // equal magnitudes
      case 6: a = boundary_value(rng) * b; break;
      default: break;
    }
    if (a.is_zero() || b.is_zero()) continue;
    check_routes(a, b);
    if (HasFatalFailure()) return;
  }
  // Consecutive Fibonacci numbers (every quotient 1) of 2,000 bits, bare
  // and times a common factor, each way round; and longer operands.
  BigRef f0(0), f1(1);
  for (int k = 0; k < 2900; ++k) {
    BigRef t = f0 + f1;
    f0 = f1;
    f1 = t;
  }
  const BigRef c = random_big_exact(rng, 20);
  for (std::int32_t base_words : {4, 200}) {
    ScopedValue<std::int32_t> base(hgcd_base_words, base_words);
    check_routes(f1, f0);
    check_routes(-f0, f1);
    check_routes(f1 * c, f0 * c);
    check_routes(random_big_exact(rng, 600), random_big_exact(rng, 590) * c);
    if (HasFatalFailure()) return;
  }
}

std::int32_t random_word_prime(std::mt19937_64& rng) {
  for (auto c = static_cast<std::int64_t>(3 + rng() % 2147483600);; ++c) {
    bool prime = true;
    for (std::int64_t d = 2; d * d <= c && prime; ++d) prime = c % d != 0;
    if (prime) return static_cast<std::int32_t>(c);
  }
}

// g, s, t of extended_poly_gcd(a, b), trimmed; a and b must come back.
std::tuple<Coeffs, Coeffs, Coeffs> poly_gcd(const Coeffs& a, const Coeffs& b) {
  Poly n = Poly::adopt(coeffs_to_poly(a)), m = Poly::adopt(coeffs_to_poly(b)), g, s, t;
  EXPECT_TRUE(extended_poly_gcd(n, m, g.cell(), s.cell(), t.cell()));
  EXPECT_TRUE(valid_poly(g, 1) && valid_poly(s, 1) && valid_poly(t, 1));
  EXPECT_TRUE(ref_trimmed(poly_to_coeffs(n)) == ref_trimmed(a) &&
              ref_trimmed(poly_to_coeffs(m)) == ref_trimmed(b));
  return {ref_trimmed(poly_to_coeffs(g)), ref_trimmed(poly_to_coeffs(s)),
          ref_trimmed(poly_to_coeffs(t))};
}

TEST(ExtendedGcd, PolynomialsSatisfyBezout) {
  PolyVars vars{"t"};
  std::mt19937_64 rng(test_seed() + 1);
  auto deg = [&](std::uint64_t top) { return static_cast<std::int64_t>(rng() % top); };
  for (int round = 0; round < test_iterations(8); ++round) {
    const std::int32_t p = round == 0 ? 256 : random_word_prime(rng);
    ModulusScope scope(p);
    const RefField f(p);
    NodeBalance balance;
    for (int it = 0; it < 15; ++it) {
      const Coeffs c = random_coeffs(rng, f, deg(12));
      const Coeffs a = ref_mult(f, random_coeffs(rng, f, deg(30)), c);
      const Coeffs b = ref_mult(f, random_coeffs(rng, f, deg(30)), c);
      SCOPED_TRACE("modulus " + std::to_string(p) + ": " + show_coeffs(a) + ", " + show_coeffs(b));
      const auto [g, s, t] = poly_gcd(a, b);
      ASSERT_EQ(g, ref_monic_gcd(f, a, b));
      ASSERT_EQ(ref_trimmed(ref_add(f, ref_mult(f, s, a), ref_mult(f, t, b))), g);
    }
    // A divisor of the first: itself made monic, cofactors 0 and 1/lc; a
    // zero second argument: the first made monic, cofactors 1/lc and 0.
    const Coeffs m = random_coeffs(rng, f, 5), inv{f.inv(m.back())};
    EXPECT_EQ(poly_gcd(ref_mult(f, random_coeffs(rng, f, 4), m), m),
              std::make_tuple(ref_monic(f, m), Coeffs{}, inv));
    EXPECT_EQ(poly_gcd(m, {0}), std::make_tuple(ref_monic(f, m), inv, Coeffs{}));
  }
}

TEST(ExtendedGcd, ResidueRouteGivesTheEuclidLoopsCofactors) {
  // Long operands over prime fields take the half-GCD on residue vectors:
  // the same g, s and t as the loop on term lists, on both sides of the
  // route's degree and of the half-GCD's (equal degrees, a divisor, common
  // factors of every size), and the cofactors of least degree, which makes
  // them unique: deg s < deg b - deg g, deg t < deg a - deg g.
  PolyVars vars{"t"};
  std::mt19937_64 rng(test_seed() + 3);
  ScopedValue<std::int32_t> hgcd(dense_hgcd_degree, 40);
  for (const std::int32_t p : {2, 3, 65521, 2147483629}) {
    ModulusScope scope(p);
    const RefField f(p);
    NodeBalance balance;
    for (int it = 0; it < test_iterations(12); ++it) {
      const auto dc = static_cast<std::int64_t>(rng() % 90);
      const std::int64_t da = 1 + static_cast<std::int64_t>(rng() % 200);
      std::int64_t db = it % 4 == 0 ? da : 1 + static_cast<std::int64_t>(rng() % 200);
      const Coeffs c = random_coeffs(rng, f, dc);
      const Coeffs a = ref_mult(f, random_coeffs(rng, f, da), c);
      const Coeffs b = it % 5 == 4 ? c : ref_mult(f, random_coeffs(rng, f, db), c);
      SCOPED_TRACE("modulus " + std::to_string(p) + ", degrees " + std::to_string(ref_degree(a)) +
                   " and " + std::to_string(ref_degree(b)));
      std::tuple<Coeffs, Coeffs, Coeffs> by_terms, by_residues;
      {
        ScopedValue<std::int32_t> never(extended_gcd_dense_degree,
                                        std::numeric_limits<std::int32_t>::max());
        by_terms = poly_gcd(a, b);
      }
      {
        ScopedValue<std::int32_t> always(extended_gcd_dense_degree, 1);
        by_residues = poly_gcd(a, b);
      }
      ASSERT_EQ(by_residues, by_terms);
      const auto& [g, s, t] = by_residues;
      ASSERT_EQ(g, ref_monic_gcd(f, a, b));
      ASSERT_EQ(ref_trimmed(ref_add(f, ref_mult(f, s, a), ref_mult(f, t, b))), g);
      if (ref_degree(b) > ref_degree(g)) {
        EXPECT_LT(ref_degree(s), ref_degree(b) - ref_degree(g));
        EXPECT_LT(ref_degree(t), ref_degree(a) - ref_degree(g));
      }
    }
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
  // The message line of the code, whether or not the message table is loaded.
  auto reports = [](auto f, const char* code) {
    const std::string line = output_of([code] { out_err_mess(std::stoi(code)); });
    return output_of(f).find(line) != std::string::npos;
  };
  Poly g, s, t;
  auto polys = [&](const char* a, const char* b) {
    return [&, a, b] {
      Poly n(a), m(b);
      extended_poly_gcd(n, m, g.cell(), s.cell(), t.cell());
    };
  };
  Value a = Value::number(4), b = Value::number(6);
  auto nums = [&] { egcd_nums(a.cell(), b.cell(), nullptr, nullptr); };
  EXPECT_TRUE(reports(polys("t + 1", "t"), "284"));
  {
    WordMode word;
    EXPECT_TRUE(reports(nums, "62"));
  }
  ModulusScope mod(7);
  EXPECT_TRUE(reports(nums, "348"));
  EXPECT_TRUE(reports(polys("x + 1", "t + 1"), "349"));      // different variables
  EXPECT_TRUE(reports(polys("x*t + 1", "x^2 + 1"), "349"));  // not one variable
  EXPECT_EQ(g.get(), nullptr);
}

// ---- The built-in's bodies -------------------------------------------------------------------

// The cofactors handed to the assignment (all numbers here).
std::vector<BigRef> handed_over;

void capture(quoly* s, quoly* t, void*, nameptr*) {
  for (quoly* v : {s, t}) {
    EXPECT_TRUE((*v)->numb);
    handed_over.push_back(number_value((*v)->ncoef));
    free_quoly(v);
  }
}

TEST(ExtendedGcdBuiltin, CofactorsGoToTheAssignmentInOrder) {
  ScopedValue<cofactor_assigner> hook(assign_cofactors, capture);
  NodeBalance balance;
  using Handed = std::vector<BigRef>;
  handed_over.clear();
  {
    Value a = Value::number(12), b = Value::number(-18);
    egcd_nums(a.cell(), b.cell(), nullptr, nullptr);
    EXPECT_TRUE(number_value(a->ncoef) == 6 && number_value(b->ncoef) == -18);
  }
  EXPECT_EQ(handed_over, (Handed{-1, -1}));
  PolyVars vars{"t"};
  ModulusScope scope(7);
  for (bool flip : {false, true}) {  // (number, polynomial) when flip; 1/3 = 5 modulo 7
    handed_over.clear();
    Value c = Value::number(3), p = Value::ratfun("t^2 + 1");
    egcd_num_poly(c.cell(), p.cell(), nullptr, nullptr, flip);
    EXPECT_TRUE(c->numb && number_value(c->ncoef) == 1);
    EXPECT_EQ(handed_over, flip ? (Handed{5, 0}) : (Handed{0, 5}));
  }
  // The number 0: the polynomial made monic, 1/lc (1/2 = 4) for it, 0 for the number.
  handed_over.clear();
  Value z = Value::number(0), p = Value::ratfun("2*t + 2");
  egcd_num_poly(z.cell(), p.cell(), nullptr, nullptr, true);
  ASSERT_FALSE(z->numb);
  EXPECT_EQ(read_poly(z->numer, 1), parse_ref("t + 1", vars.names()));
  EXPECT_EQ(handed_over, (Handed{0, 4}));
}

// With the language's set_quotient installed, egcd(12, -18, s, t) leaves
// s = -1 and t = -1 in the user's variables (12*(-1) + (-18)*(-1) = 6).
TEST(ExtendedGcdBuiltin, CofactorsAreAssignedToTheNamedVariables) {
  BigModeGuard big;
  load_data_tables();
  init_character_sets();
  make_token_ring();
  install_arrays();
  TextInput in("s, t)");
  FILEPtr stream = &in;
  leftover[0] = '\0';
  scanner(&stream, &token, &zilch);  // the first target's name is current
  Value n = Value::number(12), m = Value::number(-18);
  egcd_nums(n.cell(), m.cell(), &stream, &zilch);
  EXPECT_EQ(number_value(n->ncoef), 6);
  EXPECT_STREQ(token.name, ")");
  for (const char* name : {"s", "t"}) {
    const tokentipe x{{name[0], '\0'}, -1};
    const varptr v = find_var(&x);
    ASSERT_NE(v, nullptr) << name;
    EXPECT_EQ(number_value(v->val->ncoef), -1) << name;
  }
}

}  // namespace
}  // namespace tavrin::test
