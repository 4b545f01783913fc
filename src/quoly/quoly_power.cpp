// Powers of values and numbers, and reciprocals of values.
#include "quoly/quoly_power.h"

#include <cstdint>
#include <utility>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/interrupts.h"
#include "numbers/bigint.h"
#include "numbers/bigint_divide.h"
#include "numbers/bigint_multiply.h"
#include "numbers/freelists.h"
#include "numbers/integer_gcd.h"
#include "numbers/mixed_mode.h"
#include "numbers/node_handles.h"
#include "numbers/word_mod.h"
#include "poly/poly_add.h"
#include "poly/poly_modout.h"
#include "poly/poly_power.h"
#include "poly/poly_repr.h"
#include "quoly/quoly.h"
#include "quoly/quoly_impl.h"
#include "quoly/quoly_mult.h"
#include "quoly/quoly_mult_impl.h"
#include "quoly/quoly_normal_form.h"

namespace tavrin {

using detail::word_size;
using nodes::is_bare_leaf;
using nodes::new_leaf;
using nodes::ScratchNumber;

namespace {

// n := n^e for e >= 1 by binary powering from the left (bit 31 down);
// big integers square and multiply on the number in place, the base held
// in a copy.
void binary_power(imptr n, std::uint32_t e) {
  int top = 31;
  while ((e >> top) == 0) --top;
  if (flotemode || lintmode) {
    ScratchNumber b;
    b.get()->lint = n->lint;
    b.get()->flote = n->flote;
    for (int bit = top - 1; bit >= 0; --bit) {
      number_mult_inplace(n, n);
      if ((e >> bit) & 1u) number_mult_inplace(n, b.get());
    }
    return;
  }
  ScratchNumber b;
  num_assign(n, b.get());
  for (int bit = top - 1; bit >= 0; --bit) {
    check_interrupt();  // between products: n is a whole number here
    fast_mult(n, n, n);
    if ((e >> bit) & 1u) fast_mult(n, b.get(), n);
  }
}

// n := 1 in the current mode.
void set_number_one(imptr n) {
  n->lint = 1;
  n->flote = 1.0L;
  if (!flotemode && !lintmode) setvalue(1, n);
}

// The exponent e of n2; false after user error 32 (more than one limb
// outside word-size arithmetic).
bool exponent_of(imptr n2, std::int32_t* e) {
  if (!word_size() && n2->size > 1) {
    error(exponent_too_large_error, &token);
    return false;
  }
  *e = convert_to_int(n2);
  return true;
}

// q's denominator became 0 (modulo relations): user error 210 with expsign,
// then q is the number 0. True when that happened.
bool zero_power_denominator(quoly q) {
  if (q->denom == nullptr || !poly_iszero(q->denom)) return false;
  error(zero_denominator_error, &expsign);
  detail::become_zero(q);
  return true;
}

// Two integer constants a / d (big integers) cancelled by their GCD, the
// denominator made positive, dropped when 1; rat set when it remains.
void cancel_constants(quoly q) {
  imptr a = q->numer->ncoef, d = q->denom->ncoef;
  ScratchNumber g;
  binary_gcd(a, d, g.get());
  if (!is_longint(g.get(), 1)) {
    ScratchNumber qa, qd, rem;
    divide(a, g.get(), qa.get(), rem.get());
    divide(d, g.get(), qd.get(), rem.get());
    num_assign(qa.get(), a);
    num_assign(qd.get(), d);
  }
  if (d->head->value < 0) {
    in_place_neg(d);
    in_place_neg(a);
  }
  if (is_longint(d, 1)) free_poly(&q->denom);
}

// *n := 1 / *n for a number value in word-size arithmetic.
void word_number_reciprocal(quoly n) {
  imptr c = n->ncoef;
  n->arr_arg = false;
  if (flotemode) {
    if (c->flote == 0.0L) {
      error(division_by_zero_error, &quotsign);
      c->flote = 1.0L;
      return;
    }
    c->flote = 1.0L / c->flote;
  } else if (modularmode) {
    std::int32_t inv = 0;
    if (c->lint == 0 || !detail::residue_inverse(c->lint, &inv)) {
      error(no_inverse_error, &quotsign);
      c->lint = 1;
      return;
    }
    c->lint = inv;
  } else {
    if (c->lint == 0) {
      error(division_by_zero_error, &quotsign);
      c->lint = 1;
      return;
    }
    c->lint = word_quo(1, c->lint);
  }
}

// *n := 1 / *n for a number value in big-integer arithmetic.
void big_number_reciprocal(quoly n) {
  imptr c = n->ncoef;
  n->arr_arg = false;
  if (c->head->value == 0) {
    error(division_by_zero_error, &token);
    detail::become_one(n);
    return;
  }
  bool minus = false;
  if (equal_to_pm1(c, &minus)) return;
  const bool negative = c->head->value < 0;
  ScratchNumber num, den;
  setvalue(negative ? -1 : 1, num.get());
  abs_val_num(c, den.get());
  detail::become_rational(n, num.release(), den.release());
}

// *n := 1 / *n for a rational number a/b.
void rational_reciprocal(quoly n) {
  imptr a = n->numer->ncoef;
  bool minus = false;
  if (equal_to_pm1(a, &minus)) {
    imptr b = detail::number_copy(n->denom->ncoef);
    if (minus) in_place_neg(b);
    detail::become_number(n, b);
    return;
  }
  std::swap(n->numer, n->denom);
  if (n->denom->ncoef->head->value < 0) {
    in_place_neg(n->denom->ncoef);
    in_place_neg(n->numer->ncoef);
  }
}

}  // namespace

void number_power(imptr n, std::int32_t expont) {
  if (expont < 0) {
    tavrin_error("negative exponent", true);
    return;
  }
  if (expont == 0) {
    set_number_one(n);
    return;
  }
  binary_power(n, static_cast<std::uint32_t>(expont));
}

void quoly_compute_power(quolyptr q, std::int32_t expont) {
  if (expont < 1) {
    tavrin_error("negative exponent", true);
    return;
  }
  nodes::settle_integer_inplace(*q);
  quoly Q = *q;
  if (Q->numb) {
    binary_power(Q->ncoef, static_cast<std::uint32_t>(expont));
    Q->arr_arg = false;
    return;
  }
  if (Q->rat && !word_size()) {
    binary_power(Q->numer->ncoef, static_cast<std::uint32_t>(expont));
    binary_power(Q->denom->ncoef, static_cast<std::uint32_t>(expont));
    return;
  }
  compute_power(&Q->numer, expont, polynames);
  if (poly_iszero(Q->numer)) {
    detail::become_zero(Q);  // only modulo relations (or a word modulus)
    return;
  }
  if (Q->denom != nullptr) {
    check_interrupt();  // between the two powers: both parts are whole
    compute_power(&Q->denom, expont, polynames);
    if (zero_power_denominator(Q)) return;
    if (word_size()) {
      detail::divide_out_word_denominator(Q);
    } else if (is_bare_leaf(Q->numer) && is_bare_leaf(Q->denom)) {
      cancel_constants(Q);
    } else if (pseudo_polynames != nullptr) {
      check_quoly(q, false);
      return;
    }
  }
  Q->rat = !word_size() && Q->denom != nullptr && is_bare_leaf(Q->denom) && is_bare_leaf(Q->numer);
  detail::number_if_constant(Q);
}

void raise_to_power(quolyptr n, imptr n2) {
  nodes::settle_integer_inplace(*n);
  quoly N = *n;
  if (modularmode && mod_is_prime && N->numb && N->ncoef->lint != 0) {
    const std::int64_t order = static_cast<std::int64_t>(modulus) - 1;
    std::int64_t r = static_cast<std::int64_t>(n2->lint) % order;
    if (r < 0) r += order;
    n2->lint = static_cast<std::int32_t>(r);
  }
  std::int32_t e = 0;
  if (!exponent_of(n2, &e)) return;
  if (e > 0) {
    quoly_compute_power(n, e);
  } else if (e == 0) {
    detail::become_one(N);
  } else {
    if (e == INT32_MIN) {
      // |e| = 2^31 does not fit: n^(2^31 - 1) * n.
      nodes::OwnedValue base;
      quoly_assign(N, &base.q);
      quoly_compute_power(n, INT32_MAX);
      fast_quoly_mult(n, &base.q);
    } else {
      quoly_compute_power(n, -e);
    }
    check_interrupt();  // between the power and the reciprocal
    quoly_reciprocal(n);
  }
}

std::int32_t check_and_convert(imptr n2) {
  std::int32_t e = 1;
  if (!exponent_of(n2, &e)) return 1;
  return e;
}

void inumber_power(long double* n, std::int32_t* e) {
  const bool negative = *e < 0;
  if (negative && *n == 0.0L) {
    error(division_by_zero_error, &token);
    *n = 1.0L;
    return;
  }
  const std::uint32_t k =
      negative ? 0u - static_cast<std::uint32_t>(*e) : static_cast<std::uint32_t>(*e);
  if (negative && *e != INT32_MIN) *e = -*e;
  if (k == 0) {
    *n = 1.0L;
    return;
  }
  const long double base = *n;
  long double r = base;
  int top = 31;
  while ((k >> top) == 0) --top;
  for (int bit = top - 1; bit >= 0; --bit) {
    r *= r;
    if ((k >> bit) & 1u) r *= base;
  }
  *n = negative ? 1.0L / r : r;
}

void quoly_reciprocal(quolyptr n) {
  quoly N = *n;
  if (N->numb) {
    if (word_size()) {
      word_number_reciprocal(N);
    } else {
      big_number_reciprocal(N);
    }
    return;
  }
  if (N->rat && !word_size()) {
    rational_reciprocal(N);
    return;
  }
  if (N->denom == nullptr) {
    N->denom = N->numer;
    N->numer = nullptr;
    poly_set(1, &N->numer);
  } else {
    std::swap(N->numer, N->denom);
  }
  N->rat = false;
  if (!word_size()) {
    normal_form(N, laurent);
    return;
  }
  if (is_bare_leaf(N->denom)) {
    detail::divide_out_word_denominator(N);
    detail::number_if_constant(N);
    return;
  }
  lint_normal_form(N, laurent);
}

}  // namespace tavrin
