#include "numbers/mixed_mode.h"

#include <climits>
#include <cmath>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/bigint.h"
#include "numbers/bigint_divide.h"
#include "numbers/bigint_multiply.h"
#include "numbers/freelists.h"
#include "numbers/word_mod.h"

namespace tavrin {

namespace {

std::int32_t highest_bit(std::uint32_t v) {
  std::int32_t h = -1;
  for (; v != 0; v >>= 1) ++h;
  return h;
}

// The measure of one number in the current mode (see max_digits).
std::int32_t number_digits(imptr n) {
  if (flotemode) {
    const long double r = std::floor(n->flote + 0.5L);
    return logg2lint(saturate_to_int32(std::fabs(r)));
  }
  if (lintmode) return logg2lint(n->lint);
  const std::int32_t whole = limb_bits * (n->size - 1);
  const std::int32_t head = n->head->value;
  if (head == 0) return whole;
  const std::uint32_t a =
      head < 0 ? 0u - static_cast<std::uint32_t>(head) : static_cast<std::uint32_t>(head);
  return whole + highest_bit(a) + 1;
}

// x := the big integer n * m by rows (x's old limbs freed); big mode.
void word_product(std::int32_t n, std::int32_t m, imptr x) {
  number a{}, b{};
  special_set(n, &a);
  special_set(m, &b);
  multiply(&a, &b, x);
  special_free(&a);
  special_free(&b);
}

}  // namespace

// ---- Defined word arithmetic ---------------------------------------------------

std::int32_t word_quo(std::int32_t a, std::int32_t b) {
  if (b == -1) return static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(a));
  return a / b;
}

std::int32_t word_rem(std::int32_t a, std::int32_t b) {
  if (b == -1) return 0;
  return a % b;
}

std::int32_t saturate_to_int32(long double v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483647.0L) return INT32_MAX;
  if (v <= -2147483648.0L) return INT32_MIN;
  return static_cast<std::int32_t>(v);
}

// ---- Products and quotients of word values as big integers ---------------------------

void special_set_2(std::int32_t n, std::int32_t m, imptr x) {
  BigModeGuard big;
  word_product(n, m, x);
}

namespace {

// test(x) for x := n * m formed as a big integer (as special_set_2 does) in
// a scratch header whose limbs are freed afterwards.
template <class Test>
bool test_word_product(std::int32_t n, std::int32_t m, Test test) {
  BigModeGuard big;
  number x{};
  word_product(n, m, &x);
  const bool answer = test(x);
  special_free(&x);
  return answer;
}

}  // namespace

bool is_product_of(imptr num, std::int32_t n, std::int32_t m) {
  return test_word_product(n, m, [num](number& x) { return spec_equal(num, &x); });
}

bool oversize(std::int32_t n, std::int32_t m) {
  return test_word_product(n, m,
                           [](const number& x) { return x.size >= 2 || x.head->value > 1000000; });
}

bool sparse_oversize(std::int32_t n, std::int32_t m) {
  return test_word_product(n, m, [](const number& x) {
    const std::int32_t head = x.head->value < 0 ? -x.head->value : x.head->value;
    return x.size >= 3 || (x.size == 2 && head >= 8);
  });
}

std::int32_t quotient_of(imptr n, std::int32_t m) {
  BigModeGuard big;
  number d{}, q{}, r{};
  special_set(m, &d);
  pos_divide(n, &d, &q, &r);
  // The caller keeps the quotient below 2^28; a longer one is cut to 32 bits.
  std::uint32_t v = 0;
  for (numptr p = q.head; p != nullptr; p = p->next)
    v = (v << limb_bits) + static_cast<std::uint32_t>(p->value);
  special_free(&d);
  special_free(&q);
  special_free(&r);
  return static_cast<std::int32_t>(v);
}

std::int32_t modout(imptr n) {
  BigModeGuard big;
  number d{}, q{}, r{};
  special_set(modulus, &d);
  divide(n, &d, &q, &r);
  std::int64_t v = 0;
  for (numptr p = r.head; p != nullptr; p = p->next) v = v * limb_base + p->value;
  if (v < 0) v += modulus;
  special_free(&d);
  special_free(&q);
  special_free(&r);
  return static_cast<std::int32_t>(v);
}

// ---- Quadratic residues -------------------------------------------------------------

