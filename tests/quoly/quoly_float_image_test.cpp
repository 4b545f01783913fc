// Floating images and exact values of long doubles, against the bits of the
// long double read independently.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <sstream>

#include "core/mode_guard.h"
#include "numbers/node_handles.h"
#include "quoly/quoly_float_image.h"
#include "support/node_accounting.h"
#include "support/output_capture.h"
#include "support/value_form.h"

namespace tavrin::test {
namespace {

// x as an exact rational, from its 64-bit mantissa and exponent.
RatRef exact(long double x) {
  int e = 0;
  const long double f = std::frexp(std::fabs(x), &e);
  const auto m = static_cast<std::uint64_t>(std::ldexp(f, 64));
  const BigRef n = ((BigRef(static_cast<std::int64_t>(m >> 32)) << 32) +
                    BigRef(static_cast<std::int64_t>(m & 0xFFFFFFFFU))) *
                   BigRef(x < 0 ? -1 : 1);
  return e >= 64 ? RatRef(n << static_cast<unsigned>(e - 64))
                 : RatRef(n, BigRef::pow2(static_cast<unsigned>(64 - e)));
}

// Random long doubles (integers, halves, long mantissas, far exponents) and
// polynomials over powers of 2 go to images and come back unchanged.
TEST(FloatImage, LongDoublesAndDyadicPolynomialsRoundTrip) {
  BigModeGuard big;
  NodeBalance balance;
  PolyVars vars{"x", "y"};
  std::mt19937_64 rng(test_seed());
  for (int i = 0; i < test_iterations(1000); ++i) {
    const auto m = static_cast<long double>(rng() >> (rng() % 64));
    const long double x =
        std::ldexp(rng() % 2 ? m : -m - 0.5L, static_cast<int>(rng() % 600) - 300);
    Value v, img;
    real_to_exact(x, v.cell());
    ASSERT_TRUE(normal_value(v));
    ASSERT_EQ(*value_at(v, {0, 0}), exact(x)) << static_cast<double>(x);
    quoly_float_image(v, img.cell());
    ASSERT_TRUE(img->numb && img->ncoef->size == 0 && img->ncoef->flote == x);

    std::ostringstream text;
    text << "(" << random_refpoly(rng, 2, 6, 4, 2).to_string({"x", "y"}) << " + x) / "
         << BigRef::pow2(static_cast<unsigned>(rng() % 70));
    Value p = make_value(text.str());
    quoly_float_image(p, img.cell());
    quoly_from_float_image(img.cell());
    ASSERT_EQ(value_text(img), value_text(p)) << text.str();
  }
}

TEST(FloatImage, KnownValues) {
  BigModeGuard big;
  NodeBalance balance;
  PolyVars vars{"x"};
  Value img, p = make_value("1 / 3");
  quoly_float_image(p, img.cell());
  EXPECT_EQ(img->ncoef->flote, 1.0L / 3);
  quoly_from_float_image(img.cell());
  EXPECT_EQ(value_text(img), "12297829382473034411 / 36893488147419103232 rat");
  p = make_value("(2*x^2 - 3) / 8");  // the number denominator divides the leaves
  quoly_float_image(p, img.cell());
  EXPECT_TRUE(img->denom == nullptr && img->numer->pcoef->ncoef->flote == 0.25L &&
              img->numer->next->ncoef->flote == -0.375L);
  Value q = make_value("4*x"), iq;  // a quotient of images: (0.25 x^2 - 0.375) / (4 x)
  quoly_float_image(q, iq.cell());
  poly top = img->numer, bottom = iq->numer;
  img->numer = iq->numer = nullptr;
  img = Value::adopt(nodes::new_ratfun_value(top, bottom));
  quoly_from_float_image(img.cell());
  EXPECT_EQ(value_text(img), value_text(make_value("(2*x^2 - 3) / (32*x)")));

  fl_quoly_set(std::numeric_limits<long double>::infinity(), img.cell());
  bool unwound = false;
  EXPECT_TRUE(reports(output_of([&] { quoly_from_float_image(img.cell()); }, &unwound), 22));
  EXPECT_TRUE(unwound);
}

}  // namespace
}  // namespace tavrin::test
