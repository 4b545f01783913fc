// The word-arithmetic kit: WordField's reduction against %, Char2Field
// against a carry-less product written here, the cached word primes
// against trial division, Garner's combination against the independent
// big integers of the test support, and the kit's Shoup products, double
// reductions, dot products and transform recombination against 128-bit
// arithmetic.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <tuple>
#include <vector>

#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "numbers/garner.h"
#include "numbers/ntt.h"
#include "numbers/primes.h"
#include "numbers/word_field.h"
#include "numbers/zint.h"
#include "support/bigref.h"

namespace tavrin::test {
namespace {

// The value of a ZInt, read digit by digit into a BigRef.
BigRef ref_of(const ZInt& z) {
  BigRef v;
  const auto& m = z.magnitude();
  for (std::size_t i = m.size(); i-- > 0;) v = (v << 28) + BigRef(static_cast<std::int64_t>(m[i]));
  return z.sign() < 0 ? -v : v;
}

// A random integer of about `bits` bits (whole 16-bit steps), either sign.
ZInt random_zint(std::mt19937_64& rng, int bits) {
  ZInt x;
  for (int b = 0; b < bits; b += 16)
    x.mul_add(1u << 16, static_cast<std::uint32_t>(rng() & 0xffff));
  return (rng() & 1) != 0 ? -x : x;
}

// A 64-bit value biased towards the edges of p's multiples.
std::uint64_t draw(std::mt19937_64& rng, std::uint64_t p) {
  switch (rng() % 6) {
    case 0: return rng() % 4;
    case 1: return ~std::uint64_t{0} - rng() % 4;
    case 2: return (rng() % (~std::uint64_t{0} / p)) * p + rng() % 3 - 1;
    case 3: return rng() % (p * 2 + 2);
    default: return rng();
  }
}

TEST(WordField, ReductionAgreesWithRemainder) {
  std::mt19937_64 rng(test_seed() + 1);
  SCOPED_TRACE(::testing::Message() << "seed " << test_seed());
  const int rounds = test_iterations(2000);
  std::vector<std::uint32_t> primes = {2, 3, 65521, 4294967291u, word_prime(0), word_prime(5)};
  for (std::uint32_t p : primes) {
    const WordField f(p);
    for (int i = 0; i < rounds; ++i) {
      const std::uint64_t x = draw(rng, p);
      ASSERT_EQ(f.reduce(x), x % p) << "p = " << p << ", x = " << x;
      const unsigned __int128 wide = (static_cast<unsigned __int128>(draw(rng, p)) << 64) | x;
      ASSERT_EQ(f.reduce_wide(wide), static_cast<std::uint64_t>(wide % p))
          << "p = " << p << ", x = " << x;
      const auto a = static_cast<std::uint32_t>(rng() % p),
                 b = static_cast<std::uint32_t>(rng() % p);
      ASSERT_EQ(f.mul(a, b), std::uint64_t{a} * b % p);
      ASSERT_EQ(f.add(a, b), (std::uint64_t{a} + b) % p);
      ASSERT_EQ(f.add(f.sub(a, b), b), a);
      ASSERT_EQ(f.add(a, f.neg(a)), 0u);
      ASSERT_EQ(f.of(-static_cast<std::int64_t>(a)), f.neg(a));
      if (a != 0) {
        ASSERT_EQ(f.mul(a, f.inv(a)), 1u) << "p = " << p << ", a = " << a;
      }
    }
    // Fermat: a^(p-1) = 1.
    if (p > 3) {
      EXPECT_EQ(f.pow(3, p - 1), 1u);
    }
  }
}

// The carry-less product of a and b reduced by the field polynomial.
std::uint32_t clmul_mod(std::uint32_t a, std::uint32_t b, std::uint32_t poly, int bits) {
  std::uint64_t r = 0;
  for (int i = 0; i < bits; ++i)
    if ((b >> i) & 1u) r ^= std::uint64_t{a} << i;
  for (int i = 2 * bits - 2; i >= bits; --i)
    if ((r >> i) & 1u) r ^= std::uint64_t{poly} << (i - bits);
  return static_cast<std::uint32_t>(r);
}

TEST(WordField, Char2TwinIsTheFieldProduct) {
  std::mt19937 rng(static_cast<std::uint32_t>(test_seed() + 2));
  SCOPED_TRACE(::testing::Message() << "seed " << test_seed());
  for (auto [size, poly, bits] :
       {std::tuple{256, gf256_poly, 8}, std::tuple{65536, gf65536_poly, 16}}) {
    const Char2Field f(size);
    EXPECT_EQ(f.size(), static_cast<std::uint64_t>(size));
    for (int i = 0; i < test_iterations(500); ++i) {
      const std::uint32_t a = rng() % size, b = rng() % size, c = rng() % size;
      ASSERT_EQ(f.mul(a, b), clmul_mod(a, b, poly, bits));
      ASSERT_EQ(f.mul_add(a, b, c), f.add(f.mul(a, b), c));
      ASSERT_EQ(f.sub(f.add(a, b), b), a);
      if (a != 0) {
        ASSERT_EQ(f.mul(a, f.inv(a)), 1u);
      }
    }
  }
}

bool trial_prime(std::uint32_t n) {
  if (n < 2) return false;
  for (std::uint64_t d = 2; d * d <= n; ++d)
    if (n % d == 0) return false;
  return true;
}

TEST(WordPrimes, ConsecutivePrimesBelowEachTop) {
  for (std::uint32_t top : {std::uint32_t{1} << 21, std::uint32_t{1} << 28, word_prime_top}) {
    std::uint32_t above = top;
    for (std::size_t k = 0; k < 12; ++k) {
      const std::uint32_t p = word_prime(k, top);
      ASSERT_TRUE(trial_prime(p)) << p;
      for (std::uint32_t n = p + 1; n < above; ++n) ASSERT_FALSE(trial_prime(n)) << n << " skipped";
      above = p;
    }
  }
  EXPECT_EQ(word_prime(0), 2147483647u);  // 2^31 - 1, a Mersenne prime
  EXPECT_EQ(word_prime(0, 1u << 21), 2097143u);
}

TEST(Garner, CombinesResiduesAsTheIntegers) {
  std::mt19937_64 rng(test_seed() + 3);
  SCOPED_TRACE(::testing::Message() << "seed " << test_seed());
  // Primes in the images' order, and small primes mixed with large ones.
  const std::vector<std::vector<std::uint32_t>> lists = {
      {word_prime(0)},
      {word_prime(0), word_prime(1), word_prime(2), word_prime(3), word_prime(4)},
      {3, 5, 7},
      {65521, word_prime(3), 3, word_prime(0, 1u << 21), 17, word_prime(9)}};
  for (const auto& primes : lists) {
    Garner g;
    for (std::uint32_t p : primes) g.add_prime(p);
    BigRef M = 1;
    for (std::uint32_t p : primes) M = M * BigRef(p);
    ASSERT_EQ(ref_of(g.modulus()), M);
    const std::size_t n = primes.size();
    for (int i = 0; i < test_iterations(200); ++i) {
      // x in [0, M): random words, folded; biased to 0, 1, M - 1 and M / 2.
      BigRef x;
      switch (i % 5) {
        case 0: x = BigRef(static_cast<std::int64_t>(i / 5 % 2)); break;
        case 1: x = M - 1; break;
        case 2: x = M / 2 + BigRef(static_cast<std::int64_t>(i / 5 % 3)) - 1; break;
        default:
          for (std::size_t w = 0; w < n; ++w)
            x = (x << 32) + BigRef(static_cast<std::int64_t>(rng() >> 32));
          x = x % M;
      }
      std::vector<std::uint32_t> r(n), d(2 * n, 7);
      for (std::size_t k = 0; k < n; ++k)
        r[k] = static_cast<std::uint32_t>((x % BigRef(primes[k])).to_int64());
      g.digits(r.data(), d.data(), 2);  // spread digits, stride 2
      for (std::size_t k = 0; k < n; ++k) ASSERT_LT(d[2 * k], primes[k]);
      ASSERT_EQ(ref_of(g.value(d.data(), 2)), x) << "x = " << x;
      ASSERT_EQ(g.above_half(d.data(), n, 2), x > M / 2) << "x = " << x;
      const BigRef s = x > M / 2 ? x - M : x;
      ASSERT_EQ(ref_of(g.symmetric(d.data(), 2)), s) << "x = " << x;
      // The symmetric value's residues are the images again.
      const ZInt sz = g.symmetric(d.data(), 2);
      for (std::size_t k = 0; k < n; ++k) ASSERT_EQ(sz.mod_word(primes[k]), r[k]);
    }
  }
}

TEST(ZInt, MulAddIsHornersStep) {
  std::mt19937_64 rng(test_seed() + 4);
  SCOPED_TRACE(::testing::Message() << "seed " << test_seed());
  ZInt z;
  BigRef v;
  for (int i = 0; i < 300; ++i) {
    const auto m = static_cast<std::uint32_t>(i % 7 == 0 ? 0 : rng() >> 32);
    const auto a = static_cast<std::uint32_t>(i % 5 == 0 ? 0 : rng() >> 32);
    z.mul_add(m, a);
    v = v * BigRef(m) + BigRef(a);
    ASSERT_EQ(ref_of(z), v) << "step " << i;
    ASSERT_EQ(z.is_zero(), v.is_zero());
  }
}

// The extended Euclidean algorithm in 128-bit words gives the big-integer
// steps' g, s and t (the same quotients), on both sides of the width cut
// and of the word, signs mixed, and s a + t b = g.
TEST(ZInt, XgcdInWideWordsAsOnBigIntegers) {
  std::mt19937_64 rng(test_seed() + 9);
  SCOPED_TRACE(::testing::Message() << "seed " << test_seed());
  for (int i = 0; i < 400; ++i) {
    const int bits_a = 40 + static_cast<int>(rng() % 100),
              bits_b = 8 + static_cast<int>(rng() % 130);
    ZInt a = random_zint(rng, bits_a), b = random_zint(rng, bits_b);
    if (i % 10 == 0) b = a * random_zint(rng, 20);  // one divides the other
    ZInt s1, t1, s2, t2, g1, g2;
    {
      ScopedValue<std::int32_t> big{xgcd_wide_bits, 0};
      g1 = ZInt::xgcd(a, b, &s1, &t1);
    }
    {
      ScopedValue<std::int32_t> wide{xgcd_wide_bits, 124};
      g2 = ZInt::xgcd(a, b, &s2, &t2);
    }
    ASSERT_EQ(ref_of(g2), ref_of(g1)) << i;
    ASSERT_EQ(ref_of(s2), ref_of(s1)) << i;
    ASSERT_EQ(ref_of(t2), ref_of(t1)) << i;
    ASSERT_EQ(ref_of(s2 * a + t2 * b), ref_of(g2)) << i;
  }
}

// Lehmer's steps in the extended Euclidean algorithm of big integers: the
// same gcd and cofactors as one division a quotient, on random pairs of
// 100 to 3000 bits (near and far in length, signs mixed), on Fibonacci
// neighbours (every quotient 1, the longest runs), on a multiple and its
// factor, on neighbours n, n + 1 and on 2^k +- 1; and s a + t b = g.
TEST(ZInt, XgcdLehmerStepsAsOneDivisionAQuotient) {
  std::mt19937_64 rng(test_seed() + 31);
  SCOPED_TRACE(::testing::Message() << "seed " << test_seed());
  std::vector<std::pair<ZInt, ZInt>> pairs;
  for (int i = 0; i < 300; ++i) {
    const int bits_a = 100 + static_cast<int>(rng() % 2900);
    const int bits_b =
        i % 3 == 0 ? 8 + static_cast<int>(rng() % 3000) : bits_a - static_cast<int>(rng() % 80);
    pairs.emplace_back(random_zint(rng, bits_a), random_zint(rng, std::max(bits_b, 1)));
  }
  ZInt f0 = 0, f1 = 1;
  for (int n = 1; n <= 1500; ++n) {
    ZInt f2 = f0 + f1;
    f0 = std::move(f1);
    f1 = std::move(f2);
    if (n % 97 == 0) pairs.emplace_back(f1, f0);
  }
  for (int i = 0; i < 20; ++i) {
    const ZInt a = random_zint(rng, 200 + 50 * i);
    pairs.emplace_back(a * random_zint(rng, 30 + 40 * i), a);
    pairs.emplace_back(a, a + ZInt(1));
  }
  ZInt two_k = 1;
  for (int k = 1; k <= 700; ++k) {
    two_k += two_k;
    if (k % 61 == 0) pairs.emplace_back(two_k + ZInt(1), two_k - ZInt(1));
  }
  for (std::size_t i = 0; i < pairs.size(); ++i) {
    const auto& [a, b] = pairs[i];
    ZInt s1, t1, s2, t2, g1, g2;
    {
      ScopedValue<std::int32_t> plain{xgcd_lehmer_bits, INT32_MAX};
      g1 = ZInt::xgcd(a, b, &s1, &t1);
    }
    for (std::int32_t from : {0, 124}) {
      ScopedValue<std::int32_t> lehmer{xgcd_lehmer_bits, from};
      g2 = ZInt::xgcd(a, b, &s2, &t2);
      ASSERT_EQ(ref_of(g2), ref_of(g1)) << i << " from " << from;
      ASSERT_EQ(ref_of(s2), ref_of(s1)) << i << " from " << from;
      ASSERT_EQ(ref_of(t2), ref_of(t1)) << i << " from " << from;
    }
    ASSERT_EQ(ref_of(s2 * a + t2 * b), ref_of(g2)) << i;
  }
}

// Values of 0 .. zdigits_inline + 2 digits (edge digits 0 and 2^28 - 1
// among random ones), both signs, so that operands and results cross
// between the inline room and the heap: sums, products, quotients, xgcd
// and add_mul_small against the independent big integers, and copies,
// moves and self-assignments of stores growing and shrinking.
TEST(ZInt, ArithmeticAcrossTheInlineRoom) {
  std::mt19937_64 rng(test_seed() + 12);
  SCOPED_TRACE(::testing::Message() << "seed " << test_seed());
  auto draw_zint = [&] {
    std::vector<std::uint32_t> d(rng() % (zdigits_inline + 3));
    for (std::uint32_t& x : d)
      x = rng() % 4 == 0 ? (rng() % 2 == 0 ? 0 : (1u << 28) - 1) : rng() % (1u << 28);
    return ZInt::from_digits(std::move(d), rng() % 2 == 0 ? 1 : -1);
  };
  for (int i = 0; i < test_iterations(1000); ++i) {
    const ZInt a = draw_zint(), b = draw_zint();
    const BigRef ra = ref_of(a), rb = ref_of(b);
    ASSERT_EQ(ref_of(a + b), ra + rb) << ra << " " << rb;
    ASSERT_EQ(ref_of(a - b), ra - rb) << ra << " " << rb;
    ASSERT_EQ((a + b) - b, a);
    const ZInt p = a * b;
    ASSERT_EQ(ref_of(p), ra * rb) << ra << " " << rb;
    ZInt acc = a;
    acc += b;
    acc -= a;
    ASSERT_EQ(acc, b);
    acc += acc;  // aliased
    ASSERT_EQ(ref_of(acc), rb + rb);
    const auto m = static_cast<std::int32_t>(rng() % (1u << 28)) * (rng() % 2 == 0 ? 1 : -1);
    acc = b;
    acc.add_mul_small(a, m);
    ASSERT_EQ(ref_of(acc), rb + ra * BigRef(m)) << ra << " " << rb << " " << m;
    acc = a;
    acc.add_mul_small(acc, m);  // aliased
    ASSERT_EQ(ref_of(acc), ra + ra * BigRef(m));
    if (b.is_zero()) continue;
    ZInt q, r;
    ZInt::divmod(p, b, &q, &r);
    ASSERT_EQ(q, a);
    ASSERT_TRUE(r.is_zero());
    ZInt::divmod(a, b, &q, &r);
    BigRef tq, tr;
    divmod(ra, rb, tq, tr);
    if (tr.sign() < 0) {
      tr = tr + rb.abs();
      tq = tq - BigRef(rb.sign());
    }
    ASSERT_EQ(ref_of(q), tq) << ra << " " << rb;
    ASSERT_EQ(ref_of(r), tr) << ra << " " << rb;
    ZInt s, t;
    const ZInt g = ZInt::xgcd(a, b, &s, &t);
    ASSERT_EQ(ref_of(g), BigRef::gcd(ra, rb)) << ra << " " << rb;
    ASSERT_EQ(s * a + t * b, g);
    ASSERT_EQ(ZInt::gcd(a, b), g);
  }
  // A store that grew keeps its values through copies, moves and
  // self-assignment as it shrinks back below the inline room; a moved-from
  // value is 0.
  std::vector<ZInt> v(8);
  std::vector<BigRef> want(8);
  for (int i = 0; i < test_iterations(1000); ++i) {
    const auto j = rng() % v.size(), k = rng() % v.size();
    switch (rng() % 6) {
      case 0:
        v[j] = draw_zint();
        want[j] = ref_of(v[j]);
        break;
      case 1:
        v[j] = v[k];
        want[j] = want[k];
        break;
      case 2:
        v[j] = std::move(v[k]);
        want[j] = want[k];
        if (j != k) want[k] = 0;
        break;
      case 3: {
        ZInt c(v[k]);
        v[j] = c;
        want[j] = want[k];
        break;
      }
      case 4: {
        ZInt c(std::move(v[k]));
        const BigRef w = want[k];
        want[k] = 0;
        v[j] = std::move(c);
        want[j] = w;
        break;
      }
      default:
        v[j] *= v[k];
        want[j] = want[j] * want[k];
        if (v[j].digits() > 12) v[j] = 1, want[j] = 1;
        break;
    }
    for (std::size_t t = 0; t < v.size(); ++t)
      ASSERT_EQ(ref_of(v[t]), want[t]) << "step " << i << " slot " << t;
  }
}

TEST(WordKit, ShoupAndDoubleReductionsAgreeWithRemainder) {
  std::mt19937_64 rng(test_seed() + 5);
  SCOPED_TRACE(::testing::Message() << "seed " << test_seed());
  for (std::uint32_t p : {3u, 65521u, 65537u, 998244353u, word_prime(0), word_prime(0, 1u << 28)}) {
    const double dp = p;
    for (int i = 0; i < test_iterations(2000); ++i) {
      const auto a = static_cast<std::uint32_t>(i < 4 ? ~std::uint32_t{0} - i : rng());
      const std::uint64_t w = i % 7 == 0 ? p - 1 : rng();
      const ShoupMultiplier c(w, p);
      const std::uint64_t want = a % p * (w % p) % p;
      ASSERT_EQ(c.times(a), want) << "p = " << p << ", a = " << a << ", w = " << w;
      const std::uint32_t lazy = shoup_mul_lazy(a, c.w(), c.wq(), p);
      ASSERT_TRUE(lazy < 2 * std::uint64_t{p} && lazy % p == want) << lazy;
      if (p <= 65536) {
        ASSERT_EQ(SmallReducer(p).reduce(a), a % p);
      }
      const auto x =
          static_cast<std::int64_t>(rng() >> 12) - (std::int64_t{1} << 51);  // |x| < 2^52
      ASSERT_EQ(reduce_double(static_cast<double>(x), dp, 1.0 / dp),
                static_cast<double>((x % p + p) % p))
          << x;
    }
  }
}

// The unreduced sum of L products of residues fits one word exactly when
// L (p - 1)^2 < 2^64: vectors of the largest products just short of and
// just past that length, and random ones, against a 128-bit sum.
TEST(WordKit, DotProductWidthAtItsEdge) {
  std::mt19937_64 rng(test_seed() + 6);
  SCOPED_TRACE(::testing::Message() << "seed " << test_seed());
  EXPECT_EQ(dot_limbs(0, ~std::uint64_t{0}), 0);
  EXPECT_EQ(dot_limbs((std::uint64_t{1} << 32) + 1, 0xffffffffu), 1);  // 2^64 - 1
  EXPECT_EQ(dot_limbs((std::uint64_t{1} << 32) + 2, 0xffffffffu), 2);
  for (std::uint32_t p : {word_prime(0), word_prime(0, 1u << 28), word_prime(0, 1u << 24)}) {
    const WordField f(p);
    const std::uint64_t top = p - 1;
    const std::uint64_t edge = ~std::uint64_t{0} / (top * top);
    for (std::uint64_t len : {edge, edge + 1}) {
      ASSERT_EQ(dot_limbs(len, f), len == edge ? 1 : 2) << "p = " << p << ", length " << len;
      for (bool largest : {true, false}) {
        std::vector<std::uint32_t> a(len), b(len);
        unsigned __int128 sum = 0;
        for (std::uint64_t i = 0; i < len; ++i) {
          a[i] = largest ? p - 1 : static_cast<std::uint32_t>(rng() % p);
          b[i] = largest ? p - 1 : static_cast<std::uint32_t>(rng() % p);
          sum += std::uint64_t{a[i]} * b[i];
        }
        if (largest) {
          ASSERT_EQ((sum >> 64) != 0, len > edge) << "the edge is not tight";
        }
        ASSERT_EQ(word_dot(f, a.data(), b.data(), len, dot_limbs(len, f)),
                  static_cast<std::uint32_t>(sum % p))
            << "p = " << p << ", length " << len;
      }
    }
  }
}

// The batched sums start from a residue and take dot_room products up to
// the bound before a reduction: that many fit one word, one more would not
// (the room is tight), and a bound near the word leaves a room of one.
TEST(WordKit, BatchedDotRoomIsTight) {
  for (std::uint32_t p : {word_prime(0), word_prime(0, 1u << 16), 3u}) {
    const WordField f(p);
    for (std::uint64_t product :
         {std::uint64_t{p - 1} * (p - 1) + 1, std::uint64_t{p} * 2147483647u}) {
      const unsigned __int128 room = dot_room(product, f);
      EXPECT_EQ((p + room * product) >> 64, 0u) << p << " " << product;
      EXPECT_NE((p + (room + 1) * product) >> 64, 0u) << p << " " << product;
    }
  }
  EXPECT_EQ(dot_room(~std::uint64_t{0}, WordField(word_prime(0))), 1u);
}

#ifdef TAVRIN_AVX2
// The digits of r by the eight-lane forms, read from one lane.
AVX2_FN void lane_digits(const kit::TransformCrt& crt, const std::uint32_t* r, std::uint32_t* out) {
  const __m256i v1 = crt.digit1(simd::vset(r[0])), v2 = crt.digit2(simd::vset(r[1]), v1);
  std::uint32_t lanes[8];
  for (const __m256i& v : {v1, v2, crt.digit3(simd::vset(r[2]), v1, v2)}) {
    simd::vstore(lanes, v);
    *out++ = lanes[5];
  }
}
#endif

// The transform primes' recombination of x len 2^-32 mod p_k gives x back,
// from residues below p and below 2p, one lane and eight lanes alike.
TEST(WordKit, TransformRecombinationRebuildsTheValue) {
  using kit::transform_prime_table;
  std::mt19937_64 rng(test_seed() + 7);
  SCOPED_TRACE(::testing::Message() << "seed " << test_seed());
  const std::uint64_t p1 = transform_prime_table[0].p, p2 = transform_prime_table[1].p,
                      p3 = transform_prime_table[2].p;
  for (const auto& t : transform_prime_table)
    EXPECT_TRUE(trial_prime(t.p) && ((t.p - 1) >> t.two_adicity & 1u)) << t.p;
  const unsigned __int128 m12 = static_cast<unsigned __int128>(p1) * p2, m = m12 * p3;
  for (std::int64_t len : {std::int64_t{64}, std::int64_t{1} << 21}) {
    const kit::TransformCrt crt(len);
    for (int i = 0; i < test_iterations(1000); ++i) {
      const unsigned __int128 x = i < 2
                                      ? (i == 0 ? 0 : m - 1)
                                      : ((static_cast<unsigned __int128>(rng()) << 64) | rng()) % m;
      std::uint32_t r[3];
      for (int k = 0; k < 3; ++k) {
        const std::uint64_t p = transform_prime_table[k].p;
        const WordField f(static_cast<std::uint32_t>(p));
        const std::uint32_t v =
            f.mul(f.mul(f.reduce_wide(x), f.reduce(static_cast<std::uint64_t>(len))),
                  f.inv(f.reduce(std::uint64_t{1} << 32)));
        r[k] = static_cast<std::uint32_t>(v + (rng() % 2 == 0 ? p : 0));  // lazy: below 2p
      }
      const std::uint32_t v1 = crt.digit1(r[0]), v2 = crt.digit2(r[1], v1),
                          v3 = crt.digit3(r[2], v1, v2);
      ASSERT_TRUE(v1 + p1 * v2 + m12 * v3 == x) << "case " << i;
      ASSERT_TRUE(x >= m12 || v1 + p1 * v2 == x) << "case " << i;
#ifdef TAVRIN_AVX2
      if (simd::simd_available()) {
        std::uint32_t lanes[3];
        lane_digits(crt, r, lanes);
        ASSERT_TRUE(lanes[0] == v1 && lanes[1] == v2 && lanes[2] == v3) << "case " << i;
      }
#endif
    }
  }
}

}  // namespace
}  // namespace tavrin::test
