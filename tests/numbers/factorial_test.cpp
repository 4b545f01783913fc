// Factorials and binomial coefficients in every ground ring, checked against
// values formed here independently: running products and Pascal's triangle
// in the reference big integer, word products modulo p in 64 bits, Wilson's
// theorem, and carry-less products in GF(2^8). Every error code is tried on
// both sides of its limit, at the top level and with errors that return.
#include "numbers/factorial.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/globals.h"
#include "core/jumps.h"
#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "numbers/bigint.h"
#include "numbers/bigint_divide.h"
#include "numbers/freelists.h"
#include "support/bigref.h"
#include "support/data_tables.h"
#include "support/modulus_scope.h"
#include "support/node_accounting.h"
#include "support/num.h"
#include "support/output_capture.h"
#include "support/poly_support.h"

namespace tavrin::test {
namespace {

// ---- Independent values -------------------------------------------------------------

// lo * (lo + 1) * ... * hi (1 for an empty range).
BigRef ref_range_product(std::int64_t lo, std::int64_t hi) {
  BigRef p(1);
  for (std::int64_t k = lo; k <= hi; ++k) p = p * BigRef(k);
  return p;
}

BigRef ref_factorial(std::int64_t n) { return ref_range_product(1, n); }

// n! mod m by 64-bit products.
std::int64_t word_factorial_mod(std::int64_t n, std::int64_t m) {
  std::int64_t p = 1 % m;
  for (std::int64_t k = 2; k <= n; ++k) p = p * (k % m) % m;
  return p;
}

// Rows 0 .. last of Pascal's triangle, by additions only.
std::vector<std::vector<BigRef>> pascal(int last) {
  std::vector<std::vector<BigRef>> rows{{BigRef(1)}};
  for (int n = 1; n <= last; ++n) {
    const std::vector<BigRef>& prev = rows.back();
    std::vector<BigRef> row(static_cast<std::size_t>(n) + 1, BigRef(1));
    for (int r = 1; r < n; ++r)
      row[static_cast<std::size_t>(r)] =
          prev[static_cast<std::size_t>(r) - 1] + prev[static_cast<std::size_t>(r)];
    rows.push_back(std::move(row));
  }
  return rows;
}

const std::vector<std::vector<BigRef>>& pascal_502() {
  static const std::vector<std::vector<BigRef>> rows = pascal(502);
  return rows;
}

// Row n of Pascal's triangle for a large n, by additions only.
std::vector<BigRef> pascal_row(int n) {
  std::vector<BigRef> row{BigRef(1)};
  for (int k = 1; k <= n; ++k) {
    row.push_back(BigRef(1));
    for (std::size_t r = row.size() - 2; r >= 1; --r) row[r] = row[r] + row[r - 1];
  }
  return row;
}

long double to_long_double(const BigRef& v) {
  return std::strtold(v.to_decimal().c_str(), nullptr);
}

// x * y in GF(2^8) modulo x^8 + x^4 + x^3 + x^2 + 1, bit by bit.
std::int32_t gf256_product(std::int32_t x, std::int32_t y) {
  std::int32_t r = 0;
  for (int bit = 7; bit >= 0; --bit) {
    r <<= 1;
    if (r & 0x100) r ^= 0x11D;
    if ((y >> bit) & 1) r ^= x;
  }
  return r;
}

// ---- Errors ---------------------------------------------------------------------------

// The codes of the errors reported in `out` ("Error number N." lines: the
// helpers below blank the message texts while f runs).
std::vector<int> reported_codes(const std::string& out) {
  std::vector<int> codes;
  const std::string key = "Error number ";
  for (std::size_t at = out.find(key); at != std::string::npos; at = out.find(key, at + 1))
    codes.push_back(std::atoi(out.c_str() + at + key.size()));
  return codes;
}

// The token error() names for a code: "!" for the factorial errors, the
// current token (set to "binomial" by the helpers below) for error 87.
std::string named_token(int code) { return code == 87 ? "binomial" : "!"; }

// Runs f at the top level: the first error throws TopLevelJump. Returns the
// codes reported (empty when f ran through), each checked for its token.
template <class F>
std::vector<int> codes_at_top_level(F f) {
  NumberedErrors numbered;
  ScopedValue<bool> push(errorpush, false);
  ScopedValue<std::int32_t> level(levelcount, 1), stat(statcount, 0);
  ScopedValue<std::int16_t> changed(mod_is_changed);
  ScopedValue<tokentipe> tok(token, tokentipe{"binomial", -1});
  testing::internal::CaptureStdout();
  bool thrown = false;
  try {
    f();
  } catch (const TopLevelJump&) {
    thrown = true;
  }
  const std::string out = testing::internal::GetCapturedStdout();
  std::vector<int> codes = reported_codes(out);
  EXPECT_EQ(thrown, !codes.empty()) << out;
  for (int code : codes) {
    EXPECT_NE(out.find("*** Inappropriate symbol: " + named_token(code) + "\nError number " +
                       std::to_string(code)),
              std::string::npos)
        << out;
  }
  return codes;
}

// Runs f inside a user function with errors opening nested levels that are
// left at once, so error() returns and f goes on. Returns the codes reported
// (each checked for its token).
template <class F>
std::vector<int> codes_returning(F f) {
  NumberedErrors numbered;
  ScopedValue<bool> push(errorpush, true);
  ScopedValue<std::int32_t> level(levelcount, 1), stat(statcount, 1);
  ScopedValue<tokentipe> tok(token, tokentipe{"binomial", -1});
  testing::internal::CaptureStdout();
  f();
  const std::string printed = testing::internal::GetCapturedStdout();
  std::vector<int> codes = reported_codes(printed);
  for (int code : codes) {
    EXPECT_NE(printed.find("*** Inappropriate symbol: " + named_token(code) + "\n"),
              std::string::npos)
        << printed;
  }
  return codes;
}

class Factorials : public testing::Test {
 protected:
  void SetUp() override {
    load_data_tables();
    ASSERT_EQ(factnum[1], 10) << "start-up tables missing";
  }
};

using Binomials = Factorials;

// ---- Big integers ---------------------------------------------------------------------

TEST_F(Factorials, BigIntegersAtAndBetweenTablePoints) {
  NodeBalance balance;
  BigRef expected(1);
  for (std::int32_t n = 0; n <= 260; ++n) {
    if (n > 0) expected = expected * BigRef(n);
    Num x(n);
    factorial(x);
    SCOPED_TRACE(n);
    ASSERT_TRUE(valid_bigint(x));
    ASSERT_EQ(x.value(), expected);
  }
}

TEST_F(Factorials, BigIntegersFarAboveTheTable) {
  NodeBalance balance;
  for (std::int32_t n : {211, 215, 216, 217, 333, 500, 1000, 1754, 2500}) {
    Num x(n);
    factorial(x);
    SCOPED_TRACE(n);
    ASSERT_TRUE(valid_bigint(x));
    EXPECT_EQ(x.value(), ref_factorial(n));
  }
}

TEST_F(Factorials, WordAndPrimePowerRoutesAgreeWithTheProductTree) {
  // The product tree on limbs from the table point (the routes' base case),
  // the product of packed words, and the prime powers, on both sides of
  // their thresholds and of the table points; the first also against the
  // reference below 1000.
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 60);
  std::vector<std::int32_t> args{3,   4,   9,   10,  11,  16,  17,  26, 27,
                                 209, 210, 211, 226, 227, 799, 800, 801};
  for (int i = 0; i < test_iterations(6); ++i)
    args.push_back(static_cast<std::int32_t>(rng() % 6000));
  const std::int32_t never = INT32_MAX;
  for (std::int32_t n : args) {
    SCOPED_TRACE(n);
    Num tree(n), words(n), primes(n), standard(n);
    {
      ScopedValue<std::int32_t> w(word_factorial_factors, never), p(prime_factorial_limit, never);
      factorial(tree);
    }
    {
      ScopedValue<std::int32_t> w(word_factorial_factors, 1), p(prime_factorial_limit, never);
      factorial(words);
    }
    {
      ScopedValue<std::int32_t> p(prime_factorial_limit, 3);
      factorial(primes);
    }
    factorial(standard);
    ASSERT_TRUE(valid_bigint(words));
    ASSERT_TRUE(valid_bigint(primes));
    ASSERT_TRUE(spec_equal(words, tree));
    ASSERT_TRUE(spec_equal(primes, tree));
    ASSERT_TRUE(spec_equal(standard, tree));
    if (n < 1000) {
      ASSERT_EQ(tree.value(), ref_factorial(n));
    }
  }
  // n! / (n - 1)! = n where the routes change.
  for (std::int32_t n : {800, 2001, 4097}) {
    Num a(n), b(n - 1), q, r;
    factorial(a);
    factorial(b);
    divide(a, b, q, r);
    EXPECT_EQ(q.value(), BigRef(n));
    EXPECT_EQ(r.value(), BigRef(0));
  }
}

TEST_F(Factorials, NegativeArgumentsGiveOne) {
  NodeBalance balance;
  for (std::int32_t n : {-1, -9, -268435455}) {
    Num x(n);
    factorial(x);
    EXPECT_EQ(x.value(), BigRef(1)) << n;
  }
}

TEST_F(Factorials, ProductRangesInEveryMode) {
  NodeBalance balance;
  const std::vector<std::int32_t> starts = {1, 2, 7, 211, 65519, 268435400};
  for (std::int32_t lo : starts) {
    for (std::int32_t len = 0; len <= 40; ++len) {
      const std::int32_t hi = lo + len;
      SCOPED_TRACE(testing::Message() << lo << ".." << hi);
      {
        Num x;
        multout(lo, hi, x);
        ASSERT_TRUE(valid_bigint(x));
        ASSERT_EQ(x.value(), ref_range_product(lo, hi));
      }
      for (std::int32_t p : {7, 65521, 2147483629}) {
        ModulusScope ring(p);
        Num x;
        multout(lo, hi, x);
        const BigRef expected = ref_range_product(lo, hi) % BigRef(p);
        ASSERT_EQ(x->lint, expected.to_int64()) << p;
      }
      if (hi <= 30) {
        WordMode word;
        Num x;
        multout(lo, hi, x);
        const BigRef low32 = ref_range_product(lo, hi) % BigRef::pow2(32);
        EXPECT_EQ(static_cast<std::uint32_t>(x->lint),
                  static_cast<std::uint32_t>(low32.to_int64()));
      }
      if (hi <= 25) {
        FloatingMode floating;
        Num x;
        multout(lo, hi, x);
        EXPECT_EQ(x->flote, to_long_double(ref_range_product(lo, hi)));
      }
    }
  }
}

// 2^28 is the first two-limb argument.
TEST_F(Factorials, TwoLimbArgumentsReportError94) {
  NodeBalance balance;
  for (const BigRef& v : {BigRef::pow2(28), -BigRef::pow2(28), BigRef::pow2(100)}) {
    Num x(v);
    EXPECT_EQ(codes_at_top_level([&] { factorial(x); }), std::vector<int>{94});
    EXPECT_EQ(x.value(), v) << "the argument is left as it was";
  }
  // One-limb arguments run through without a report (those near 2^28 would
  // take too long to try).
  Num x(5000);
  EXPECT_TRUE(codes_at_top_level([&] { factorial(x); }).empty());
  EXPECT_EQ(x.value(), ref_factorial(5000));
}

TEST_F(Factorials, AfterAReturningError94TheTopLimbIsUsed) {
  NodeBalance balance;
  Num x(BigRef(5) * BigRef::pow2(28) + BigRef(7));
  EXPECT_EQ(codes_returning([&] { factorial(x); }), std::vector<int>{94});
  EXPECT_EQ(x.value(), BigRef(120));

  Num y(-(BigRef(3) * BigRef::pow2(28)));
  EXPECT_EQ(codes_returning([&] { factorial(y); }), std::vector<int>{94});
  EXPECT_EQ(y.value(), BigRef(1));
}

// ---- Modular arithmetic ------------------------------------------------------------------

TEST_F(Factorials, ResiduesModuloSeveralPrimes) {
  NodeBalance balance;
  for (std::int32_t p : {2, 3, 5, 7, 101, 10007, 46337, 65521, 2147483629}) {
    ModulusScope ring(p);
    std::vector<std::int32_t> args;
    for (std::int32_t v = 0; v <= 260 && v < p; ++v) args.push_back(v);
    for (std::int32_t v : {1000, 20000, 46336, 46339, 46340})
      if (v < p) args.push_back(v);
    for (std::int32_t v : args) {
      Num x;
      x->lint = v;
      factorial(x);
      ASSERT_EQ(x->lint, word_factorial_mod(v, p)) << v << "! mod " << p;
    }
  }
}

TEST_F(Factorials, WilsonsTheorem) {
  for (std::int32_t p : {2, 3, 7, 101, 10007, 46337}) {
    ModulusScope ring(p);
    Num x;
    x->lint = p - 1;
    factorial(x);
    EXPECT_EQ(x->lint, p - 1) << "(p - 1)! = -1 mod " << p;
  }
}

TEST_F(Factorials, ArgumentsFromTheModulusOnGiveZero) {
  for (std::int32_t p : {2, 3, 7, 101, 10007}) {
    ModulusScope ring(p);
    for (std::int32_t v : {p, p + 1, 2 * p, 46340}) {
      if (v > 46340) continue;
      Num x;
      x->lint = v;
      factorial(x);
      EXPECT_EQ(x->lint, 0) << v << "! mod " << p;
    }
  }
}

// A composite modulus makes partial products vanish before the end.
TEST_F(Factorials, ZeroPartialProductsEndTheProduct) {
  ModulusScope ring(1001, false);  // 7 * 11 * 13
  for (std::int32_t v : {12, 13, 14, 40, 300}) {
    Num x;
    x->lint = v;
    factorial(x);
    EXPECT_EQ(x->lint, word_factorial_mod(v, 1001)) << v;
  }
  Num x;
  multout(5, 40, x);
  EXPECT_EQ(x->lint, 0);
}

TEST_F(Factorials, ModularArgumentsAbove46340ReportError94) {
  ModulusScope ring(2147483629);
  Num x;
  x->lint = 46340;
  EXPECT_TRUE(codes_at_top_level([&] { factorial(x); }).empty());
  EXPECT_EQ(x->lint, word_factorial_mod(46340, 2147483629));

  x->lint = 46341;
  EXPECT_EQ(codes_at_top_level([&] { factorial(x); }), std::vector<int>{94});
  EXPECT_TRUE(modularmode && lintmode);

  x->lint = 50000;
  EXPECT_EQ(codes_returning([&] { factorial(x); }), std::vector<int>{94});
  EXPECT_EQ(x->lint, word_factorial_mod(50000, 2147483629)) << "goes on with the argument";
}

TEST_F(Factorials, CharacteristicTwoReportsError347) {
  for (std::int32_t field : {256, 65536}) {
    ModulusScope ring(field);
    Num x;
    x->lint = 3;
    EXPECT_EQ(codes_at_top_level([&] { factorial(x); }), std::vector<int>{347}) << field;
  }
  {
    // Going on after the report, the factors are multiplied as field elements.
    ModulusScope ring(256);
    for (std::int32_t v = 0; v <= 9; ++v) {
      Num x;
      x->lint = v;
      EXPECT_EQ(codes_returning([&] { factorial(x); }), std::vector<int>{347});
      std::int32_t expected = 1;
      for (std::int32_t k = 2; k <= v; ++k) expected = gf256_product(expected, k);
      EXPECT_EQ(x->lint, expected) << v;
    }
  }
  {
    ModulusScope ring(65536);
    Num x;
    x->lint = 50000;
    EXPECT_EQ(codes_returning([&] { factorial(x); }), (std::vector<int>{347, 94}));
  }
}

// ---- Words and long doubles ---------------------------------------------------------------

TEST_F(Factorials, WordsUpTo12) {
  WordMode word;
  for (std::int32_t v = -2; v <= 12; ++v) {
    Num x;
    x->lint = v;
    EXPECT_TRUE(codes_at_top_level([&] { factorial(x); }).empty());
    EXPECT_EQ(x->lint, v < 1 ? 1 : ref_factorial(v).to_int64()) << v;
  }
  Num x;
  x->lint = 13;
  EXPECT_EQ(codes_at_top_level([&] { factorial(x); }), std::vector<int>{240});
  EXPECT_EQ(x->lint, 13);
  // Going on, 13! wraps around in 32 bits.
  EXPECT_EQ(codes_returning([&] { factorial(x); }), std::vector<int>{240});
  const BigRef low32 = ref_factorial(13) % BigRef::pow2(32);
  EXPECT_EQ(static_cast<std::uint32_t>(x->lint), static_cast<std::uint32_t>(low32.to_int64()));
}

TEST_F(Factorials, LongDoubles) {
  NodeBalance balance;
  FloatingMode floating;
  for (std::int32_t v = 0; v <= 25; ++v) {
    Num x;
    x->flote = v;
    factorial(x);
    EXPECT_EQ(x->flote, to_long_double(ref_factorial(v))) << v;
  }
  for (std::int32_t v : {30, 100, 209, 210, 211, 400, 1000, 1754}) {
    Num x;
    x->flote = v;
    factorial(x);
    const long double expected = to_long_double(ref_factorial(v));
    EXPECT_LT(std::fabs(x->flote / expected - 1), 1e-15L) << v;
  }
  // Beyond a long double the answer is infinity, at once even for 2^31 - 1.
  for (std::int32_t v : {1755, 100000, 2147483647}) {
    Num x;
    x->flote = v;
    factorial(x);
    EXPECT_TRUE(std::isinf(x->flote)) << v;
  }
  // The argument is rounded to the nearest integer.
  const std::vector<std::pair<long double, long double>> rounded = {
      {4.4L, 24}, {4.5L, 120}, {9.6L, 3628800}, {-2.0L, 1}, {0.49L, 1}};
  for (const auto& [arg, expected] : rounded) {
    Num x;
    x->flote = arg;
    factorial(x);
    EXPECT_EQ(x->flote, expected) << arg;
  }
}

// ---- Binomial coefficients -------------------------------------------------------------

// The big integer in a number value (-1, and a failure, for anything else).
BigRef binomial_value(quoly q) {
  if (q == nullptr || !q->numb || q->ncoef == nullptr) {
    ADD_FAILURE() << "not a number value";
    return BigRef(-1);
  }
  EXPECT_TRUE(valid_bigint(q->ncoef));
  return to_ref(q->ncoef);
}

TEST_F(Binomials, EveryCoefficientUpToRow160) {
  NodeBalance balance;
  const auto& rows = pascal_502();
  for (std::int32_t n = 0; n <= 160; ++n) {
    for (std::int32_t r = 0; r <= n; ++r) {
      Value m;
      rat_binom(n, r, m.cell());
      ASSERT_EQ(binomial_value(m), rows[static_cast<std::size_t>(n)][static_cast<std::size_t>(r)])
          << "binomial(" << n << ", " << r << ")";
    }
  }
}

TEST_F(Binomials, RowsReachedByTripleSteps) {
  NodeBalance balance;
  const auto& rows = pascal_502();
  for (std::int32_t n :
       {153, 154, 155, 156, 157, 199, 200, 201, 226, 300, 400, 497, 499, 500, 501, 502}) {
    for (std::int32_t r = 0; r <= n; ++r) {
      Value m;
      rat_binom(n, r, m.cell());
      ASSERT_EQ(binomial_value(m), rows[static_cast<std::size_t>(n)][static_cast<std::size_t>(r)])
          << "binomial(" << n << ", " << r << ")";
    }
  }
}

TEST_F(Binomials, RowsByTheFactorialFormula) {
  NodeBalance balance;
  for (std::int32_t n : {600, 1754}) {
    const std::vector<BigRef> row = pascal_row(n);
    std::vector<std::int32_t> picks;
    for (std::int32_t r = 0; r <= n; ++r)
      if (n < 1000 || r < 5 || n - r < 5 || r % 7 == 0) picks.push_back(r);
    for (std::int32_t r : picks) {
      Value m;
      EXPECT_TRUE(codes_at_top_level([&] { rat_binom(n, r, m.cell()); }).empty());
      ASSERT_EQ(binomial_value(m), row[static_cast<std::size_t>(r)])
          << "binomial(" << n << ", " << r << ")";
    }
  }
}

TEST_F(Binomials, TheFactorialFormulaAgreesWithTheOtherRoutes) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed());
  std::uniform_int_distribution<std::int32_t> row(0, 500);
  for (int it = 0; it < test_iterations(100); ++it) {
    const std::int32_t n = row(rng);
    const std::int32_t r = std::uniform_int_distribution<std::int32_t>(0, n)(rng);
    SCOPED_TRACE(testing::Message() << "binomial(" << n << ", " << r << ")");
    Value a, b;
    rat_binom(n, r, a.cell());
    standard(n, r, b.cell());
    ASSERT_EQ(binomial_value(a), binomial_value(b));
  }
}