bool its_a_square(std::int32_t n) {
  if (n == 0) return false;
  if (finf) return true;
  const std::uint32_t e = static_cast<std::uint32_t>((modulus - 1) / 2);
  std::uint32_t r = 1;
  for (int bit = highest_bit(e); bit >= 0; --bit) {
    r = static_cast<std::uint32_t>(modmult(r, r));
    if (((e >> bit) & 1u) != 0)
      r = static_cast<std::uint32_t>(modmult(r, static_cast<std::uint32_t>(n)));
  }
  return r == 1;
}

namespace {

// b^e modulo the modulus by left-to-right square-and-multiply.
std::uint32_t word_power(std::uint32_t b, std::uint32_t e) {
  std::uint32_t r = 1;
  for (int bit = highest_bit(e); bit >= 0 && e != 0; --bit) {
    r = static_cast<std::uint32_t>(modmult(r, r));
    if (((e >> bit) & 1u) != 0) r = static_cast<std::uint32_t>(modmult(r, b));
  }
  return r;
}

}  // namespace

std::int32_t modular_sqrt(std::int32_t n) {
  if (n == 0) return 0;
  if (finf)
    return static_cast<std::int32_t>(
        word_power(static_cast<std::uint32_t>(n), static_cast<std::uint32_t>(modulus / 2)));
  if (modulus == 2) return n;
  if (!its_a_square(n)) return 0;
  const std::uint32_t p = static_cast<std::uint32_t>(modulus);
  if (p % 4 == 3)
    return static_cast<std::int32_t>(word_power(static_cast<std::uint32_t>(n), (p + 1) / 4));
  // Tonelli and Shanks: p - 1 = q 2^s with q odd.
  static std::int32_t cached_modulus = 0, cached_nonresidue = 0;
  if (cached_modulus != modulus) {
    std::int32_t z = 2;
    while (its_a_square(z)) ++z;
    cached_modulus = modulus;
    cached_nonresidue = z;
  }
  std::uint32_t q = p - 1;
  int s = 0;
  while ((q & 1u) == 0) {
    q >>= 1;
    ++s;
  }
  std::uint32_t c = word_power(static_cast<std::uint32_t>(cached_nonresidue), q);
  std::uint32_t t = word_power(static_cast<std::uint32_t>(n), q);
  std::uint32_t r = word_power(static_cast<std::uint32_t>(n), (q + 1) / 2);
  int m = s;
  while (t != 1) {
    int i = 0;
    for (std::uint32_t t2 = t; t2 != 1; t2 = static_cast<std::uint32_t>(modmult(t2, t2))) ++i;
    std::uint32_t b = c;
    for (int j = 0; j < m - i - 1; ++j) b = static_cast<std::uint32_t>(modmult(b, b));
    m = i;
    c = static_cast<std::uint32_t>(modmult(b, b));
    t = static_cast<std::uint32_t>(modmult(t, c));
    r = static_cast<std::uint32_t>(modmult(r, b));
  }
  return static_cast<std::int32_t>(r);
}

// ---- Size measures ------------------------------------------------------------------

std::int32_t max_digits(poly q) {
  std::int32_t best = -1;
  for (poly t = q; t != nullptr; t = t->next) {
    const std::int32_t d = t->numb ? number_digits(t->ncoef) : max_digits(t->pcoef);
    if (d > best) best = d;
  }
  return best;
}

std::int32_t quoly_max_digits(quoly q) {
  if (q == nullptr) return -1;
  if (q->numb) return number_digits(q->ncoef);
  return maxx(max_digits(q->numer), max_digits(q->denom));
}

std::int32_t number_mass(quoly p) {
  const imptr n = p->ncoef;
  if (flotemode) {
    const long double v = std::fabs(n->flote / 268435456.0L);
    return saturate_to_int32(v) + (v < 2147483647.0L ? 1 : 0);
  }
  if (lintmode) {
    std::int64_t x = n->lint;
    if (x > modulus / 2) x = std::int64_t{modulus} - x;
    return static_cast<std::int32_t>(x * 5 / modulus + 1);
  }
  const std::int32_t head = n->head->value;
  const bool small = head > -65536 && head < 65536;
  return 2 * n->size - (small ? 1 : 0);
}

}  // namespace tavrin
