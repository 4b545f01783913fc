// Powers modulo a value (powermod.h): the dispatcher, its cases, and the
// powering by Frobenius steps in characteristic p.
#include "factor/powermod.h"

#include <cassert>
#include <cstdio>
#include <vector>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/interrupts.h"
#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "numbers/bigint.h"
#include "numbers/bigint_divide.h"
#include "numbers/bigint_powmod.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "numbers/primes.h"
#include "numbers/word_mod.h"
#include "dense/dense_char2.h"
#include "poly/poly_add.h"
#include "poly/poly_divide.h"
#include "poly/poly_measures.h"
#include "poly/poly_mult.h"
#include "poly/poly_power.h"
#include "poly/poly_repr.h"
#include "gcd/gcd_upcalls.h"
#include "factor/factor_impl.h"
#include "factor/powermod_impl.h"

namespace tavrin {

using nodes::OwnedPoly;
using nodes::ScratchNumber;

namespace {

// The locals of powermod shared with its cases.
struct powermod_EnvRec {
  quolyptr n;       // the base cell; the result replaces the base
  quolyptr modder;  // the modulus cell; nil: no modulus
  bool goodmodder;  // the numeric modulus is one limb and prime
  imptr expont;     // the exponent (big integer)
  bool* showit;     // progress display of the general case
  Ring ring;        // the ring in force
};

// The limbs of the big integer e, most significant first.
std::vector<std::int32_t> limbs_of(imptr e) {
  std::vector<std::int32_t> v;
  for (numptr p = e->head; p != nullptr; p = p->next) v.push_back(p->value);
  return v;
}

// e := e mod d (non-negative e, d > 0), as big integers.
void reduce_exponent(imptr e, imptr d) {
  BigModeGuard big;
  ScratchNumber q;
  pos_divide(e, d, q.get(), e);
}

bool exponent_is_zero(imptr e) { return e->size == 1 && e->head->value == 0; }

void overflow_warning() {
  std::printf(" *** Warning. exponent overflow may occur.\n");
  std::fflush(stdout);
}

// The record of depth d (1 = the top variable); nil past the last.
polypt record_at(std::int32_t d) {
  polypt r = polynames;
  for (std::int32_t i = 1; i < d && r != nullptr; ++i) r = r->next;
  return r;
}

// A value with a lone constant numerator becomes a number value.
void finish_value(quolyptr n, poly r) {
  free_poly(&(*n)->numer);
  (*n)->numer = r;
  if (nodes::is_bare_leaf(r) && (*n)->denom == nullptr) polynum_to_quoly(n);
}

// The base cell := the number 1.
void set_one(quolyptr n, const Ring& ring) {
  quoly one = nullptr;
  quoly_set(1, &one);
  one->next = nullptr;
  if (ring.lint) one->ncoef->lint = 1;
  if (ring.flote) one->ncoef->flote = 1.0L;
  free_quoly(n);
  *n = one;
}

// *a := *a mod m for numbers, non-negative.
void num_mod(imptr a, imptr m) { mod_or_div(a, m, a, '|', true); }

// ---- simple_case: a number modulo a number --------------------------------------------

// b := b^u mod m by left-to-right binary powering; a squaring is reduced
// only every second time unless a product intervened, each product at once.
void num_power_limb(imptr b, std::uint32_t u, imptr m) {
  ScratchNumber base;
  num_assign(b, base.get());
  bool pending = false;
  for (int bit = 30; bit >= 0; --bit) {
    if (((u >> bit) & 1u) == 0) continue;
    for (int k = bit - 1; k >= 0; --k) {
      int_mult(b, b, b);
      if (pending) {
        num_mod(b, m);
        pending = false;
      } else {
        pending = true;
      }
      if (((u >> k) & 1u) != 0) {
        int_mult(b, base.get(), b);
        num_mod(b, m);
        pending = false;
      }
    }
    break;
  }
  if (pending) num_mod(b, m);
}

void simple_case(powermod_EnvRec* env) {
  imptr b = (*env->n)->ncoef;
  imptr m = (*env->modder)->ncoef;
  if (iszero(b)) return;
  if (!env->goodmodder && !env->ring.lint && !env->ring.flote && m->size >= powmod_wide_limbs) {
    number_powmod(b, env->expont, m, b);
    return;
  }
  if (env->goodmodder) {
    ScratchNumber r;
    mod_or_div(b, m, r.get(), '|', true);
    if (iszero(r.get())) {
      num_assign(r.get(), b);
      return;
    }
    ScratchNumber pm1;
    {
      BigModeGuard big;
      special_set(m->head->value - 1, pm1.get());
    }
    reduce_exponent(env->expont, pm1.get());
    if (exponent_is_zero(env->expont)) {
      set_one(env->n, env->ring);
      return;
    }
  }
  const std::vector<std::int32_t> limbs = limbs_of(env->expont);
  ScratchNumber r, t;
  setvalue(1, r.get());
  if (env->ring.lint) r.get()->lint = 1;
  if (limbs.size() > 1) num_assign(b, t.get());
  for (std::size_t i = 0; i < limbs.size(); ++i) {
    const std::uint32_t u = static_cast<std::uint32_t>(limbs[i]);
    if (u == 0) {
      setvalue(1, b);
      if (env->ring.lint) b->lint = 1;
    } else {
      num_mod(b, m);
      num_power_limb(b, u, m);
    }
    int_mult(r.get(), b, r.get());
    if (i + 1 < limbs.size()) {
      check_interrupt();
      num_mod(r.get(), m);
      bool pending = false;
      for (int k = 0; k < 28; ++k) {
        int_mult(r.get(), r.get(), r.get());
        if (pending) num_mod(r.get(), m);
        pending = !pending;
      }
      num_assign(t.get(), b);
    }
  }
  num_mod(r.get(), m);
  num_assign(r.get(), b);
}

// ---- mod_simple_case: a residue to a power ------------------------------------------

void mod_simple_case(powermod_EnvRec* env) {
  if (!mod_is_prime) {
    error(composite_modulus_power_error, &token);
    return;
  }
  imptr b = (*env->n)->ncoef;
  const std::vector<std::int32_t> limbs = limbs_of(env->expont);
  if (b->lint == 0) {
    if (limbs[0] < 0) error(division_by_zero_error, &quotsign);
    return;
  }
  const std::int32_t pm1 = env->ring.modulus - 1;
  std::int32_t k = 0;
  if (pm1 > 1) {
    const std::int32_t w = static_cast<std::int32_t>(limb_base % pm1);
    k = limbs[0] % pm1;
    for (std::size_t i = 1; i < limbs.size(); ++i) {
      if (k < 0) k += pm1;
      k = spec_mod_add(static_cast<std::uint32_t>(spec_modmult(static_cast<std::uint32_t>(w),
                                                               static_cast<std::uint32_t>(k))),
                       limbs[i], pm1);
    }
    if (k < 0) k += pm1;
  }
  number_power(b, k);
}

// ---- The polynomial cases --------------------------------------------------------

// The order q of the field of the first record flagged field (p to the
// product of the degrees of that record and every record below), as a big
// integer. None flagged: the internal error " pt nil in order_of_field."
// (nested level) and q := p.
void field_order(imptr q, const Ring& ring) {
  BigModeGuard big;
  special_set(ring.modulus, q);
  polypt r = polynames;
  for (std::int32_t i = 0; i < number_polys && r != nullptr && !r->field; ++i) r = r->next;
  if (r == nullptr || !r->field) {
    tavrin_error(" pt nil in order_of_field.", true);
    return;
  }
  for (; r != nullptr; r = r->next) number_power(q, r->expon);
}

void mod_num_poly_case(powermod_EnvRec* env) {
  quolyptr n = env->n;
  const std::int16_t d = poly_depth((*n)->numer);
  const bool in_field = env->ring.field_depth >= 1 && d >= env->ring.field_depth;
  if (in_field) {
    ScratchNumber q;
    field_order(q.get(), env->ring);
    if (env->expont->size >= q.get()->size) {
      BigModeGuard big;
      ScratchNumber one;
      special_set(1, one.get());
      fastdiff(q.get(), one.get());
      reduce_exponent(env->expont, q.get());
    }
  } else if (env->expont->size >= 2) {
    polypt top = record_at(d);
    if (top != nullptr && top->p == nullptr) overflow_warning();
  }
  if (exponent_is_zero(env->expont)) {
    set_one(n, env->ring);
    return;
  }
  OwnedPoly b;
  poly_assign((*n)->numer, b.cell());
  if (mod_is_prime && env->ring.modulus > 100 && env->expont->size >= 2) {
    large_prime(b.cell(), env->expont, d, env->ring);
    finish_value(n, b.release());
    return;
  }
  const bool small = env->ring.modulus < 10 && mod_is_prime;
  const std::vector<std::int32_t> limbs = limbs_of(env->expont);
  OwnedPoly r, t;
  poly_set(1, r.cell());
  if (env->ring.lint) r.p->ncoef->lint = 1;
  if (limbs.size() > 1) poly_assign(b.get(), t.cell());
  for (std::size_t i = 0; i < limbs.size(); ++i) {
    const std::uint32_t u = static_cast<std::uint32_t>(limbs[i]);
    if (small && u >= static_cast<std::uint32_t>(env->ring.modulus)) {
      poly_mod_prime(b.cell(), static_cast<std::int32_t>(u), polynames);
    } else if (u == 0) {
      poly_set(1, b.cell());
      b.p->ncoef->lint = 1;
    } else {
      detail::poly_power_limb(b.cell(), u, nullptr, polynames);
    }
    poly_mult(r.get(), b.get(), r.cell(), polynames);
    if (i + 1 < limbs.size()) {
      check_interrupt();
      if (small) {
        poly_mod_prime(r.cell(), limb_base, polynames);
      } else {
        for (int k = 0; k < 28; ++k) poly_mult(r.get(), r.get(), r.cell(), polynames);
      }
      poly_assign(t.get(), b.cell());
    }
  }
  finish_value(n, r.release());
}

// r := the one-variable polynomial of the residue vector v (0 when empty).
void install_residues(const DensePoly& v, OwnedPoly* r) {
  free_poly(r->cell());
  if (v.empty()) {
    poly_set(0, r->cell());
    r->p->ncoef->lint = 0;
  } else {
    r->p = poly_of_residues(v, 1);
  }
}

void general_poly_case(powermod_EnvRec* env) {
  quolyptr n = env->n;
  const std::int16_t d = poly_depth((*n)->numer);
  quoly mq = *env->modder;
  if (env->expont->size >= 2 && (env->ring.field_depth == 0 || d < env->ring.field_depth) &&
      (mq == nullptr || mq->numb)) {
    polypt top = record_at(d);
    if (top != nullptr && top->p == nullptr) overflow_warning();
  }
  OwnedPoly number_modulus;
  poly m = nullptr;
  if (mq != nullptr) {
    if (mq->numb) {
      quoly_to_poly(mq, number_modulus.cell());
      m = number_modulus.get();
    } else {
      m = mq->numer;
    }
  }
  OwnedPoly b;
  if (m != nullptr) {
    poly_mod_or_div((*n)->numer, m, b.cell(), '|', polynames);
  } else {
    poly_assign((*n)->numer, b.cell());
  }
  const std::vector<std::int32_t> limbs = limbs_of(env->expont);
  OwnedPoly r, t;
  poly_set(1, r.cell());
  if (env->ring.lint) r.p->ncoef->lint = 1;
  if (limbs.size() > 1) poly_assign(b.get(), t.cell());
  const bool show = *env->showit;
  if (show) {
    std::printf("          counting to %1d\n", static_cast<int>(limbs.size()));
    std::printf("             %d ", 0);
  }
  auto progress = [&](std::size_t k) {
    if (!show) return;
    if (k % 10 == 0) std::printf("\n             ");
    std::printf("%1d ", static_cast<int>(k));
    std::fflush(stdout);
  };
  DensePoly dm, dt;
  if (detail::dense_applies(b.get(), m, env->ring) && !env->ring.char2 && residues_of(m, 1, &dm) &&
      residues_of(b.get(), 1, &dt)) {
    // Over a prime field: residue vectors modulo m by the transform products.
    const PolyModulus M(dm, env->ring.modulus);
    DensePoly dr = M.reduce(DensePoly{1});
    for (std::size_t i = 0; i < limbs.size(); ++i) {
      const std::uint32_t u = static_cast<std::uint32_t>(limbs[i]);
      const DensePoly db = u == 0 ? M.reduce(DensePoly{1}) : M.power(dt, u);
      progress(i + 1);
      dr = M.mul(dr, db);
      if (i + 1 < limbs.size()) {
        check_interrupt();
        for (int k = 0; k < 28; ++k) dr = M.sqr(dr);
      }
    }
    install_residues(dr, &r);
  } else if (detail::dense_applies(b.get(), m, env->ring) && env->ring.char2 &&
             m->exp >= char2_vector_degree && residues_of(m, 1, &dm) &&
             residues_of(b.get(), 1, &dt)) {
    // GF(2^8) and GF(2^16): element vectors modulo m, left to right over the bits of the exponent.
    const Char2Modulus M(dm, env->ring.modulus);
    DensePoly dr;
    bool started = false;
    for (std::size_t i = 0; i < limbs.size(); ++i) {
      const std::uint32_t u = static_cast<std::uint32_t>(limbs[i]);
      for (int k = 27; k >= 0; --k) {
        if (started) dr = M.sqr(dr);
        if (((u >> k) & 1u) != 0) {
          dr = started ? M.mul(dr, dt) : dt;
          started = true;
        }
      }
      progress(i + 1);
      if (i + 1 < limbs.size()) check_interrupt();
    }
    install_residues(dr, &r);
  } else if (detail::dense_applies(b.get(), m, env->ring)) {
    const detail::DenseModulus dm(m, env->ring.modulus);
    const detail::Dense dt = detail::dense_of(b.get());
    detail::Dense dr, db = dt;
    dr.c.assign(1, 1);
    dr.deg = 0;
    std::vector<std::int32_t> z;
    for (std::size_t i = 0; i < limbs.size(); ++i) {
      const std::uint32_t u = static_cast<std::uint32_t>(limbs[i]);
      if (u == 0) {
        db.c.assign(1, 1);
        db.deg = 0;
      } else {
        detail::dense_power_limb(db, u, dm, z);
      }
      progress(i + 1);
      detail::dense_mulmod(dr, db, dm, z);
      if (i + 1 < limbs.size()) {
        check_interrupt();
        for (int k = 0; k < 28; ++k) {
          const detail::Dense sq = dr;
          detail::dense_mulmod(dr, sq, dm, z);
        }
        db = dt;
      }
    }
    free_poly(r.cell());
    r.p = detail::poly_of(dr);
  } else {
    for (std::size_t i = 0; i < limbs.size(); ++i) {
      const std::uint32_t u = static_cast<std::uint32_t>(limbs[i]);
      if (u == 0) {
        poly_set(1, b.cell());
        if (env->ring.lint) b.p->ncoef->lint = 1;
      } else {
        detail::poly_power_limb(b.cell(), u, m, polynames);
      }
      progress(i + 1);
      poly_mult(r.get(), b.get(), r.cell(), polynames);
      if (m != nullptr) poly_mod_or_div(r.get(), m, r.cell(), '|', polynames);
      if (i + 1 < limbs.size()) {
        check_interrupt();
        for (int k = 0; k < 28; ++k) {
          poly_mult(r.get(), r.get(), r.cell(), polynames);
          if (m != nullptr) poly_mod_or_div(r.get(), m, r.cell(), '|', polynames);
        }
        poly_assign(t.get(), b.cell());
      }
    }
  }
  if (show) {
    std::printf("\n");
    std::fflush(stdout);
  }
  finish_value(n, r.release());
}

// The top term list of p (its pads skipped).
poly top_list(poly p) {
  while (!p->numb && p->exp == 0 && p->next == nullptr) p = p->pcoef;
  return p;
}

}  // namespace

namespace detail {
using nodes::OwnedPoly;

void poly_power_limb(poly* b, std::uint32_t u, poly m, polypt pt) {
  OwnedPoly base;
  poly_assign(*b, base.cell());
  int bit = 31;
  while (bit >= 0 && ((u >> bit) & 1u) == 0) --bit;
  for (int k = bit - 1; k >= 0; --k) {
    poly_mult(*b, *b, b, pt);
    if (m != nullptr) poly_mod_or_div(*b, m, b, '|', polynames);
    if (((u >> k) & 1u) != 0) {
      poly_mult(*b, base.get(), b, pt);
      if (m != nullptr) poly_mod_or_div(*b, m, b, '|', polynames);
    }
  }
}

}  // namespace detail

void powermod(quolyptr n, quolyptr modder, imptr expont, bool showit) {
  powermod(n, modder, expont, showit, Ring::current());
}

void powermod(quolyptr n, quolyptr modder, imptr expont, bool showit, const Ring& ring) {
  assert(ring.in_force());
  powermod_EnvRec env{n, modder, false, expont, &showit, ring};
  const std::int32_t e = expont->head->value;
  const bool base_number = (*n)->numb;
  if (e < 0) {
    if (ring.modular && base_number && *modder == nullptr && mod_is_prime) {
      mod_simple_case(&env);
      return;
    }
    std::printf("*** bad exponent (negative): \n");
    {
      BigModeGuard big;
      display(Output, false, false, expont, &dummy, false);
    }
    std::fflush(Output);
    error(negative_powermod_exponent_error, &token);
    return;
  }
  if (e == 0) {
    set_one(n, ring);
    return;
  }
  quoly m = *modder;
  if (m == nullptr) {
    if (!ring.modular) {
      if (!base_number) general_poly_case(&env);
    } else if (base_number) {
      mod_simple_case(&env);
    } else {
      mod_num_poly_case(&env);
    }
    return;
  }
  if (base_number && m->numb) {
    const imptr mn = m->ncoef;
    env.goodmodder =
        !ring.lint && mn->size == 1 && mn->head->value > 0 && is_prime(mn->head->value);
    simple_case(&env);
    return;
  }
  if (quoly_iszero(*n)) return;
  if (m->numb) {
    general_poly_case(&env);
    return;
  }
  poly mp = m->numer;
  if (ring.laurent && anynegs(mp)) {
    error(negative_exponent_argument_error, &token);
    return;
  }
  if (ring.field_depth > 0 && poly_depth(mp) >= ring.field_depth) {
    error(modulus_in_field_error, &token);
    return;
  }
  poly top = top_list(mp);
  if (top->numb || !poly_eq_1(top->pcoef)) {
    error(modulus_not_monic_error, &token);
    return;
  }
  if (!base_number) {
    general_poly_case(&env);
    return;
  }
  // A number base: its plain power is already reduced modulo a monic
  // polynomial of positive degree.
  if (ring.modular) {
    mod_simple_case(&env);
  } else if (expont->size > 1) {
    error(exponent_too_large_error, &token);
  } else {
    number_power((*n)->ncoef, e);
  }
}

void fast_mod_power(poly* q, polypt pt) { fast_mod_power(q, pt, Ring::current()); }

void fast_mod_power(poly* q, polypt pt, const Ring& ring) {
  if (nodes::is_bare_leaf(*q)) return;
  OwnedPoly sum;
  poly_set(0, sum.cell());
  if (ring.lint) sum.p->ncoef->lint = 0;
  for (poly t = *q; t != nullptr; t = t->next) {
    OwnedPoly piece;
    if (t->numb) {
      poly_assign(t, piece.cell());
    } else {
      OwnedPoly c;
      poly_assign(t->pcoef, c.cell());
      if (!nodes::is_bare_leaf(c.get())) {
        fast_mod_power(c.cell(), pt->next, ring);
        if (!nodes::is_bare_leaf(c.get())) add_pad(c.cell(), 1);
      }
      if (t->exp == 0) {
        piece.p = c.release();
      } else {
        OwnedPoly pw;
        poly_assign(pt->pwr, pw.cell());
        detail::poly_power_limb(pw.cell(), static_cast<std::uint32_t>(t->exp), nullptr, pt);
        poly_mult(pw.get(), c.get(), piece.cell(), pt);
      }
    }
    poly s = sum.release();
    best_poly_add(s, piece.release(), sum.cell());
  }
  free_poly(q);
  *q = sum.release();
}

void large_prime(poly* n, imptr expont, std::int16_t dp) {
  large_prime(n, expont, dp, Ring::current());
}

void large_prime(poly* n, imptr expont, std::int16_t dp, const Ring& ring) {
  polypt top = record_at(dp);
  OwnedPoly b;
  b.p = *n;
  *n = nullptr;
  if (dp >= 2) {
    for (std::int16_t k = 1; k < dp; ++k) {
      poly pad = b.p;
      b.p = pad->pcoef;
      free_polynode_list(pad, pad);
    }
  }
  // x^p of every level from dp down, freed on every exit.
  struct PwrTables {
    polypt from;
    ~PwrTables() {
      for (polypt r = from; r != nullptr; r = r->next) free_poly(&r->pwr);
    }
  } tables{top};
  for (polypt r = top; r != nullptr; r = r->next) {
    free_poly(&r->pwr);
    OwnedPoly x;
    base_poly(x.cell(), 1);
    if (r->p != nullptr) {
      detail::poly_power_limb(x.cell(), static_cast<std::uint32_t>(ring.modulus), nullptr, r);
    } else {
      OwnedPoly one;
      poly_set(1, one.cell());
      if (ring.lint) one.p->ncoef->lint = 1;
      free_poly(x.cell());
      make_monomial(x.cell(), ring.modulus, one.release());
    }
    r->pwr = x.release();
  }
  ScratchNumber p, dig;
  auto next_digit = [&]() -> std::uint32_t {
    BigModeGuard big;
    special_set(ring.modulus, p.get());
    pos_divide(expont, p.get(), expont, dig.get());
    std::uint32_t v = 0;
    for (numptr l = dig.get()->head; l != nullptr; l = l->next)
      v = (v << limb_bits) + static_cast<std::uint32_t>(l->value);
    return v;
  };
  auto power_of = [&](std::uint32_t u, poly* out) {
    if (u == 0) {
      poly_set(1, out);
      if (ring.lint) (*out)->ncoef->lint = 1;
      return;
    }
    poly_assign(b.get(), out);
    detail::poly_power_limb(out, u, nullptr, top);
  };
  OwnedPoly r;
  power_of(next_digit(), r.cell());
  while (!exponent_is_zero(expont)) {
    check_interrupt();
    fast_mod_power(b.cell(), top, ring);
    const std::uint32_t u = next_digit();
    if (u != 0) {
      OwnedPoly f;
      power_of(u, f.cell());
      poly_mult(r.get(), f.get(), r.cell(), top);
    }
  }
  if (!nodes::is_bare_leaf(r.get()) && dp >= 2) add_pad(r.cell(), dp - 1);
  *n = r.release();
}

}  // namespace tavrin
