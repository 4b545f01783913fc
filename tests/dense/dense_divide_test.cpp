// Division on dense arrays: every routine against naive long division
// (n = q*m + r with deg r < deg m), planted exact and inexact divisions,
// the two-term step against the general elimination, and the hand-checked
// cases of gapped dividends, constant divisors and splits; the division on
// residue vectors against the array loop on both sides of its cut-offs, and
// the products by pieces that carry Newton's iteration past the longest
// transform against one product.
#include "dense/dense_divide.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "numbers/freelists.h"
#include "dense/dense_arrays.h"
#include "dense/dense_impl.h"
#include "poly/poly_repr.h"
#include "support/dense_ref.h"
#include "support/node_accounting.h"
#include "support/poly_support.h"
#include "support/word_field_test.h"

namespace tavrin::test {
namespace {

std::string ring_name(std::int32_t p) { return "modulus " + std::to_string(p); }

// A dividend and divisor in arrays of full size.
struct ArrayPair {
  std::vector<std::int32_t> x = std::vector<std::int32_t>(gcd_array_size, 0);
  std::vector<std::int32_t> y = std::vector<std::int32_t>(gcd_array_size, 0);
  std::vector<std::int32_t> q = std::vector<std::int32_t>(gcd_array_size, -1);
  std::int32_t xdeg = 0, ydeg = 0, qdeg = -9;
  bool all_zeros = false;
  ArrayPair(const Coeffs& n, const Coeffs& m) {
    load_array(n, x.data());
    load_array(m, y.data());
    xdeg = static_cast<std::int32_t>(n.size()) - 1;
    ydeg = static_cast<std::int32_t>(m.size()) - 1;
  }
  // The remainder as left in x (empty for zero).
  Coeffs remainder() const {
    return xdeg < 0 ? Coeffs{} : ref_trimmed(array_slice(x.data(), 0, xdeg));
  }
  Coeffs quotient() const { return ref_trimmed(array_slice(q.data(), 0, qdeg)); }
};

// ---- The array division loop ---------------------------------------------------------

class ArrayDivision : public WordFieldTest {};

TEST_P(ArrayDivision, QuotientAndRemainderAgreeWithLongDivision) {
  std::mt19937_64 rng(test_seed());
  for (int it = 0; it < test_iterations(200); ++it) {
    const auto dm = static_cast<std::int64_t>(rng() % (it % 10 == 0 ? 400 : 25));
    const auto dq = static_cast<std::int64_t>(rng() % (it % 10 == 1 ? 600 : 30));
    const Coeffs m = random_coeffs(rng, f, dm), a = random_coeffs(rng, f, dq);
    // Remainders: none, a low one with gaps, or a full random one.
    Coeffs r;
    if (it % 3 == 1 && dm > 0)
      r = random_coeffs(rng, f, static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(dm)));
    if (it % 3 == 2 && dm > 0) r = {0, 0, 5 % p};
    const Coeffs n = ref_add(f, ref_mult(f, a, m), ref_trimmed(r));
    if (n.empty()) continue;
    SCOPED_TRACE(ring_name(p) + " n " + show_coeffs(n) + " m " + show_coeffs(m));
    Coeffs want_q, want_r;
    ref_divmod(f, n, m, &want_q, &want_r);

    ArrayPair d(n, m);
    onevar_array_div_mod(d.x.data(), d.y.data(), d.q.data(), &d.xdeg, d.ydeg, &d.qdeg,
                         &d.all_zeros);
    EXPECT_EQ(d.qdeg, std::max<std::int64_t>(ref_degree(n) - dm, 0));
    ASSERT_EQ(d.quotient(), want_q);
    ASSERT_EQ(d.remainder(), want_r);
    EXPECT_EQ(d.all_zeros, want_r.empty());
    if (want_r.empty()) {
      EXPECT_EQ(d.xdeg, -1);
    } else {
      EXPECT_EQ(d.xdeg, ref_degree(want_r));  // trimmed in the same pass
    }
    EXPECT_EQ(array_slice(d.y.data(), 0, d.ydeg), m);  // the divisor is left alone

    ArrayPair e(n, m);
    onevar_array_mod(e.x.data(), e.y.data(), &e.xdeg, e.ydeg, &e.all_zeros);
    ASSERT_EQ(e.remainder(), want_r);
    EXPECT_EQ(e.all_zeros, want_r.empty());
  }
}

TEST_P(ArrayDivision, TwoTermStepAgreesWithTheGeneralElimination) {
  if (p >= 46340) GTEST_SKIP() << "the two-term step serves moduli below 46,340";
  std::mt19937_64 rng(test_seed() + 3);
  for (int it = 0; it < test_iterations(300); ++it) {
    const auto dm = static_cast<std::int64_t>(1 + rng() % (it % 10 == 0 ? 500 : 30));
    const Coeffs m = random_coeffs(rng, f, dm);
    Coeffs n = random_coeffs(rng, f, dm + 1);
    if (it % 4 == 0) {  // plant a zero or constant remainder
      Coeffs a = random_coeffs(rng, f, 1);
      n = ref_add(f, ref_mult(f, a, m),
                  Coeffs{static_cast<std::int64_t>(
                      it % 8 == 0 ? 0 : 1 + rng() % static_cast<std::uint64_t>(p - 1))});
    }
    SCOPED_TRACE(ring_name(p) + " n " + show_coeffs(n) + " m " + show_coeffs(m));
    Coeffs want_q, want_r;
    ref_divmod(f, n, m, &want_q, &want_r);
    ArrayPair d(n, m);
    onevar_one_div(d.x.data(), d.y.data(), d.q.data(), &d.xdeg, d.ydeg, &d.qdeg, &d.all_zeros);
    EXPECT_EQ(d.qdeg, 1);
    want_q.resize(2, 0);
    EXPECT_EQ(array_slice(d.q.data(), 0, 1), want_q);
    ASSERT_EQ(d.remainder(), want_r);
    EXPECT_EQ(d.xdeg, want_r.empty() ? -1 : ref_degree(want_r));
    EXPECT_EQ(d.all_zeros, want_r.empty());
    ArrayPair e(n, m);
    onevar_one(e.x.data(), e.y.data(), &e.xdeg, e.ydeg, &e.all_zeros);
    EXPECT_EQ(e.xdeg, d.xdeg);
    ASSERT_EQ(e.remainder(), want_r);
  }
}

// Small primes, the largest prime the two-term step serves, and the 32-bit
// limit of the unsigned form.
INSTANTIATE_TEST_SUITE_P(Moduli, ArrayDivision, ::testing::Values(3, 101, 46337, 65521));

// The remainder for any word modulus and the fields of characteristic 2,
// the one-pass step for a degree difference of 1 included.
TEST(ArrayDivisionCases, WordRemaindersForEveryModulus) {
  std::mt19937_64 rng(test_seed() + 7);
  for (std::int32_t p : {7, 65521, 65537, 2147483629, 256, 65536}) {
    ModulusScope scope(p);
    const RefField f(p);
    for (int it = 0; it < test_iterations(60); ++it) {
      const auto dm = static_cast<std::int64_t>(1 + rng() % 60);
      const Coeffs m = random_coeffs(rng, f, it % 7 == 0 ? 0 : dm);
      const std::int64_t dn =
          ref_degree(m) + (it % 2 == 0 ? 1 : static_cast<std::int64_t>(rng() % 40));
      Coeffs n = random_coeffs(rng, f, dn);
      if (it % 5 == 0)
        n = ref_add(f, ref_mult(f, random_coeffs(rng, f, dn - ref_degree(m)), m),
                    Coeffs{static_cast<std::int64_t>(it % 10 == 0 ? 0 : 1)});
      if (ref_degree(n) < 0) continue;
      SCOPED_TRACE(ring_name(p) + " n " + show_coeffs(n) + " m " + show_coeffs(m));
      Coeffs want_q, want_r;
      ref_divmod(f, n, m, &want_q, &want_r);
      ArrayPair d(n, m);
      word_array_mod(d.x.data(), d.y.data(), &d.xdeg, d.ydeg, &d.all_zeros);
      ASSERT_EQ(d.remainder(), want_r);
      EXPECT_EQ(d.xdeg, want_r.empty() ? -1 : ref_degree(want_r));
      EXPECT_EQ(d.all_zeros, want_r.empty());
      EXPECT_EQ(array_slice(d.y.data(), 0, d.ydeg), m);
    }
  }
}

TEST(ArrayDivisionCases, GappedDividendByAMonomial) {
  ModulusScope ring(101);
  Coeffs n(11, 0), m{0, 0, 1};
  n[10] = 1;
  n[3] = 1;
  ArrayPair d(n, m);
  onevar_array_div_mod(d.x.data(), d.y.data(), d.q.data(), &d.xdeg, 2, &d.qdeg, &d.all_zeros);
  EXPECT_EQ(d.qdeg, 8);
  EXPECT_EQ(array_slice(d.q.data(), 0, 8), (Coeffs{0, 1, 0, 0, 0, 0, 0, 0, 1}));
  EXPECT_EQ(d.xdeg, -1);
  EXPECT_TRUE(d.all_zeros);
}

TEST(ArrayDivisionCases, LowerDegreeDividendsAndConstantDivisors) {
  ModulusScope ring(101);
  {
    ArrayPair d({4, 5}, {1, 2, 3});  // nothing to divide
    onevar_array_div_mod(d.x.data(), d.y.data(), d.q.data(), &d.xdeg, 2, &d.qdeg, &d.all_zeros);
    EXPECT_EQ(d.qdeg, 0);
    EXPECT_EQ(d.q[0], 0);
    EXPECT_EQ(d.xdeg, 1);
    EXPECT_FALSE(d.all_zeros);
    ArrayPair z({0}, {1, 2, 3});  // the zero constant
    onevar_array_div_mod(z.x.data(), z.y.data(), z.q.data(), &z.xdeg, 2, &z.qdeg, &z.all_zeros);
    EXPECT_TRUE(z.all_zeros);
  }
  {
    ArrayPair d({4, 5, 6, 7}, {9});  // a non-zero constant divides everything
    onevar_array_mod(d.x.data(), d.y.data(), &d.xdeg, 0, &d.all_zeros);
    EXPECT_EQ(d.xdeg, 0);
    EXPECT_EQ(d.x[0], 0);
    EXPECT_TRUE(d.all_zeros);
  }
  {
    // Degree-0 divisors never make the two-term step read below the array:
    // the divisor here is an array of one entry.
    std::vector<std::int32_t> x{7, 3}, y{5}, q(2, -1);
    std::int32_t xdeg = 1, qdeg = -1;
    bool all_zeros = false;
    onevar_one(x.data(), y.data(), &xdeg, 0, &all_zeros);
    EXPECT_EQ(xdeg, -1);
    EXPECT_TRUE(all_zeros);
    x = {7, 3};
    xdeg = 1;
    onevar_one_div(x.data(), y.data(), q.data(), &xdeg, 0, &qdeg, &all_zeros);
    EXPECT_EQ(qdeg, 1);
    EXPECT_EQ(q, (std::vector<std::int32_t>{7 * 81 % 101, 3 * 81 % 101}));  // 1/5 = 81
    EXPECT_TRUE(all_zeros);
  }
}

TEST(ArrayDivisionCases, TwoTermRemaindersThatAreConstantOrZero) {
  ModulusScope ring(7);
  {
    ArrayPair d({3, 0, 1}, {0, 1});  // t^2 + 3 = t*t + 3
    onevar_one(d.x.data(), d.y.data(), &d.xdeg, 1, &d.all_zeros);
    EXPECT_EQ(d.xdeg, 0);
    EXPECT_EQ(d.x[0], 3);
    EXPECT_FALSE(d.all_zeros);
  }
  {
    ArrayPair d({6, 5, 1}, {2, 1});  // (t + 2)(t + 3)
    onevar_one(d.x.data(), d.y.data(), &d.xdeg, 1, &d.all_zeros);
    EXPECT_EQ(d.xdeg, -1);
    EXPECT_TRUE(d.all_zeros);
  }
}

TEST(ArrayDivisionCases, SplitsAtAnExponent) {
  std::vector<std::int32_t> x{1, 0, 0, 4, 5, 6}, z(8, -1);
  std::int32_t xb = 5, zb = -1;
  onevar_split_poly(x.data(), z.data(), 3, &xb, &zb);
  EXPECT_EQ(zb, 2);
  EXPECT_EQ(array_slice(z.data(), 0, 2), (Coeffs{4, 5, 6}));
  EXPECT_EQ(xb, 0);                                    // lowered past the zeros below t^3
  onevar_split_poly(x.data(), z.data(), 9, &xb, &zb);  // above the degree
  EXPECT_EQ(zb, 0);
  EXPECT_EQ(z[0], 0);
  EXPECT_EQ(xb, 0);
  std::vector<std::int32_t> w{0, 0, 0, 8};
  xb = 3;
  onevar_split_poly(w.data(), z.data(), 2, &xb, &zb);
  EXPECT_EQ(xb, 0);  // a zero lower part keeps degree 0
  EXPECT_EQ(w[0], 0);
}

TEST(ArrayDivisionCases, FailuresAreReportedExactly) {
  ModulusScope ring(101);
  std::vector<std::int32_t> x{1, 2, 3}, y{0}, z(4);
  std::int32_t xdeg = 2, xb = 2, zb = 0;
  bool all_zeros = false;
  testing::internal::CaptureStdout();
  onevar_array_mod(x.data(), y.data(), &xdeg, 0, &all_zeros);
  onevar_split_poly(x.data(), z.data(), 0, &xb, &zb);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("*** Tavrin error.  y is 0 in onevar_array_mod.\n"), std::string::npos) << out;
  EXPECT_NE(out.find("*** Tavrin error. bad seca.\n"), std::string::npos) << out;
  EXPECT_NE(out.find("m is 0 in onevar_split\n*** Tavrin error.  onevar_split_poly.\n"),
            std::string::npos)
      << out;
}

