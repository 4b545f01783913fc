// The half-GCD route of the word GCD against Lehmer's method alone on
// certain quotients (the oracle) with the cut-offs pushed low so that every
// recursion level runs on small operands, and against planted factors; the
// 128-bit Lehmer matrices against their bound, and exact division against
// planted quotients.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <random>
#include <utility>
#include <vector>

#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "numbers/bigint.h"
#include "numbers/bigint_multiply.h"
#include "numbers/integer_gcd.h"
#include "numbers/word_array.h"
#include "numbers/word_hgcd_impl.h"
#include "support/bigref.h"
#include "support/node_accounting.h"
#include "support/num.h"

namespace tavrin::test {
namespace {

using kit::word;
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
  kit::wmul(r.data(), a.data(), static_cast<std::int32_t>(a.size()), b.data(),
            static_cast<std::int32_t>(b.size()));
  r.resize(
      static_cast<std::size_t>(kit::wnormalised(r.data(), static_cast<std::int32_t>(r.size()))));
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
  const std::int32_t nl = kit::wgcd_lehmer(g.data(), x.data(), na, y.data(), nb);
  std::copy(a.begin(), a.end(), x.begin());
  std::copy(b.begin(), b.end(), y.begin());
  ScopedValue<std::int32_t> at(wide_hgcd_words, cut), below(hgcd_base_words, base);
  const std::int32_t nh = kit::wgcd(h.data(), x.data(), na, y.data(), nb);
  ASSERT_EQ(nh, nl) << na << " by " << nb << " words";
  ASSERT_TRUE(std::equal(g.begin(), g.begin() + nl, h.begin())) << na << " by " << nb << " words";
  words r(static_cast<std::size_t>(nl));
  for (const words* v : {&a, &b}) {
    kit::wdivrem(nullptr, r.data(), v->data(), static_cast<std::int32_t>(v->size()), g.data(), nl);
    ASSERT_EQ(kit::wnormalised(r.data(), nl), 1);
    ASSERT_EQ(r[0], 0u);
  }
}

TEST(WordHalfGcd, AgreesWithLehmerOnBothSidesOfTheCutOffs) {
  std::mt19937_64 rng(test_seed() + 74);
  for (int i = 0; i < test_iterations(120); ++i) {
    const int n = 1 + static_cast<int>(rng() % 400);
    int m =
        i % 7 == 0 ? 1 + static_cast<int>(rng() % 3) : std::max(1, n - static_cast<int>(rng() % 6));
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
    t.back() = kit::wadd(t.data(), f1.data(), static_cast<std::int32_t>(f1.size()), f0.data(),
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

// A 128-bit value from two words.
kit::dword pair_value(word hi, word lo) { return (static_cast<kit::dword>(hi) << 64) | lo; }

TEST(WordLehmer, DoubleWordMatrixKeepsEveryExtensionPositive) {
  // For leading bits x, y (random, close, equal, far apart, with zero
  // middle bits) the matrix m
  // has determinant 1 and entries below 2^62, and maps (x a0, y b0) to
  // non-negative values below max(x, y) 2^64 for any low words a0, b0.
  std::mt19937_64 rng(test_seed() + 76);
  int stepped = 0;
  for (int i = 0; i < test_iterations(20000); ++i) {
    kit::dword x = pair_value(rng() | (word{1} << 63), rng());
    if (i % 11 == 3) x = pair_value(word{1} << 63, rng() >> (rng() % 64));  // the middle bits zero
    kit::dword y = pair_value(rng(), rng()) >> (i % 3 == 0 ? rng() % 128 : 0);
    if (i % 5 == 1 || i % 11 == 3) y = x - (pair_value(rng(), rng()) >> (rng() % 128));
    if (i % 7 == 2) y = x;
    kit::Matrix m{};
    if (!kit::double_word_matrix(x, y, m)) continue;
    ++stepped;
    ASSERT_GE(m.A, 0);
    ASSERT_LE(m.B, 0);
    ASSERT_LE(m.C, 0);
    ASSERT_GT(m.D, 0);
    constexpr kit::sword bound = kit::sword{1} << 62;
    ASSERT_TRUE(m.A < bound && -m.B < bound && -m.C < bound && m.D < bound);
    ASSERT_EQ(static_cast<__int128>(m.A) * m.D - static_cast<__int128>(m.B) * m.C, 1);
    for (word low : {word{0}, ~word{0}, rng()}) {
      const words a{low, static_cast<word>(x), static_cast<word>(x >> 64)};
      const words b{~low, static_cast<word>(y), static_cast<word>(y >> 64)};
      const word rows[2][2] = {{static_cast<word>(m.A), static_cast<word>(-m.B)},
                               {static_cast<word>(m.D), static_cast<word>(-m.C)}};
      const words* plus[2] = {&a, &b};
      const words* minus[2] = {&b, &a};
      for (int r = 0; r < 2; ++r) {
        words v(3);
        const word high = kit::wmul_1(v.data(), plus[r]->data(), 3, rows[r][0]);
        ASSERT_EQ(high, kit::wsubmul_1(v.data(), minus[r]->data(), 3, rows[r][1]))
            << "a negative or oversized image, x = " << static_cast<word>(x >> 64) << ":"
            << static_cast<word>(x);
        const kit::dword top = std::max(x, y);
        ASSERT_LE(pair_value(v[2], v[1]), top);
      }
    }
  }
  ASSERT_GT(stepped, test_iterations(20000) / 2);
}

TEST(WordLehmer, DoubleWordRouteAgreesWithCertainQuotients) {
  // Short operands (the two-word finish included), tops equal but for a
  // few low bits, powers of two and planted factors.
  std::mt19937_64 rng(test_seed() + 77);
  for (int i = 0; i < test_iterations(3000); ++i) {
    const int n = 1 + static_cast<int>(rng() % 10), m = 1 + static_cast<int>(rng() % 10);
    words a = random_words(rng, n), b = random_words(rng, m);
    if (i % 3 == 0) {
      b = a;
      b[rng() % b.size()] += 1 + rng() % 4;
      if (b.back() == 0) b.back() = 1;
    }
    if (i % 7 == 0) {  // a power of two, and b a little above it
      std::fill(a.begin(), a.end(), word{0});
      a.back() = word{1} << (rng() % 64);
      if (i % 2 == 0) {
        b = a;
        b[0] += 1 + rng() % 1000;
      }
    }
    if (i % 4 == 0) {
      const words g = random_words(rng, 1 + static_cast<int>(rng() % 3));
      a = times(a, g);
      b = times(b, g);
    }
    const std::size_t room = std::max(a.size(), b.size());
    words x(room), y(room), g(room), h(room);
    std::copy(a.begin(), a.end(), x.begin());
    std::copy(b.begin(), b.end(), y.begin());
    const std::int32_t nl =
        kit::wgcd_lehmer(g.data(), x.data(), static_cast<std::int32_t>(a.size()), y.data(),
                         static_cast<std::int32_t>(b.size()));
    std::copy(a.begin(), a.end(), x.begin());
    std::copy(b.begin(), b.end(), y.begin());
    const std::int32_t nd =
        kit::wgcd_double(h.data(), x.data(), static_cast<std::int32_t>(a.size()), y.data(),
                         static_cast<std::int32_t>(b.size()));
    ASSERT_EQ(nd, nl) << i;
    ASSERT_TRUE(std::equal(g.begin(), g.begin() + nl, h.begin())) << i;
  }
}

TEST(WordLehmer, ExactDivisionOnBothSidesOfTheLongDivisionCut) {
  // a = q d with factors 2 and zero words in d; a / d must give q back,
  // by Hensel's division and (cut at 4 words) by the long division, within
  // the quotient's room na - nd + 1 (the word after it is left alone) also
  // when taking d's factors 2 out empties its top word (2^64 + 2, a short
  // top word).
  constexpr word guard = 0x5a5a5a5a5a5a5a5aull;
  std::mt19937_64 rng(test_seed() + 78);
  for (std::int32_t cut : {never, 4}) {
    ScopedValue<std::int32_t> at(wide_divide_words, cut);
    for (int i = 0; i < test_iterations(300); ++i) {
      const words q = random_words(rng, 1 + static_cast<int>(rng() % 60));
      words d = random_words(rng, 1 + static_cast<int>(rng() % 60));
      if (i % 3 == 0) d.insert(d.begin(), rng() % 3, word{0});
      if (i % 2 == 0)
        d[static_cast<std::size_t>(std::find_if(d.begin(), d.end(), [](word w) { return w != 0; }) -
                                   d.begin())] <<= rng() % 64;
      if (i % 4 == 2) d.back() >>= 56;
      if (i % 7 == 0) d = {2, 1};
      if (d.back() == 0) d.back() = 1;
      words a = times(q, d), r(a.size() - d.size() + 2, guard);
      const std::int32_t nq =
          kit::wdivexact(r.data(), a.data(), static_cast<std::int32_t>(a.size()), d.data(),
                         static_cast<std::int32_t>(d.size()));
      ASSERT_EQ(r.back(), guard) << i;
      ASSERT_EQ(nq, static_cast<std::int32_t>(q.size())) << i;
      ASSERT_TRUE(std::equal(q.begin(), q.end(), r.begin())) << i;
    }
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

// The magnitude of x as words, and x's sign.
words words_of(imptr x, bool* negative) {
  words w(static_cast<std::size_t>(kit::words_for_digits(x->size)));
  w.resize(static_cast<std::size_t>(kit::words_of_limbs(w.data(), x->head, x->size)));
  *negative = x->head->value < 0;
  return w;
}

TEST(WordHalfGcd, CofactorsAtTheLimbLimit) {
  // Operands of 32,767 limbs (too long for Euclid's steps as the oracle):
  // Bezout's identity s a + t b = g on words, g against binary_gcd, and the
  // bounds |s| < |b|/(2g), |t| < |a|/(2g) that single out Euclid's
  // cofactors; bare, and with a planted common factor of 9,000 limbs.
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 76);
  const BigRef c = random_big_exact(rng, 9000).abs();
  for (int round = 0; round < 2; ++round) {
    Num a(random_big_exact(rng, round == 0 ? 32767 : 23767)), b(random_big_exact(rng, 23767));
    if (round == 1) {
      fast_mult(a, Num(c), a);
      fast_mult(b, Num(c), b);
    }
    ASSERT_EQ(a->size, 32767);
    Num g, s, t, gb;
    half_gcd_cofactors(a, b, g, s, t);
    binary_gcd(a, b, gb);
    ASSERT_EQ(g.value(), gb.value());
    bool na = false, nb = false, ns = false, nt = false, ng = false;
    const words wa = words_of(a, &na), wb = words_of(b, &nb), ws = words_of(s, &ns),
                wt = words_of(t, &nt), wg = words_of(g, &ng);
    // s a and t b have opposite signs: |s a| - |t b| = +-g.
    words sa = times(ws, wa), tb = times(wt, wb);
    ASSERT_NE(ns != na, nt != nb);
    const bool sa_larger = kit::wcmp_norm(sa.data(), static_cast<std::int32_t>(sa.size()),
                                          tb.data(), static_cast<std::int32_t>(tb.size())) > 0;
    ASSERT_EQ(sa_larger, ns == na);  // the positive product is the larger
    words& big = sa_larger ? sa : tb;
    const words& small = sa_larger ? tb : sa;
    kit::wsub(big.data(), big.data(), static_cast<std::int32_t>(big.size()), small.data(),
              static_cast<std::int32_t>(small.size()));
    big.resize(static_cast<std::size_t>(
        kit::wnormalised(big.data(), static_cast<std::int32_t>(big.size()))));
    ASSERT_EQ(big, wg);
    for (const auto& [cof, other] : {std::pair<const words*, const words*>{&ws, &wb}, {&wt, &wa}}) {
      words twice = times(times(*cof, wg), words{2});
      ASSERT_LT(kit::wcmp_norm(twice.data(), static_cast<std::int32_t>(twice.size()), other->data(),
                               static_cast<std::int32_t>(other->size())),
                0);
    }
  }
}

}  // namespace
}  // namespace tavrin::test