TEST_F(Binomials, AnOldValueInTheCellIsReplaced) {
  NodeBalance balance;
  Value m = Value::number(BigRef(12345));
  for (const auto& [n, r] : std::vector<std::pair<int, int>>{
           {0, 0}, {2, 1}, {90, 30}, {151, 1}, {152, 4}, {200, 120}, {400, 200}, {1000, 1}}) {
    rat_binom(n, r, m.cell());
    const BigRef expected =
        n <= 502 ? pascal_502()[static_cast<std::size_t>(n)][static_cast<std::size_t>(r)]
                 : pascal_row(n)[static_cast<std::size_t>(r)];
    EXPECT_EQ(binomial_value(m), expected) << n << " " << r;
  }
}

TEST_F(Binomials, RowsAbove1754ReportError87) {
  NodeBalance balance;
  Value m;
  EXPECT_TRUE(codes_at_top_level([&] { rat_binom(1754, 5, m.cell()); }).empty());
  EXPECT_EQ(binomial_value(m), pascal_row(1754)[5]);
  EXPECT_EQ(codes_at_top_level([&] { rat_binom(1755, 5, m.cell()); }), std::vector<int>{87});
  EXPECT_EQ(codes_at_top_level([&] { rat_binom(2000, 5, m.cell()); }), std::vector<int>{87});
  EXPECT_EQ(codes_at_top_level([&] { rat_binom(2000, 1, m.cell()); }), std::vector<int>{87});

  // Going on after the report.
  const BigRef c5 = ref_range_product(1996, 2000) / BigRef(120);
  const std::vector<std::pair<std::int32_t, BigRef>> cases = {
      {5, c5}, {1995, c5}, {1, BigRef(2000)}, {2, BigRef(1999000)}, {1998, BigRef(1999000)}};
  for (const auto& [r, expected] : cases) {
    EXPECT_EQ(codes_returning([&] { rat_binom(2000, r, m.cell()); }), std::vector<int>{87});
    EXPECT_EQ(binomial_value(m), expected) << r;
  }
  // binomial(n, 2) is formed in a word up to n = 16384, beyond that (where
  // n(n - 1) may not fit) by the factorial formula.
  for (std::int32_t n : {16384, 16385, 50000}) {
    EXPECT_EQ(codes_returning([&] { rat_binom(n, 2, m.cell()); }), std::vector<int>{87});
    EXPECT_EQ(binomial_value(m), BigRef(n) * BigRef(n - 1) / BigRef(2)) << n;
  }
}

