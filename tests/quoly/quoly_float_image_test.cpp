// Floating images and exact values of long doubles, against the bits of the
// long double read independently and against exact values at points.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "poly/poly_repr.h"
#include "quoly/quoly_float_image.h"
#include "support/node_accounting.h"
#include "support/output_capture.h"
#include "support/poly_support.h"
#include "support/ratref.h"
#include "support/value_form.h"

namespace tavrin::test {
namespace {

// x as an exact rational, from its 64-bit mantissa and exponent.
RatRef exact(long double x) {
  int e = 0;
  const long double f = std::frexp(x, &e);
  const bool negative = f < 0;
  const auto m = static_cast<std::uint64_t>(std::ldexp(negative ? -f : f, 64));
  BigRef n = (BigRef(static_cast<std::int64_t>(m >> 32)) << 32) +
             BigRef(static_cast<std::int64_t>(m & 0xFFFFFFFFU));
  if (negative) n = -n;
  e -= 64;
  return e >= 0 ? RatRef(n << static_cast<unsigned>(e))
                : RatRef(n, BigRef::pow2(static_cast<unsigned>(-e)));
}

// A long double biased towards integers, halves, powers of 2, long
// mantissas and far exponents.
long double random_real(std::mt19937_64& rng) {
  const long double sign = rng() % 2 == 0 ? 1 : -1;
  switch (rng() % 5) {
    case 0: return sign * static_cast<long double>(rng() % 100000);
    case 1: return sign * (static_cast<long double>(rng() % 1000) + 0.5L);
    case 2: return sign * std::ldexp(1.0L, static_cast<int>(rng() % 400) - 200);
    default: {
      const auto m = static_cast<long double>(rng() | (std::uint64_t{1} << 63));
      return sign * std::ldexp(m, static_cast<int>(rng() % 2000) - 1000);
    }
  }
}

long double leaf_real(quoly q) { return q->ncoef->flote; }

TEST(FloatImage, LongDoublesComeBackAsTheirExactValues) {
  BigModeGuard big;
  NodeBalance balance;
  std::mt19937_64 rng(test_seed());
  for (int i = 0; i < test_iterations(2000); ++i) {
    const long double x = random_real(rng);
    Value v;
    real_to_exact(x, v.cell());
    ASSERT_TRUE(normal_value(v)) << x;
    ASSERT_EQ(*value_at(v, {}), exact(x)) << static_cast<double>(x);
    Value img;
    quoly_float_image(v, img.cell());
    ASSERT_TRUE(img->numb);
    EXPECT_EQ(img->ncoef->size, 0) << "an image holds no limbs";
    ASSERT_EQ(leaf_real(img), x) << static_cast<double>(x);
    quoly_from_float_image(img.cell());
    ASSERT_EQ(*value_at(img, {}), exact(x));
  }
}

// Polynomials with dyadic coefficients have exact images: the round trip
// gives them back; a quotient of two images comes back as the quotient of
// the exact values.
TEST(FloatImage, PolynomialImagesRoundTripAndQuotientsComeBackExact) {
  BigModeGuard big;
  NodeBalance balance;
  PolyVars vars{"x", "y"};
  std::mt19937_64 rng(test_seed());
  auto dyadic_value = [&] {
    const RefPoly p = random_refpoly(rng, 2, 6, 4, 2);
    std::ostringstream d;
    d << BigRef::pow2(static_cast<unsigned>(rng() % 70));
    return make_value((p.is_zero() ? std::string("1") : p.to_string({"x", "y"})) + " / " + d.str());
  };
  const std::vector<RatRef> point{RatRef(3, 7), RatRef(-5, 2)};
  int quotients = 0;
  for (int i = 0; i < test_iterations(300); ++i) {
    Value a = dyadic_value();
    Value img;
    ASSERT_TRUE(has_float_image(a));
    quoly_float_image(a, img.cell());
    quoly_from_float_image(img.cell());
    ASSERT_EQ(value_text(img), value_text(a));

    Value b = dyadic_value();
    if (a->numb || a->rat || b->numb || b->rat) continue;  // polynomials only
    Value ia, ib;
    quoly_float_image(a, ia.cell());
    quoly_float_image(b, ib.cell());
    Value q = Value::adopt(detail::new_ratfun_value(ia->numer, ib->numer));
    ia->numer = nullptr;
    ib->numer = nullptr;
    quoly_from_float_image(q.cell());
    ASSERT_TRUE(normal_value(q));
    const auto want_b = value_at(b, point);
    if (!want_b || want_b->is_zero()) continue;
    ASSERT_EQ(*value_at(q, point), *value_at(a, point) / *want_b) << value_text(a) << " / "
                                                                   << value_text(b);
    ++quotients;
  }
  EXPECT_GT(quotients, test_iterations(300) / 10);
}

TEST(FloatImage, KnownValues) {
  BigModeGuard big;
  NodeBalance balance;
  PolyVars vars{"x"};
  Value third = make_value("1 / 3");
  Value img;
  quoly_float_image(third, img.cell());
  EXPECT_EQ(leaf_real(img), 1.0L / 3);
  quoly_from_float_image(img.cell());
  EXPECT_EQ(value_text(img), "12297829382473034411 / 36893488147419103232 rat");

  Value big_number = make_value("1000000000000000000000000000000");  // 10^30
  quoly_float_image(big_number, img.cell());
  EXPECT_EQ(leaf_real(img), 1e30L);

  Value p = make_value("(2*x^2 - 3) / 8");  // coefficients over the number denominator
  quoly_float_image(p, img.cell());
  ASSERT_FALSE(img->numb);
  EXPECT_EQ(img->denom, nullptr);
  EXPECT_EQ(img->numer->pcoef->ncoef->flote, 0.25L);
  EXPECT_EQ(img->numer->next->ncoef->flote, -0.375L);

  fl_quoly_set(std::numeric_limits<long double>::infinity(), img.cell());
  bool unwound = false;
  const std::string out = output_of([&] { quoly_from_float_image(img.cell()); }, &unwound);
  EXPECT_TRUE(unwound);
  EXPECT_TRUE(reports(out, 22)) << out;
  EXPECT_TRUE(quoly_iszero(img)) << "the cell holds 0";
}

}  // namespace
}  // namespace tavrin::test
