// The one-variable routes of GF(2^8) and GF(2^16) on element vectors above
// the term lists: the monic GCD, the extended GCD, powers modulo a
// polynomial and the square-free decomposition, each on both sides of
// char2_vector_degree against the route it replaces (the threshold pushed
// past every degree) and against the naive reference; planted GCDs and
// multiplicities, all coefficients q - 1, multi-limb exponents; operands
// back node for node and every node given back.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "poly/poly_repr.h"
#include "gcd/extended_gcd.h"
#include "gcd/gcd.h"
#include "gcd/gcd_globals.h"
#include "gcd/onevar_gcd.h"
#include "factor/factor_impl.h"
#include "factor/powermod.h"
#include "factor/square_free.h"
#include "support/bigref.h"
#include "support/data_tables.h"
#include "support/dense_ref.h"
#include "support/node_accounting.h"
#include "support/poly_support.h"
#include "support/value_form.h"

namespace tavrin::test {
namespace {

constexpr std::int32_t never = std::numeric_limits<std::int32_t>::max();

Coeffs operand(std::mt19937_64& rng, const RefField& f, std::int64_t deg, bool all) {
  return all ? Coeffs(static_cast<std::size_t>(deg + 1), f.p() - 1) : random_coeffs(rng, f, deg);
}

Coeffs monic_operand(std::mt19937_64& rng, const RefField& f, std::int64_t deg) {
  Coeffs a = random_coeffs(rng, f, deg);
  a.back() = 1;
  return a;
}

class Char2GcdRoutesTest : public ::testing::TestWithParam<std::int32_t> {
 protected:
  // The start-up tables first: reading them resets the ring.
  bool tables = (load_data_tables(), true);
  PolyVars vars{"t"};
  std::int32_t q = GetParam();
  ModulusScope mod{q};
  RefField f{q};
};

// The monic GCD and the extended GCD of a and b with char2_vector_degree at
// cut: g, then (g, s, t).
std::tuple<Coeffs, Coeffs, Coeffs, Coeffs> gcds(std::int32_t cut, const Coeffs& a,
                                                const Coeffs& b) {
  ScopedValue<std::int32_t> vec(char2_vector_degree, cut);
  NodeBalance balance;
  Poly n = Poly::adopt(coeffs_to_poly(a)), m = Poly::adopt(coeffs_to_poly(b)), g, eg, s, t;
  const std::string shape_n = node_shape(n), shape_m = node_shape(m);
  basic_poly_gcd(n, m, g.cell(), true, polynames);
  EXPECT_TRUE(extended_poly_gcd(n, m, eg.cell(), s.cell(), t.cell()));
  EXPECT_EQ(node_shape(n), shape_n);
  EXPECT_EQ(node_shape(m), shape_m);
  for (Poly* p : {&g, &eg, &s, &t}) EXPECT_TRUE(valid_poly(*p, 1));
  return {ref_trimmed(poly_to_coeffs(g)), ref_trimmed(poly_to_coeffs(eg)),
          ref_trimmed(poly_to_coeffs(s)), ref_trimmed(poly_to_coeffs(t))};
}

TEST_P(Char2GcdRoutesTest, GcdAndCofactorsOnBothSidesOfTheCutOff) {
  std::mt19937_64 rng(test_seed() + static_cast<std::uint64_t>(q));
  ScopedValue<std::int16_t> no_cache(lookupgcd, 0);
  const long before = onevar_gcd_routes.char2_hgcd;
  for (int it = 0; it < test_iterations(16); ++it) {
    const bool all = it % 5 == 0;
    const Coeffs c = operand(rng, f, static_cast<std::int64_t>(rng() % 90), all);
    const Coeffs a =
        ref_mult(f, operand(rng, f, 1 + static_cast<std::int64_t>(rng() % 150), false), c);
    // Equal degrees, the second a divisor of the first, or any degree.
    const Coeffs b =
        it % 4 == 1 ? c
        : it % 4 == 2
            ? ref_trimmed(ref_add(f, a, ref_mult(f, Coeffs{1, 1}, c)))
            : ref_mult(f, operand(rng, f, 1 + static_cast<std::int64_t>(rng() % 150), all), c);
    if (ref_degree(b) < 1) continue;
    SCOPED_TRACE(show_coeffs(a) + " and " + show_coeffs(b));
    for (const auto& [x, y] : {std::pair{a, b}, std::pair{b, a}}) {
      const auto by_vectors = gcds(0, x, y);
      ASSERT_EQ(by_vectors, gcds(never, x, y));
      ASSERT_EQ(by_vectors, gcds(120, x, y));
      const auto& [g, eg, s, t] = by_vectors;
      ASSERT_EQ(g, ref_monic_gcd(f, x, y));
      ASSERT_EQ(eg, g);
      ASSERT_EQ(ref_trimmed(ref_add(f, ref_mult(f, s, x), ref_mult(f, t, y))), g);
    }
  }
  EXPECT_GT(onevar_gcd_routes.char2_hgcd - before, 0);
}

// An exponent: a big integer whatever the ring, its limbs given back at the
// end.
struct BigExponent {
  imptr n;
  explicit BigExponent(const BigRef& e) {
    BigModeGuard big;
    n = make_number(e);
  }
  ~BigExponent() {
    special_free(n);
    free_imag(&n);
  }
  BigExponent(const BigExponent&) = delete;
  BigExponent& operator=(const BigExponent&) = delete;
};

// base^e mod m as powermod gives it with char2_vector_degree at cut.
Coeffs power_of(std::int32_t cut, const Coeffs& base, const BigRef& e, const Coeffs& m) {
  ScopedValue<std::int32_t> vec(char2_vector_degree, cut);
  NodeBalance balance;
  Value b = Value::adopt(nodes::new_ratfun_value(coeffs_to_poly(base), nullptr));
  Value mv = Value::adopt(nodes::new_ratfun_value(coeffs_to_poly(m), nullptr));
  if (b->numer->numb) polynum_to_quoly(b.cell());
  BigExponent x(e);
  powermod(b.cell(), mv.cell(), x.n, false);
  Poly got;
  if (b->numb) {
    quoly_to_poly(b, got.cell());
  } else {
    poly_assign(b->numer, got.cell());
  }
  return ref_trimmed(poly_to_coeffs(got));
}

TEST_P(Char2GcdRoutesTest, PowersModuloAPolynomialOnBothSidesOfTheCutOff) {
  std::mt19937_64 rng(test_seed() + 20 + static_cast<std::uint64_t>(q));
  for (int it = 0; it < test_iterations(8); ++it) {
    const Coeffs m = monic_operand(rng, f, 20 + static_cast<std::int64_t>(rng() % 160));
    const Coeffs base = operand(
        rng, f, static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(ref_degree(m) + 20)),
        it % 4 == 0);
    // One, two and three limbs of 28 bits.
    const std::uint64_t e = it % 3 == 0 ? 1 + rng() % 1000 : it % 3 == 1 ? (rng() >> 8) : rng();
    const BigRef exponent = it == 5 ? BigRef::from_decimal("1237940039285380274899124223")
                                    : BigRef(static_cast<std::int64_t>(e >> 1));
    SCOPED_TRACE(show_coeffs(base) + " ^ " + exponent.to_decimal() + " mod " + show_coeffs(m));
    const Coeffs by_vectors = power_of(0, base, exponent, m);
    ASSERT_EQ(by_vectors, power_of(never, base, exponent, m));
    // The reference: left-to-right binary powering by naive products.
    Coeffs want{1}, rq;
    for (std::size_t k = exponent.bit_length(); k-- > 0;) {
      ref_divmod(f, ref_mult(f, want, want), m, &rq, &want);
      if (exponent.bit(k)) ref_divmod(f, ref_mult(f, want, base), m, &rq, &want);
    }
    ASSERT_EQ(by_vectors, ref_trimmed(want));
  }
}

// The records of total_sq_free on a, as (multiplicity, factor) in list
// order, with char2_vector_degree at cut.
std::vector<std::pair<std::int32_t, Coeffs>> square_free(std::int32_t cut, const Coeffs& a) {
  ScopedValue<std::int32_t> vec(char2_vector_degree, cut);
  NodeBalance balance;
  Poly x = Poly::adopt(coeffs_to_poly(a));
  poly sq = nullptr;
  std::int32_t count = 0;
  total_sq_free(x.cell(), &sq, &count, true, polynames);
  std::vector<std::pair<std::int32_t, Coeffs>> out;
  for (poly r = sq; r != nullptr; r = r->next)
    out.emplace_back(r->exp, ref_trimmed(poly_to_coeffs(r->pcoef)));
  EXPECT_EQ(static_cast<std::size_t>(count), out.size());
  free_poly(&sq);
  return out;
}

TEST_P(Char2GcdRoutesTest, SquareFreeDecompositionOnBothSidesOfTheCutOff) {
  std::mt19937_64 rng(test_seed() + 30 + static_cast<std::uint64_t>(q));
  const long before = detail::residue_routes.square_free_char2;
  for (int it = 0; it < test_iterations(10); ++it) {
    // Planted multiplicities 1 to 5 (2 and 4 need square roots of the
    // coefficients), a factor with every coefficient q - 1.
    Coeffs a{1};
    for (int e = 1; e <= 5; ++e) {
      if (rng() % 4 == 0) continue;
      const Coeffs g = e == 3 && it % 3 == 0
                           ? operand(rng, f, 2 + static_cast<std::int64_t>(rng() % 12), true)
                           : monic_operand(rng, f, 1 + static_cast<std::int64_t>(rng() % 25));
      for (int k = 0; k < e; ++k) a = ref_mult(f, a, g);
    }
    if (ref_degree(a) < 1) continue;
    SCOPED_TRACE(show_coeffs(a));
    const auto by_vectors = square_free(0, a);
    ASSERT_EQ(by_vectors, square_free(never, a));
    // The records multiply back to a made monic.
    Coeffs back{1};
    for (const auto& [e, g] : by_vectors)
      for (int k = 0; k < e; ++k) back = ref_mult(f, back, g);
    ASSERT_EQ(ref_trimmed(back), ref_monic(f, a));
  }
  EXPECT_GT(detail::residue_routes.square_free_char2 - before, 0);
}

INSTANTIATE_TEST_SUITE_P(Fields, Char2GcdRoutesTest, ::testing::Values(256, 65536),
                         [](const auto& info) { return "gf" + std::to_string(info.param); });

}  // namespace
}  // namespace tavrin::test
