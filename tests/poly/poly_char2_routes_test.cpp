// The one-variable routes of GF(2^8) and GF(2^16) on element vectors: the
// product (squares included), the division with remainder, the remainder
// alone and the trial division, each on both sides of char2_vector_degree
// against the route it replaces (the threshold pushed past every degree)
// and against the naive reference; random, sparse and all-(q - 1)
// operands, exact and inexact divisions; operands back node for node and
// every node given back.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "poly/poly_divide.h"
#include "poly/poly_mult.h"
#include "poly/poly_repr.h"
#include "poly/poly_trial.h"
#include "support/dense_ref.h"
#include "support/divide_routes.h"
#include "support/node_accounting.h"
#include "support/poly_support.h"

namespace tavrin::test {
namespace {

constexpr std::int32_t never = std::numeric_limits<std::int32_t>::max();

// Degree deg: random, every coefficient q - 1 (shape 1), or one in five
// exponents present (shape 2, left to the term lists by the product).
Coeffs operand(std::mt19937_64& rng, const RefField& f, std::int64_t deg, int shape) {
  if (shape == 1) return Coeffs(static_cast<std::size_t>(deg + 1), f.p() - 1);
  Coeffs a = random_coeffs(rng, f, deg);
  if (shape == 2)
    for (std::size_t i = 0; i + 1 < a.size(); ++i)
      if (i % 5 != 0) a[i] = 0;
  return a;
}

// What `op` gives on fresh term lists of a and b with char2_vector_degree
// at `cut`; both operands must come back node for node.
template <class Op>
std::vector<Coeffs> under(std::int32_t cut, const Coeffs& a, const Coeffs& b, Op op) {
  ScopedValue<std::int32_t> vec(char2_vector_degree, cut);
  NodeBalance balance;
  Poly n = Poly::adopt(coeffs_to_poly(a)), m = Poly::adopt(coeffs_to_poly(b));
  const std::string shape_n = node_shape(n), shape_m = node_shape(m);
  std::vector<Coeffs> out = op(n.get(), m.get());
  EXPECT_EQ(node_shape(n), shape_n);
  EXPECT_EQ(node_shape(m), shape_m);
  return out;
}

Coeffs read_back(Poly& p) {
  EXPECT_TRUE(valid_poly(p, 1));
  return poly_to_coeffs(p);
}

class Char2RoutesTest : public ::testing::TestWithParam<std::int32_t> {
 protected:
  PolyVars vars{"t"};
  std::int32_t q = GetParam();
  ModulusScope mod{q};
  RefField f{q};
};

TEST_P(Char2RoutesTest, ProductsAndSquaresOnBothSidesOfTheCutOff) {
  std::mt19937_64 rng(test_seed() + static_cast<std::uint64_t>(q));
  auto product = [](poly n, poly m) {
    Poly r, s, copy;
    simplest_poly_mult(n, m, r.cell(), 0, 0, 0, 0);
    poly_mult(n, n, s.cell(), nilpol);  // one operand twice
    poly_assign(n, copy.cell());
    Poly t;
    poly_mult(n, copy, t.cell(), nilpol);  // two equal operands
    return std::vector<Coeffs>{read_back(r), read_back(s), read_back(t)};
  };
  const mult_route_counts before = mult_routes;
  for (int it = 0; it < test_iterations(24); ++it) {
    const int shape = it % 6 == 0 ? 1 : it % 6 == 1 ? 2 : 0;
    const Coeffs a = operand(rng, f, 10 + static_cast<std::int64_t>(rng() % 120), shape);
    const Coeffs b =
        operand(rng, f, 10 + static_cast<std::int64_t>(rng() % 120), it % 7 == 0 ? 1 : 0);
    SCOPED_TRACE(show_coeffs(a) + " times " + show_coeffs(b));
    const std::vector<Coeffs> by_vectors = under(0, a, b, product);
    ASSERT_EQ(by_vectors, under(never, a, b, product));
    ASSERT_EQ(by_vectors, under(char2_vector_degree, a, b, product));
    ASSERT_EQ(by_vectors[0], ref_trimmed(ref_mult(f, a, b)));
    ASSERT_EQ(by_vectors[1], ref_trimmed(ref_mult(f, a, a)));
  }
  EXPECT_GT(mult_routes.simplest_char2 - before.simplest_char2, 0);
  EXPECT_GT(mult_routes.simplest_karatsuba - before.simplest_karatsuba, 0);
}

TEST_P(Char2RoutesTest, SparseTimesDenseOnBothSidesOfTheRowsRatio) {
  // A dense operand times one with its terms spread `gap` apart (a power's
  // Frobenius image), either way round: the scaled rows (ratio past every
  // cost), the element vectors (ratio 0) and the default agree with the
  // naive product; the rows' count tells which route ran.
  std::mt19937_64 rng(test_seed() + 30 + static_cast<std::uint64_t>(q));
  auto product = [](poly n, poly m) {
    Poly r;
    simplest_poly_mult(n, m, r.cell(), 0, 0, 0, 0);
    return std::vector<Coeffs>{read_back(r)};
  };
  auto rows_under = [&](std::int32_t ratio, const Coeffs& a, const Coeffs& b, long* rows) {
    ScopedValue<std::int32_t> cut(sparse_rows_ratio, ratio);
    const mult_route_counts before = mult_routes;
    std::vector<Coeffs> out = under(char2_vector_degree, a, b, product);
    *rows = mult_routes.simplest_scaled - before.simplest_scaled;
    return out[0];
  };
  struct Case {
    std::int64_t dense_deg, gap, sparse_terms;
    bool sparse;  // fewer than a quarter of the spread operand's terms present
    bool rows_by_default;
  };
  // Rows by default: 30 x 41 <= 16 x 504 and 20 x 201 <= 16 x 1416; not
  // when both have a quarter of their terms (one in three present), nor at
  // 200 x 301 > 16 x 1295.
  for (const Case c : {Case{40, 16, 30, true, true}, Case{200, 64, 20, true, true},
                       Case{60, 3, 50, false, false}, Case{300, 5, 200, true, false}}) {
    for (const bool sparse_first : {false, true}) {
      Coeffs a = operand(rng, f, c.dense_deg, 0);
      for (auto& x : a) x = x == 0 ? 1 : x;  // every term present
      Coeffs b(static_cast<std::size_t>(c.gap * (c.sparse_terms - 1) + 1), 0);
      for (std::size_t i = 0; i < b.size(); i += static_cast<std::size_t>(c.gap))
        b[i] = 1 + static_cast<std::int32_t>(rng() % static_cast<std::uint64_t>(q - 1));
      const Coeffs& n = sparse_first ? b : a;
      const Coeffs& m = sparse_first ? a : b;
      SCOPED_TRACE(show_coeffs(n) + " times " + show_coeffs(m));
      const Coeffs want = ref_trimmed(ref_mult(f, n, m));
      long rows = 0;
      EXPECT_EQ(rows_under(never, n, m, &rows), want);
      EXPECT_EQ(rows, c.sparse ? 1 : 0);
      EXPECT_EQ(rows_under(0, n, m, &rows), want);
      EXPECT_EQ(rows, 0);
      EXPECT_EQ(rows_under(sparse_rows_ratio, n, m, &rows), want);
      EXPECT_EQ(rows, c.rows_by_default ? 1 : 0);
    }
  }
}

TEST_P(Char2RoutesTest, DivisionsOnBothSidesOfTheCutOff) {
  std::mt19937_64 rng(test_seed() + 10 + static_cast<std::uint64_t>(q));
  auto divisions = [](poly n, poly m) {
    Poly q1, r1, q2, r2, r3, tq;
    basic_poly_divide(n, m, q1.cell(), r1.cell(), true);
    simplest_poly_divide(n, m, q2.cell(), r2.cell(), true);
    poly_div_no_q(n, m, r3.cell());
    const bool divides = trial_poly_divide(n, m, tq.cell(), polynames, false, false, false);
    std::vector<Coeffs> out{read_back(q1), read_back(r1), read_back(q2),
                            read_back(r2), read_back(r3), Coeffs{divides ? 1 : 0}};
    if (divides) out.push_back(read_back(tq));
    return out;
  };
  const divide_route_counts before = divide_routes;
  for (int it = 0; it < test_iterations(24); ++it) {
    const std::int64_t dm = 12 + static_cast<std::int64_t>(rng() % 150);
    const Coeffs m = operand(rng, f, dm, it % 5 == 0 ? 1 : 0);
    Coeffs n = ref_mult(
        f, m, operand(rng, f, static_cast<std::int64_t>(rng() % 160), it % 3 == 0 ? 1 : 0));
    if (it % 2 == 1)
      n = ref_trimmed(ref_add(
          f, n,
          operand(rng, f, static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(dm)), 0)));
    SCOPED_TRACE(show_coeffs(n) + " by " + show_coeffs(m));
    const std::vector<Coeffs> by_vectors = under(0, n, m, divisions);
    ASSERT_EQ(by_vectors, under(never, n, m, divisions));
    ASSERT_EQ(by_vectors, under(100, n, m, divisions));
    Coeffs want_q, want_r;
    ref_divmod(f, n, m, &want_q, &want_r);
    ASSERT_EQ(by_vectors[0], ref_trimmed(want_q));
    ASSERT_EQ(by_vectors[1], ref_trimmed(want_r));
    ASSERT_EQ(by_vectors[4], ref_trimmed(want_r));
    ASSERT_EQ(by_vectors[5], Coeffs{want_r.empty() ? 1 : 0});
  }
  EXPECT_GT(routes_since(before).char2, 0);
  // The quotient may replace the dividend in its own cell.
  NodeBalance balance;
  const Coeffs m = operand(rng, f, 90, 0), qt = operand(rng, f, 70, 0);
  Poly n = Poly::adopt(coeffs_to_poly(ref_mult(f, m, qt))), d = Poly::adopt(coeffs_to_poly(m)), r;
  basic_poly_divide(n, d, n.cell(), r.cell(), true);
  EXPECT_EQ(read_back(n), ref_trimmed(qt));
  EXPECT_EQ(read_back(r), Coeffs{});
}

TEST_P(Char2RoutesTest, TheCutOffFallsAtItsDegree) {
  // A product degree, or a dividend degree, of char2_vector_degree takes
  // the element vectors; one less keeps the arrays and lists.
  std::mt19937_64 rng(test_seed() + 20 + static_cast<std::uint64_t>(q));
  NodeBalance balance;
  const std::int64_t cut = char2_vector_degree;
  for (const std::int64_t top : {cut - 1, cut}) {
    Coeffs a = operand(rng, f, top / 2, 0);
    for (auto& c : a) c = c == 0 ? 1 : c;  // every term present
    const Coeffs b = operand(rng, f, top - top / 2, 1);
    Poly n = Poly::adopt(coeffs_to_poly(a)), m = Poly::adopt(coeffs_to_poly(b)), r, qq, rr;
    const mult_route_counts mult_before = mult_routes;
    simplest_poly_mult(n, m, r.cell(), 0, 0, 0, 0);
    EXPECT_EQ(mult_routes.simplest_char2 - mult_before.simplest_char2, top == cut ? 1 : 0);
    EXPECT_EQ(read_back(r), ref_trimmed(ref_mult(f, a, b)));
    const divide_route_counts divide_before = divide_routes;
    basic_poly_divide(r, m, qq.cell(), rr.cell(), true);
    EXPECT_EQ(routes_since(divide_before).char2, top == cut ? 1 : 0);
    EXPECT_EQ(read_back(qq), ref_trimmed(a));
    EXPECT_EQ(read_back(rr), Coeffs{});
  }
}

INSTANTIATE_TEST_SUITE_P(Fields, Char2RoutesTest, ::testing::Values(256, 65536),
                         [](const auto& info) { return "gf" + std::to_string(info.param); });

}  // namespace
}  // namespace tavrin::test