// ---- Polynomial-level division --------------------------------------------------------

class PolyDivision : public WordFieldTest {
 protected:
  PolyVars vars{"t"};
};

TEST_P(PolyDivision, ExactDivisionsAreFoundAndOthersRefused) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed());
  for (int it = 0; it < test_iterations(80); ++it) {
    const auto dm = static_cast<std::int64_t>(rng() % (it % 8 == 0 ? 300 : 20));
    const auto dq = static_cast<std::int64_t>(rng() % (it % 8 == 1 ? 500 : 20));
    const Coeffs m = random_coeffs(rng, f, dm), a = random_coeffs(rng, f, dq);
    const bool exact = it % 2 == 0;
    Coeffs n = ref_mult(f, a, m);
    if (!exact) n = ref_add(f, n, Coeffs{0, 1});  // plus t: never divisible unless m | t
    if (n.empty()) continue;
    SCOPED_TRACE(ring_name(p) + " n " + show_coeffs(n) + " m " + show_coeffs(m));
    Coeffs want_q, want_r;
    ref_divmod(f, n, m, &want_q, &want_r);
    Poly pn = Poly::adopt(coeffs_to_poly(n)), pm = Poly::adopt(coeffs_to_poly(m));
    Poly q("t + 1");  // a former value, freed either way
    const bool divides = fastest_poly_div(pn, pm, q.cell());
    ASSERT_EQ(divides, want_r.empty());
    if (divides) {
      ASSERT_TRUE(valid_poly(q));
      ASSERT_EQ(poly_to_coeffs(q), want_q);
    } else {
      ASSERT_EQ(q.get(), nullptr);
    }
    Poly r;
    simplest_div_no_q(pn, pm, r.cell());
    ASSERT_TRUE(valid_poly(r));
    ASSERT_EQ(ref_trimmed(poly_to_coeffs(r)), want_r);
    EXPECT_EQ(poly_to_coeffs(pm), m);      // the divisor is unchanged
    simplest_div_no_q(pn, pm, pn.cell());  // into the dividend's own cell
    ASSERT_TRUE(poly_equal(pn, r));
  }
}