TEST_F(Binomials, TableEntriesInEveryMode) {
  NodeBalance balance;
  const auto& rows = pascal_502();
  for (std::int32_t n = 3; n <= 150; n += 3) {
    for (std::int32_t r = 1; r <= n / 2; ++r) {
      const BigRef& expected = rows[static_cast<std::size_t>(n)][static_cast<std::size_t>(r)];
      SCOPED_TRACE(testing::Message() << "binomial(" << n << ", " << r << ")");
      {
        FloatingMode floating;
        Value m;
        from_table(n, r, m.cell());
        const long double want = to_long_double(expected);
        ASSERT_LE(std::fabs(m->ncoef->flote / want - 1), 1e-18L);
      }
      if (n <= 30) {  // the rows whose entries carry a word value
        WordMode word;
        Value m;
        from_table(n, r, m.cell());
        ASSERT_EQ(m->ncoef->lint, expected.to_int64());
      }
    }
  }
}

TEST_F(Binomials, SmallCoefficientsInWordsResiduesAndLongDoubles) {
  NodeBalance balance;
  for (std::int32_t n : {1, 2, 5, 151, 152, 1000, 16384, 46341}) {
    for (std::int32_t r : {1, 2}) {
      const BigRef expected = r == 1 ? BigRef(n) : BigRef(n) * BigRef(n - 1) / BigRef(2);
      SCOPED_TRACE(testing::Message() << "binomial(" << n << ", " << r << ")");
      {
        Value m;
        trivial(n, r, m.cell());
        EXPECT_EQ(binomial_value(m), expected);
      }
      {
        WordMode word;
        Value m;
        trivial(n, r, m.cell());
        EXPECT_EQ(m->ncoef->lint, expected.to_int64());
      }
      {
        FloatingMode floating;
        Value m;
        trivial(n, r, m.cell());
        EXPECT_EQ(m->ncoef->flote, to_long_double(expected));
      }
      for (std::int32_t p : {7, 65521, 2147483629}) {
        ModulusScope ring(p);
        Value m;
        trivial(n, r, m.cell());
        EXPECT_EQ(m->ncoef->lint, (expected % BigRef(p)).to_int64()) << p;
      }
    }
  }
  // n(n - 1) beyond 32 bits: residues stay exact, plain words wrap as words do.
  for (std::int32_t n : {65537, 100000, 2147483629}) {
    const BigRef expected = BigRef(n) * BigRef(n - 1) / BigRef(2);
    for (std::int32_t p : {7, 65521, 2147483629}) {
      ModulusScope ring(p);
      Value m;
      trivial(n, 2, m.cell());
      EXPECT_EQ(m->ncoef->lint, (expected % BigRef(p)).to_int64()) << n << " mod " << p;
    }
    WordMode word;
    Value m;
    trivial(n, 2, m.cell());
    const BigRef low32 = expected % BigRef::pow2(32);
    EXPECT_EQ(static_cast<std::uint32_t>(m->ncoef->lint),
              static_cast<std::uint32_t>(low32.to_int64()))
        << n;
  }
}

}  // namespace
}  // namespace tavrin::test
