// Division with remainder of numbers in every mode, inverses of products of
// primes, and Chinese remaindering: integer polynomials rebuilt from their
// images modulo table primes by the Garner loop that the modular methods run.
#include "poly/poly_chinese.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/globals.h"
#include "core/jumps.h"
#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "poly/poly_add.h"
#include "poly/poly_images.h"
#include "poly/poly_repr.h"
#include "support/data_tables.h"
#include "support/modulus_scope.h"
#include "support/node_accounting.h"
#include "support/num.h"
#include "support/poly_build.h"
#include "support/poly_support.h"

namespace tavrin::test {
namespace {

// ---- Division with remainder ----------------------------------------------------------------

TEST(ModAndDiv, SmallBigIntegerCases) {
  struct Case {
    std::int64_t n, d, q, r, r_pos;
  };
  // The remainder has the dividend's sign; pos_mod raises a negative one by
  // the divisor's magnitude.
  const Case cases[] = {{-7, 2, -3, -1, 1}, {7, 2, 3, 1, 1}, {7, -3, -2, 1, 1}, {-7, 3, -2, -1, 2},
                        {-7, -3, 2, -1, 2}, {6, 3, 2, 0, 0}, {0, 5, 0, 0, 0},   {-6, -3, 2, 0, 0}};
  for (const Case& c : cases) {
    for (bool positive : {false, true}) {
      SCOPED_TRACE(std::to_string(c.n) + " by " + std::to_string(c.d) +
                   (positive ? " pos_mod" : ""));
      ScopedValue<bool> pm(pos_mod, positive);
      Num n(c.n), d(c.d), r, q;
      mod_and_div(n, d, r, q);
      EXPECT_EQ(q.value(), BigRef(c.q));
      EXPECT_EQ(r.value(), BigRef(positive ? c.r_pos : c.r));
      EXPECT_EQ(n.value(), BigRef(c.n));
      EXPECT_EQ(d.value(), BigRef(c.d));
    }
  }
}

TEST(ModAndDiv, BigIntegersSatisfyTheDivisionIdentity) {
  std::mt19937_64 rng(test_seed());
  for (int i = 0; i < test_iterations(400); ++i) {
    const BigRef a = random_big(rng, 6);
    BigRef b = random_big(rng, 3);
    if (b.is_zero()) b = BigRef(3);
    const bool positive = rng() % 2 == 0;
    SCOPED_TRACE(a.to_decimal() + " by " + b.to_decimal() + (positive ? " pos_mod" : ""));
    ScopedValue<bool> pm(pos_mod, positive);
    Num n(a), d(b), q;
    mod_and_div(n, d, n, q);  // the remainder may overwrite the dividend
    const BigRef r = n.value();
    EXPECT_TRUE(valid_bigint(n));
    EXPECT_TRUE(valid_bigint(q));
    EXPECT_EQ(q.value(), a / b) << "the quotient is truncated";
    EXPECT_TRUE(((a - r) % b).is_zero());
    EXPECT_LT(r.abs(), b.abs());
    if (positive) {
      EXPECT_GE(r, BigRef(0)) << "raised by |divisor| whatever its sign";
    } else {
      EXPECT_TRUE(r.is_zero() || r.sign() == a.sign()) << "the dividend's sign";
    }
  }
}

TEST(ModAndDiv, WordAndFloatingModes) {
  ScopedValue<bool> signed_remainders(pos_mod, false);
  {
    WordMode word;
    Num n, d, r, q;
    n->lint = -7;
    d->lint = 2;
    mod_and_div(n, d, r, q);
    EXPECT_EQ(q->lint, -3);
    EXPECT_EQ(r->lint, -1);
    {
      ScopedValue<bool> pm(pos_mod, true);
      mod_and_div(n, d, r, q);
      EXPECT_EQ(r->lint, 1);
    }
    n->lint = std::numeric_limits<std::int32_t>::min();
    d->lint = -1;
    mod_and_div(n, d, n, q);  // wraps instead of overflowing
    EXPECT_EQ(q->lint, std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(n->lint, 0);
    ScopedValue<bool> pm(pos_mod, true);
    n->lint = -7;
    d->lint = -3;
    mod_and_div(n, d, r, q);
    EXPECT_EQ(q->lint, 2);
    EXPECT_EQ(r->lint, 2);
  }
  {
    ModulusScope mod(7);
    Num n, d, r, q;
    n->lint = 6;
    d->lint = 4;
    mod_and_div(n, d, r, q);
    EXPECT_EQ(q->lint, 1);
    EXPECT_EQ(r->lint, 2);
  }
  {
    FloatingMode fl;
    Num n, d, r, q;
    n->flote = 7.0L;
    d->flote = 2.0L;
    r->flote = 5.0L;
    mod_and_div(n, d, r, q);
    EXPECT_EQ(q->flote, 3.5L);
    EXPECT_EQ(r->flote, 0.0L);
  }
}

TEST(ModAndDiv, ZeroDivisorIsErrorTwentyTwo) {
  testing::internal::CaptureStdout();
  {
    ScopedValue<bool> push(errorpush, false);
    Num n(5), zero(0), r, q;
    EXPECT_THROW(mod_and_div(n, zero, r, q), TopLevelJump);
  }
  // Inside a nested command level error 22 is a warning and the division
  // goes on with its substitute values.
  ScopedValue<std::int32_t> nested(levelcount, 2);
  {
    Num n(5), zero(0), r(7), q(9);
    mod_and_div(n, zero, r, q);
    EXPECT_EQ(r.value(), BigRef(1));
    EXPECT_EQ(q.value(), BigRef(9));
  }
  {
    WordMode word;
    Num n, zero, r, q;
    n->lint = 5;
    zero->lint = 0;
    q->lint = 9;
    mod_and_div(n, zero, r, q);
    EXPECT_EQ(r->lint, 1);
    EXPECT_EQ(q->lint, 9);
  }
  {
    FloatingMode fl;
    Num n, zero, r, q;
    n->flote = 5.0L;
    zero->flote = 0.0L;
    mod_and_div(n, zero, r, q);
    EXPECT_EQ(q->flote, std::numeric_limits<long double>::infinity());
    EXPECT_EQ(r->flote, 0.0L);
  }
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("Inappropriate symbol"), std::string::npos);
}

// ---- Inverse of a product ---------------------------------------------------------------------

// A limb list holding the values, first value first; free with free_limbs.
numptr limb_list_of(const std::vector<std::int32_t>& values) {
  numptr head = nullptr;
  for (auto it = values.rbegin(); it != values.rend(); ++it) {
    numptr l = new_limb();
    l->value = *it;
    l->next = head;
    head = l;
  }
  return head;
}

void free_limbs(numptr head) {
  if (head == nullptr) return;
  numptr tail = head;
  while (tail->next != nullptr) tail = tail->next;
  free_limb_list(head, tail);
}

TEST(InverseProd, InvertsTheProductOfTablePrimes) {
  load_data_tables();
  std::mt19937_64 rng(test_seed());
  NodeBalance balance;
  for (int i = 0; i < test_iterations(200); ++i) {
    const int m_index = 6 + static_cast<int>(rng() % 599);
    const std::int32_t m = i % 5 == 4 ? lrgpme[1 + rng() % 2000] : prime[m_index]->head->value;
    std::vector<std::int32_t> values;
    const int count = 1 + static_cast<int>(rng() % 6);
    while (static_cast<int>(values.size()) < count) {
      // Table primes, and now and then a large prime above 2^28.
      const std::int32_t p =
          rng() % 4 == 0 ? lrgpme[1 + rng() % 2000] : prime[6 + rng() % 599]->head->value;
      if (p != m) values.push_back(p);
    }
    SCOPED_TRACE("modulus " + std::to_string(m));
    ModulusScope mod(m);
    numptr h = limb_list_of(values);
    const std::int32_t inv = inverse_prod(h);
    free_limbs(h);
    BigRef product(1);
    for (std::int32_t v : values) product = product * BigRef(v);
    EXPECT_GE(inv, 0);
    EXPECT_LT(inv, m);
    BigRef check = (product * BigRef(inv)) % BigRef(m);
    EXPECT_EQ(check, BigRef(1));
  }
}

TEST(InverseProd, NoInverseIsErrorEightyFive) {
  load_data_tables();
  ScopedValue<bool> push(errorpush, false);
  {
    ModulusScope mod(48869);
    numptr h = limb_list_of({3001, 48869});
    testing::internal::CaptureStdout();
    EXPECT_THROW(inverse_prod(h), TopLevelJump);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.rfind("bad2: 0\n", 0), 0u) << out;
    free_limbs(h);
  }
  {
    ModulusScope mod(15, false);
    numptr h = limb_list_of({3});
    testing::internal::CaptureStdout();
    EXPECT_THROW(inverse_prod(h), TopLevelJump);
    EXPECT_EQ(testing::internal::GetCapturedStdout().rfind("bad2: 3\n", 0), 0u);
    free_limbs(h);
  }
}

// ---- Chinese remaindering -----------------------------------------------------------------------

// Every coefficient as its representative in (-m/2, m/2].
RefPoly symmetric(const RefPoly& a, const BigRef& m) {
  RefPoly r(a.nvars());
  for (const auto& [e, c] : a.terms()) {
    BigRef v = c % m;
    if (v.negative()) v = v + m;
    if (v > m / BigRef(2)) v = v - m;
    r.add_term(e, v);
  }
  return r;
}

// Mixed-radix digits (newest first, each a term whose coefficient is the
// digit) and the primes they belong to (newest first), freed at the end.
struct Digits {
  poly val = nullptr;
  numptr primes = nullptr;
  int count = 0;
  ~Digits() {
    free_poly(&val);
    free_limbs(primes);
  }
  void push(poly digit, std::int32_t p) {
    poly t = nullptr;
    newpoly(&t);
    t->numb = false;
    t->exp = count++;
    t->pcoef = digit;
    t->next = val;
    val = t;
    numptr l = new_limb();
    l->value = p;
    l->next = primes;
    primes = l;
  }
};

// The next mixed-radix digit of v modulo p: (v - w) / (p0 ... p(k-1)) mod p,
// w being the value of the digits so far modulo p (Chinese); lifted to
// 0 .. p - 1. v is imaged in place and restored.
poly next_digit(Poly& v, const Digits& digits, std::int32_t p) {
  ImageRing ring(p);
  ScopedValue<bool> plain(alt_form_display, false);
  Poly modder = Poly::adopt(make_leaf(BigRef(p)));
  Poly w;
  if (digits.val != nullptr) w = Poly::adopt(Chinese(digits.val, modder, digits.primes, polynames));
  EXPECT_TRUE(w.get() == nullptr || valid_poly(w));
  poly d = nullptr;
  {
    ModularImage image;
    image.take(v.cell());
    if (w.get() != nullptr) image.take(w.cell());
    ModularOn on;
    Poly zero = Poly::adopt(make_leaf(BigRef(0)));
    poly vi = v.get() == nullptr ? zero.get() : v.get();
    poly wi = w.get() == nullptr ? zero.get() : w.get();
    poly_sub(vi, wi, &d);
    if (digits.primes != nullptr) {
      const std::int32_t inv = inverse_prod(digits.primes);
      if (!poly_iszero(d)) mod_num_poly_mult(d, inv);
    }
  }
  poly_change_from_mod(d);
  return d;
}

TEST(Chinese, RebuildsRandomIntegerPolynomialsFromTheirImages) {
  load_data_tables();
  PolyVars vars({"x", "y"});
  std::mt19937_64 rng(test_seed());
  NodeBalance balance;
  for (int i = 0; i < test_iterations(80); ++i) {
    const int k = 3 + static_cast<int>(rng() % 3);
    std::vector<std::int32_t> primes;
    while (static_cast<int>(primes.size()) < k) {
      const std::int32_t p = prime[6 + rng() % 599]->head->value;
      if (std::find(primes.begin(), primes.end(), p) == primes.end()) primes.push_back(p);
    }
    BigRef product(1);
    for (std::int32_t p : primes) product = product * BigRef(p);
    const RefPoly target = symmetric(random_refpoly(rng, 2, 10, 5, 3), product);
    SCOPED_TRACE(target.to_string(vars.names()));
    Poly v(target);
    Digits digits;
    for (std::int32_t p : primes) {
      Poly d = Poly::adopt(next_digit(v, digits, p));
      ASSERT_TRUE(valid_poly(d));
      const RefPoly dr = d.ref();
      for (const auto& [e, c] : dr.terms()) {
        EXPECT_GT(c, BigRef(0));
        EXPECT_LT(c, BigRef(p));
      }
      digits.push(d.release(), p);
    }
    EXPECT_EQ(v.ref(), target) << "the images were restored";
    // Garner's sum, read back by the reference arithmetic.
    RefPoly sum(2);
    BigRef radix(1);
    std::vector<poly> in_order;
    for (poly t = digits.val; t != nullptr; t = t->next)
      in_order.insert(in_order.begin(), t->pcoef);
    for (std::size_t j = 0; j < in_order.size(); ++j) {
      sum = sum + read_poly(in_order[j]).scaled(radix);
      radix = radix * BigRef(primes[j]);
    }
    EXPECT_EQ(symmetric(sum, product), target);
  }
}

TEST(Chinese, HornerStepsReducedByTheNextPrime) {
  load_data_tables();
  PolyVars vars({"x", "y"});
  std::mt19937_64 rng(test_seed());
  NodeBalance balance;
  for (int i = 0; i < test_iterations(150); ++i) {
    const int k = 1 + static_cast<int>(rng() % 5);
    const bool positive = rng() % 2 == 0;
    ScopedValue<bool> pm(pos_mod, positive);
    Digits digits;
    std::vector<RefPoly> refs;  // oldest first
    std::vector<std::int32_t> ws;
    for (int j = 0; j < k; ++j) {
      // Digits of any sign and size; a large prime now and then, above 2^28.
      refs.push_back(random_refpoly(rng, 2, 6, 4, 2));
      ws.push_back(rng() % 3 == 0 ? lrgpme[1 + rng() % 2000] : prime[6 + rng() % 599]->head->value);
      digits.push(build_poly(refs.back()), ws.back());
    }
    const std::int32_t p = prime[6 + rng() % 599]->head->value;
    Poly modder = Poly::adopt(make_leaf(BigRef(p)));
    Poly r = Poly::adopt(Chinese(digits.val, modder, digits.primes, polynames));
    ASSERT_TRUE(valid_poly(r));
    // r = (...((c0 w1 + c1) w2 + c2) ...) reduced by p, c0 the newest digit.
    RefPoly horner = refs.back();
    for (int j = k - 2; j >= 0; --j)
      horner = horner.scaled(BigRef(ws[static_cast<std::size_t>(j)])) +
               refs[static_cast<std::size_t>(j)];
    const RefPoly got = r.ref();
    if (k == 1) {  // a single digit is copied, nothing to reduce
      EXPECT_EQ(got, horner);
      continue;
    }
    EXPECT_EQ(got.reduced_mod(BigRef(p)), horner.reduced_mod(BigRef(p)));
    for (const auto& [e, c] : got.terms()) {
      EXPECT_LT(c.abs(), BigRef(p));
      if (positive) {
        EXPECT_GT(c, BigRef(0));
      }
    }
  }
  Poly modder = Poly::adopt(make_leaf(BigRef(3001)));
  Poly zero = Poly::adopt(Chinese(nullptr, modder, nullptr, polynames));
  EXPECT_TRUE(poly_iszero(zero));
}

}  // namespace
}  // namespace tavrin::test