INSTANTIATE_TEST_SUITE_P(Moduli, PolyDivision,
                         ::testing::Values(101, 65521, 65537, 2147483629, 256));

TEST(PolyDivisionCases, LowDegreesEqualDegreesAndCopies) {
  PolyVars vars{"t"};
  ModulusScope ring(101);
  NodeBalance balance;
  Poly n("t^2 + 1"), m("t^3 + t"), q("t");
  EXPECT_FALSE(fastest_poly_div(n, m, q.cell()));
  EXPECT_EQ(q.get(), nullptr);
  Poly a("6*t^3 + 4*t"), b("3*t^3 + 2*t");
  EXPECT_TRUE(fastest_poly_div(a, b, q.cell()));  // one quotient coefficient
  EXPECT_EQ(dump_poly(q), "2");
  Poly r;
  simplest_div_no_q(n, m, r.cell());  // lower degree: a copy of n
  EXPECT_TRUE(poly_equal(r, n));
  EXPECT_NE(r.get(), n.get());
  Poly c("5"), d("t + 1");
  simplest_div_no_q(c, d, r.cell());
  EXPECT_EQ(dump_poly(r), "5");
  Poly e("t^2 - 1"), g("t + 1");
  simplest_div_no_q(e, g, r.cell());  // exact: the zero constant
  EXPECT_TRUE(poly_iszero(r));
}

