// Powers and reciprocals of values and numbers: a table of known answers
// and errors in four rings, and number powers against independent
// arithmetic.
#include "quoly/quoly_power.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "quoly/quoly.h"
#include "quoly/quoly_normal_form.h"
#include "support/node_accounting.h"
#include "support/output_capture.h"
#include "support/poly_support.h"
#include "support/rings.h"
#include "support/value_form.h"

namespace tavrin::test {
namespace {

// An exponent number holding e: its word as a signed integer in word-size
// arithmetic (the evaluator's exponents are not residues), else a big
// integer.
imptr exponent(std::int64_t e) {
  if (!lintmode && !flotemode) return make_number(BigRef(e));
  imptr n;
  newimag(&n);
  n->lint = static_cast<std::int32_t>(e);
  n->flote = static_cast<long double>(e);
  return n;
}

TEST(ValuePowers, KnownAnswersAndErrors) {
  PolyVars vars{"x", "y"};
  NumberedErrors numbered;
  ScopedValue<bool> push(errorpush, true);
  ScopedValue<std::int32_t> stat(statcount, 1);  // a report opens a level, left at once
  struct Row {
    Ring ring;
    const char* base;
    std::int64_t e;
    const char* expected;  // the value afterwards
    std::int32_t error;    // the error reported, or 0
    int gcds;              // GCDs asked; -1: not counted
  };
  const Row rows[] = {
      {Ring::integers, "x", 0, "number 1", 0, 0},
      {Ring::integers, "0", 0, "number 1", 0, 0},
      {Ring::integers, "2 / 3", -2, "9 / 4 rat", 0, 0},
      {Ring::integers, "-2", -1, "-1 / 2 rat", 0, 0},
      {Ring::integers, "-2 / 3", 3, "-8 / 27 rat", 0, 0},
      {Ring::integers, "-1 / 3", -3, "number -27", 0, 0},
      {Ring::integers, "x + 1 / x - 1", 2, "x^2 + 2*x + 1 / x^2 - 2*x + 1", 0, 0},
      {Ring::integers, "x / 2*y", -3, "8*y^3 / x^3", 0, 0},
      {Ring::integers, "-x - 1", -1, "-1 / x + 1", 0, 0},
      {Ring::integers, "0", -1, "number 1", division_by_zero_error, 0},
      {Ring::integers, "x", 1 << 28, "x", exponent_too_large_error, 0},
      {Ring::integers, "x", -(1 << 28), "x", exponent_too_large_error, 0},
      {Ring::integers, "2", 100, "number 1267650600228229401496703205376", 0, 0},
      {Ring::mod7, "3", -1, "number 5", 0, 0},
      {Ring::mod7, "0", -1, "number 1", no_inverse_error, 0},
      {Ring::mod7, "3", -7, "number 5", 0, 0},
      {Ring::mod7, "2*x + 3", -2, "2 / x^2 + 3*x + 4", 0, 0},
      {Ring::mod65521, "65520", 2, "number 1", 0, 0},
      {Ring::mod65521, "2", 65520, "number 1", 0, 0},
  };
  for (const Row& row : rows) {
    RingScope ring(row.ring);
    SCOPED_TRACE(std::string(ring_name(row.ring)) + ": (" + row.base + ")^" +
                 std::to_string(row.e));
    NodeBalance balance;
    Value v = make_value(row.base);
    imptr e = exponent(row.e);
    const long before = value_gcd_requests;
    const std::string out = output_of([&] { raise_to_power(v.cell(), e); });
    if (row.error != 0) {
      EXPECT_TRUE(reports(out, row.error)) << out;
    } else {
      EXPECT_EQ(out, "");
    }
    EXPECT_EQ(value_text(v), row.expected);
    EXPECT_TRUE(normal_value(v));
    if (row.gcds >= 0) {
      EXPECT_EQ(value_gcd_requests - before, row.gcds);
    }
    // Modulo a prime a non-zero residue's exponent is reduced modulo p - 1.
    if (row.ring == Ring::mod7 && std::string(row.base) == "3") {
      EXPECT_EQ(e->lint, 5);
    }
    special_free(e);
    free_imag(&e);
  }
  // Floating mode: exact binary fractions.
  {
    RingScope floating(Ring::floating);
    NodeBalance balance;
    for (auto [e, expected] : {std::pair{0, 1.0L}, {-2, 0.25L}, {10, 1024.0L}, {-1, 0.5L}}) {
      Value v = make_value("2");
      imptr n2 = exponent(e);
      raise_to_power(v.cell(), n2);
      ASSERT_TRUE(v->numb);
      EXPECT_EQ(v->ncoef->flote, expected) << e;
      free_imag(&n2);
    }
    Value z = make_value("0");
    imptr n2 = exponent(-1);
    EXPECT_TRUE(reports(output_of([&] { raise_to_power(z.cell(), n2); }), division_by_zero_error));
    EXPECT_EQ(z->ncoef->flote, 1.0L);
    free_imag(&n2);
    long double f = 0.0L;
    std::int32_t k = -3;
    EXPECT_TRUE(reports(output_of([&] { inumber_power(&f, &k); }), division_by_zero_error));
    EXPECT_EQ(f, 1.0L);
    f = 2.0L;
    k = -3;
    inumber_power(&f, &k);
    EXPECT_EQ(f, 0.125L);
    EXPECT_EQ(k, 3);
    f = -3.0L;
    k = 5;
    inumber_power(&f, &k);
    EXPECT_EQ(f, -243.0L);
  }
  // The exponent check of the array evaluator.
  {
    imptr big = make_number(BigRef::pow2(28));
    std::int32_t got = 0;
    EXPECT_TRUE(
        reports(output_of([&] { got = check_and_convert(big); }), exponent_too_large_error));
    EXPECT_EQ(got, 1);
    special_free(big);
    free_imag(&big);
    imptr small = make_number(BigRef(-(1 << 28) + 1));
    EXPECT_EQ(check_and_convert(small), -(1 << 28) + 1);
    special_free(small);
    free_imag(&small);
  }
}

// Number powers against the reference bignum and 64-bit modular products,
// exponents biased to 0, 1 and powers of two.
TEST(NumberPower, AgreesWithRepeatedProducts) {
  std::mt19937_64 rng(test_seed() + 2107);
  SCOPED_TRACE("seed " + std::to_string(test_seed()));
  NodeBalance balance;
  auto random_exponent = [&](int max) {
    switch (rng() % 4) {
      case 0: return static_cast<std::int32_t>(rng() % 3);
      case 1: return static_cast<std::int32_t>(1) << (rng() % 6);
      default: return static_cast<std::int32_t>(rng() % static_cast<std::uint64_t>(max));
    }
  };
  for (int i = 0; i < test_iterations(200); ++i) {
    BigRef b(static_cast<std::int64_t>(rng() % (1ull << 40)) - (1ll << 39));
    if (i % 5 == 0) b = BigRef(static_cast<std::int64_t>(rng() % 5) - 2);
    const std::int32_t e = random_exponent(60);
    imptr n = make_number(b);
    number_power(n, e);
    BigRef expected(1);
    for (std::int32_t k = 0; k < e; ++k) expected = expected * b;
    EXPECT_EQ(number_value(n), expected) << b << "^" << e;
    special_free(n);
    free_imag(&n);
  }
  for (std::int64_t p : {7ll, 65521ll, 2147483629ll}) {
    ModulusScope mod(static_cast<std::int32_t>(p));
    for (int i = 0; i < test_iterations(200); ++i) {
      const std::int64_t b = static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(p));
      const std::int32_t e = random_exponent(1 << 30);
      imptr n = exponent(b);
      number_power(n, e);
      std::int64_t expected = 1, base = b, k = e;
      for (; k > 0; k >>= 1, base = base * base % p)
        if (k & 1) expected = expected * base % p;
      EXPECT_EQ(n->lint, expected) << b << "^" << e << " mod " << p;
      free_imag(&n);
    }
  }
}

}  // namespace
}  // namespace tavrin::test
