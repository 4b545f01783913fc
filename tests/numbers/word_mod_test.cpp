// Word-size modular arithmetic and the fields of characteristic 2, checked
// against the reference big integer, field identities and an independent
// shift-and-add field product.
#include <gtest/gtest.h>

#include <cstdint>
#include <numeric>
#include <optional>
#include <random>
#include <string>

#include "core/globals.h"
#include "numbers/char2_field.h"
#include "numbers/word_field.h"
#include "numbers/word_mod.h"
#include "support/bigref.h"
#include "support/modulus_scope.h"

namespace tavrin::test {
namespace {

// Primes on both sides of the 32-bit product limit and near 2^31.
const std::int32_t test_primes[] = {2,     3,       7,     101,        65521,
                                    65537, 1000003, 46337, 2147483629, 2147483647};

std::int64_t ref_mulmod(std::int64_t x, std::int64_t y, std::int64_t m) {
  return (BigRef(x) * BigRef(y) % BigRef(m)).to_int64();
}

TEST(ModMult, KnownValuesAcrossThe32BitLimit) {
  {
    ModulusScope ring(65537);  // not small: the 64-bit product 2^32
    EXPECT_EQ(modmult(65536, 65536), 1);
  }
  {
    ModulusScope ring(65521);  // small: the 32-bit product
    EXPECT_EQ(modmult(65520, 65520), 1);
    EXPECT_EQ(modmult(0, 65520), 0);
  }
  {
    ModulusScope ring(2147483647);
    EXPECT_EQ(modmult(2147483646u, 2147483646u), 1);
  }
}

TEST(ModMult, MatchesReferenceAndRingIdentities) {
  std::mt19937_64 rng(test_seed());
  for (std::int32_t p : test_primes) {
    ModulusScope ring(p);
    std::uniform_int_distribution<std::int32_t> res(0, p - 1);
    for (int it = 0; it < test_iterations(300); ++it) {
      const std::int32_t x = res(rng), y = res(rng), z = res(rng);
      SCOPED_TRACE("p=" + std::to_string(p) + " x=" + std::to_string(x) +
                   " y=" + std::to_string(y) + " z=" + std::to_string(z));
      const auto ux = static_cast<std::uint32_t>(x), uy = static_cast<std::uint32_t>(y),
                 uz = static_cast<std::uint32_t>(z);
      EXPECT_EQ(modmult(ux, uy), ref_mulmod(x, y, p));
      EXPECT_EQ(modmult(ux, uy), modmult(uy, ux));
      const auto sum = static_cast<std::uint32_t>(mod_add(uy, uz, p));
      EXPECT_EQ(modmult(ux, sum), mod_add(static_cast<std::uint32_t>(modmult(ux, uy)),
                                          static_cast<std::uint32_t>(modmult(ux, uz)), p));
      EXPECT_EQ(mod_add(static_cast<std::uint32_t>(mod_sub(x, y, p)), uy, p), x);
      EXPECT_EQ(mod_add(ux, uy, p), (BigRef(x) + BigRef(y)) % BigRef(p));
      if (p > 2) {
        EXPECT_EQ(spec_modmult(ux % static_cast<std::uint32_t>(p - 1),
                               uy % static_cast<std::uint32_t>(p - 1)),
                  ref_mulmod(x % (p - 1), y % (p - 1), p - 1));
      }
    }
  }
}

TEST(ModAddSub, SmallCasesAndAnyY) {
  EXPECT_EQ(mod_sub(2, 5, 7), 4);
  EXPECT_EQ(mod_add(6, 6, 7), 5);
  EXPECT_EQ(mod_add(0, 0, 7), 0);
  EXPECT_EQ(spec_mod_add(3, -14, 7), 3);
  EXPECT_EQ(spec_mod_add(3, 15, 7), 4);
  EXPECT_EQ(spec_mod_add(6, -1, 7), 5);
  EXPECT_EQ(spec_mod_add(2147483646u, 2147483646, 2147483647), 2147483645);
  std::mt19937_64 rng(test_seed());
  for (std::int32_t p : {7, 65521, 2147483647}) {
    std::uniform_int_distribution<std::int32_t> res(0, p - 1);
    std::uniform_int_distribution<std::int32_t> any(INT32_MIN, INT32_MAX);
    for (int it = 0; it < test_iterations(500); ++it) {
      const std::int32_t x = res(rng), y = any(rng);
      std::int64_t expect = (std::int64_t{x} + y) % p;
      if (expect < 0) expect += p;
      EXPECT_EQ(spec_mod_add(static_cast<std::uint32_t>(x), y, p), expect)
          << "x=" << x << " y=" << y << " p=" << p;
    }
  }
}

TEST(ModMult, ExplicitModulusUsesThe32BitProduct) {
  EXPECT_EQ(mod_mult(6, 5, 7), 2);
  EXPECT_EQ(mod_mult(65520, 65520, 65521), 1);
  // 65536 * 65536 wraps to 0 in 32 bits.
  EXPECT_EQ(mod_mult(65536, 65536, 7), 0);
}

TEST(ModInverse, KnownValuesAndEveryResidueOfASmallPrime) {
  {
    ModulusScope ring(7);
    std::int32_t ans = -1;
    mod_inverse(3, &ans);
    EXPECT_EQ(ans, 5);
    ans = 1;
    verse(&ans);
    EXPECT_EQ(ans, 1);
  }
  for (std::int32_t p : {2, 3, 101, 65521}) {
    ModulusScope ring(p);
    for (std::int32_t x = 1; x < p; ++x) {
      std::int32_t inv = 0;
      mod_inverse(x, &inv);
      ASSERT_TRUE(inv >= 0 && inv < p) << x;
      ASSERT_EQ(modmult(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(inv)), 1)
          << "p=" << p << " x=" << x;
    }
  }
}

TEST(ModInverse, LargePrimesRandomResidues) {
  std::mt19937_64 rng(test_seed());
  for (std::int32_t p : {65537, 1000003, 2147483629, 2147483647}) {
    ModulusScope ring(p);
    std::uniform_int_distribution<std::int32_t> res(1, p - 1);
    for (int it = 0; it < test_iterations(500); ++it) {
      std::int32_t x = res(rng);
      std::int32_t v = x;
      verse(&v);
      ASSERT_EQ(ref_mulmod(x, v, p), 1) << "p=" << p << " x=" << x;
      ASSERT_TRUE(v > 0 && v < p);
    }
  }
}

TEST(ModInverse, ZeroIsReportedAndGivesAResidue) {
  ModulusScope ring(7);
  std::int32_t ans = 99;
  testing::internal::CaptureStdout();
  mod_inverse(0, &ans);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("*** Tavrin error. bad seca."), std::string::npos) << out;
  EXPECT_EQ(ans, 0);
}

TEST(EgcdInts, BezoutIdentityAndSmallCofactors) {
  std::int32_t n = 3, x = 0, y = 0;
  egcd_ints(&n, 5, &x, &y);
  EXPECT_EQ(n, 1);
  EXPECT_EQ(x, 2);
  EXPECT_EQ(y, -1);

  std::mt19937_64 rng(test_seed());
  std::uniform_int_distribution<std::int32_t> pos(1, INT32_MAX);
  std::uniform_int_distribution<std::int32_t> small(1, 1000);
  for (int it = 0; it < test_iterations(2000); ++it) {
    std::int32_t a = it % 3 == 0 ? small(rng) : pos(rng);
    std::int32_t b = it % 5 == 0 ? small(rng) : pos(rng);
    if (it % 7 == 0) b = a;  // equal values
    if (it % 13 == 0) {      // one divides the other
      b = small(rng);
      a = b * small(rng);
    }
    if (it % 17 == 0) {  // a common factor g
      const std::int32_t g = small(rng);
      a = g * small(rng) * 1000;
      b = g * small(rng) * 999;
    }
    const std::int32_t a0 = a;
    egcd_ints(&a, b, &x, &y);
    SCOPED_TRACE("a=" + std::to_string(a0) + " b=" + std::to_string(b));
    EXPECT_EQ(a, std::gcd(a0, b));
    EXPECT_EQ(BigRef(x) * BigRef(a0) + BigRef(y) * BigRef(b), BigRef(a));
    EXPECT_LE(std::abs(std::int64_t{x}), std::max<std::int64_t>(b / a, 1));
    EXPECT_LE(std::abs(std::int64_t{y}), std::max<std::int64_t>(a0 / a, 1));
  }
}

// ---- Fields of characteristic 2 -------------------------------------------------

// The field product by shift-and-add with reduction, bit by bit.
std::uint32_t slow_field_mult(std::uint32_t a, std::uint32_t b, std::uint32_t poly, int bits) {
  std::uint32_t r = 0;
  for (int k = bits - 1; k >= 0; --k) {
    r <<= 1;
    if ((r >> bits) != 0) r ^= poly;
    if (((b >> k) & 1u) != 0) r ^= a;
  }
  return r;
}

struct FieldCase {
  std::int32_t size;
  std::uint32_t poly;
  int bits;
};
const FieldCase fields[] = {{256, 0x11D, 8}, {65536, 0x1100B, 16}};

TEST(Char2Field, ReductionByTheFieldPolynomial) {
  {
    ModulusScope ring(256);
    EXPECT_EQ(modmult(0x80, 2), 0x1D);  // x^8 = x^4 + x^3 + x^2 + 1
    EXPECT_EQ(mod_add(0x53, 0xCA, 256), 0x99);
    EXPECT_EQ(mod_sub(0x53, 0xCA, 256), 0x99);
  }
  {
    ModulusScope ring(65536);
    EXPECT_EQ(modmult(0x8000, 2), 0x100B);  // x^16 = x^12 + x^3 + x + 1
  }
}

TEST(Char2Field, EveryNonZeroElementHasItsInverse) {
  for (const FieldCase& f : fields) {
    ModulusScope ring(f.size);
    for (std::int32_t a = 1; a < f.size; ++a) {
      std::int32_t inv = 0;
      mod_inverse(a, &inv);
      ASSERT_TRUE(inv > 0 && inv < f.size) << a;
      ASSERT_EQ(modmult(static_cast<std::uint32_t>(a), static_cast<std::uint32_t>(inv)), 1)
          << "field " << f.size << " a=" << a;
      std::int32_t v = inv;
      verse(&v);
      ASSERT_EQ(v, a);
    }
  }
}

TEST(Char2Field, ProductMatchesShiftAndAdd) {
  {
    ModulusScope ring(256);
    for (std::uint32_t a = 0; a < 256; ++a)
      for (std::uint32_t b = 0; b < 256; ++b)
        ASSERT_EQ(static_cast<std::uint32_t>(modmult(a, b)), slow_field_mult(a, b, 0x11D, 8))
            << a << " " << b;
  }
  ModulusScope ring(65536);
  std::mt19937_64 rng(test_seed());
  std::uniform_int_distribution<std::uint32_t> el(0, 65535);
  for (int it = 0; it < test_iterations(20000); ++it) {
    const std::uint32_t a = el(rng), b = el(rng);
    ASSERT_EQ(static_cast<std::uint32_t>(modmult(a, b)), slow_field_mult(a, b, 0x1100B, 16))
        << a << " " << b;
  }
}

TEST(Char2Field, AssociativeAndDistributiveOverExclusiveOr) {
  std::mt19937_64 rng(test_seed());
  for (const FieldCase& f : fields) {
    ModulusScope ring(f.size);
    std::uniform_int_distribution<std::uint32_t> el(0, static_cast<std::uint32_t>(f.size - 1));
    for (int it = 0; it < test_iterations(5000); ++it) {
      const std::uint32_t a = el(rng), b = el(rng), c = el(rng);
      SCOPED_TRACE("field " + std::to_string(f.size) + " a=" + std::to_string(a) +
                   " b=" + std::to_string(b) + " c=" + std::to_string(c));
      const auto ab = static_cast<std::uint32_t>(modmult(a, b));
      const auto bc = static_cast<std::uint32_t>(modmult(b, c));
      ASSERT_EQ(modmult(ab, c), modmult(a, bc));
      const auto b_plus_c = static_cast<std::uint32_t>(mod_add(b, c, f.size));
      ASSERT_EQ(static_cast<std::uint32_t>(modmult(a, b_plus_c)),
                ab ^ static_cast<std::uint32_t>(modmult(a, c)));
      ASSERT_EQ(modmult(a, 1), static_cast<std::int32_t>(a));
    }
  }
}

TEST(Char2Field, XGeneratesTheMultiplicativeGroup) {
  for (const FieldCase& f : fields) {
    ModulusScope ring(f.size);
    std::uint32_t v = 1;
    std::int32_t order = 0;
    do {
      v = static_cast<std::uint32_t>(modmult(v, 2));
      ++order;
    } while (v != 1 && order <= f.size);
    EXPECT_EQ(order, f.size - 1) << f.size;
  }
}

// ---- Powers and inverses: the one home of both ----------------------------

// b^e mod m by e products, the oracle of the powers for small e.
std::int64_t ref_power(std::int64_t b, int e, std::int64_t m) {
  std::int64_t r = 1 % m;
  for (int k = 0; k < e; ++k) r = ref_mulmod(r, b % m, m);
  return r;
}

// power_modulo as a signed value, to compare with the reference.
std::int64_t pm(std::uint64_t b, std::uint64_t e, std::uint32_t m) { return power_modulo(b, e, m); }

// Prime and composite moduli, 1 and the largest word among them.
const std::uint32_t power_moduli[] = {1,     2,       4,           12,          256,        65521,
                                      65536, 1000000, 2147483647u, 4294967291u, 4294967295u};

TEST(PowerModulo, RepeatedProductsExponentSumsAndFermat) {
  std::mt19937_64 rng(test_seed());
  for (std::uint32_t m : power_moduli) {
    for (int it = 0; it < test_iterations(60); ++it) {
      const std::uint64_t b = it < 3 ? static_cast<std::uint64_t>(it) * m : rng();  // 0 mod m first
      const int e = static_cast<int>(rng() % 70);
      const std::uint64_t e1 = rng() >> (rng() % 64), e2 = rng() >> (rng() % 64);
      SCOPED_TRACE("m=" + std::to_string(m) + " b=" + std::to_string(b) +
                   " e=" + std::to_string(e));
      ASSERT_EQ(pm(b, static_cast<std::uint64_t>(e), m),
                ref_power(static_cast<std::int64_t>(b % m), e, m));
      // b^(e1 + e2) = b^e1 b^e2, the exponents past 2^32 included
      if (e1 + e2 >= e1) {
        ASSERT_EQ(pm(b, e1 + e2, m), ref_mulmod(pm(b, e1, m), pm(b, e2, m), m));
      }
    }
  }
  for (std::int32_t p : test_primes) {
    const auto up = static_cast<std::uint32_t>(p);
    for (std::uint64_t b :
         {std::uint64_t{2}, std::uint64_t{3}, std::uint64_t{up} - 1, std::uint64_t{up} + 5})
      if (b % up != 0) {
        EXPECT_EQ(power_modulo(b, up - 1, up), 1u) << p << " " << b;
      }
  }
  EXPECT_EQ(power_modulo(0, 0, 7), 1u);
  EXPECT_EQ(power_modulo(5, 0, 1), 0u);
}

TEST(ModPower, FollowsTheRingInForce) {
  std::mt19937_64 rng(test_seed());
  for (std::int32_t p : test_primes) {
    ModulusScope ring(p);
    std::uniform_int_distribution<std::int32_t> res(0, p - 1);
    for (int it = 0; it < test_iterations(100); ++it) {
      const auto x = static_cast<std::uint32_t>(res(rng));
      const std::uint64_t e = rng() >> (rng() % 64);
      ASSERT_EQ(modpower(x, e),
                static_cast<std::int32_t>(power_modulo(x, e, static_cast<std::uint32_t>(p))))
          << "p=" << p << " x=" << x << " e=" << e;
    }
  }
  for (std::int32_t q : {256, 65536}) {
    ModulusScope ring(q);
    const Char2Field field(q);
    for (int it = 0; it < test_iterations(100); ++it) {
      const auto x = static_cast<std::uint32_t>(rng() % static_cast<std::uint64_t>(q));
      const int e = static_cast<int>(rng() % 40);
      std::uint32_t r = 1;  // e field products
      for (int k = 0; k < e; ++k) r = static_cast<std::uint32_t>(modmult(r, x));
      ASSERT_EQ(modpower(x, static_cast<std::uint64_t>(e)), static_cast<std::int32_t>(r))
          << q << " " << x;
      ASSERT_EQ(field.pow(x, static_cast<std::uint64_t>(e)), r);
      // the multiplicative group has order q - 1
      if (x != 0) {
        ASSERT_EQ(modpower(x, static_cast<std::uint64_t>(q - 1)), 1);
      }
    }
  }
}

TEST(CheckedInverse, UnitsExactlyOfPrimeAndCompositeModuli) {
  std::mt19937_64 rng(test_seed());
  for (std::int64_t m : {1, 2, 12, 100, 256, 65536, 1000000, 65521, 2147483647}) {
    for (int it = 0; it < test_iterations(200); ++it) {
      const std::int64_t a =
          it < 3 ? it : static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(m));
      SCOPED_TRACE("m=" + std::to_string(m) + " a=" + std::to_string(a));
      const std::optional<std::uint32_t> inv = checked_inverse(a, m);
      ASSERT_EQ(inv.has_value(), std::gcd(a, m) == 1);
      if (!inv) continue;
      ASSERT_LT(std::int64_t{*inv}, m);
      ASSERT_EQ(ref_mulmod(a, *inv, m), 1 % m);
      if (m == 65521 || m == 2147483647) {
        ASSERT_EQ(*inv,
                  inverse_modulo(static_cast<std::uint64_t>(a), static_cast<std::uint32_t>(m)));
      }
    }
  }
  // a past the modulus: its residue's inverse
  EXPECT_EQ(checked_inverse(10, 7), std::optional<std::uint32_t>(5));
  EXPECT_EQ(inverse_modulo(21, 7), 0u);
}

}  // namespace
}  // namespace tavrin::test