TEST(PolyDivisionCases, DividendsAboveFifteenThousandLeaveTheArrays) {
  PolyVars vars{"t"};
  ModulusScope ring(65521);
  const RefField f(65521);
  std::mt19937_64 rng(test_seed());
  const Coeffs m = random_coeffs(rng, f, 10);
  for (std::int64_t dn : {15000, 15001}) {
    SCOPED_TRACE("degree " + std::to_string(dn));
    const Coeffs a = random_coeffs(rng, f, dn - 10);
    Poly pn = Poly::adopt(coeffs_to_poly(ref_mult(f, a, m))), pm = Poly::adopt(coeffs_to_poly(m));
    Poly q;
    testing::internal::CaptureStdout();
    const bool divides = fastest_poly_div(pn, pm, q.cell());
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "");
    ASSERT_TRUE(divides);
    EXPECT_EQ(poly_to_coeffs(q), a);
    // Not exact, on either side of the hand-over: false, and *q left nil.
    Coeffs n1 = ref_mult(f, a, m);
    n1[0] = (n1[0] + 1) % 65521;
    Poly pn1 = Poly::adopt(coeffs_to_poly(n1));
    EXPECT_FALSE(fastest_poly_div(pn1, pm, q.cell()));
    EXPECT_EQ(q.get(), nullptr);
  }
}

