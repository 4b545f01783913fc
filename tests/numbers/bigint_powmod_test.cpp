// Powers modulo a number on words at the limb limit, where the products of
// the limb route no longer fit in a number: the residue against squares
// and products reduced by the long division of words (not Barrett's
// reduction), and the power of a sum of exponents against the product of
// the powers.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "numbers/bigint.h"
#include "numbers/bigint_powmod.h"
#include "numbers/word_array.h"
#include "support/bigref.h"
#include "support/node_accounting.h"
#include "support/num.h"

namespace tavrin::test {
namespace {

using kit::word;
using words = std::vector<word>;

words words_of(imptr x) {
  words w(static_cast<std::size_t>(kit::words_for_digits(x->size)));
  w.resize(static_cast<std::size_t>(kit::words_of_limbs(w.data(), x->head, x->size)));
  return w;
}

// a b mod m by a product and the long division of words.
words times_mod(const words& a, const words& b, const words& m) {
  const auto na = static_cast<std::int32_t>(a.size()), nb = static_cast<std::int32_t>(b.size());
  const auto nm = static_cast<std::int32_t>(m.size());
  words p(a.size() + b.size());
  if (na >= nb) {
    kit::wmul(p.data(), a.data(), na, b.data(), nb);
  } else {
    kit::wmul(p.data(), b.data(), nb, a.data(), na);
  }
  const std::int32_t np = kit::wnormalised(p.data(), na + nb);
  if (np < nm) return words(p.begin(), p.begin() + np);
  words r(m.size());
  kit::wdivrem(nullptr, r.data(), p.data(), np, m.data(), nm);
  r.resize(static_cast<std::size_t>(kit::wnormalised(r.data(), nm)));
  return r;
}

TEST(NumberPowmod, AtTheLimbLimit) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 21);
  Num m(random_big_exact(rng, 32767).abs()), b(random_big_exact(rng, 32767)), e3(3), e5(5), e8(8),
      r3, r5, r8;
  Num e(BigRef::pow2(20) + BigRef(1)), r;
  const words wm = words_of(m);
  // b mod m, non-negative, and b^3 by hand.
  words wb = times_mod(words_of(b), words{1}, wm);
  if (b->head->value < 0) {
    words t = wm;
    kit::wsub(t.data(), t.data(), static_cast<std::int32_t>(t.size()), wb.data(),
              static_cast<std::int32_t>(wb.size()));
    t.resize(
        static_cast<std::size_t>(kit::wnormalised(t.data(), static_cast<std::int32_t>(t.size()))));
    wb = t;
  }
  number_powmod(b, e3, m, r3);
  ASSERT_TRUE(valid_bigint(r3));
  EXPECT_EQ(words_of(r3), times_mod(times_mod(wb, wb, wm), wb, wm));
  number_powmod(b, e5, m, r5);
  number_powmod(b, e8, m, r8);
  EXPECT_EQ(words_of(r8), times_mod(words_of(r3), words_of(r5), wm));
  // b^(2^20 + 1): twenty squarings, then one product.
  number_powmod(b, e, m, r);
  words w = wb;
  for (int i = 0; i < 20; ++i) w = times_mod(w, w, wm);
  EXPECT_EQ(words_of(r), times_mod(w, wb, wm));
}

// Barrett's remainder with q m wrapped modulo 2^K - 1, forced from one
// word and at the default cut (279 and 281 words), against the whole
// product's remainder, the route it replaces.
TEST(NumberPowmod, WrappedReductionAgreesWithTheWholeProduct) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 22);
  // {limbs of m, kind (0 odd, 1 even, 2 2^(28 limbs) - 1, 3 one), limbs of b, exponent (0: 60
  // random limbs)}
  const int rows[][4] = {{1, 3, 5, 7},      {2, 0, 4, 5},      {3, 1, 3, 0},     {5, 2, 12, 9},
                         {40, 0, 90, 0},    {40, 1, 40, 1},    {138, 2, 300, 3}, {636, 0, 700, 6},
                         {636, 1, 10, 0},   {641, 0, 1300, 5}, {641, 2, 641, 0}, {1500, 1, 3000, 2},
                         {1500, 0, 1500, 0}};
  for (const auto& [limbs, kind, b_limbs, e] : rows) {
    BigRef m = random_big_exact(rng, limbs).abs() * BigRef(kind == 1 ? 2 : 1);
    if (kind == 0 && (m % BigRef(2)).is_zero()) m = m + BigRef(1);
    if (kind >= 2)
      m = kind == 3 ? BigRef(1) : BigRef::pow2(static_cast<unsigned>(28 * limbs)) - BigRef(1);
    const Num mn(m), bn(random_big_exact(rng, b_limbs)),
        en(e != 0 ? BigRef(e) : random_big_exact(rng, 60).abs() + BigRef(1));
    Num results[3];
    for (int i = 0; i < 3; ++i) {
      ScopedValue<std::int32_t> cut(powmod_wrap_words,
                                    i == 0   ? std::numeric_limits<std::int32_t>::max()
                                    : i == 1 ? 1
                                             : 280);
      number_powmod(bn, en, mn, results[i]);
    }
    ASSERT_TRUE(valid_bigint(results[1]));
    EXPECT_EQ(to_ref(results[1]), to_ref(results[0])) << limbs << " limbs, kind " << kind;
    EXPECT_EQ(to_ref(results[2]), to_ref(results[0])) << limbs << " limbs, kind " << kind;
  }
}

}  // namespace
}  // namespace tavrin::test
