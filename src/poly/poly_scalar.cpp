// Products and quotients of a polynomial by a number, monic scaling, the
// Frobenius substitution of exponents, and small number routines.
#include <cinttypes>
#include <cstdio>

#include "core/errors.h"
#include "core/globals.h"
#include "numbers/bigint.h"
#include "numbers/bigint_divide.h"
#include "numbers/bigint_multiply.h"
#include "numbers/freelists.h"
#include "numbers/mixed_mode.h"
#include "numbers/word_mod.h"
#include "poly/poly_add.h"
#include "poly/poly_arith_impl.h"
#include "poly/poly_impl.h"
#include "poly/poly_in_place.h"
#include "poly/poly_repr.h"

namespace tavrin {

using detail::for_each_number;
using nodes::is_bare_leaf;
using nodes::num_is_one;
using nodes::num_is_zero_now;

namespace {

// The big-integer number m is the one-limb 1.
bool big_is_one(imptr m) { return m->size == 1 && m->head->value == 1; }

// n1 := n1 / n2 for big integers; a non-zero remainder is reported and the
// quotient kept. rem: scratch.
void big_exact_quot(imptr n1, imptr n2, imptr rem) {
  if (n2->head == nullptr || n2->head->value == 0) return;  // nothing divides by 0
  divide(n1, n2, n1, rem);
  if (rem->head->value != 0) tavrin_error("non-0 rem, num_poly_quot", false);
}

// The list x * y (x not 1); empty when every product vanished.
poly scalar_list(imptr x, poly y) {
  poly head = nullptr;
  poly* link = &head;
  for (; y != nullptr; y = y->next) {
    poly t;
    if (y->numb) {
      imptr r = detail::num_product_new(x, y->ncoef);
      if (num_is_zero_now(r)) {
        free_imag(&r);
        continue;
      }
      t = nodes::new_leaf(r);
    } else {
      poly c = scalar_list(x, y->pcoef);
      if (c == nullptr) continue;
      if (y->exp == 0 && is_bare_leaf(c)) {
        t = c;  // a constant coefficient at exponent 0 is the constant term
      } else {
        t = nodes::new_term(y->exp, c);
      }
    }
    *link = t;
    link = &t->next;
  }
  *link = nullptr;
  return head;
}

}  // namespace

// ---- Products by a number ----------------------------------------------------------

void mult_num(poly x, imptr nm) {
  auto f = [nm](imptr a) { fast_mult(a, nm, a); };
  for_each_number(x, f);
}

void num_poly_mult(poly n, imptr m) {
  if (big_is_one(m)) return;
  mult_num(n, m);
}

void rat_number_mult(poly n, imptr im) {
  if (im->head != nullptr && im->head->value == 1 && im->size <= 1) return;
  mult_num(n, im);
}

void fl_num_poly_mult(poly n, long double m) {
  auto f = [m](imptr a) { a->flote *= m; };
  for_each_number(n, f);
}

void sub_mod_num_poly_mult(poly n, std::int32_t x) {
  const std::uint32_t ux = static_cast<std::uint32_t>(x);
  auto f = [ux](imptr a) { a->lint = modmult(ux, static_cast<std::uint32_t>(a->lint)); };
  for_each_number(n, f);
}

void mod_mult_num(poly x, std::int32_t nm) { sub_mod_num_poly_mult(x, nm); }

void mod_num_poly_mult(poly n, std::int32_t x) {
  if (x == 1) return;
  if (x < 1 || x >= modulus) {
    std::printf("bad x in mod_num_poly_mult, %" PRId32 ", %" PRId32 "\n", x, modulus);
    tavrin_error("bad x in mod_num_poly_mult.", true);
    return;  // multiplying by x would leave zeros or non-residues in n
  }
  sub_mod_num_poly_mult(n, x);
}

// ---- Quotients by a number --------------------------------------------------------------

void simple_quot(imptr n1, imptr n2, std::int32_t x) {
  if (flotemode) {
    n1->flote /= n2->flote;
  } else if (modularmode) {
    n1->lint = modmult(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(n1->lint));
  } else if (lintmode) {
    if (n2->lint != 0) n1->lint = word_quo(n1->lint, n2->lint);
  } else {
    imptr rem;
    newimag(&rem);
    big_exact_quot(n1, n2, rem);
    free_imag(&rem);
  }
}

void num_poly_quot(poly n, imptr m, std::int32_t x) {
  if (num_is_one(m)) return;
  if (modularmode) {
    if (x == 0) {
      mod_inverse(m->lint, &x);  // reports "bad seca." for a zero residue
      if (x == 0) return;
    }
  }
  auto f = [m, x](imptr a) { simple_quot(a, m, x); };
  for_each_number(n, f);
}

// ---- Product of a copy ---------------------------------------------------------------------

void scalar_by_poly(imptr x, poly y, poly* q) {
  if (num_is_one(x)) {
    poly_assign(y, q);
    return;
  }
  poly r = scalar_list(x, y);
  if (r == nullptr) poly_set(0, &r);
  *q = r;
}

// ---- Monic scaling --------------------------------------------------------------------------

namespace {

// w made monic modulo the modulus; *coef := its leading residue.
void make_monic_mod(poly w, std::int32_t* coef) {
  const std::int32_t lc = leading_coef(w)->ncoef->lint;
  *coef = lc;
  if (lc == 1) return;
  std::int32_t inv = 0;
  mod_inverse(lc, &inv);  // reports "bad seca." for 0
  if (inv == 0) return;
  mod_num_poly_mult(w, inv);
}

void make_monic_fl(poly w, long double* coef) {
  const long double lc = leading_coef(w)->ncoef->flote;
  *coef = lc;
  if (lc == 1.0L || lc == 0.0L) return;
  auto f = [lc](imptr a) { a->flote /= lc; };
  for_each_number(w, f);
}

}  // namespace

void monic_coefs(poly u, poly v, std::int32_t* ucoef, std::int32_t* vcoef) {
  make_monic_mod(u, ucoef);
  make_monic_mod(v, vcoef);
}

void fl_monic_coefs(poly u, poly v, long double* ucoef, long double* vcoef) {
  make_monic_fl(u, ucoef);
  make_monic_fl(v, vcoef);
}

// ---- Frobenius ----------------------------------------------------------------------------------

void poly_to_prime(poly n) {
  for (; n != nullptr; n = n->next) {
    if (n->numb) continue;
    n->exp = exp_mul(n->exp, modulus);
    if (!is_bare_leaf(n->pcoef)) poly_to_prime(n->pcoef);
  }
}

// ---- Numbers -----------------------------------------------------------------------------------

void sub(imptr n1, imptr n2, imptr n3) {
  if (flotemode) {
    n3->flote = n1->flote - n2->flote;
  } else if (modularmode) {
    n3->lint = mod_sub(n1->lint, n2->lint, modulus);
  } else if (lintmode) {
    n3->lint = static_cast<std::int32_t>(static_cast<std::uint32_t>(n1->lint) -
                                         static_cast<std::uint32_t>(n2->lint));
  } else if (n3->size > 0 && n3->head == n1->head) {
    fastdiff(n3, n2);
  } else {
    meddiff(n1->size, n2->size, n1->head, n2->head, n3);
  }
}

void int_mult(imptr n, imptr m, imptr q) {
  if (flotemode) {
    q->flote = n->flote * m->flote;
  } else if (modularmode) {
    q->lint = modmult(static_cast<std::uint32_t>(n->lint), static_cast<std::uint32_t>(m->lint));
  } else if (lintmode) {
    q->lint = static_cast<std::int32_t>(static_cast<std::uint32_t>(n->lint) *
                                        static_cast<std::uint32_t>(m->lint));
  } else {
    fast_mult(n, m, q);
  }
}

bool iszero(imptr num) { return num_is_zero_now(num); }

}  // namespace tavrin