// ---- Residue vectors ---------------------------------------------------------------------

// A divisor of degree dm of one of the shapes the tests need: random, every
// coefficient p - 1, or with its low coefficients zero; monic or not.
Coeffs shaped_divisor(std::mt19937_64& rng, const RefField& f, std::int64_t dm, int shape) {
  Coeffs m = random_coeffs(rng, f, dm);
  if (shape == 1) std::fill(m.begin(), m.end(), f.p() - 1);
  if (shape == 2) std::fill(m.begin(), m.begin() + std::min<std::int64_t>(dm, 3), 0);
  if (shape == 3) m.back() = 1;
  return m;
}

TEST_P(PolyDivision, VectorsAgreeWithTheArrayLoop) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 5);
  constexpr std::int32_t never = 2147483647;
  for (int it = 0; it < test_iterations(40); ++it) {
    const auto dm = static_cast<std::int64_t>(1 + rng() % (it % 4 == 0 ? 300 : 40));
    const auto dq = static_cast<std::int64_t>(rng() % (it % 4 == 1 ? 400 : 40));
    const Coeffs m = shaped_divisor(rng, f, dm, it % 4);
    Coeffs n = ref_mult(f, random_coeffs(rng, f, dq), m);
    if (it % 3 == 1) n = ref_add(f, n, Coeffs{1});  // no multiple of m
    if (n.empty()) continue;
    SCOPED_TRACE(ring_name(p) + " n " + show_coeffs(n) + " m " + show_coeffs(m));
    Poly pn = Poly::adopt(coeffs_to_poly(n)), pm = Poly::adopt(coeffs_to_poly(m));
    Poly by_loop, by_vectors("t");
    bool loop = false, vectors = false;
    {
      ScopedValue<std::int32_t> off(dense_newton_degree, never);
      loop = fastest_poly_div(pn, pm, by_loop.cell());
    }
    {
      ScopedValue<std::int32_t> on(dense_newton_degree, 1);  // vectors wherever allowed
      vectors = fastest_poly_div(pn, pm, by_vectors.cell());
    }
    ASSERT_EQ(vectors, loop);
    if (loop) {
      ASSERT_TRUE(valid_poly(by_vectors));
      ASSERT_TRUE(poly_equal(by_vectors, by_loop));
    } else {
      ASSERT_EQ(by_vectors.get(), nullptr);
    }
    if (p == 256) continue;  // no residue vectors in characteristic 2
    Coeffs want_q, want_r;
    ref_divmod(f, n, m, &want_q, &want_r);
    Poly q, r;
    residue_divrem(pn, pm, q.cell(), r.cell());
    ASSERT_TRUE(valid_poly(q));
    ASSERT_TRUE(valid_poly(r));
    EXPECT_EQ(poly_to_coeffs(q), ref_trimmed(want_q));
    EXPECT_EQ(ref_trimmed(poly_to_coeffs(r)), want_r);
    residue_divrem(pn, pm, nullptr, pn.cell());  // the remainder alone, into the dividend's cell
    EXPECT_TRUE(poly_equal(pn, r));
  }
}

