// Floating images of exact values and back (see quoly_float_image.h).
#include "quoly/quoly_float_image.h"
#include "core/error_codes.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <vector>

#include "core/errors.h"
#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/bigint.h"
#include "numbers/freelists.h"
#include "poly/poly_in_place.h"
#include "poly/poly_repr.h"
#include "quoly/quoly_impl.h"
#include "quoly/quoly_quot.h"

namespace tavrin {

namespace {

using detail::for_each_leaf;
using nodes::OwnedPoly;
using nodes::OwnedValue;

constexpr long double limb_base = 268435456.0L;  // 2^28

// The leading four limbs of x as a long double (at least 85 significant
// bits, more than the 64 of the mantissa), and the binary exponent of the
// limbs left out.
long double leading_real(imptr x, long* e2) {
  long double v = 0;
  std::int32_t k = 0;
  for (numptr l = x->head; l != nullptr && k < 4; l = l->next, ++k) v = v * limb_base + l->value;
  *e2 = 28L * (x->size - k);
  return v;
}

// x = m * 2^e with m odd (x finite, not 0); the sign apart.
struct Dyadic {
  std::uint64_t m = 0;
  int e = 0;
  bool negative = false;
};

Dyadic dyadic(long double x) {
  Dyadic d;
  long double f = std::frexp(x, &d.e);
  d.negative = f < 0;
  d.m = static_cast<std::uint64_t>(std::ldexp(d.negative ? -f : f, 64));
  d.e -= 64;
  const int tz = std::countr_zero(d.m);
  d.m >>= tz;
  d.e += tz;
  return d;
}

// A fresh big integer x * 2^s (an integer: s >= -e of x's dyadic form).
imptr scaled_integer(long double x, int s) {
  if (x == 0) return number_from_digits(nullptr, 0, 1);
  const Dyadic d = dyadic(x);
  const int b = d.e + s;  // >= 0
  const std::int32_t low = b / 28;
  unsigned __int128 v = static_cast<unsigned __int128>(d.m) << (b % 28);
  std::array<std::uint32_t, 4> top{};
  for (auto& digit : top) {
    digit = static_cast<std::uint32_t>(v & 0xFFFFFFFU);
    v >>= 28;
  }
  std::vector<std::uint32_t> digits(static_cast<std::size_t>(low), 0);
  digits.insert(digits.end(), top.begin(), top.end());
  return number_from_digits(digits.data(), static_cast<std::int32_t>(digits.size()),
                            d.negative ? -1 : 1);
}

// A fresh number value holding the long double x (no limbs).
void set_real(long double x, quolyptr q) {
  fl_quoly_set(x, q);
  (*q)->ncoef->lint = 0;
}

// A fresh value holding the polynomial p (moved in; a bare leaf becomes a
// number).
quoly poly_value(poly p) {
  quoly q = nodes::new_ratfun_value(p, nullptr);
  if (nodes::is_bare_leaf(p)) polynum_to_quoly(&q);
  return q;
}

// *p (long doubles at the leaves) := the exact value of it as a fresh
// value: the leaves times the least power 2^k that makes them integers,
// over 2^k. *p is consumed. Error 22 for a leaf that is not finite.
quoly exact_poly(poly* p) {
  int k = 0;
  bool finite = true;
  for_each_leaf(*p, [&](poly leaf) {
    const long double x = leaf->ncoef->flote;
    if (!std::isfinite(x)) {
      finite = false;
    } else if (x != 0) {
      k = std::max(k, -dyadic(x).e);
    }
  });
  if (!finite) {
    free_poly(p);
    abandon(division_by_zero_error, &token);
  }
  for_each_leaf(*p, [&](poly leaf) {
    imptr n = scaled_integer(leaf->ncoef->flote, k);
    free_imag(&leaf->ncoef);
    leaf->ncoef = n;
  });
  OwnedValue v(poly_value(*p));
  *p = nullptr;
  if (k > 0) {
    OwnedValue d(nodes::new_number_value(scaled_integer(1.0L, k)));
    fast_quoly_quot(&v.q, &d.q, false);
  }
  return v.release();
}

// A copy of p whose leaves hold their values (divided by d when d is given)
// as long doubles, without limbs.
poly real_poly(poly p, imptr d) {
  poly c = nullptr;
  poly_assign(p, &c);
  for_each_leaf(c, [d](poly leaf) {
    imptr x = leaf->ncoef;
    const long double v = d == nullptr ? big_to_real(x) : big_ratio_to_real(x, d);
    special_free(x);
    x->flote = v;
    x->lint = 0;
  });
  return c;
}

bool is_leaf(poly p) { return p != nullptr && nodes::is_bare_leaf(p); }

}  // namespace

long double big_to_real(imptr x) {
  long e = 0;
  const long double m = leading_real(x, &e);
  return std::ldexp(m, static_cast<int>(e));
}

long double big_ratio_to_real(imptr a, imptr b) {
  long ea = 0;
  long eb = 0;
  const long double ma = leading_real(a, &ea);
  const long double mb = leading_real(b, &eb);
  return std::ldexp(ma / mb, static_cast<int>(ea - eb));
}

bool has_float_image(quoly q) {
  if (q == nullptr || q->numb) return true;
  return q->numer != nullptr && (q->denom == nullptr || is_leaf(q->denom));
}

void quoly_float_image(quoly q, quolyptr img) {
  BigModeGuard big;
  free_quoly(img);
  if (q == nullptr) return;
  if (q->numb) {
    set_real(big_to_real(q->ncoef), img);
    return;
  }
  imptr d = q->denom == nullptr ? nullptr : q->denom->ncoef;
  if (is_leaf(q->numer)) {
    set_real(d == nullptr ? big_to_real(q->numer->ncoef) : big_ratio_to_real(q->numer->ncoef, d),
             img);
    return;
  }
  *img = poly_value(real_poly(q->numer, d));
}

void real_to_exact(long double x, quolyptr n) {
  BigModeGuard big;
  ScopedValue<bool> exact(integerflag, false);
  free_quoly(n);
  if (x == 0) {
    quoly_set(0, n);
    return;
  }
  const Dyadic d = dyadic(x);
  if (d.e >= 0) {
    *n = nodes::new_number_value(scaled_integer(x, 0));
    (*n)->arr_arg = false;
    return;
  }
  // An odd numerator over a power of 2 is already in lowest terms: the
  // fraction is formed directly, without a GCD.
  quoly r = nodes::new_ratfun_value(nodes::new_leaf(scaled_integer(x, -d.e)),
                                    nodes::new_leaf(scaled_integer(1.0L, -d.e)));
  r->rat = true;
  *n = r;
}

void quoly_from_float_image(quolyptr q) {
  if (*q == nullptr) return;
  if ((*q)->numb) {
    const long double x = (*q)->ncoef->flote;
    if (!std::isfinite(x)) {
      free_quoly(q);
      quoly_set(0, q);
      abandon(division_by_zero_error, &token);
    }
    real_to_exact(x, q);
    return;
  }
  BigModeGuard big;
  ScopedValue<bool> exact(integerflag, false);
  OwnedPoly numer, denom;
  numer.p = (*q)->numer;
  denom.p = (*q)->denom;
  (*q)->numer = nullptr;
  (*q)->denom = nullptr;
  free_quoly(q);
  quoly_set(0, q);
  OwnedValue top(exact_poly(&numer.p));
  if (denom.p != nullptr) {
    OwnedValue bottom(exact_poly(&denom.p));
    fast_quoly_quot(&top.q, &bottom.q, false);
  }
  free_quoly(q);
  *q = top.release();
}

}  // namespace tavrin
