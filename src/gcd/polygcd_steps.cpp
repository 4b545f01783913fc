// The GCD driver's own steps: bookkeeping of the caller's arguments, the
// reductions by a common power and a common exponent divisor, the level
// measures, the exact-division test, the random-evaluation probe and the
// substitution for variables that only one argument has.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "core/errors.h"
#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "numbers/integer_gcd.h"
#include "numbers/node_handles.h"
#include "numbers/primes.h"
#include "poly/poly_add.h"
#include "poly/poly_eval.h"
#include "poly/poly_exact_divide.h"
#include "poly/poly_measures.h"
#include "poly/poly_repr.h"
#include "poly/poly_trial.h"
#include "gcd/content.h"
#include "gcd/gcd.h"
#include "gcd/polygcd_impl.h"

namespace tavrin {

using nodes::degree;
using nodes::is_bare_leaf;
using nodes::OwnedPoly;

namespace {

// Pushes a value node (a leaf holding value, exp 1 when it is a marker that
// keeps its variable) on the front of the list *list.
void push_value(poly* list, std::int32_t value, bool marker) {
  poly n = nullptr;
  poly_set(marker ? 0 : value, &n);
  n->exp = marker ? 1 : 0;
  n->next = *list;
  *list = n;
}

// seen[l] := some list of p at level l (p's own level lev) has a term of
// positive exponent, for the levels up to last.
void mark_levels(poly p, std::int32_t lev, std::int32_t last, std::vector<char>& seen) {
  if (p->numb || lev > last) return;
  for (poly t = p; t != nullptr && !t->numb; t = t->next) {
    if (t->exp > 0) seen[static_cast<std::size_t>(lev)] = 1;
    mark_levels(t->pcoef, lev + 1, last, seen);
  }
}

}  // namespace

bool in_field(poly p, std::int32_t depth, const Ring& ring) {
  return ring.field_depth > 0 && poly_depth(p) + depth > ring.field_depth;
}

// ---- The caller's arguments ------------------------------------------------------------------

void polygcd_EnvRec::restore_caller(gcd_arg& a) {
  if (a.copy != nullptr) return;
  if (a.negated) {
    poly_inplace(a.p);
    a.negated = false;
  }
  if (a.divided) {
    mult_gcd_expons(a.p);
    a.divided = false;
  }
  if (a.power_out) {
    restore_exps(a.p, a.tail, a.exp);
    a.tail = nullptr;
    a.power_out = false;
  }
  a.hold.reset();
}

void polygcd_EnvRec::restore_uv() {
  restore_caller(u);
  restore_caller(v);
}

void polygcd_EnvRec::check_uv() {
  for (gcd_arg* a : {&u, &v}) {
    if (a->copy != nullptr) {
      free_poly(&a->copy);
      a->p = a->orig;
      a->negated = false;
      a->hold.reset();
    } else {
      restore_caller(*a);
    }
  }
}

void polygcd_EnvRec::make_copy(gcd_arg& a) {
  if (a.copy != nullptr) return;
  poly c = nullptr;
  poly_assign(a.p, &c);
  restore_caller(a);
  a.copy = c;
  a.p = c;
}

void polygcd_EnvRec::take_over(gcd_arg& a) {
  if (a.copy != nullptr || a.save) return;
  poly c = nullptr;
  mini_copy(a.p, &c);
  if (a.tail != nullptr) free_polynode_list(a.tail, a.tail);
  a.tail = nullptr;
  a.power_out = a.divided = a.negated = false;
  a.hold.reset();
  a.copy = c;
  a.p = c;
}

// ---- Exponents --------------------------------------------------------------------------------

void polygcd_EnvRec::mult_gcd_expons(poly q) const {
  if (gcdexp <= 1) return;
  for (poly t = q; t != nullptr && !t->numb; t = t->next) t->exp = exp_mul(t->exp, gcdexp);
}

void polygcd_EnvRec::find_gcd_expons() {
  gcdexp = 1;
  if (u.p->next == nullptr || v.p->next == nullptr) return;
  std::int32_t e = u.p->exp - u.p->next->exp;
  if (e == 1 || v.p->exp - v.p->next->exp == 1) return;
  for (poly t = u.p->next; t->next != nullptr && e > 1; t = t->next)
    e = smallgcd(e, t->exp - t->next->exp);
  for (poly t = v.p; t->next != nullptr && e > 1; t = t->next)
    e = smallgcd(e, t->exp - t->next->exp);
  gcdexp = e;
}

void polygcd_EnvRec::divide_gcd_expons() {
  for (gcd_arg* a : {&u, &v}) {
    for (poly t = a->p; t != nullptr && !t->numb; t = t->next) t->exp /= gcdexp;
    if (a->copy == nullptr) {
      a->divided = true;
      a->changed_in_place();
    }
  }
}

void polygcd_EnvRec::patchup(poly* r, std::int32_t pexp, std::int32_t expo) const {
  if (expo < 1) {
    poly_set(1, r);
    return;
  }
  base_poly(r, 1);
  (*r)->exp = std::min(expo, pexp);
}

void polygcd_EnvRec::single_term_power(poly* r) const {
  if (u.p->next == nullptr) {
    patchup(r, degree(u.p), v.exp);
  } else if (v.p->next == nullptr) {
    patchup(r, degree(v.p), u.exp);
  } else {
    poly_set(1, r);
  }
}

// ---- Levels ----------------------------------------------------------------------------------

void polygcd_EnvRec::assign_levels() {
  const auto depth = static_cast<std::int16_t>(pt->depth);
  if (ulevel == -1) ulevel = quick_depth_below(u.p, depth);
  if (vlevel == -1) vlevel = quick_depth_below(v.p, depth);
  if (ring.field_depth >= 1) {
    field_ulevel = static_cast<std::int16_t>(std::min(ulevel, ring.field_depth - pt->depth));
    field_vlevel = static_cast<std::int16_t>(std::min(vlevel, ring.field_depth - pt->depth));
  } else {
    field_ulevel = static_cast<std::int16_t>(ulevel);
    field_vlevel = static_cast<std::int16_t>(vlevel);
  }
  field_level = std::max(field_ulevel, field_vlevel);
  level = no_aux_primes2 ? field_level : std::max(ulevel, vlevel);
  levels_equal = field_ulevel == ulevel && field_vlevel == vlevel;
}

bool polygcd_EnvRec::suitable_depth(poly a, poly b, bool* use_regular_primes) const {
  if (number_polys - ring.field_depth > 3) {
    *use_regular_primes = false;
    return true;
  }
  if (ring.field_depth == number_polys && ring.field_depth - pt->depth > 1 &&
      aux_prime1_number > 0) {
    *use_regular_primes = false;
    return true;
  }
  *use_regular_primes = true;
  return both_above_field_depth(a, b, pt->depth);
}

bool polygcd_EnvRec::massive_enough(poly lc) const { return !is_bare_leaf(lc) || level >= 3; }

// ---- Tests -----------------------------------------------------------------------------------

bool polygcd_EnvRec::v_divides_u() {
  if (ring.field_depth == 0) return trial_poly_divide_noq(u.p, v.p, pt, false, false, false);
  bool worked = false;
  bool checked = false;
  mod_trial_poly_divide(u.p, v.p, false, &worked, &checked, pt);
  return worked && checked;
}

probe_verdict polygcd_EnvRec::fast_test_2(std::int16_t i, std::int32_t* image_degree) {
  *image_degree = 1;
  if (ring.modular) {
    need_data_file(data_file::primelist);  // global_list
    for (std::int32_t k = std::min<std::int32_t>(field_level, 49); k >= 2; --k)
      local_list[k] =
          static_cast<std::int16_t>(global_list[3 * k + rand_integer2() % 3] % ring.modulus);
  }
  // The values of levels 2 .. top (relative to pt), level 2 first.
  auto values = [&](std::int32_t top) {
    OwnedPoly list;
    for (std::int32_t k = top; k >= 2; --k) {
      std::int32_t value;
      if (ring.modular) {
        value = local_list[k];
      } else if (field_level == 2) {
        value = i;
      } else if (k - 2 < 2) {
        value = local_list[i];
        if (k == 3) value /= base;
        value %= base;
      } else {
        value = i / 3;
      }
      push_value(list.cell(), value, false);
    }
    return list.release();
  };
  // The image of *p with its levels 2 .. top evaluated, held in img (*p
  // itself when top < 2); nil when it lost p's degree in x.
  auto image_of = [&](poly* p, std::int32_t top, OwnedPoly& img) -> poly {
    if (top < 2) return *p;
    OwnedPoly vals;
    vals.p = values(top);
    all_poly_eval(p, vals.p, img.cell(), 1);
    if (img.p == nullptr || degree(img.p) < degree(*p)) return nullptr;
    return img.p;
  };
  OwnedPoly gimg, himg;
  poly gi = image_of(&u.p, field_ulevel, gimg);
  if (gi == nullptr) return probe_verdict::lost_degree;
  poly hi = image_of(&v.p, field_vlevel, himg);
  if (hi == nullptr) return probe_verdict::lost_degree;
  OwnedPoly image;
  if (ring.modular && ring.field_depth == 0 && mod_is_prime) {
    basic_poly_gcd(gi, hi, image.cell(), false, pt, ring);
  } else if (!ring.modular && !levels_equal && !no_aux_primes2) {
    bool ok = false;
    velmor_modular(gi, hi, pt, &ok);
    if (ok) {
      poly_set(1, image.cell());
    } else {
      base_poly(image.cell(), 1);
    }
  } else {
    const ScopedValue<std::int16_t> loose(tripval, 16384);
    polygcd(gi, hi, image.cell(), pt, {.leave_early = true, .allcons = false, .canreset = false},
            ring);
  }
  *image_degree = degree(image.p);
  const bool free_of_x = ring.field_depth == 0 ? is_bare_leaf(image.p)
                                               : poly_depth(image.p) + pt->depth > ring.field_depth;
  return free_of_x ? probe_verdict::coprime : probe_verdict::image;
}

void polygcd_EnvRec::find_missing_vars() {
  const std::int32_t nu = fast_numterms(u.p);
  const std::int32_t nv = fast_numterms(v.p);
  if (nu < 6 || nv <= 5 || nu + nv <= 29) return;
  const std::int32_t depth = pt->depth;
  const std::int32_t last = ring.field_depth > 0 ? ring.field_depth - 1 : number_polys;
  if (last <= depth) return;
  std::vector<char> in_u(static_cast<std::size_t>(last + 1), 0);
  std::vector<char> in_v(static_cast<std::size_t>(last + 1), 0);
  mark_levels(u.p, depth, last, in_u);
  mark_levels(v.p, depth, last, in_v);
  std::int32_t max_level = depth;
  std::int32_t deepest = 0;
  std::int32_t count = 0;
  for (std::int32_t l = depth + 1; l <= last; ++l) {
    const auto k = static_cast<std::size_t>(l);
    if (in_u[k] || in_v[k]) max_level = l;
    if (in_u[k] != in_v[k]) {
      ++count;
      deepest = l;
    }
  }
  if (count <= 2 || !usable(data_file::primelist)) return;  // the values are small primes
  std::int32_t index = -1;
  for (std::int32_t start = 238; start > 7; start -= 23) {
    const std::int32_t pick = start + rand_integer3() % 15;
    if (small_prime[pick + count] < ring.modulus) {
      index = pick;
      break;
    }
  }
  if (index < 0) return;
  // One node a level, from the level below x down to the deepest level
  // either argument has: a value where only that argument has the variable,
  // a marker (the variable stays) everywhere else.
  OwnedPoly ulist, vlist;
  bool u_values = false;
  bool v_values = false;
  for (std::int32_t l = max_level; l > depth; --l) {
    const auto k = static_cast<std::size_t>(l);
    if (l > deepest || in_u[k] == in_v[k]) {
      push_value(ulist.cell(), 0, true);
      push_value(vlist.cell(), 0, true);
      continue;
    }
    const std::int32_t value = small_prime[index + count];
    push_value(ulist.cell(), value, !in_u[k]);
    push_value(vlist.cell(), value, !in_v[k]);
    u_values = u_values || in_u[k];
    v_values = v_values || in_v[k];
    if (index > 30) {
      index -= 1 + rand_integer3() % 19;
    } else if (index >= 13) {
      index -= 1 + rand_integer3() % 3;
    }
  }
  auto substitute = [&](gcd_arg& a, poly list) {
    OwnedPoly image;
    all_poly_eval(&a.p, list, image.cell(), 1);
    if (image.p == nullptr || image.p->numb || image.p->exp != a.p->exp) return;
    if (a.copy != nullptr) {
      free_poly(&a.copy);
    } else {
      restore_caller(a);
    }
    a.copy = image.release();
    a.p = a.copy;
  };
  if (u_values) substitute(u, ulist.p);
  if (v_values) substitute(v, vlist.p);
}

// ---- Signs for the cache, divisions by contents -------------------------------------------------

void polygcd_EnvRec::normalize_u_v() {
  for (gcd_arg* a : {&u, &v}) {
    if (neg_leading_term(a->p)) {
      poly_inplace(a->p);
      a->negated = true;
      a->changed_in_place();
    }
  }
}

void polygcd_EnvRec::alt_restore_u_v() {
  for (gcd_arg* a : {&u, &v}) {
    if (a->negated) {
      poly_inplace(a->p);
      a->negated = false;
    }
  }
}

void polygcd_EnvRec::divide_by_content(gcd_arg& a, poly c, bool same_level) {
  make_copy(a);
  if (is_bare_leaf(c)) {
    num_poly_quot(a.copy, c->ncoef, 0);
  } else if (ring.field_depth > 0 && !word_modular(ring)) {
    if (same_level) {
      special_div_2(&a.copy, &c, pt);
    } else {
      special_div(&a.copy, &c, pt);
    }
  } else if (same_level) {
    fast_poly_divide(&a.copy, c, pt, general_content_division_tag);
  } else {
    fast_divide(&a.copy, c, pt, content_division_tag);
  }
  a.p = a.copy;
}

}  // namespace tavrin
