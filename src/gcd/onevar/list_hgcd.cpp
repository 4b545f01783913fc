// The half-GCD on term lists (emgcd_full), the GCD loop around it
// (emgcd_poly), and plain Euclid on the word arrays for large moduli
// (faster_poly_gcd).
//
// The half-GCD follows the recursive scheme of Thull and Yap ("A unified
// approach to HGCD algorithms for polynomials and integers", 1990): the
// pair is split at m = ceil(deg u0 / 2), the upper halves reduced
// recursively, the matrix carried to the lower halves, one division step
// taken, and the new pair split again at 2m - deg r for a second recursion.
#include <cstdint>

#include "core/globals.h"
#include "core/thresholds.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "dense/dense_arrays.h"
#include "dense/dense_divide.h"
#include "poly/poly_add.h"
#include "poly/poly_divide.h"
#include "poly/poly_exact_divide.h"
#include "poly/poly_mult.h"
#include "poly/poly_repr.h"
#include "gcd/gcd.h"
#include "gcd/onevar_gcd.h"

namespace tavrin {

using nodes::degree;
using nodes::is_bare_leaf;
using nodes::OwnedPoly;

namespace {

// ---- Splits and shifts in place ----------------------------------------------------------

// *u (deg *u >= k >= 1) := its part from x^k up divided by x^k; *low := the
// part below x^k (the zero constant when there is none). A term of
// exponent exactly k gives its coefficient leaf as the high part's constant
// term and its node goes back to the free list.
// *u: changed in place; *low: set (nil on entry)
void split_at(poly* u, std::int32_t k, poly* low) {
  poly head = *u;
  poly prev = nullptr;
  poly t = head;
  while (t != nullptr && !t->numb && t->exp > k) {
    t->exp -= k;
    prev = t;
    t = t->next;
  }
  if (t != nullptr && !t->numb && t->exp == k) {
    poly c = t->pcoef;
    *low = t->next;
    t->next = nullptr;
    t->pcoef = nullptr;
    free_polynode_list(t, t);
    c->next = nullptr;
    if (prev != nullptr) {
      prev->next = c;
    } else {
      head = c;
    }
  } else {
    prev->next = nullptr;  // deg *u >= k: the head lies above k
    *low = t;
  }
  if (*low == nullptr) poly_set(0, low);
  *u = head;
}

// *u := *u * x^k in place: positive exponents raised by k, a final
// non-zero constant c turned into the term c*x^k; zero stays zero.
void shift_back(poly* u, std::int32_t k) {
  poly prev = nullptr;
  for (poly t = *u; t != nullptr; t = t->next) {
    if (!t->numb) {
      t->exp += k;
      prev = t;
      continue;
    }
    if (prev == nullptr && poly_iszero(t)) return;
    poly term = nodes::new_term(k, t);
    if (prev != nullptr) {
      prev->next = term;
    } else {
      *u = term;
    }
    return;
  }
}

// ---- Matrix arithmetic ---------------------------------------------------------------------

poly times(poly a, poly b) {
  poly r = nullptr;
  simplest_poly_mult(a, b, &r, 0, 0, 0, 0);
  return r;
}

// *acc := *acc + a*b. *acc: consumed and set; a, b: kept
void add_product(poly* acc, poly a, poly b) {
  poly t = times(a, b);
  simplest_poly_add(*acc, t, acc);
}

struct Matrix {
  poly* e[4];  // r11, r12, r21, r22
};

void set_identity(const Matrix& r) {
  poly_set(1, r.e[0]);
  poly_set(0, r.e[1]);
  poly_set(0, r.e[2]);
  poly_set(1, r.e[3]);
}

// R := [[0, 1], [1, -q]] R: (r11, r21) := (r21, r11 - q r21) and
// (r12, r22) := (r22, r12 - q r22).
void apply_quotient(poly q, const Matrix& r) {
  for (int col = 0; col < 2; ++col) {
    poly* top = r.e[col];
    poly* bottom = r.e[2 + col];
    poly t = times(q, *bottom);
    poly next = nullptr;
    simplest_poly_sub(*top, t, &next);
    *top = *bottom;
    *bottom = next;
  }
}

// (u0, u1) := (u0 + a11 low0 + a12 low1, u1 + a21 low0 + a22 low1), u1 first.
void carry_low_parts(poly* u0, poly* u1, poly low0, poly low1, const Matrix& a) {
  add_product(u1, *a.e[2], low0);
  add_product(u1, *a.e[3], low1);
  add_product(u0, *a.e[0], low0);
  add_product(u0, *a.e[1], low1);
}

// R := S R.
void multiply_into(const Matrix& s, const Matrix& r) {
  poly n[4];
  for (int row = 0; row < 2; ++row)
    for (int col = 0; col < 2; ++col) {
      poly sum = times(*s.e[2 * row], *r.e[col]);
      add_product(&sum, *s.e[2 * row + 1], *r.e[2 + col]);
      n[2 * row + col] = sum;
    }
  for (int k = 0; k < 4; ++k) {
    free_poly(r.e[k]);
    *r.e[k] = n[k];
  }
}

// One division step: (u0, u1) := (u1, u0 mod u1); the quotient into *q.
void division_step(poly* u0, poly* u1, poly* q) {
  OwnedPoly r;
  simplest_poly_divide(*u0, *u1, q, &r.p, true);
  free_poly(u0);
  *u0 = *u1;
  *u1 = r.release();
}

// The pair split at k, the upper halves reduced with the matrix a (filled),
// shifted back and the lower halves carried through a.
void reduce_upper_halves(poly* u0, poly* u1, std::int32_t k, const Matrix& a) {
  OwnedPoly low0, low1;
  split_at(u0, k, &low0.p);
  split_at(u1, k, &low1.p);
  emgcd_full(u0, u1, a.e[0], a.e[1], a.e[2], a.e[3], true);
  shift_back(u0, k);
  shift_back(u1, k);
  carry_low_parts(u0, u1, low0.p, low1.p, a);
}

}  // namespace

void emgcd_full(poly* u0, poly* u1, poly* r11, poly* r12, poly* r21, poly* r22, bool needmult) {
  const Matrix r{{r11, r12, r21, r22}};
  const std::int32_t m = (degree(*u0) + 1) / 2;
  if (degree(*u1) < m) {
    set_identity(r);
    return;
  }
  if (degree(*u0) < poly_cutoff) {
    if (needmult) set_identity(r);
    do {
      OwnedPoly q;
      division_step(u0, u1, &q.p);
      if (needmult) apply_quotient(q.p, r);
    } while (!is_bare_leaf(*u1) && degree(*u1) >= m);
    return;
  }

  reduce_upper_halves(u0, u1, m, r);
  if (degree(*u1) < m) return;

  {
    OwnedPoly q;
    division_step(u0, u1, &q.p);
    if (needmult) apply_quotient(q.p, r);
  }
  const std::int32_t dr = degree(*u1);
  const std::int32_t l = 2 * m - dr;
  if (l > dr) return;

  OwnedPoly s11, s12, s21, s22;
  const Matrix s{{&s11.p, &s12.p, &s21.p, &s22.p}};
  reduce_upper_halves(u0, u1, l, s);
  if (needmult) multiply_into(s, r);
}

void emgcd_poly(poly a0, poly a1, poly* p, polypt pt, bool savea01) {
  OwnedPoly first, second, result;
  if (savea01) {
    OwnedPoly r;
    poly_div_no_q(a0, a1, &r.p);
    if (is_bare_leaf(r.p)) {
      if (poly_iszero(r.p)) {
        poly_assign(a1, &result.p);
      } else {
        poly_set(1, &result.p);
      }
      free_poly(p);
      *p = result.release();
      return;
    }
    poly_assign(a1, &first.p);
    second.p = r.release();
  } else {
    first.p = a0;
    second.p = a1;
  }

  // The sequence has ended when the remainder after `last` is a number:
  // the GCD is last when that number is 0, else 1.
  auto ended = [&](poly remainder, OwnedPoly& last) {
    if (!is_bare_leaf(remainder)) return false;
    if (poly_iszero(remainder)) {
      result.p = last.release();
    } else {
      poly_set(1, &result.p);
    }
    return true;
  };
  for (;;) {
    {
      OwnedPoly w0, v0, w1, v1;  // the matrix: not wanted
      emgcd_full(&first.p, &second.p, &w0.p, &v0.p, &w1.p, &v1.p, false);
    }
    if (is_bare_leaf(first.p)) {
      poly_set(1, &result.p);
      break;
    }
    if (ended(second.p, first)) break;
    OwnedPoly r;
    poly_div_no_q(first.p, second.p, &r.p);
    if (ended(r.p, second)) break;
    free_poly(&first.p);
    if (degree(second.p) + degree(r.p) < poly_cutoff) {
      basic_poly_gcd(second.p, r.p, &result.p, false, pt);
      break;
    }
    first.p = second.release();
    second.p = r.release();
  }
  free_poly(p);
  *p = result.release();
}

// ---- Euclid on the word arrays ---------------------------------------------------------------

onevar_gcd_route_counts onevar_gcd_routes = {};

void faster_array_gcd(poly n, poly m, poly* p) {
  std::int32_t dx = 0, dy = 0;
  fill_poly1_array(n, xx, &dx);
  fill_poly1_array(m, yy, &dy);
  if (dx > onevar_gcd_routes.word_top) onevar_gcd_routes.word_top = dx;
  bool zero = false;
  const std::int32_t* survivor = nullptr;
  std::int32_t d = 0;
  word_array_mod(xx, yy, &dx, dy, &zero);
  for (;;) {
    if (zero) {
      survivor = yy;
      d = dy;
      break;
    }
    if (dx == 0) break;  // a non-zero constant: the GCD is 1
    word_array_mod(yy, xx, &dy, dx, &zero);
    if (zero) {
      survivor = xx;
      d = dx;
      break;
    }
    if (dy == 0) break;
    word_array_mod(xx, yy, &dx, dy, &zero);
  }
  OwnedPoly result;
  if (survivor == nullptr) {
    poly_set(1, &result.p);
  } else {
    array_to_poly(survivor, d, &result.p);
  }
  free_poly(p);
  *p = result.release();
}

void faster_poly_gcd(poly n, poly m, poly* p, bool need_monic, polypt pt) {
  OwnedPoly result;
  if (degree(n) >= fast_gcd_size || degree(m) >= fast_gcd_size) {
    ++onevar_gcd_routes.word_lists;
    emgcd_poly(n, m, &result.p, pt, true);
  } else {
    ++onevar_gcd_routes.word_arrays;
    faster_array_gcd(n, m, &result.p);
  }
  if (need_monic && !is_bare_leaf(result.p)) {
    OwnedPoly factor;
    monic_poly(&result.p, &factor.p, pt);
  }
  free_poly(p);
  *p = result.release();
}

}  // namespace tavrin
