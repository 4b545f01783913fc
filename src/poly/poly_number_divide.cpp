// Division of numbers by the convention of the remainder and quotient
// operators, the quotient of numbers, and the quotient of a polynomial by a
// number.
#include <cinttypes>
#include <cstdio>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "numbers/bigint.h"
#include "numbers/bigint_divide.h"
#include "numbers/freelists.h"
#include "numbers/mixed_mode.h"
#include "numbers/node_handles.h"
#include "numbers/word_mod.h"
#include "poly/poly_arith_impl.h"
#include "poly/poly_divide.h"
#include "poly/poly_exact_divide.h"
#include "poly/poly_impl.h"
#include "poly/poly_repr.h"

namespace tavrin {

using nodes::is_bare_leaf;
using nodes::ScratchNumber;

namespace {

// dst's limbs := src's (dst's old limbs freed); src is left without limbs.
void move_limbs(imptr dst, imptr src) {
  if (dst->size > 0) free_limb_list(dst->head, dst->tail);
  dst->head = src->head;
  dst->tail = src->tail;
  dst->size = src->size;
  src->head = src->tail = nullptr;
  src->size = 0;
}

// r + |d| for words, wrapping like the 32-bit original.
std::int32_t raise_by_abs(std::int32_t r, std::int32_t d) {
  const std::uint32_t ur = static_cast<std::uint32_t>(r);
  const std::uint32_t ud = static_cast<std::uint32_t>(d);
  return static_cast<std::int32_t>(d < 0 ? ur - ud : ur + ud);
}

// A big-integer divisor d of 0 is user error 22 with where; if the report
// returns, out := 1. True when d is 0.
bool zero_big_divisor(imptr d, imptr out, const tokentipe* where) {
  if (d->head->value != 0) return false;
  error(division_by_zero_error, where);
  special_set(1, out);
  return true;
}

// The inverse of the residue d modulo modulus by the quot rule: extended
// Euclid on (modulus, d), or the field inverse in characteristic 2. Errors
// 22 and 85 with quotsign; false (no inverse) when a report returns.
bool residue_inverse(std::int32_t d, std::int32_t n, std::int32_t* inv) {
  if (finf) {
    if (d <= 0 || n < 0) {
      error(division_by_zero_error, &quotsign);
      return false;
    }
    mod_inverse(d % modulus, inv);
    return true;
  }
  std::int32_t g = modulus, x = 0, y = 0;
  if (d != 0) egcd_ints(&g, d, &x, &y);
  if (d == 0 || g != 1) {
    error(no_inverse_error, &quotsign);
    return false;
  }
  *inv = y < 0 ? y + modulus : y;
  return true;
}

}  // namespace

// ---- Numbers --------------------------------------------------------------------------------

void divide_numbers(imptr n, imptr d, imptr q, imptr r, bool posmod) {
  if (flotemode) {
    if (d->flote == 0.0L) error(division_by_zero_error, &token);
    const long double x = n->flote / d->flote;
    if (r != nullptr) r->flote = 0.0L;
    if (q != nullptr) q->flote = x;
    return;
  }
  if (lintmode) {
    const std::int32_t a = n->lint, b = d->lint;
    if (b == 0) {
      error(division_by_zero_error, &token);
      (r != nullptr ? r : q)->lint = 1;
      return;
    }
    if (r != nullptr) {
      std::int32_t x = word_rem(a, b);
      if (posmod && x < 0) x = raise_by_abs(x, b);
      r->lint = x;
    }
    if (q != nullptr) q->lint = word_quo(a, b);
    return;
  }
  if (zero_big_divisor(d, r != nullptr ? r : q, &token)) return;
  ScratchNumber qs, rs;
  divide(n, d, qs.get(), rs.get());
  if (r != nullptr) {  // d is read before any result is moved out
    const bool negative_divisor = d->head->value < 0;
    if (negative_divisor) in_place_neg(rs.get());
    if (posmod && rs.get()->head->value < 0) {
      if (negative_divisor) {
        fastdiff(rs.get(), d);
      } else {
        fastsum(rs.get(), d);
      }
    }
    move_limbs(r, rs.get());
  }
  if (q != nullptr) move_limbs(q, qs.get());
}

void mod_or_div(imptr n, imptr n2, imptr n3, char which, bool my_posmod) {
  if (which == '|') {
    divide_numbers(n, n2, nullptr, n3, my_posmod);
  } else {
    divide_numbers(n, n2, n3, nullptr, my_posmod);
  }
}

void quot(imptr n1, imptr n2, imptr n3) {
  if (flotemode) {
    if (n2->flote == 0.0L) {
      error(division_by_zero_error, &quotsign);
      n3->flote = n1->flote;
      return;
    }
    n3->flote = n1->flote / n2->flote;
    return;
  }
  if (modularmode) {
    std::int32_t inv = 0;
    if (!residue_inverse(n2->lint, n1->lint, &inv)) {
      n3->lint = n1->lint;
      return;
    }
    std::int32_t a = n1->lint;
    if (finf) a %= modulus;
    n3->lint = modmult(static_cast<std::uint32_t>(a), static_cast<std::uint32_t>(inv));
    return;
  }
  if (lintmode) {
    if (n2->lint == 0) {
      error(division_by_zero_error, &quotsign);
      n3->lint = n1->lint;
      return;
    }
    n3->lint = word_quo(n1->lint, n2->lint);
    return;
  }
  if (zero_big_divisor(n2, n3, &quotsign)) return;
  ScratchNumber q, r;
  divide(n1, n2, q.get(), r.get());
  move_limbs(n3, q.get());
}

// ---- A polynomial by a number ------------------------------------------------------------

namespace {

// A fresh number n / d by the rule of quot.
imptr number_quotient(imptr n, imptr d) {
  nodes::OwnedNumber held;
  quot(n, d, held.get());
  return held.release();
}

// The list n / d (d a number), coefficient by coefficient; nil when every
// quotient vanished.
poly quotient_list(poly n, imptr d, std::int32_t xx) {
  return detail::map_nodes(
      n,
      [d, xx](poly t) -> poly {
        imptr v = number_quotient(t->ncoef, d);
        if (!nodes::num_is_zero_now(v)) return nodes::new_leaf(v);
        free_imag(&v);
        // Word arithmetic without a modulus reads integer arguments: there a
        // polynomial is no argument at all (refused once it is read), and
        // its truncated quotient is no internal fault.
        if (lintmode && !modularmode && !flotemode) return nullptr;
        std::printf("code %" PRId32 "\n", xx);
        tavrin_error("zero node t.", true);
        return nullptr;
      },
      [d, xx](poly c) -> poly {
        if (!is_bare_leaf(c)) return quotient_list(c, d, xx - 1001);
        imptr v = number_quotient(c->ncoef, d);
        if (!nodes::num_is_zero_now(v)) return nodes::new_leaf(v);
        free_imag(&v);
        return nullptr;
      });
}

}  // namespace

void poly_quot(poly n, poly m, poly* p, std::int32_t xx) {
  nodes::OwnedPoly out;
  if (poly_eq_1(m)) {
    poly_assign(n, &out.p);
  } else if (!is_bare_leaf(m)) {
    std::printf("code %" PRId32 "\n", xx);
    tavrin_error("divisor not number in poly quot.", true);
    if (lintmode) std::printf("  modularmode");
    std::printf("\n");
    std::fflush(stdout);
    poly_assign(n, &out.p);
  } else if (is_bare_leaf(n)) {
    out.p = nodes::new_leaf(number_quotient(n->ncoef, m->ncoef));
  } else {
    out.p = quotient_list(n, m->ncoef, xx);
    if (out.p == nullptr) poly_set(0, &out.p);
  }
  free_poly(p);
  *p = out.release();
}

}  // namespace tavrin