TEST(PolyDivisionCases, ResidueVectorsAtTheEdges) {
  PolyVars vars{"t"};
  ModulusScope ring(101);
  NodeBalance balance;
  Poly n("t^2 + 1"), m("t^3 + t"), q("t"), r;
  residue_divrem(n, m, q.cell(), r.cell());  // below the divisor: 0 and a copy
  EXPECT_TRUE(poly_iszero(q));
  EXPECT_TRUE(poly_equal(r, n));
  Poly zero("0"), c("7");
  residue_divrem(zero, m, q.cell(), r.cell());
  EXPECT_TRUE(poly_iszero(q));
  EXPECT_TRUE(poly_iszero(r));
  residue_divrem(n, c, q.cell(), r.cell());  // by a constant: n / 7, remainder 0
  EXPECT_EQ(dump_poly(q), dump_poly(Poly("29*t^2 + 29")));
  EXPECT_TRUE(poly_iszero(r));
  Poly e("6*t^3 + 4*t"), g("3*t^3 + 2*t");
  residue_divrem(e, g, e.cell(), nullptr);  // the quotient into the dividend's cell
  EXPECT_EQ(dump_poly(e), "2");
}

TEST(NewtonPieces, ProductsByPiecesAgreeWithOneProduct) {
  std::mt19937_64 rng(test_seed() + 6);
  for (std::int32_t p : {7, 65521, 2147483629}) {
    const RefField f(p);
    for (int it = 0; it < test_iterations(12); ++it) {
      const auto na = static_cast<std::int32_t>(1 + rng() % 1500),
                 nb = static_cast<std::int32_t>(1 + rng() % 700);
      const std::int32_t piece = it % 3 == 0 ? 48 : static_cast<std::int32_t>(50 + rng() % 300);
      const Coeffs a = random_coeffs(rng, f, na - 1), b = random_coeffs(rng, f, nb - 1);
      std::vector<std::int32_t> x(a.begin(), a.end()), y(b.begin(), b.end());
      x.resize(static_cast<std::size_t>(na), 0);
      y.resize(static_cast<std::size_t>(nb), 0);
      std::vector<std::int32_t> whole(static_cast<std::size_t>(na + nb - 1)),
          pieces(whole.size(), -1);
      dense_detail::ntt_product(x.data(), na, y.data(), nb, whole.data(), p);
      dense_detail::ntt_product_by_pieces(x.data(), na, y.data(), nb, pieces.data(), p, piece);
      ASSERT_EQ(pieces, whole) << "p " << p << " lengths " << na << ", " << nb << " piece "
                               << piece;
    }
  }
}

}  // namespace
}  // namespace tavrin::test
