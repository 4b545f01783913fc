// The half-GCD route of the word GCD against Lehmer's method alone (its
// base case, the oracle) with the cut-offs pushed low so that every
// recursion level runs on small operands, and against planted factors.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "numbers/bigint.h"
#include "numbers/bigint_multiply.h"
#include "numbers/integer_gcd.h"
#include "numbers/word_array_impl.h"
#include "numbers/word_hgcd_impl.h"
#include "support/bigref.h"
#include "support/node_accounting.h"
#include "support/num.h"

namespace tavrin::test {
namespace {

using detail::word;
using words = std::vector<word>;

constexpr std::int32_t never = std::numeric_limits<std::int32_t>::max();

words random_words(std::mt19937_64& rng, int n) {
  words w(static_cast<std::size_t>(n));
  for (auto& x : w) x = rng();
  if (w.back() == 0) w.back() = 1;
  return w;
}

words times(const words& a, const words& b) {
  words r(a.size() + b.size());
  detail::wmul(r.data(), a.data(), static_cast<std::int32_t>(a.size()), b.data(), static_cast<std::int32_t>(b.size()));
  r.resize(static_cast<std::size_t>(detail::wnormalised(r.data(), static_cast<std::int32_t>(r.size()))));
  return r;
}

// gcd(a, b) by the half-GCD route (at the given cut-offs) and by Lehmer's
// method alone must be the same words; the GCD divides both operands.
void check_routes(const words& a, const words& b, std::int32_t cut, std::int32_t base) {
  const auto na = static_cast<std::int32_t>(a.size()), nb = static_cast<std::int32_t>(b.size());
  const std::size_t room = std::max(a.size(), b.size());
  words x(room), y(room), g(room), h(room);
  std::copy(a.begin(), a.end(), x.begin());
  std::copy(b.begin(), b.end(), y.begin());
  const std::int32_t nl = detail::wgcd_lehmer(g.data(), x.data(), na, y.data(), nb);
  std::copy(a.begin(), a.end(), x.begin());
  std::copy(b.begin(), b.end(), y.begin());
  ScopedValue<std::int32_t> at(wide_hgcd_words, cut), below(hgcd_base_words, base);
  const std::int32_t nh = detail::wgcd(h.data(), x.data(), na, y.data(), nb);
  ASSERT_EQ(nh, nl) << na << " by " << nb << " words";
  ASSERT_TRUE(std::equal(g.begin(), g.begin() + nl, h.begin())) << na << " by " << nb << " words";
  words r(static_cast<std::size_t>(nl));
  for (const words* v : {&a, &b}) {
    detail::wdivrem(nullptr, r.data(), v->data(), static_cast<std::int32_t>(v->size()), g.data(), nl);
    ASSERT_EQ(detail::wnormalised(r.data(), nl), 1);
    ASSERT_EQ(r[0], 0u);
  }
}

TEST(WordHalfGcd, AgreesWithLehmerOnBothSidesOfTheCutOffs) {
  std::mt19937_64 rng(test_seed() + 74);
  for (int i = 0; i < test_iterations(120); ++i) {
    const int n = 1 + static_cast<int>(rng() % 400);
    int m = i % 7 == 0 ? 1 + static_cast<int>(rng() % 3) : std::max(1, n - static_cast<int>(rng() % 6));
    if (i % 11 == 0) m = n / 2 + 1;
    words a = random_words(rng, n), b = random_words(rng, m);
    if (i % 3 == 0) {  // a planted common factor
      const words g = random_words(rng, 1 + static_cast<int>(rng() % 150));
      a = times(a, g);
      b = times(b, g);
    }
    const std::int32_t cut = i % 4 == 0 ? never : 8 + static_cast<std::int32_t>(rng() % 40);
    const std::int32_t base = 4 + static_cast<std::int32_t>(rng() % 30);
    check_routes(a, b, cut, base);
    if (HasFatalFailure()) return;
  }
  // Equal operands, and consecutive Fibonacci numbers of about 300 words
  // (every quotient 1), bare and times a common factor.
  const words v = random_words(rng, 200);
  check_routes(v, v, 8, 4);
  words f0{0}, f1{1};
  for (int k = 0; k < 27000; ++k) {
    words t(f1.size() + 1);
    t.back() = detail::wadd(t.data(), f1.data(), static_cast<std::int32_t>(f1.size()), f0.data(),
                            static_cast<std::int32_t>(f0.size()));
    if (t.back() == 0) t.pop_back();
    f0 = std::move(f1);
    f1 = std::move(t);
  }
  for (std::int32_t base : {4, 17, 40}) {
    check_routes(f1, f0, 8, base);
    check_routes(times(f1, v), times(f0, v), 8, base);
    if (HasFatalFailure()) return;
  }
}

TEST(WordHalfGcd, LongestOperandsThroughBinaryGcdAndExtgcd) {
  // 32,767-limb operands (the half-GCD route at its default cut-offs) with
  // a planted factor g of a third of the length and coprime cofactors x,
  // 7 x + 1 (one negated for extgcd); the cofactors alone (GCD 1), and a
  // zero operand.
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 75);
  const BigRef g = random_big_exact(rng, 10922).abs() + BigRef(1);
  const BigRef x = random_big_exact(rng, 21844).abs() + BigRef(1);
  const BigRef y = x * BigRef(7) + BigRef(1);
  Num gn(g), xn(x), yn(y), n, m;
  fast_mult(xn, gn, n);
  fast_mult(yn, gn, m);
  ASSERT_LE(m->size, 32767);
  ASSERT_GE(m->size, 32760);
  Num ans;
  binary_gcd(n, m, ans);
  ASSERT_EQ(ans.value(), g);
  // extgcd with n negated: the cofactor n / g carries the sign.
  for (numptr p = n->head; p != nullptr; p = p->next) p->value = -p->value;
  Num gcd, qn, qm;
  bool gcd1 = false;
  extgcd(n, m, gcd, qn, qm, &gcd1);
  ASSERT_FALSE(gcd1);
  ASSERT_EQ(gcd.value(), g);
  ASSERT_EQ(qn.value(), -x);
  ASSERT_EQ(qm.value(), y);
  Num coprime, zero(0);
  binary_gcd(xn, yn, coprime);
  ASSERT_EQ(coprime.value(), BigRef(1));
  binary_gcd(n, zero, coprime);
  ASSERT_EQ(coprime.value(), -n.value());  // n is negated: the GCD is |n|
}

}  // namespace
}  // namespace tavrin::test
